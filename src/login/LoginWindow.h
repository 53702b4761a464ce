#pragma once

#include "login/Login.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace store {
class Session;
}

namespace login {

// Form1: the login window.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    LoginWindow(store::Session& session, std::vector<UserEntry> users, QWidget* parent = nullptr);

signals:
    void loggedIn();
    void quitRequested();

public slots:
    void logInClicked();

private:
    store::Session& session_;
    std::vector<UserEntry> users_;
    QComboBox* names_;
    QLineEdit* password_;
};

} // namespace login
