#pragma once

#include "login/Login.h"

#include <QWidget>

#include <memory>

namespace Ui {
class LoginWindow;
}
namespace store {
class Session;
}

namespace login {

// Form1: the login window.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    LoginWindow(store::Session& session, std::vector<UserEntry> users, QWidget* parent = nullptr);
    ~LoginWindow() override;

signals:
    void loggedIn();
    void quitRequested();

public slots:
    void logInClicked();

private:
    store::Session& session_;
    std::vector<UserEntry> users_;
    std::unique_ptr<Ui::LoginWindow> ui_;
};

} // namespace login
