#include "ui/Guard.h"

#include "store/Database.h"
#include "store/Job.h"
#include "store/Session.h"
#include "ui/JobRunner.h"

#include <QPointer>
#include <QWidget>

Q_LOGGING_CATEGORY(lcWindow, "tessaly.window")

namespace ui {

OnFailure stopWith(const QString& text, const QString& title, Icon icon) {
    return {OnFailure::Style::Message, text, title, icon, false};
}

OnFailure stopWithCause(const QString& text, const QString& title, Icon icon) {
    return {OnFailure::Style::Message, text, title, icon, true};
}

OnFailure silently() {
    return {};
}

QString causeOf(const std::exception& e) {
    if (const auto* sql = dynamic_cast<const store::SqlError*>(&e)) {
        switch (sql->failure()) {
        case store::SqlFailure::Full:
            return QStringLiteral("磁盘已满。");
        case store::SqlFailure::ReadOnly:
            return QStringLiteral("数据库文件是只读的，不能写入。");
        case store::SqlFailure::Busy:
            return QStringLiteral("数据库文件正被其他程序占用。");
        case store::SqlFailure::Corrupt:
            return QStringLiteral("数据库文件可能已损坏。");
        case store::SqlFailure::IoError:
            return QStringLiteral("读写数据库文件出错。");
        case store::SqlFailure::Constraint:
        case store::SqlFailure::RuleRefused:
            return QStringLiteral("输入的内容太长或格式不对。");
        case store::SqlFailure::Other:
        case store::SqlFailure::Interrupted:
            break;
        }
        return QStringLiteral("数据库出错。");
    }
    if (const auto* open = dynamic_cast<const store::OpenError*>(&e)) {
        // A job's own connection meets the lock when it opens.
        if (open->kind() == store::OpenFailure::Locked)
            return QStringLiteral("数据库文件正被其他程序占用。");
        return QStringLiteral("数据库文件打不开。");
    }
    return QStringLiteral("程序内部出错。");
}

QString describeAction(const QWidget* window, const QString& command) {
    QString text;
    if (!window) {
        text = QStringLiteral("no window");
    } else {
        const QWidget* top = window->window();
        text = QStringLiteral("window %1 (%2)")
                   .arg(top->windowTitle().isEmpty() ? QStringLiteral("-") : top->windowTitle(),
                        top->objectName().isEmpty() ? QString::fromLatin1(top->metaObject()->className())
                                                    : top->objectName());
        if (window != top && !window->objectName().isEmpty())
            text += QStringLiteral(", control ") + window->objectName();
    }
    if (!command.isEmpty())
        text += QStringLiteral(", command ") + command;
    return text;
}

namespace {

// `where` names the failed action for the log (describeAction).
void report(QWidget* parent, const OnFailure& onFailure, const std::exception* e, const QString& where) {
    const QString cause = e ? causeOf(*e) : QStringLiteral("程序内部出错。");
    qCWarning(lcWindow).noquote() << QStringLiteral("%1 failed: %2 [%3]")
                                         .arg(where, cause,
                                              e ? QString::fromUtf8(e->what())
                                                : QStringLiteral("unknown exception"));
    if (onFailure.style == OnFailure::Style::Silent)
        return;
    QString text = onFailure.text;
    if (onFailure.withCause)
        text += QStringLiteral("\n") + cause;
    inform(parent, text, onFailure.title, onFailure.icon);
}

} // namespace

bool guard(QWidget* parent, const OnFailure& onFailure, const std::function<void()>& action,
           const QString& command) {
    return guard(parent, onFailure, Mappings{}, action, command);
}

bool guard(QWidget* parent, const OnFailure& onFailure, const Mappings& mappings,
           const std::function<void()>& action, const QString& command) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        for (const Mapping& mapping : mappings) {
            // The answer is worked out first: it may itself fail, and then the general style holds.
            std::optional<OnFailure> answer;
            try {
                answer = mapping.answer(e);
            } catch (const std::exception& inner) {
                report(parent, onFailure, &inner, describeAction(parent, command));
                return false;
            }
            if (!answer)
                continue;
            if (dynamic_cast<const store::Cancelled*>(&e))
                qCInfo(lcWindow).noquote() << describeAction(parent, command) << "stopped by the operator";
            else
                report(parent, silently(), &e, describeAction(parent, command));
            if (answer->style == OnFailure::Style::Message) {
                QString text = answer->text;
                if (answer->withCause)
                    text += QStringLiteral("\n") + causeOf(e);
                inform(parent, text, answer->title, answer->icon);
            }
            return false;
        }
        report(parent, onFailure, &e, describeAction(parent, command));
    } catch (...) {
        report(parent, onFailure, nullptr, describeAction(parent, command));
    }
    return false;
}

Mapping whenCancelled() {
    return when<store::Cancelled>(stopWith(kCancelledNothingChanged, kProgramTitle, Icon::Information));
}

bool writeLog(QWidget* parent, store::Session& session, const QString& action) {
    return guard(
        parent, stopWithCause(kLogNotWritten), [&] { session.log().write(action); },
        QStringLiteral("operator log row ") + action);
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    const auto lastResort = stopWithCause(QStringLiteral("操作没有完成。"), kProgramTitle, Icon::Critical);
    // The window the event was for, so the log says where it escaped (it may be gone by then).
    const QPointer<QWidget> window =
        receiver && receiver->isWidgetType() ? static_cast<QWidget*>(receiver) : nullptr;
    const auto where = [&] {
        return describeAction(window, QStringLiteral("event %1").arg(int(event->type())));
    };
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report(nullptr, lastResort, &e, where());
    } catch (...) {
        report(nullptr, lastResort, nullptr, where());
    }
    return false;
}

} // namespace ui
