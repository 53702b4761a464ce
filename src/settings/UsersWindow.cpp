#include "settings/UsersWindow.h"

#include "settings/UserAccounts.h"
#include "store/Session.h"
#include "ui/CharacterLimit.h"
#include "ui/Dialogs.h"
#include "ui/FocusColour.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_UsersWindow.h"

#include <QKeyEvent>

namespace settings {

namespace {

const QString kSettingFailed = QStringLiteral("设置有误！");
const QString kNotSuperUser = QStringLiteral("您不是超级用户！");
constexpr int kBoxCharacters = 20;

} // namespace

UsersWindow::UsersWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::UsersWindow>()) {
    ui_->setupUi(this);
    for (QLineEdit* edit : {ui_->Text1, ui_->Text2, ui_->Text3}) {
        // Names and passwords are counted in characters, as the users table counts them.
        ui::limitCharacters(*edit, kBoxCharacters);
        ui::FocusColour::attach(edit, [this] { return ui::colourFromWin(session_.state().inputColour); });
        edit->installEventFilter(this);
    }
    for (QLineEdit* secret : {ui_->Text2, ui_->Text3}) {
        ui::maskWithStars(*secret);
        secret->setAttribute(Qt::WA_InputMethodEnabled, false);
    }

    connect(ui_->List1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { pickName(ui_->List1->row(item)); });
    connect(ui_->Command1, &QPushButton::clicked, this, &UsersWindow::addClicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &UsersWindow::changeClicked);
    connect(ui_->Command3, &QPushButton::clicked, this, &UsersWindow::deleteClicked);
    connect(ui_->Command4, &QPushButton::clicked, this, &UsersWindow::confirmClicked);
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &UsersWindow::leaveClicked);

    ui::placeCentred(*this, {520, 300});
    ui::writeLog(this, session_, QStringLiteral("进入用户设置"));
    loadNames();
    setTextsEnabled(false);
}

UsersWindow::~UsersWindow() = default;

void UsersWindow::loadNames() {
    ui_->Command3->setEnabled(false);
    ui_->Command2->setEnabled(false);
    ui_->Command4->setEnabled(false);
    ui_->List1->clear();
    ui::guard(
        this, ui::silently(),
        [&] {
            for (const UserEntry& user : readUsers(session_.db()))
                ui_->List1->addItem(user.name);
        },
        QStringLiteral("列出用户"));
}

void UsersWindow::setTextsEnabled(bool enabled) {
    for (QLineEdit* edit : {ui_->Text1, ui_->Text2, ui_->Text3})
        edit->setEnabled(enabled);
}

void UsersWindow::clearTexts() {
    for (QLineEdit* edit : {ui_->Text1, ui_->Text2, ui_->Text3})
        edit->clear();
}

void UsersWindow::pickName(int row) {
    if (row < 0 || row >= ui_->List1->count())
        return;
    ui_->List1->setCurrentRow(row);
    ui_->Command1->setEnabled(true);
    ui_->Command3->setEnabled(true);
    ui_->Command2->setEnabled(true);
    ui_->Command4->setEnabled(false);
    ui_->Text1->setText(ui_->List1->item(row)->text());
}

void UsersWindow::addClicked() {
    if (!session_.state().isSuperUser()) {
        ui::inform(this, kNotSuperUser);
        return;
    }
    ui_->Command1->setEnabled(false);
    ui_->Command4->setEnabled(true);
    ui_->Command2->setEnabled(false);
    ui_->Command3->setEnabled(false);
    mode_ = Mode::Add;
    setTextsEnabled(true);
    ui_->Text1->setFocus();
}

void UsersWindow::changeClicked() {
    if (ui_->Text1->text().trimmed() != session_.state().currentUser.trimmed()) {
        ui::inform(this, QStringLiteral("只能修改本人的口令！"));
        return;
    }
    ui_->Text2->clear();
    ui_->Text3->clear();
    ui_->Command2->setEnabled(false);
    ui_->Command4->setEnabled(true);
    ui_->Command1->setEnabled(false);
    ui_->Command3->setEnabled(false);
    mode_ = Mode::Change;
    setTextsEnabled(true);
    ui_->Text2->setFocus();
}

void UsersWindow::deleteClicked() {
    if (!session_.state().isSuperUser()) {
        ui::inform(this, kNotSuperUser);
        return;
    }
    const QString name = ui_->Text1->text().trimmed();
    if (name.isEmpty() || name == store::kSuperUser) {
        ui::inform(this, QStringLiteral("不能删除超级用户或用户名栏空！"));
        return;
    }
    if (ui::confirm(this, QStringLiteral("真的删除所选用户！"))) {
        ui::guard(
            this, ui::stopWithCause(kSettingFailed, ui::kProgramTitle, ui::Icon::None),
            [&] { deleteUser(session_.db(), name); }, QStringLiteral("删除"));
        clearTexts();
        ui_->Command3->setEnabled(false);
    }
    loadNames();
}

void UsersWindow::confirmClicked() {
    const QString name = ui_->Text1->text().trimmed();
    const QString password = ui_->Text2->text().trimmed();
    const bool mismatch = name.isEmpty() || password.isEmpty() || ui_->Text3->text().trimmed() != password;
    // The database refusing the change is reported with the window's message and its cause.
    ui::guard(
        this, ui::stopWithCause(kSettingFailed, ui::kProgramTitle, ui::Icon::None),
        [&] {
            if (mode_ == Mode::Add) {
                if (mismatch) {
                    ui::inform(this, QStringLiteral("用户名不能空！或密码输入不正确！"));
                    return;
                }
                addUser(session_.db(), ui_->Text1->text(), ui_->Text2->text());
                clearTexts();
                loadNames();
                ui_->Command1->setEnabled(true);
                setTextsEnabled(false);
            } else if (mode_ == Mode::Change) {
                if (mismatch) {
                    ui::inform(this, QStringLiteral("用户名和密码不能空！或密码输入不正确！"));
                    ui_->Text1->setFocus();
                    return;
                }
                // The name box is open again in this mode: it must still name the operator.
                if (name != session_.state().currentUser.trimmed()) {
                    ui::inform(this, QStringLiteral("只能修改本人的口令！"));
                    return;
                }
                if (!changePassword(session_.db(), name, ui_->Text2->text())) {
                    ui::inform(this, kSettingFailed);
                    return;
                }
                ui::inform(this, QStringLiteral("修改完毕！"));
                clearTexts();
                ui_->Command4->setEnabled(false);
                setTextsEnabled(false);
            }
        },
        QStringLiteral("确定"));
}

void UsersWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出用户设置"));
    close();
}

bool UsersWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == ui_->Text3)
                confirmClicked();
            else if (watched == ui_->Text1)
                ui_->Text2->setFocus(Qt::TabFocusReason);
            else if (watched == ui_->Text2)
                ui_->Text3->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace settings
