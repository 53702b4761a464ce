#include "TestFolder.h"

#include "login/Login.h"
#include "settings/UserAccounts.h"
#include "settings/UsersWindow.h"
#include "store/Passwords.h"
#include "store/Session.h"
#include "ui/ScriptedDialogs.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

using settings::UsersWindow;
using testing_support::countRows;

namespace {

struct Users {
    explicit Users(const QString& user, store::Dialect dialect = store::Dialect::Embedded)
        : session(folder.session(user, dialect)) {
        settings::addUser(session->db(), QStringLiteral("张三"), QStringLiteral("old"));
        settings::addUser(session->db(), QStringLiteral("李四"), QStringLiteral("first"));
        settings::addUser(session->db(), QStringLiteral("李四"), QStringLiteral("second"));
        window = std::make_unique<UsersWindow>(*session);
    }
    QLineEdit* box(const char* name) { return window->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    int rowOf(const QString& name) {
        auto* list = window->findChild<QListWidget*>(QStringLiteral("List1"));
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text() == name)
                return i;
        }
        return -1;
    }
    // Checks a password as the login window would, without changing who is at the keyboard.
    bool logsIn(const QString& name, const QString& password) {
        const QString operatorName = session->state().currentUser;
        const bool ok = login::logIn(*session, login::readUsers(session->db()), name, password) ==
                        login::LoginOutcome::LoggedIn;
        session->state().currentUser = operatorName;
        return ok;
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<UsersWindow> window;
};

// The users and their rights are shared on a server: the window works there as on the file.
class UsersWindowOnBothEngines : public testing::TestWithParam<store::Dialect> {};

INSTANTIATE_TEST_SUITE_P(Engines, UsersWindowOnBothEngines,
                         testing::Values(store::Dialect::Embedded, store::Dialect::Server),
                         [](const testing::TestParamInfo<store::Dialect>& info) {
                             return info.param == store::Dialect::Server ? "Server" : "Embedded";
                         });

} // namespace

TEST(UsersWindow, OpensWithItsButtonStatesAndLogs) {
    Users f(QStringLiteral("张三"));
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("用户设置"));
    EXPECT_EQ(f.window->findChild<QListWidget*>(QStringLiteral("List1"))->count(), 4);
    EXPECT_TRUE(f.button("Command1")->isEnabled());
    EXPECT_FALSE(f.button("Command2")->isEnabled());
    EXPECT_FALSE(f.button("Command3")->isEnabled());
    EXPECT_FALSE(f.button("Command4")->isEnabled());
    EXPECT_FALSE(f.box("Text1")->isEnabled());
    EXPECT_EQ(f.box("Text2")->echoMode(), QLineEdit::Password);
    f.window->pickName(f.rowOf(QStringLiteral("张三")));
    EXPECT_EQ(f.box("Text1")->text(), QStringLiteral("张三"));
    EXPECT_TRUE(f.button("Command2")->isEnabled());
    EXPECT_TRUE(f.button("Command3")->isEnabled());
    f.button("cmdCancel")->click();
    EXPECT_EQ(
        f.session->db().scalar(QStringLiteral("SELECT group_concat(\"操作内容\") FROM \"user\"")).toString(),
        QStringLiteral("进入用户设置,退出用户设置"));
}

TEST_P(UsersWindowOnBothEngines, OrdinaryUsersCannotAddDeleteOrChangeOthers) {
    Users f(QStringLiteral("张三"), GetParam());
    f.button("Command1")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("您不是超级用户！"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::None);
    EXPECT_EQ(f.window->mode(), UsersWindow::Mode::None);
    f.window->pickName(f.rowOf(QStringLiteral("李四")));
    f.button("Command3")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("您不是超级用户！"));
    f.button("Command2")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("只能修改本人的口令！"));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("basic")), 4);

    // Changing one's own password, then trying to aim the change at someone else.
    f.window->pickName(f.rowOf(QStringLiteral("张三")));
    f.button("Command2")->click();
    EXPECT_EQ(f.window->mode(), UsersWindow::Mode::Change);
    f.box("Text1")->setText(QStringLiteral("李四"));
    f.box("Text2")->setText(QStringLiteral("hijack"));
    f.box("Text3")->setText(QStringLiteral("hijack"));
    f.button("Command4")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("只能修改本人的口令！"));
    EXPECT_TRUE(f.logsIn(QStringLiteral("李四"), QStringLiteral("first")));

    f.box("Text1")->setText(QStringLiteral("张三"));
    f.box("Text3")->setText(QStringLiteral("other"));
    f.button("Command4")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("用户名和密码不能空！或密码输入不正确！"));
    f.box("Text3")->setText(QStringLiteral("hijack"));
    f.button("Command4")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("修改完毕！"));
    EXPECT_FALSE(f.button("Command4")->isEnabled());
    EXPECT_TRUE(f.logsIn(QStringLiteral("张三"), QStringLiteral("hijack")));
    EXPECT_FALSE(f.logsIn(QStringLiteral("张三"), QStringLiteral("old")));
}

TEST_P(UsersWindowOnBothEngines, SuperUserAddsAndDeletes) {
    Users f(QStringLiteral("超级用户"), GetParam());
    f.window->pickName(f.rowOf(QStringLiteral("超级用户")));
    f.button("Command3")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("不能删除超级用户或用户名栏空！"));

    f.button("Command1")->click();
    EXPECT_EQ(f.window->mode(), UsersWindow::Mode::Add);
    EXPECT_TRUE(f.box("Text1")->isEnabled());
    f.box("Text1")->setText(QStringLiteral("王五"));
    f.box("Text2")->setText(QStringLiteral("Pass1"));
    f.box("Text3")->setText(QStringLiteral("Pass1 "));
    f.button("Command4")->click();
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("basic")), 5) << "confirmation compared trimmed";
    EXPECT_TRUE(f.box("Text1")->text().isEmpty());
    EXPECT_TRUE(f.logsIn(QStringLiteral("王五"), QStringLiteral("Pass1")));
    EXPECT_FALSE(f.logsIn(QStringLiteral("王五"), QStringLiteral("Pass1 ")));
    EXPECT_TRUE(store::isPasswordHash(
        f.session->db().scalar(QStringLiteral("SELECT pass FROM basic WHERE name = '王五'")).toString()));

    f.button("Command1")->click();
    f.box("Text2")->setText(QStringLiteral("x"));
    f.box("Text3")->setText(QStringLiteral("x"));
    f.button("Command4")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("用户名不能空！或密码输入不正确！"));
    EXPECT_EQ(f.window->mode(), UsersWindow::Mode::Add);

    // Duplicate names: deleting reaches the row added first.
    f.window->pickName(f.rowOf(QStringLiteral("李四")));
    f.dialogs.answer({true});
    f.button("Command3")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的删除所选用户！"));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("basic"), QStringLiteral("name = '李四'")), 1);
    EXPECT_TRUE(f.logsIn(QStringLiteral("李四"), QStringLiteral("second")));
    EXPECT_FALSE(f.button("Command3")->isEnabled());

    // Names that differ only in case are different users.
    for (const char* name : {"Wang", "wang"}) {
        f.button("Command1")->click();
        f.box("Text1")->setText(QString::fromLatin1(name));
        f.box("Text2")->setText(QString::fromLatin1(name));
        f.box("Text3")->setText(QString::fromLatin1(name));
        f.button("Command4")->click();
    }
    f.window->pickName(f.rowOf(QStringLiteral("wang")));
    f.dialogs.answer({true});
    f.button("Command3")->click();
    EXPECT_EQ(f.rowOf(QStringLiteral("wang")), -1);
    EXPECT_TRUE(f.logsIn(QStringLiteral("Wang"), QStringLiteral("Wang")));
}
