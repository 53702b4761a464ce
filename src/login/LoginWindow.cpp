#include "login/LoginWindow.h"

#include "store/Session.h"
#include "ui/CharacterLimit.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

namespace login {

namespace {

QPixmap decoration() {
    QPixmap pixmap(120, 150);
    QPainter p(&pixmap);
    QLinearGradient g(0, 0, 0, 150);
    g.setColorAt(0, QColor(196, 30, 36));
    g.setColorAt(1, QColor(250, 200, 90));
    p.fillRect(pixmap.rect(), g);
    p.setPen(QPen(QColor(255, 240, 200), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPoint(60, 60), 34, 34);
    p.drawEllipse(QPoint(60, 60), 22, 22);
    return pixmap;
}

} // namespace

LoginWindow::LoginWindow(store::Session& session, std::vector<UserEntry> users, QWidget* parent)
    : QWidget(parent), session_(session), users_(std::move(users)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ui::kProgramTitle);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    auto* image = new QLabel(picture);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(decoration());
    picture->setFixedSize(120, 150);

    auto* frame = new QGroupBox(QStringLiteral("用户登录"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* nameLabel = new QLabel(QStringLiteral("用户名"), frame);
    nameLabel->setObjectName(QStringLiteral("Label1"));
    names_ = new QComboBox(frame);
    names_->setObjectName(QStringLiteral("Combo1"));
    names_->setEditable(true);
    names_->setInsertPolicy(QComboBox::NoInsert);
    QFont nameFont(QStringLiteral("宋体"));
    nameFont.setPointSizeF(10.5);
    nameFont.setBold(true);
    names_->setFont(nameFont);
    for (const UserEntry& u : users_)
        names_->addItem(u.name);
    names_->setCurrentIndex(-1);
    names_->setEditText(QString());

    auto* passLabel = new QLabel(QStringLiteral("密  码"), frame);
    passLabel->setObjectName(QStringLiteral("Label2"));
    password_ = new QLineEdit(frame);
    password_->setObjectName(QStringLiteral("Text1"));
    ui::maskWithStars(*password_);
    // Counted in characters, as the users window counts a new password.
    ui::limitCharacters(*password_, 20);
    password_->setAttribute(Qt::WA_InputMethodEnabled, false);
    QFont passFont(QStringLiteral("宋体"));
    passFont.setPointSize(12);
    password_->setFont(passFont);

    auto* logInButton = new QPushButton(QStringLiteral("登录"), frame);
    logInButton->setObjectName(QStringLiteral("Command1"));
    logInButton->setDefault(true);
    auto* quitButton = new QPushButton(QStringLiteral("退出"), frame);
    quitButton->setObjectName(QStringLiteral("Command2"));

    auto* grid = new QGridLayout(frame);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(names_, 0, 1);
    grid->addWidget(passLabel, 1, 0);
    grid->addWidget(password_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(logInButton);
    buttons->addWidget(quitButton);
    grid->addLayout(buttons, 2, 0, 1, 2);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(frame, 1);

    connect(names_, &QComboBox::activated, this, [this] { password_->setFocus(); });
    connect(password_, &QLineEdit::returnPressed, this, &LoginWindow::logInClicked);
    connect(logInButton, &QPushButton::clicked, this, &LoginWindow::logInClicked);
    connect(quitButton, &QPushButton::clicked, this, &LoginWindow::quitRequested);

    ui::placeCentred(*this, {420, 190}, 3);
}

void LoginWindow::logInClicked() {
    switch (checkLogin(session_, users_, names_->currentText(), password_->text(), names_->currentIndex())) {
    case LoginOutcome::EmptyName:
        ui::inform(this, kPickUser);
        return;
    case LoginOutcome::WrongPassword:
        ui::inform(this, kWrongPassword);
        // The text stays, selected, so that typing again replaces it.
        password_->setFocus(Qt::OtherFocusReason);
        password_->selectAll();
        return;
    case LoginOutcome::LoggedIn:
        ui::writeLog(this, session_, QStringLiteral("进入系统"));
        emit loggedIn();
        return;
    }
}

} // namespace login
