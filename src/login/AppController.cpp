#include "login/AppController.h"

#include "login/Login.h"
#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QCoreApplication>

namespace login {

AppController::AppController(QString programFolder, store::Clock clock)
    : quit([] { QCoreApplication::quit(); }), session_(std::move(programFolder), std::move(clock)) {}

AppController::~AppController() {
    delete main_.data();
    delete login_.data();
}

bool AppController::start() {
    // The main window may close while windows opened from it stay open (it waits hidden for
    // them); the program ends when no window is left, whichever closes last.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(this);
    lock_ = std::make_unique<QLockFile>(session_.filePath(QStringLiteral("tessaly.lock")));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        lock_.reset();
        ui::inform(nullptr, kSecondCopy, ui::kProgramTitle, ui::Icon::Exclamation);
        return false;
    }
    return startUp();
}

bool AppController::startUp() {
    std::vector<UserEntry> users;
    try {
        session_.open();
        users = readUsers(session_.db());
    } catch (const store::OpenError& e) {
        ui::inform(nullptr, startupFailureMessage(e), ui::kProgramTitle, ui::Icon::Critical);
        return false;
    } catch (const std::exception&) {
        ui::inform(
            nullptr,
            QStringLiteral("数据库文件“%1”中的设置无法读取，程序将结束。").arg(session_.databasePath()),
            ui::kProgramTitle, ui::Icon::Critical);
        return false;
    }
    login_ = new LoginWindow(session_, std::move(users));
    login_->setAttribute(Qt::WA_DeleteOnClose);
    connect(login_, &LoginWindow::loggedIn, this, &AppController::showMain);
    connect(login_, &LoginWindow::quitRequested, this, [this] { quit(); });
    login_->show();
    return true;
}

bool AppController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow())
        QMetaObject::invokeMethod(this, &AppController::quitAfterLastWindow, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

void AppController::quitAfterLastWindow() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() != Qt::ToolTip && window->windowType() != Qt::Popup)
            return;
    }
    quit();
}

void AppController::showMain() {
    main_ = new MainWindow(session_, {[this] { quit(); }, [this] { relogin(); }});
    main_->setAttribute(Qt::WA_DeleteOnClose);
    login_->close();
    main_->show();
}

void AppController::relogin() {
    // The main window owns every window it opened, so they all close with it before the
    // connection goes away.
    if (main_) {
        for (QWidget* child : main_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow())
                child->close();
        }
        main_->hide();
        main_->deleteLater(); // the command that asked for re-login is still running in it
        main_ = nullptr;
    }
    session_.close();
    if (!startUp())
        quit();
}

} // namespace login
