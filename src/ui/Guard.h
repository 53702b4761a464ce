#pragma once

#include "ui/Dialogs.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QString>

#include <exception>
#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcWindow)

namespace store {
class Session;
}

namespace ui {

// What a window action does when the database (or anything below it) fails. The error is
// always logged under tessaly.window; the style says what the operator sees.
struct OnFailure {
    enum class Style { Message, Silent };
    Style style = Style::Silent;
    QString text;
    QString title = kProgramTitle;
    Icon icon = Icon::Critical;
    // Appends the cause (disk full, read-only, locked, damaged) to the text on its own line.
    bool withCause = false;
};

// Stop and show this message.
OnFailure stopWith(const QString& text, const QString& title = kProgramTitle, Icon icon = Icon::Critical);
// Stop and show this message followed by the cause, for failures that would otherwise lose what
// the operator typed ("保存失败，输入的内容仍在框中。" + "磁盘已满。").
OnFailure stopWithCause(const QString& text, const QString& title = kProgramTitle,
                        Icon icon = Icon::Critical);
// Stop without a word (logged only). Also what a loop uses to skip a failing step and go on.
OnFailure silently();

// Runs one window action that touches the database. Nothing escapes: any exception is caught,
// logged and turned into the failure style. Returns true when the action ran to its end.
// The log line names the window (its title and object name), `command` (what the operator asked
// for, e.g. the button's caption) when given, and the cause.
bool guard(QWidget* parent, const OnFailure& onFailure, const std::function<void()>& action,
           const QString& command = {});

// "window 用户设置 (frmOptions1), command 确定": the action named in a log line.
QString describeAction(const QWidget* window, const QString& command);

// Writes one operator-log row for a window. A row that cannot be written is reported by that
// window (the message names the cause) and the window goes on: the log must not keep the operator
// in or out of a window. Returns true when the row was written.
bool writeLog(QWidget* parent, store::Session& session, const QString& action);
inline const QString kLogNotWritten = QStringLiteral("上机记录没有写入。");

// A short Chinese description of why an operation failed, for messages ("磁盘已满。").
QString causeOf(const std::exception& e);

// The application object: the last resort for anything that still escapes an event handler.
// It logs, tells the operator and lets the run go on instead of aborting.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace ui
