#include "settings/UsersWindow.h"

#include "settings/UserAccounts.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/FocusColour.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace settings {

namespace {
const QString kSettingFailed = QStringLiteral("设置有误！");
} // namespace

namespace {

const QString kNotSuperUser = QStringLiteral("您不是超级用户！");

} // namespace

UsersWindow::UsersWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
    setObjectName(QStringLiteral("frmOptions1"));
    setWindowTitle(QStringLiteral("用户设置"));

    auto* listFrame = new QGroupBox(QStringLiteral("请选择用户名"), this);
    listFrame->setObjectName(QStringLiteral("Frame1"));
    names_ = new QListWidget(listFrame);
    names_->setObjectName(QStringLiteral("List1"));
    (new QVBoxLayout(listFrame))->addWidget(names_);

    const auto box = [this](const char* name, bool secret) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(20);
        if (secret) {
            ui::maskWithStars(*edit);
            edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        }
        ui::FocusColour::attach(edit, [this] { return ui::colourFromWin(session_.state().inputColour); });
        edit->installEventFilter(this);
        return edit;
    };
    name_ = box("Text1", false);
    password_ = box("Text2", true);
    confirm_ = box("Text3", true);
    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    add_ = button("Command1", QStringLiteral("新增"));
    change_ = button("Command2", QStringLiteral("修改"));
    delete_ = button("Command3", QStringLiteral("删除"));
    confirmButton_ = button("Command4", QStringLiteral("确定"));
    QPushButton* leave = button("cmdCancel", QStringLiteral("退出"));

    auto* note = new QGroupBox(QStringLiteral("注意"), this);
    note->setObjectName(QStringLiteral("Frame3"));
    auto* noteText =
        new QLabel(QStringLiteral("“超级用户”才有新增和删除的权限，普通用户只能改本人的口令。"), note);
    noteText->setObjectName(QStringLiteral("Label4"));
    noteText->setWordWrap(true);
    (new QVBoxLayout(note))->addWidget(noteText);

    auto* fields = new QGridLayout;
    const std::initializer_list<std::pair<const char*, QLineEdit*>> labels = {
        {"用 户 名：", name_}, {"口    令：", password_}, {"确认口令：", confirm_}};
    int row = 0;
    for (const auto& [caption, edit] : labels) {
        auto* label = new QLabel(QString::fromUtf8(caption), this);
        label->setObjectName(QStringLiteral("Label%1").arg(row + 1));
        fields->addWidget(label, row, 0);
        fields->addWidget(edit, row++, 1);
    }
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add_, change_, delete_, confirmButton_})
        buttons->addWidget(b);
    auto* right = new QVBoxLayout;
    right->addLayout(fields);
    right->addLayout(buttons);
    right->addWidget(note);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(leave);
    right->addLayout(bottom);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(listFrame);
    layout->addLayout(right, 1);

    connect(names_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { pickName(names_->row(item)); });
    connect(add_, &QPushButton::clicked, this, &UsersWindow::addClicked);
    connect(change_, &QPushButton::clicked, this, &UsersWindow::changeClicked);
    connect(delete_, &QPushButton::clicked, this, &UsersWindow::deleteClicked);
    connect(confirmButton_, &QPushButton::clicked, this, &UsersWindow::confirmClicked);
    connect(leave, &QPushButton::clicked, this, &UsersWindow::leaveClicked);

    ui::placeCentred(*this, {520, 300});
    ui::writeLog(this, session_, QStringLiteral("进入用户设置"));
    loadNames();
    setTextsEnabled(false);
}

void UsersWindow::loadNames() {
    delete_->setEnabled(false);
    change_->setEnabled(false);
    confirmButton_->setEnabled(false);
    names_->clear();
    ui::guard(this, ui::silently(), [&] {
        for (const UserEntry& user : readUsers(session_.db()))
            names_->addItem(user.name);
    });
}

void UsersWindow::setTextsEnabled(bool enabled) {
    for (QLineEdit* edit : {name_, password_, confirm_})
        edit->setEnabled(enabled);
}

void UsersWindow::clearTexts() {
    for (QLineEdit* edit : {name_, password_, confirm_})
        edit->clear();
}

void UsersWindow::pickName(int row) {
    if (row < 0 || row >= names_->count())
        return;
    names_->setCurrentRow(row);
    add_->setEnabled(true);
    delete_->setEnabled(true);
    change_->setEnabled(true);
    confirmButton_->setEnabled(false);
    name_->setText(names_->item(row)->text());
}

void UsersWindow::addClicked() {
    if (!session_.state().isSuperUser()) {
        ui::inform(this, kNotSuperUser);
        return;
    }
    add_->setEnabled(false);
    confirmButton_->setEnabled(true);
    change_->setEnabled(false);
    delete_->setEnabled(false);
    mode_ = Mode::Add;
    setTextsEnabled(true);
    name_->setFocus();
}

void UsersWindow::changeClicked() {
    if (name_->text().trimmed() != session_.state().currentUser.trimmed()) {
        ui::inform(this, QStringLiteral("只能修改本人的口令！"));
        return;
    }
    password_->clear();
    confirm_->clear();
    change_->setEnabled(false);
    confirmButton_->setEnabled(true);
    add_->setEnabled(false);
    delete_->setEnabled(false);
    mode_ = Mode::Change;
    setTextsEnabled(true);
    password_->setFocus();
}

void UsersWindow::deleteClicked() {
    if (!session_.state().isSuperUser()) {
        ui::inform(this, kNotSuperUser);
        return;
    }
    const QString name = name_->text().trimmed();
    if (name.isEmpty() || name == store::kSuperUser) {
        ui::inform(this, QStringLiteral("不能删除超级用户或用户名栏空！"));
        return;
    }
    if (ui::confirm(this, QStringLiteral("真的删除所选用户！"))) {
        ui::guard(this, ui::stopWithCause(kSettingFailed, ui::kProgramTitle, ui::Icon::None),
                  [&] { deleteUser(session_.db(), name); });
        clearTexts();
        delete_->setEnabled(false);
    }
    loadNames();
}

void UsersWindow::confirmClicked() {
    const QString name = name_->text().trimmed();
    const QString password = password_->text().trimmed();
    const bool mismatch = name.isEmpty() || password.isEmpty() || confirm_->text().trimmed() != password;
    // The database refusing the change is reported with the window's message and its cause.
    ui::guard(this, ui::stopWithCause(kSettingFailed, ui::kProgramTitle, ui::Icon::None), [&] {
        if (mode_ == Mode::Add) {
            if (mismatch) {
                ui::inform(this, QStringLiteral("用户名不能空！或密码输入不正确！"));
                return;
            }
            addUser(session_.db(), name_->text(), password_->text());
            clearTexts();
            loadNames();
            add_->setEnabled(true);
            setTextsEnabled(false);
        } else if (mode_ == Mode::Change) {
            if (mismatch) {
                ui::inform(this, QStringLiteral("用户名和密码不能空！或密码输入不正确！"));
                name_->setFocus();
                return;
            }
            // The name box is open again in this mode: it must still name the operator.
            if (name != session_.state().currentUser.trimmed()) {
                ui::inform(this, QStringLiteral("只能修改本人的口令！"));
                return;
            }
            if (!changePassword(session_.db(), name, password_->text())) {
                ui::inform(this, kSettingFailed);
                return;
            }
            ui::inform(this, QStringLiteral("修改完毕！"));
            clearTexts();
            confirmButton_->setEnabled(false);
            setTextsEnabled(false);
        }
    });
}

void UsersWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出用户设置"));
    close();
}

bool UsersWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == confirm_)
                confirmClicked();
            else if (watched == name_)
                password_->setFocus(Qt::TabFocusReason);
            else if (watched == password_)
                confirm_->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace settings
