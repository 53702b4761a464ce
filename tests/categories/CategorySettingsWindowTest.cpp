#include "TestFolder.h"

#include "categories/CategorySettingsWindow.h"
#include "categories/CategoryTable.h"
#include "login/MainWindow.h"
#include "records/CategoryScan.h"
#include "store/BulkLock.h"
#include "store/Database.h"
#include "ui/JobRunner.h"
#include "ui/ScriptedDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using categories::CategorySettingsWindow;
using testing_support::countRows;

namespace {

struct Fixture {
    explicit Fixture(store::Dialect dialect = store::Dialect::Embedded)
        : session(folder.session(QStringLiteral("张三"), dialect)), window(*session, records::scanDistinct) {
        list1 = window.findChild<QListWidget*>(QStringLiteral("List1"));
        list2 = window.findChild<QListWidget*>(QStringLiteral("List2"));
        text2 = window.findChild<QLineEdit*>(QStringLiteral("Text2"));
    }
    QPushButton* button(const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QString lastAction() { return testing_support::lastAction(session->db()); }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    CategorySettingsWindow window;
    QListWidget* list1;
    QListWidget* list2;
    QLineEdit* text2;
};

// Scanned values for 性别 on the window's list, ready for 转类别.
void scanSexes(Fixture& f) {
    for (const char* v : {"女", "", "男", "女", "不详"})
        f.session->db().exec(QStringLiteral("INSERT INTO wslib(\"性别\") VALUES (?)"),
                             {QString::fromUtf8(v)});
    f.window.selectCategory(6);
    f.window.selectCategory(5);
    f.button("Command1")->click();
}

class CategorySettingsOnBothEngines : public testing::TestWithParam<store::Dialect> {};

INSTANTIATE_TEST_SUITE_P(Engines, CategorySettingsOnBothEngines,
                         testing::Values(store::Dialect::Embedded, store::Dialect::Server),
                         [](const testing::TestParamInfo<store::Dialect>& info) {
                             return info.param == store::Dialect::Server ? "Server" : "Embedded";
                         });

} // namespace

TEST(CategorySettingsWindow, OpensWithItsControlsAndLogs) {
    Fixture f;
    EXPECT_EQ(f.window.windowTitle(), QStringLiteral("类别设置"));
    EXPECT_EQ(f.lastAction(), QStringLiteral("进入类别设置"));
    EXPECT_EQ(f.list1->count(), 65);
    EXPECT_EQ(f.button("Command1")->toolTip(), QStringLiteral("查看库中不重复的值"));
    EXPECT_EQ(f.button("Command2")->toolTip(),
              QStringLiteral("将查看结果转入类别明细，该类别原有的明细将被删除！"));
    EXPECT_FALSE(f.button("Command1")->isEnabled());

    f.window.selectCategory(5);
    EXPECT_EQ(f.list2->count(), 2);
    EXPECT_TRUE(f.button("Command1")->isEnabled());
    EXPECT_FALSE(f.button("Command2")->isEnabled());
    f.button("cmdCancel")->click();
    EXPECT_EQ(f.lastAction(), QStringLiteral("退出类别设置"));
}

TEST(CategorySettingsWindow, AddAndDeleteWithTheirMessages) {
    Fixture f;
    f.window.selectCategory(5);
    f.button("Command3")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("请输入要增加的类别明细!"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    f.text2->setText(QStringLiteral(" 男 "));
    f.button("Command3")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("此类别明细已存在!"));
    EXPECT_TRUE(f.text2->text().isEmpty());
    f.text2->setText(QStringLiteral("其他"));
    f.button("Command3")->click();
    EXPECT_EQ(f.list2->count(), 3);
    EXPECT_TRUE(f.text2->text().isEmpty());

    f.dialogs.clear();
    f.button("Command4")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("请选择要删除的类别明细!"));
    f.text2->setText(QStringLiteral("不存在"));
    f.dialogs.answer({true});
    f.button("Command4")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的要删除本条目吗?"));
    EXPECT_EQ(f.list2->count(), 3);
    emit f.list2->itemClicked(f.list2->item(2));
    EXPECT_EQ(f.text2->text(), QStringLiteral("其他"));
    f.dialogs.answer({false});
    f.button("Command4")->click();
    EXPECT_EQ(f.list2->count(), 3);
    f.text2->setText(QStringLiteral("其他"));
    f.dialogs.answer({true});
    f.button("Command4")->click();
    EXPECT_EQ(f.list2->count(), 2);
}

TEST_P(CategorySettingsOnBothEngines, ScanThenReplace) {
    Fixture f(GetParam());
    f.window.selectCategory(5);
    f.button("Command1")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("库中记录太多！操作不了！"));
    EXPECT_EQ(f.dialogs.last().title, QStringLiteral("不要操作了，找别的做吧！：》"));

    scanSexes(f);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("库中共有3个不重复的值！"));
    EXPECT_EQ(f.dialogs.last().title, QStringLiteral("知道吗？"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
    EXPECT_EQ(f.list2->count(), 3);
    EXPECT_FALSE(f.button("Command1")->isEnabled());
    ASSERT_TRUE(f.button("Command2")->isEnabled());

    f.dialogs.answer({false});
    f.button("Command2")->click();
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("真的要将所查结果转为类别的明细值吗，\r\n这样做将会删除该类别原有的明细值。"));
    EXPECT_EQ(categories::Loadkmmx(f.session->db(), QStringLiteral("性别")).size(), 2);
    f.dialogs.answer({true});
    f.button("Command2")->click();
    EXPECT_EQ(categories::Loadkmmx(f.session->db(), QStringLiteral("性别")),
              (QStringList{QStringLiteral("女"), QStringLiteral("男"), QStringLiteral("不详")}));
    EXPECT_FALSE(f.button("Command2")->isEnabled());
}

TEST(CategorySettingsWindow, OnTheServerReplaceWaitsForAnotherOperatorsBulkWork) {
    Fixture f(store::Dialect::Server);
    scanSexes(f);
    const auto other = store::Database::connect(f.session->target().server);
    {
        const store::BulkLock importing(*other, QStringLiteral("李四"), store::BulkWork::ImportExcel);
        const size_t shown = f.dialogs.shown.size();
        f.button("Command2")->click();
        ASSERT_EQ(f.dialogs.shown.size(), shown + 1) << "refused before the question";
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("操作员“李四”正在导入Excel数据，请稍后再试。"));
        EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
        EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
        EXPECT_EQ(categories::Loadkmmx(f.session->db(), QStringLiteral("性别")).size(), 2);
    }
    // Held while the job writes on its own connection, and let go when it ends.
    QString refusal;
    const ui::JobConnectionHook before = ui::setJobConnectionHook([&](store::Database&) {
        try {
            const store::BulkLock mine(*other, QStringLiteral("李四"), store::BulkWork::Merge);
        } catch (const store::BulkLockRefused& e) {
            refusal = e.message();
        }
    });
    f.dialogs.answer({true});
    f.button("Command2")->click();
    ui::setJobConnectionHook(before);
    EXPECT_EQ(refusal, QStringLiteral("操作员“张三”正在转类别，请稍后再试。"));
    EXPECT_EQ(categories::Loadkmmx(f.session->db(), QStringLiteral("性别")).size(), 3);
    EXPECT_NO_THROW({ const store::BulkLock again(*other, QStringLiteral("李四"), store::BulkWork::Merge); });
}

TEST(CategorySettingsWindow, MainWindowOpensOneWindow) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    login::MainWindow main(*session, {[] {}, [] {}});
    testing_support::trigger(main, QStringLiteral("s3"));
    testing_support::trigger(main, QStringLiteral("tt3"));
    EXPECT_EQ(main.findChildren<CategorySettingsWindow*>().size(), 1);
    EXPECT_EQ(countRows(session->db(), QStringLiteral("user")), 1);
}

TEST(CategorySettingsWindow, ScanOfNineThousandNineHundredNinetyNinePersons) {
    Fixture f;
    {
        auto& db = f.session->db();
        store::Transaction tx(db);
        store::Statement insert = db.prepare(QStringLiteral("INSERT INTO wslib(\"民族\") VALUES (?)"));
        const QList<QVariant> cycle = {QStringLiteral("回族"), QVariant(),
                                       QStringLiteral("汉族"), QString(),
                                       QStringLiteral("满族"), QStringLiteral("回族")};
        for (int i = 0; i < 9999; ++i) {
            insert.reset();
            insert.bind(1, cycle.at(i % cycle.size())).run();
        }
        tx.commit();
    }
    f.window.selectCategory(6);
    f.button("Command1")->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("库中共有3个不重复的值！"));
    ASSERT_EQ(f.list2->count(), 3);
    EXPECT_EQ(f.list2->item(0)->text(), QStringLiteral("回族"));
    EXPECT_EQ(f.list2->item(1)->text(), QStringLiteral("汉族"));
    EXPECT_EQ(f.list2->item(2)->text(), QStringLiteral("满族"));
    EXPECT_FALSE(f.window.findChild<QWidget*>(QStringLiteral("Picture1"))->isVisible())
        << "progress panel hidden";
}

// 转类别 is all or nothing: stopped with 取消 (while the other buttons refuse input) or failing
// part way, the category keeps its old values.
TEST(CategorySettingsWindow, ReplacementStoppedOrFailingKeepsTheOldValues) {
    const auto kmRows = [](store::Database& db) {
        return db
            .scalar(QStringLiteral("SELECT group_concat(filednum || kmmc || ifnull(kmbz, '') || km_eng, '|') "
                                   "FROM km"))
            .toString();
    };
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "取消" : "a failing row");
        Fixture f;
        // The worker waits for another connection's write lock, so 取消 comes in time.
        f.session->openOptions().busyTimeoutMs = 10000;
        for (const char* v : {"女", "男", "不详"})
            f.session->db().exec(QStringLiteral("INSERT INTO wslib(\"性别\") VALUES (?)"),
                                 {QString::fromUtf8(v)});
        f.window.show();
        f.window.selectCategory(5);
        f.button("Command1")->click();
        ASSERT_EQ(f.list2->count(), 3);
        const QString before = kmRows(f.session->db());
        const qint64 logRows = countRows(f.session->db(), QStringLiteral("user"));

        store::Database other(f.session->databasePath());
        QTimer poll;
        if (cancel) {
            other.exec(QStringLiteral("BEGIN IMMEDIATE"));
            QObject::connect(&poll, &QTimer::timeout, [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    auto* stop = w->findChild<QPushButton*>(QStringLiteral("JobCancel"));
                    if (!stop || !w->isVisible())
                        continue;
                    poll.stop();
                    QTest::mouseClick(f.button("cmdCancel"), Qt::LeftButton); // refused
                    QTest::mouseClick(stop, Qt::LeftButton);
                    other.exec(QStringLiteral("ROLLBACK"));
                }
            });
            poll.start(10);
        } else {
            other.exec(QStringLiteral("CREATE TRIGGER no_man BEFORE INSERT ON km WHEN new.kmbz = '男' "
                                      "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        }
        f.dialogs.answer({true});
        f.button("Command2")->click();

        EXPECT_EQ(kmRows(f.session->db()), before);
        if (cancel) {
            EXPECT_FALSE(poll.isActive()) << "the runner offered 取消";
            EXPECT_EQ(f.dialogs.last().text, ui::kCancelledNothingChanged);
            EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
            EXPECT_TRUE(f.window.isVisible()) << "退出 was refused while the job ran";
            EXPECT_EQ(countRows(f.session->db(), QStringLiteral("user")), logRows);
            EXPECT_EQ(f.window.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                      QStringLiteral("完成0.00%"))
                << "progress arrives in the window's label";
        } else {
            EXPECT_EQ(f.dialogs.last().text, QStringLiteral("转入类别明细时出错，该类别的明细没有改变。\n"
                                                            "输入的内容太长或格式不对。"));
        }
        EXPECT_FALSE(f.window.findChild<QWidget*>(QStringLiteral("Picture1"))->isVisible());
    }
}
