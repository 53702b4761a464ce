#pragma once

#include "ui/Dialogs.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

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

// A typed error that an action answers in its own words instead of the guard's failure style:
// `respond` says what the operator sees (and may set the window right, e.g. note the refused
// box). The first mapping whose type the error has wins.
class Mapping {
public:
    template <typename E, typename Respond> static Mapping of(Respond respond) {
        static_assert(std::is_base_of_v<std::exception, E>, "typed errors derive from std::exception");
        return Mapping([respond = std::move(respond)](const std::exception& e) -> std::optional<OnFailure> {
            if (const auto* typed = dynamic_cast<const E*>(&e))
                return OnFailure(respond(*typed));
            return std::nullopt;
        });
    }
    // How this mapping answers `e`; nothing when `e` is not of its type.
    std::optional<OnFailure> answer(const std::exception& e) const { return answer_(e); }

private:
    explicit Mapping(std::function<std::optional<OnFailure>(const std::exception&)> answer)
        : answer_(std::move(answer)) {}
    std::function<std::optional<OnFailure>(const std::exception&)> answer_;
};
using Mappings = std::vector<Mapping>;

// An E is answered with this message.
template <typename E> Mapping when(const OnFailure& shown) {
    return Mapping::of<E>([shown](const E&) { return shown; });
}
// An E is answered as `respond(error)` says; `respond` returns an OnFailure.
template <typename E, typename Respond>
requires std::is_invocable_r_v<OnFailure, Respond, const E&> Mapping when(Respond respond) {
    return Mapping::of<E>(std::move(respond));
}
// 取消 of all-or-nothing work: "已取消，数据库没有改变。".
Mapping whenCancelled();

// Runs one window action that touches the database. Nothing escapes: any exception is caught,
// logged and turned into the failure style. Returns true when the action ran to its end.
// The log line names the window (its title and object name), `command` (what the operator asked
// for, e.g. the button's caption) when given, and the cause.
bool guard(QWidget* parent, const OnFailure& onFailure, const std::function<void()>& action,
           const QString& command = {});
// The same, with the typed errors the action answers in its own words; any other error takes
// `onFailure`. Returns false for a mapped error too.
bool guard(QWidget* parent, const OnFailure& onFailure, const Mappings& mappings,
           const std::function<void()>& action, const QString& command = {});

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
