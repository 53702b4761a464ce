#include "ui/Guard.h"

#include "store/Database.h"
#include "store/Session.h"

#include <sqlite3.h>

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
        switch (sql->code() & 0xff) {
        case SQLITE_FULL:
            return QStringLiteral("磁盘已满。");
        case SQLITE_READONLY:
            return QStringLiteral("数据库文件是只读的，不能写入。");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QStringLiteral("数据库文件正被其他程序占用。");
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return QStringLiteral("数据库文件可能已损坏。");
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
            return QStringLiteral("读写数据库文件出错。");
        case SQLITE_CONSTRAINT:
            return QStringLiteral("输入的内容太长或格式不对。");
        default:
            break;
        }
        return QStringLiteral("数据库出错。");
    }
    if (dynamic_cast<const store::OpenError*>(&e))
        return QStringLiteral("数据库文件打不开。");
    return QStringLiteral("程序内部出错。");
}

namespace {

void report(QWidget* parent, const OnFailure& onFailure, const std::exception* e) {
    qCWarning(lcWindow) << "window action failed:" << (e ? e->what() : "unknown exception");
    if (onFailure.style == OnFailure::Style::Silent)
        return;
    QString text = onFailure.text;
    if (onFailure.withCause)
        text += QStringLiteral("\n") + (e ? causeOf(*e) : QStringLiteral("程序内部出错。"));
    inform(parent, text, onFailure.title, onFailure.icon);
}

} // namespace

bool guard(QWidget* parent, const OnFailure& onFailure, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        report(parent, onFailure, &e);
    } catch (...) {
        report(parent, onFailure, nullptr);
    }
    return false;
}

bool writeLog(QWidget* parent, store::Session& session, const QString& action) {
    return guard(parent, stopWithCause(kLogNotWritten), [&] { session.log().write(action); });
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    const auto lastResort = stopWithCause(QStringLiteral("操作没有完成。"), kProgramTitle, Icon::Critical);
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report(nullptr, lastResort, &e);
    } catch (...) {
        report(nullptr, lastResort, nullptr);
    }
    return false;
}

} // namespace ui
