#include "login/AppController.h"

#include "exchange/Maintenance.h"
#include "exchange/SafetyCopyStep.h"
#include "exchange/Upload.h"
#include "exchange/UploadCommands.h"

#include "login/Login.h"
#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "login/ServerLoginWindow.h"
#include "records/PersonsTable.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSysInfo>

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
    if (!takeLock())
        return false;
    noteInterruptedRestore();
    if (!connectServer())
        return false;
    return startUp();
}

// With tessaly.ini the program works on the server it names: the server's own login comes
// first, and an empty server database can take an embedded lib.mdb before anyone logs in.
bool AppController::connectServer() {
    std::optional<store::ServerConfig> config;
    try {
        config = store::ServerConfig::read(session_.programFolder());
    } catch (const store::ServerConfigError& e) {
        ui::inform(nullptr,
                   serverConfigMessage(session_.filePath(store::ServerConfig::fileName()),
                                       QString::fromUtf8(e.what())),
                   ui::kProgramTitle, ui::Icon::Critical);
        return false;
    }
    if (!config)
        return true;
    ServerLoginWindow login(*config);
    if (login.exec() != QDialog::Accepted)
        return false;
    session_.useServer(login.connection(), config->describe());
    bool empty = false;
    ui::guard(nullptr, ui::silently(), [&] { empty = exchange::serverIsEmpty(*login.takeDatabase()); });
    if (empty && ui::ask(nullptr, emptyServerQuestion(config->describe()), exchange::kUploadTitle))
        exchange::uploadCommand(nullptr, session_);
    return true;
}

// A restore copies the chosen file beside lib.mdb and renames it over lib.mdb as its last step,
// so a copy left there means the program ended before that step and lib.mdb was not replaced.
void AppController::noteInterruptedRestore() {
    if (exchange::removeRestoreLeftovers(session_.programFolder()).isEmpty())
        return;
    QString text = kInterruptedRestore;
    if (QFileInfo::exists(session_.databasePath()))
        text += QLatin1Char('\n') + kRestoreNotDone;
    ui::inform(nullptr, text, ui::kProgramTitle, ui::Icon::Exclamation);
}

// A lock left by a copy on this computer that has ended is taken over by QLockFile itself. One
// left by another computer (a program folder on a stick or a share), or one that cannot be read
// (a crash while it was written), cannot be checked from here: the operator decides, with No as
// the default, since the lock is the only guard against two copies writing one lib.mdb.
bool AppController::takeLock() {
    const QString path = session_.filePath(QStringLiteral("tessaly.lock"));
    lock_ = std::make_unique<QLockFile>(path);
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    const bool readable = lock_->getLockInfo(&pid, &host, &application);
    const bool foreign = readable && !host.isEmpty() && host != QSysInfo::machineHostName();
    if (lock_->error() == QLockFile::LockFailedError && (foreign || !readable)) {
        const QDateTime when = QFileInfo(path).lastModified();
        if (!ui::confirm(nullptr,
                         readable ? foreignLockQuestion(host, when) : unreadableLockQuestion(when))) {
            lock_.reset();
            return false;
        }
        // A mark this program cannot open (a folder of that name, another user's file) is not
        // a second copy: say what it is.
        const bool removed = lock_->removeStaleLockFile() || !QFileInfo::exists(path);
        if (removed && lock_->tryLock(0))
            return true;
        if (!removed) {
            lock_.reset();
            ui::inform(nullptr, unusableLockMessage(path, QFileInfo(path).isDir()), ui::kProgramTitle,
                       ui::Icon::Critical);
            return false;
        }
    }
    const QLockFile::LockError error = lock_->error();
    lock_.reset();
    if (error == QLockFile::LockFailedError)
        ui::inform(nullptr, kSecondCopy, ui::kProgramTitle, ui::Icon::Exclamation);
    else // the folder takes no lock file: read-only, full, or not there
        ui::inform(nullptr, folderNotWritableMessage(session_.programFolder()), ui::kProgramTitle,
                   ui::Icon::Critical);
    return false;
}

bool AppController::startUp() {
    std::vector<UserEntry> users;
    try {
        session_.open();
        users = readUsers(session_.db());
        if (session_.db().isReadOnly())
            ui::inform(nullptr, readOnlyDatabaseMessage(session_.databasePath()), ui::kProgramTitle,
                       ui::Icon::Exclamation);
        else { // an index that cannot be made only costs speed; a file from before gets its history table
            ui::guard(nullptr, ui::silently(), [&] { addPersonIndexes(); });
            ui::guard(nullptr, ui::silently(), [&] { records::ensureHistoryTable(session_.db()); });
        }
    } catch (const store::OpenError& e) {
        const QString text = session_.onServer()
                                 ? serverStartupFailureMessage(session_.serverDescription(), e)
                                 : startupFailureMessage(e);
        ui::inform(nullptr, text, ui::kProgramTitle, ui::Icon::Critical);
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

// At a million persons the indexes take tens of seconds: the runner's panel shows the steps and
// offers 取消, which is safe (an index is made whole or not at all; the rest wait for the next start).
void AppController::addPersonIndexes() {
    if (records::personIndexSteps(session_.db()) == 0)
        return;
    ui::JobSetup setup;
    setup.cancellable = true;
    ui::runJob(nullptr, session_, setup, [](store::Database* db, store::JobControl& control) {
        records::addPersonIndexes(*db, [&](int done, int total, const QString&) {
            control.note(done, total, personIndexProgressText(done, total));
            return !control.stopRequested();
        });
    });
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
    // The server's data is backed up with the server; the daily copy is of lib.mdb.
    if (!session_.onServer())
        exchange::dailySafetyCopy(main_, session_);
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
