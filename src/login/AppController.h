#pragma once

#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "store/Session.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace login {

inline const QString kInterruptedRestore = QStringLiteral("上次的数据恢复没有完成：程序在恢复的中途结束了。");
inline const QString kRestoreNotDone =
    QStringLiteral("数据库没有被替换，仍是恢复前的数据；如仍需恢复，请重新进行数据恢复。");

// Runs the program: the single-copy test, start-up, login, the main window and re-login.
class AppController : public QObject {
    Q_OBJECT
public:
    explicit AppController(QString programFolder, store::Clock clock = &QDateTime::currentDateTime);
    ~AppController() override;

    // The single-copy test and the start-up; false when the program must end (the operator has
    // been told why).
    bool start();
    void relogin();

    store::Session& session() { return session_; }
    LoginWindow* loginWindow() const { return login_; }
    MainWindow* mainWindow() const { return main_; }

    std::function<void()> quit; // ends the program; QCoreApplication::quit by default

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void quitAfterLastWindow();
    bool takeLock();
    bool connectServer();
    void noteInterruptedRestore();
    bool startUp();
    void addPersonIndexes();
    void showMain();

    store::Session session_;
    std::unique_ptr<QLockFile> lock_;
    QPointer<LoginWindow> login_;
    QPointer<MainWindow> main_;
};

} // namespace login
