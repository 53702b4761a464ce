#include "TestFolder.h"

#include "login/AppController.h"
#include "login/Login.h"
#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Passwords.h"
#include "ui/CharacterLimit.h"
#include "ui/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace login;
using testing_support::countRows;
using testing_support::TestFolder;

namespace {

void addUser(store::Database& db, const QString& name, const QString& pass) {
    db.exec(QStringLiteral("INSERT INTO basic VALUES (?, ?, 0)"), {name, pass});
}

// The shipped super user, picked first in the list, has an empty password.
void logInAsFirstUser(AppController& app) {
    app.loginWindow()->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(0);
    app.loginWindow()->logInClicked();
}

} // namespace

TEST(StartUp, ReportsAMissingForeignOrDamagedDatabaseAndEnds) {
    ui::ScriptedDialogs dialogs;
    {
        TestFolder folder(false);
        AppController app(folder.path());
        EXPECT_FALSE(app.start());
        EXPECT_TRUE(dialogs.last().text.contains(QStringLiteral("”不存在。")));
        EXPECT_TRUE(dialogs.last().text.contains(folder.file(QStringLiteral("lib.mdb"))));
        EXPECT_EQ(dialogs.last().icon, ui::Icon::Critical);
        EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("lib.mdb"))));
    }
    {
        TestFolder folder(false);
        store::Database::create(folder.file(QStringLiteral("lib.mdb")), QStringLiteral("other"))
            ->exec(QStringLiteral("CREATE TABLE t(x)"));
        AppController app(folder.path());
        EXPECT_FALSE(app.start());
        // Damage and another password look alike: the message names both.
        EXPECT_TRUE(dialogs.last().text.contains(QStringLiteral("可能已损坏")));
        EXPECT_TRUE(dialogs.last().text.contains(QStringLiteral("别的密码")));
    }
    {
        TestFolder folder(false);
        QFile junk(folder.file(QStringLiteral("lib.mdb")));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("Standard Jet DB? no, just some bytes");
        junk.close();
        const qint64 size = QFile(junk.fileName()).size();
        AppController app(folder.path());
        EXPECT_FALSE(app.start());
        EXPECT_TRUE(dialogs.last().text.contains(QStringLiteral("已损坏或不是数据库文件")));
        EXPECT_EQ(QFile(junk.fileName()).size(), size) << "the file is left as it was";
    }
}

TEST(StartUp, RefusesASecondCopy) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    QLockFile running(folder.file(QStringLiteral("tessaly.lock")));
    ASSERT_TRUE(running.tryLock(0));
    AppController app(folder.path());
    EXPECT_FALSE(app.start());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last().text, QStringLiteral("程序已经运行，不能再次装载。"));
    EXPECT_EQ(dialogs.last().icon, ui::Icon::Exclamation);
    EXPECT_EQ(dialogs.last().title, ui::kProgramTitle);
}

TEST(Login, ComparesPasswordsExactly) {
    TestFolder folder;
    auto session = folder.session(QString());
    addUser(session->db(), QStringLiteral("张三"), store::hashPassword(QStringLiteral("Abc")));
    addUser(session->db(), QStringLiteral("李四"), QStringLiteral("plain"));
    const auto users = readUsers(session->db());
    ASSERT_EQ(users.size(), 3u);

    EXPECT_EQ(logIn(*session, users, QString(), QString()), LoginOutcome::EmptyName);
    EXPECT_EQ(logIn(*session, users, QStringLiteral("王五"), QString()), LoginOutcome::EmptyName);
    EXPECT_EQ(logIn(*session, users, QStringLiteral("张三"), QStringLiteral("abc")),
              LoginOutcome::WrongPassword);
    EXPECT_EQ(logIn(*session, users, QStringLiteral("张三"), QStringLiteral("Abc ")),
              LoginOutcome::WrongPassword);
    EXPECT_EQ(logIn(*session, users, QStringLiteral("李四"), QStringLiteral("plain ")),
              LoginOutcome::WrongPassword);
    EXPECT_EQ(session->log().count(), 0);

    EXPECT_EQ(logIn(*session, users, QStringLiteral("张三"), QStringLiteral("Abc")), LoginOutcome::LoggedIn);
    EXPECT_EQ(session->state().currentUser, QStringLiteral("张三"));
    // The shipped super user has an empty password.
    EXPECT_EQ(logIn(*session, users, QStringLiteral("超级用户"), QString()), LoginOutcome::LoggedIn);
    EXPECT_EQ(session->log().count(), 2);
}

TEST(Login, LegacyPlainPasswordIsHashedAtTheNextLogin) {
    TestFolder folder;
    auto session = folder.session(QString());
    addUser(session->db(), QStringLiteral("李四"), QStringLiteral("Secret1"));
    const auto users = readUsers(session->db());
    ASSERT_EQ(logIn(*session, users, QStringLiteral("李四"), QStringLiteral("Secret1")),
              LoginOutcome::LoggedIn);
    const QString stored =
        session->db().scalar(QStringLiteral("SELECT pass FROM basic WHERE name = '李四'")).toString();
    EXPECT_TRUE(store::isPasswordHash(stored));
    EXPECT_TRUE(store::checkPassword(stored, QStringLiteral("Secret1")).matches);
    EXPECT_FALSE(store::checkPassword(stored, QStringLiteral("secret1")).matches);
}

TEST(LoginWindow, ListsEveryUserAndLogsOneRowPerLogin) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    {
        auto s = folder.session();
        for (int i = 0; i < 30; ++i)
            addUser(s->db(), QStringLiteral("用户%1").arg(i), QStringLiteral("p%1").arg(i));
        addUser(s->db(), QStringLiteral("用户3"), QStringLiteral("second of that name"));
    }
    AppController app(folder.path(), folder.clock.clock());
    bool quit = false;
    app.quit = [&] { quit = true; };
    ASSERT_TRUE(app.start());
    LoginWindow* window = app.loginWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("企事业离Tessaly系统V4.1"));
    auto* names = window->findChild<QComboBox*>(QStringLiteral("Combo1"));
    auto* password = window->findChild<QLineEdit*>(QStringLiteral("Text1"));
    EXPECT_EQ(names->count(), 32) << "no limit of 21 users";
    EXPECT_EQ(names->currentText(), QString());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(ui::characterLimit(*password), 20);

    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_EQ(dialogs.last().text, QStringLiteral("请选择用户名"));
    EXPECT_EQ(dialogs.last().icon, ui::Icon::None);

    names->setCurrentIndex(4); // 用户3, the first of that name counts
    password->setText(QStringLiteral("second of that name"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_EQ(dialogs.last().text, QStringLiteral("密码错！请重新输入！"));
    EXPECT_EQ(password->text(), QStringLiteral("second of that name")) << "the box keeps its text";
    EXPECT_TRUE(password->hasFocus()) << "the cursor waits in the box";
    EXPECT_EQ(password->selectedText(), password->text()) << "typing again replaces it";

    password->setText(QStringLiteral("p3"));
    QMetaObject::invokeMethod(password, "returnPressed");
    ASSERT_NE(app.mainWindow(), nullptr);
    auto& db = app.session().db();
    EXPECT_EQ(countRows(db, QStringLiteral("user")), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT \"操作员\" FROM \"user\"")).toString(),
              QStringLiteral("用户3"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT \"操作内容\" FROM \"user\"")).toString(),
              QStringLiteral("进入系统"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT \"日期时间\" FROM \"user\"")).toString(),
              QStringLiteral("2008年06月23日09时05分"));
    EXPECT_FALSE(quit);
}

TEST(LoginWindow, ReloginReadsTheUsersAgain) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    AppController app(folder.path(), folder.clock.clock());
    ASSERT_TRUE(app.start());
    logInAsFirstUser(app);
    ASSERT_NE(app.mainWindow(), nullptr);
    addUser(app.session().db(), QStringLiteral("新用户"), QString());

    testing_support::trigger(*app.mainWindow(), QStringLiteral("S5"));
    EXPECT_EQ(app.mainWindow(), nullptr);
    ASSERT_NE(app.loginWindow(), nullptr);
    EXPECT_EQ(app.loginWindow()->findChild<QComboBox*>(QStringLiteral("Combo1"))->count(), 2);
    EXPECT_EQ(countRows(app.session().db(), QStringLiteral("user")), 1) << "re-login writes no log row";
}

TEST(LoginWindow, ReloginClosesEveryOpenWindow) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    AppController app(folder.path(), folder.clock.clock());
    ASSERT_TRUE(app.start());
    logInAsFirstUser(app);
    MainWindow* main = app.mainWindow();
    ASSERT_NE(main, nullptr);
    for (const char* key : {"W1", "W2", "W3", "s3", "S1", "S2", "user", "H1"})
        testing_support::trigger(*main, QString::fromLatin1(key));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return main->findChild<QWidget*>(QStringLiteral("Form3")) != nullptr; }));
    EXPECT_GE(main->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 8);
    QPointer<QWidget> entry = main->findChild<QWidget*>(QStringLiteral("Form3"));
    ASSERT_TRUE(entry);

    testing_support::trigger(*main, QStringLiteral("S5"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(entry) << "windows of the old connection are gone";
    ASSERT_NE(app.loginWindow(), nullptr);
    logInAsFirstUser(app);
    ASSERT_NE(app.mainWindow(), nullptr);
    testing_support::trigger(*app.mainWindow(), QStringLiteral("W1"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return app.mainWindow()->findChild<QWidget*>(QStringLiteral("Form3")) != nullptr; }));
}

TEST(StartUp, AsksBeforeTakingOverALockAnotherComputerLeft) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    const QString lockPath = folder.file(QStringLiteral("tessaly.lock"));
    const auto leaveForeignLock = [&] {
        QFile lock(lockPath);
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write("4242\ntessaly\noffice-pc-2\n");
        lock.flush();
        ASSERT_TRUE(lock.setFileTime(QDateTime(QDate(2026, 12, 4), QTime(17, 35)),
                                     QFileDevice::FileModificationTime));
        lock.close();
    };
    leaveForeignLock();
    {
        AppController app(folder.path());
        EXPECT_FALSE(app.start()) << "No, the default, ends the program";
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last().kind, ui::ScriptedDialogs::Kind::Question);
        EXPECT_EQ(dialogs.last().button, ui::Default::No);
        EXPECT_EQ(dialogs.last().text,
                  QStringLiteral("计算机“office-pc-2”于2026年12月4日 17:35在程序文件夹中留下了运行标记，"
                                 "本程序可能正在那里运行。\n如果那台计算机上的本程序已经退出，"
                                 "可以继续启动；如果它还在运行，两处同时修改一个数据库会损坏数据。\n"
                                 "要继续启动吗？"));
        EXPECT_EQ(app.loginWindow(), nullptr);
        QFile lock(lockPath);
        ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
        EXPECT_TRUE(lock.readAll().contains("office-pc-2")) << "the other computer's lock is left alone";
    }
    {
        dialogs.clear();
        dialogs.answer({true});
        AppController app(folder.path());
        EXPECT_TRUE(app.start());
        EXPECT_EQ(dialogs.shown.size(), 1);
        ASSERT_NE(app.loginWindow(), nullptr);
        QLockFile second(lockPath);
        EXPECT_FALSE(second.tryLock(0)) << "this copy holds the lock now";
    }
}

TEST(StartUp, AsksBeforeTakingOverALockThatCannotBeRead) {
    // A crash between making the lock file and writing it leaves it empty; it must not keep the
    // program from starting for ever.
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    QFile lock(folder.file(QStringLiteral("tessaly.lock")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    ASSERT_TRUE(
        lock.setFileTime(QDateTime(QDate(2026, 11, 30), QTime(8, 5)), QFileDevice::FileModificationTime));
    lock.close();
    {
        AppController app(folder.path());
        EXPECT_FALSE(app.start());
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last().text,
                  QStringLiteral("程序文件夹中有一个2026年11月30日 08:05留下的运行标记，但无法识别，"
                                 "可能是本程序意外中断时留下的。\n如果本程序没有在别处运行，可以继续启动；"
                                 "如果它还在运行，两处同时修改一个数据库会损坏数据。\n要继续启动吗？"));
        EXPECT_EQ(dialogs.last().button, ui::Default::No);
        EXPECT_TRUE(QFile::exists(lock.fileName()));
    }
    dialogs.answer({true});
    AppController app(folder.path());
    EXPECT_TRUE(app.start());
    EXPECT_NE(app.loginWindow(), nullptr);
}

TEST(StartUp, ALockThatCannotBeOpenedIsNamedNotTakenForASecondCopy) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    const QString lockPath = folder.file(QStringLiteral("tessaly.lock"));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("tessaly.lock")));
    dialogs.answer({true});
    AppController app(folder.path());
    EXPECT_FALSE(app.start());
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[0].kind, ui::ScriptedDialogs::Kind::Question);
    EXPECT_EQ(dialogs.last().text,
              QStringLiteral("程序文件夹中的“%1”是一个文件夹，不是本程序的运行标记，本程序不能在这里运行。\n"
                             "请删除这个文件夹或给它改名后再启动本程序。程序将结束。")
                  .arg(lockPath));
    EXPECT_EQ(dialogs.last().icon, ui::Icon::Critical);
    EXPECT_TRUE(QFileInfo(lockPath).isDir()) << "the folder is left as it was";
    EXPECT_EQ(login::unusableLockMessage(lockPath, false),
              QStringLiteral("程序文件夹中的运行标记“%1”无法打开或删除（可能属于别的用户，没有权限）。\n"
                             "请删除这个文件后再启动本程序。程序将结束。")
                  .arg(lockPath));
}

TEST(StartUp, NamesTheRealCauseWhenTheFolderOrTheFileCannotBeUsed) {
    ui::ScriptedDialogs dialogs;
    {
        // A program folder that cannot take the lock file is not a second copy.
        TestFolder folder(false);
        const QString notAFolder = folder.file(QStringLiteral("program"));
        QFile file(notAFolder);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        AppController app(notAFolder);
        EXPECT_FALSE(app.start());
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last().text,
                  QStringLiteral(
                      "程序文件夹“%1”不能写入（只读、磁盘已满或文件夹不存在），程序无法运行。\n程序将结束。")
                      .arg(notAFolder));
        EXPECT_EQ(dialogs.last().icon, ui::Icon::Critical);
    }
    {
        // Held by another program past the busy timeout: locked, not damaged.
        dialogs.clear();
        TestFolder folder;
        store::Database holder(folder.file(QStringLiteral("lib.mdb")));
        holder.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        holder.exec(QStringLiteral("UPDATE system SET bakpath = bakpath"));
        AppController app(folder.path());
        app.session().openOptions().busyTimeoutMs = 50;
        EXPECT_FALSE(app.start());
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(
            dialogs.last().text,
            QStringLiteral("数据库文件“%"
                           "1”正被其他程序占用，现在打不开。\n请关闭占用它的程序后再启动本程序。程序将结束。")
                .arg(folder.file(QStringLiteral("lib.mdb"))));
        holder.exec(QStringLiteral("ROLLBACK"));
    }
    {
        dialogs.clear();
        TestFolder folder(false);
        ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("lib.mdb")));
        AppController app(folder.path());
        EXPECT_FALSE(app.start());
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(
            dialogs.last().text,
            QStringLiteral("数据库文件“%1”是一个文件夹（或设备），不是数据库文件。\n程序无法运行，将结束。")
                .arg(folder.file(QStringLiteral("lib.mdb"))));
    }
    {
        // Read-only: the program starts and says that nothing can be saved.
        dialogs.clear();
        TestFolder folder;
        AppController app(folder.path());
        app.session().openOptions().readOnly = true;
        EXPECT_TRUE(app.start());
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last().text,
                  QStringLiteral("数据库文件“%1”是只读的：可以查看，但所做的修改都不能保存。")
                      .arg(folder.file(QStringLiteral("lib.mdb"))));
        EXPECT_EQ(dialogs.last().icon, ui::Icon::Exclamation);
        EXPECT_NE(app.loginWindow(), nullptr);
    }
}

// Missing indexes are made on the job runner, its panel showing the steps with 取消; a stop keeps
// what was made and the next start makes the rest. A read-only file opens and gets none.
TEST(StartUp, GivesADatabaseFromAnEarlierVersionItsIndexes) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    const auto indexes = [&] {
        store::Database db(folder.file(QStringLiteral("lib.mdb")));
        return db
            .scalar(QStringLiteral("SELECT group_concat(name) FROM (SELECT name FROM sqlite_master "
                                   "WHERE type = 'index' AND tbl_name = 'wslib' ORDER BY name)"))
            .toString();
    };
    const QString shipped = indexes();
    EXPECT_EQ(
        shipped,
        QStringLiteral("wslib_c5,wslib_c6,wslib_id,wslib_id_number,wslib_name,wslib_number,wslib_report"));
    store::Database holder(folder.file(QStringLiteral("lib.mdb")));
    holder.exec(QStringLiteral("DROP INDEX wslib_id_number"));
    holder.exec(QStringLiteral("DROP INDEX wslib_c6"));
    const QString older = indexes();
    {
        AppController app(folder.path());
        app.session().openOptions().readOnly = true;
        ASSERT_TRUE(app.start());
        EXPECT_NE(app.loginWindow(), nullptr);
        EXPECT_EQ(indexes(), older);
        EXPECT_EQ(dialogs.shown.size(), 1) << "the read-only message alone";
        dialogs.clear();
    }
    // The first index waits for the holder's write; meanwhile the panel shows the step, and 取消
    // stops the work after that index.
    holder.exec(QStringLiteral("BEGIN IMMEDIATE"));
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() != QStringLiteral("JobPanel") || !poll.isActive())
                continue;
            shown = window->findChild<QLabel*>()->text();
            if (shown.isEmpty())
                continue;
            poll.stop();
            window->findChild<QPushButton*>(QStringLiteral("JobCancel"))->click();
            holder.exec(QStringLiteral("ROLLBACK"));
        }
    });
    poll.start(20);
    {
        AppController app(folder.path());
        ASSERT_TRUE(app.start());
        EXPECT_NE(app.loginWindow(), nullptr);
    }
    EXPECT_EQ(shown, QStringLiteral("正在为人员表建立索引（第1步，共2步）……"));
    EXPECT_EQ(records::missingPersonIndexes(holder), 1);
    AppController app(folder.path());
    ASSERT_TRUE(app.start());
    EXPECT_EQ(indexes(), shipped);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}
