#include "TestFolder.h"

#include "login/LogWindow.h"
#include "login/MainWindow.h"
#include "store/BulkLock.h"
#include "ui/ScriptedDialogs.h"
#include "ui/Window.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <QTest>

#include <gtest/gtest.h>

using namespace login;
using testing_support::countRows;
using testing_support::TestFolder;

namespace {

struct MainFixture {
    explicit MainFixture(const QString& user, store::Dialect dialect = store::Dialect::Embedded)
        : session(folder.session(user, dialect)) {
        session->db().exec(
            QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\") VALUES ('000001', '王一')"));
        window =
            std::make_unique<MainWindow>(*session, MainHooks{[this] { ++quits; }, [this] { ++relogins; }});
    }
    qint64 rows(const QString& table) { return countRows(session->db(), table); }

    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<MainWindow> window;
    int quits = 0;
    int relogins = 0;
};

// The operator log is shared on a server: its window works there as on the file.
class LogWindowOnBothEngines : public testing::TestWithParam<store::Dialect> {};

INSTANTIATE_TEST_SUITE_P(Engines, LogWindowOnBothEngines,
                         testing::Values(store::Dialect::Embedded, store::Dialect::Server),
                         [](const testing::TestParamInfo<store::Dialect>& info) {
                             return info.param == store::Dialect::Server ? "Server" : "Embedded";
                         });

} // namespace

TEST(MainWindow, StatusBarShowsUnitOperatorAndClockAfterTheFirstTick) {
    MainFixture f(QStringLiteral("张三"));
    auto* panel3 = f.window->findChild<QLabel*>(QStringLiteral("Panel3"));
    EXPECT_EQ(panel3->text(), QString()) << "nothing before the first tick";
    f.window->refreshStatus();
    EXPECT_EQ(f.window->findChild<QLabel*>(QStringLiteral("Panel1"))->text(), f.session->state().unitName);
    EXPECT_EQ(f.window->findChild<QLabel*>(QStringLiteral("Panel2"))->text(), QStringLiteral("操作员：张三"));
    EXPECT_EQ(panel3->text(), QStringLiteral("星期一 2008年06月23日   9时5分"));
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("企事业离Tessaly系统V4.1"));
}

TEST(MainWindow, ScalesPictureBoxesAndPanelsToTheScreen) {
    QWidget window;
    window.setGeometry(10, 20, 400, 300);
    QWidget picture(&window);
    picture.setProperty("pictureBox", true);
    picture.setGeometry(0, 0, 200, 100);
    QLabel panel(&window);
    panel.setProperty("statusPanel", true);
    panel.setFixedWidth(100);
    QWidget other(&window);
    other.setGeometry(5, 5, 50, 50);

    ui::setWindow(window, QSize(800, 600));
    EXPECT_EQ(window.geometry(), QRect(10, 20, 400, 300));
    EXPECT_EQ(picture.geometry(), QRect(0, 0, 200, 100));

    ui::setWindow(window, QSize(1024, 768));
    EXPECT_EQ(window.geometry(), QRect(13, 26, 512, 384));
    EXPECT_EQ(picture.geometry(), QRect(0, 0, 256, 128));
    EXPECT_EQ(panel.width(), 128);
    EXPECT_EQ(other.geometry(), QRect(5, 5, 50, 50));
}

TEST(MainWindow, SuperUserCommandsRefuseOthersAndChangeNothing) {
    MainFixture f(QStringLiteral("超级用户 ")); // trailing blank: not the super user for initialisation
    f.dialogs.answer({true, true, true, true, true, true});
    const qint64 km = f.rows(QStringLiteral("km"));
    testing_support::trigger(*f.window, QStringLiteral("Datastar"));
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("您不是超级用户，无此权限！"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::None);
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);

    MainFixture g(QStringLiteral("张三"));
    for (const char* key : {"INexcel", "OUTexcel", "upV", "hebin"}) {
        g.dialogs.clear();
        g.window->findChild<QAction*>(QString::fromLatin1(key))->trigger();
        ASSERT_EQ(g.dialogs.shown.size(), 1) << key;
        EXPECT_EQ(g.dialogs.last().text, QStringLiteral("您不是超级用户！无此权限！")) << key;
        EXPECT_EQ(g.dialogs.last().kind, ui::ScriptedDialogs::Kind::Message);
    }
    g.dialogs.clear();
    testing_support::trigger(*g.window, QStringLiteral("Datastar"));
    EXPECT_EQ(g.dialogs.last().text, QStringLiteral("您不是超级用户，无此权限！"));
    EXPECT_EQ(g.rows(QStringLiteral("wslib")), 1);
    EXPECT_EQ(g.rows(QStringLiteral("km")), km);
}

TEST(MainWindow, InitialisationEmptiesPersonsAndLogAndAsksAboutCategories) {
    {
        MainFixture f(QStringLiteral("超级用户"));
        f.session->log().write(QStringLiteral("进入系统"));
        const qint64 km = f.rows(QStringLiteral("km"));
        f.dialogs.answer({true, false});
        testing_support::trigger(*f.window, QStringLiteral("Datastar"));
        ASSERT_EQ(f.dialogs.shown.size(), 2);
        EXPECT_EQ(f.dialogs.shown[0].text,
                  QStringLiteral("初始化将会清空所有数据！你确定吗？（建议初始化前请先备份数据！）"));
        EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("清空类别库所有数据吗？"));
        EXPECT_EQ(f.rows(QStringLiteral("wslib")), 0);
        EXPECT_EQ(f.rows(QStringLiteral("user")), 0);
        EXPECT_EQ(
            testing_support::countRows(
                f.session->db(), QStringLiteral("history"),
                QStringLiteral(
                    "kind = '批量' AND field = '数据初始化' AND new_value = 1 AND operator = '超级用户'")),
            1);
        EXPECT_EQ(f.rows(QStringLiteral("km")), km);
        EXPECT_EQ(f.rows(QStringLiteral("basic")), 1);
        EXPECT_EQ(f.rows(QStringLiteral("Print")), 3);
    }
    {
        MainFixture f(QStringLiteral("超级用户"));
        f.dialogs.answer({true, true});
        testing_support::trigger(*f.window, QStringLiteral("Datastar"));
        EXPECT_EQ(f.rows(QStringLiteral("km")), 65) << "definition rows stay";
        EXPECT_EQ(f.rows(QStringLiteral("wslib")), 0);
    }
    {
        MainFixture f(QStringLiteral("超级用户"));
        f.dialogs.answer({false});
        testing_support::trigger(*f.window, QStringLiteral("Datastar"));
        EXPECT_EQ(f.dialogs.shown.size(), 1);
        EXPECT_EQ(f.rows(QStringLiteral("wslib")), 1);
    }
}

TEST(MainWindow, InitialisationFailureChangesNothing) {
    MainFixture f(QStringLiteral("超级用户"));
    f.session->log().write(QStringLiteral("进入系统"));
    // A trigger that makes the log deletion fail after the persons were deleted.
    f.session->db().exec(QStringLiteral(
        "CREATE TRIGGER keep_log BEFORE DELETE ON \"user\" BEGIN SELECT RAISE(ABORT, 'locked'); END"));
    f.dialogs.answer({true, true});
    testing_support::trigger(*f.window, QStringLiteral("Datastar"));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("出错了!"));
    EXPECT_EQ(f.dialogs.last().title, QStringLiteral("请联系软件编写人！"));
    EXPECT_EQ(f.rows(QStringLiteral("wslib")), 1);
    EXPECT_GT(f.rows(QStringLiteral("km")), 65);
    EXPECT_EQ(f.rows(QStringLiteral("user")), 1);
}

TEST(MainWindow, InitialisationOnTheServerIsRefusedWhileAnotherOperatorMerges) {
    MainFixture f(QStringLiteral("超级用户"), store::Dialect::Server);
    const auto other = store::Database::connect(f.session->target().server);
    const store::BulkLock merging(*other, QStringLiteral("李四"), store::BulkWork::Merge);
    testing_support::trigger(*f.window, QStringLiteral("Datastar"));
    ASSERT_EQ(f.dialogs.shown.size(), 1) << "refused before any question";
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("操作员“李四”正在合并数据，请稍后再试。"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
    EXPECT_EQ(f.rows(QStringLiteral("wslib")), 1);
}

TEST(MainWindow, LeavingAsksOnlyOnTheToolbar) {
    MainFixture f(QStringLiteral("张三"));
    testing_support::trigger(*f.window, QStringLiteral("tt11"));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的退出吗？"));
    EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::Question);
    EXPECT_EQ(f.quits, 0);
    EXPECT_EQ(f.rows(QStringLiteral("user")), 0);

    f.dialogs.answer({true});
    testing_support::trigger(*f.window, QStringLiteral("tt11"));
    EXPECT_EQ(f.quits, 1);
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"操作内容\" FROM \"user\"")).toString(),
              QStringLiteral("退出系统"));

    f.dialogs.clear();
    f.window->findChild<QAction*>(QStringLiteral("S4"))->trigger();
    EXPECT_EQ(f.quits, 2);
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(f.rows(QStringLiteral("user")), 1);
}

TEST(MainWindow, EndingOrReloginFirstSettlesTheEntryWindowsUnsavedChanges) {
    using Answer = ui::Answer;
    struct Case {
        const char* key;
        Answer reply;
        int quits;
        int relogins;
    };
    const Case cases[] = {
        {"S4", Answer::Cancel, 0, 0},   {"S4", Answer::No, 1, 0},    {"S4", Answer::Yes, 1, 0},
        {"tt11", Answer::Cancel, 0, 0}, {"tt11", Answer::Yes, 1, 0}, {"S5", Answer::Cancel, 0, 0},
        {"S5", Answer::No, 0, 1},       {"S5", Answer::Yes, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " answered " + std::to_string(int(c.reply)));
        MainFixture f(QStringLiteral("张三"));
        testing_support::trigger(*f.window, QStringLiteral("W1"));
        QWidget* entry = nullptr;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return (entry = f.window->findChild<QWidget*>(QStringLiteral("Form3"))); }));
        auto* name = entry->findChild<QLineEdit*>(QStringLiteral("Text4"));
        name->setText(QStringLiteral("李四"));
        f.dialogs.answer({true}); // 真的退出吗？
        f.dialogs.replies.enqueue(c.reply);
        testing_support::trigger(*f.window, QString::fromLatin1(c.key));
        ASSERT_FALSE(f.dialogs.shown.isEmpty());
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("是否保存对当前记录的修改？"));
        EXPECT_EQ(f.quits, c.quits);
        EXPECT_EQ(f.relogins, c.relogins);
        EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"姓名\" FROM wslib")).toString(),
                  c.reply == Answer::Yes ? QStringLiteral("李四") : QStringLiteral("王一"));
        EXPECT_EQ(f.rows(QStringLiteral("user")), c.quits && QByteArray(c.key) == "tt11" ? 2 : 1)
            << "进入信息录入, and 退出系统 only when the program ends";
        if (c.reply == Answer::Cancel) {
            EXPECT_EQ(name->text(), QStringLiteral("李四"));
        }
    }

    // Closing the main window keeps the entry window open with what it holds; an untouched one
    // lets the program end at once.
    MainFixture f(QStringLiteral("张三"));
    testing_support::trigger(*f.window, QStringLiteral("W1"));
    QWidget* entry = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (entry = f.window->findChild<QWidget*>(QStringLiteral("Form3"))); }));
    f.window->findChild<QAction*>(QStringLiteral("S4"))->trigger();
    EXPECT_EQ(f.quits, 1);
    entry->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("李四"));
    f.window->close();
    EXPECT_TRUE(entry->isVisible());
    EXPECT_EQ(entry->findChild<QLineEdit*>(QStringLiteral("Text4"))->text(), QStringLiteral("李四"));
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}

TEST(MainWindow, WageProcessingOnlyInforms) {
    MainFixture f(QStringLiteral("张三"));
    testing_support::trigger(*f.window, QStringLiteral("tt7"));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("此功能暂时不能使用"));
    EXPECT_EQ(f.dialogs.last().title, QStringLiteral("抱歉！"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
    testing_support::trigger(*f.window, QStringLiteral("w4"));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("此功能暂时不能使用！"));
    EXPECT_FALSE(f.window->findChild<QAction*>(QStringLiteral("w4"))->isVisible());
}

TEST_P(LogWindowOnBothEngines, OpeningLeavingAndClearing) {
    MainFixture f(QStringLiteral("张三"), GetParam());
    testing_support::trigger(*f.window, QStringLiteral("user"));
    auto* log = f.window->findChild<login::LogWindow*>(QStringLiteral("Form11"));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->windowTitle(), QStringLiteral("上机记录"));
    EXPECT_EQ(log->model().rowCount(), 1);
    EXPECT_EQ(log->model().data(log->model().index(0, 2), Qt::DisplayRole).toString(),
              QStringLiteral("查看上机记录"));
    testing_support::trigger(*f.window, QStringLiteral("user"));
    EXPECT_EQ(f.window->findChildren<login::LogWindow*>().size(), 1)
        << "a second open brings the same window";

    log->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("您不是超级用户，没有此权限！"));
    EXPECT_EQ(f.dialogs.last().title, QStringLiteral("请记住了！"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
    EXPECT_EQ(f.rows(QStringLiteral("user")), 1);
    log->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_EQ(f.rows(QStringLiteral("user")), 2);
    EXPECT_EQ(testing_support::lastAction(f.session->db()), QStringLiteral("退出查看上机记录"));
}

TEST_P(LogWindowOnBothEngines, SuperUserClearsAndLeavesOneRow) {
    MainFixture f(QStringLiteral("超级用户"), GetParam());
    f.session->log().write(QStringLiteral("进入系统"));
    login::LogWindow log(*f.session);
    f.dialogs.answer({false});
    log.clearClicked();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的清除上机记录吗？"));
    EXPECT_EQ(f.rows(QStringLiteral("user")), 2);
    f.dialogs.answer({true});
    log.clearClicked();
    EXPECT_EQ(f.rows(QStringLiteral("user")), 0);
    EXPECT_EQ(log.model().rowCount(), 0);
    log.leaveClicked();
    EXPECT_EQ(f.rows(QStringLiteral("user")), 1);
}
