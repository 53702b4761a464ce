#include "login/LoginWindow.h"

#include "store/Session.h"
#include "ui/CharacterLimit.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_LoginWindow.h"

#include <QLinearGradient>
#include <QPainter>

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
    : QWidget(parent), session_(session), users_(std::move(users)), ui_(std::make_unique<Ui::LoginWindow>()) {
    ui_->setupUi(this);
    ui_->Image1->setPixmap(decoration());

    QComboBox* names = ui_->Combo1;
    // The form's font takes whole points only.
    QFont nameFont = names->font();
    nameFont.setPointSizeF(10.5);
    names->setFont(nameFont);
    for (const UserEntry& u : users_)
        names->addItem(u.name);
    names->setCurrentIndex(-1);
    names->setEditText(QString());

    QLineEdit* password = ui_->Text1;
    ui::maskWithStars(*password);
    // Counted in characters, as the users window counts a new password.
    ui::limitCharacters(*password, 20);
    password->setAttribute(Qt::WA_InputMethodEnabled, false);

    connect(names, &QComboBox::activated, this, [this] { ui_->Text1->setFocus(); });
    connect(password, &QLineEdit::returnPressed, this, &LoginWindow::logInClicked);
    connect(ui_->Command1, &QPushButton::clicked, this, &LoginWindow::logInClicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &LoginWindow::quitRequested);

    ui::placeCentred(*this, {420, 190}, 3);
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::logInClicked() {
    QLineEdit* password = ui_->Text1;
    switch (checkLogin(session_, users_, ui_->Combo1->currentText(), password->text(),
                       ui_->Combo1->currentIndex())) {
    case LoginOutcome::EmptyName:
        ui::inform(this, kPickUser);
        return;
    case LoginOutcome::WrongPassword:
        ui::inform(this, kWrongPassword);
        // The text stays, selected, so that typing again replaces it.
        password->setFocus(Qt::OtherFocusReason);
        password->selectAll();
        return;
    case LoginOutcome::LoggedIn:
        ui::writeLog(this, session_, QStringLiteral("进入系统"));
        emit loggedIn();
        return;
    }
}

} // namespace login
