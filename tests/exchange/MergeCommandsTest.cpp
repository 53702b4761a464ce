#include "TestFolder.h"
#include "exchange/JetFixtures.h"

#include "exchange/PreviewWindow.h"
#include "login/MainWindow.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "ui/Dialogs.h"
#include "ui/JobRunner.h"
#include "ui/ScriptedDialogs.h"
#include "ui/WindowScript.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <sqlite3.h>

using testing_support::countRows;
using testing_support::everyRow;
using testing_support::jetFixture;
using testing_support::TestFolder;
using Kind = ui::ScriptedDialogs::Kind;

namespace {

// The texts these commands show, as the behaviour fixes them.
const struct {
    QString mergeTitle = QStringLiteral("请选择要合并的库(建议：合并前请先备份数据！)");
    QString mergeFilter = QStringLiteral("文件MDB|*.MDB");
    QString badName = QStringLiteral("选择的库无记录或不是合法数据库！");
    QString notLegal = QStringLiteral("选择的库不是合法数据库！");
    QString enterMerge = QStringLiteral("进入合并数据库");
    QString leaveMerge = QStringLiteral("退出合并库");
    QString upgradeQuestion = QStringLiteral("升级将覆盖原有的数据，您真的要操作吗？");
    QString upgradeTitle = QStringLiteral("请选择以前版本库文件（lib.mdb）");
    QString upgradeFilter = QStringLiteral("数据库文件(.MDB)|*.MDB");
    QString upgrading = QStringLiteral("正在升级中...");
    QString upgraded = QStringLiteral("升级完成！");
} kTexts;

struct Fixture {
    Fixture() : session(folder.session()) {
        session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"现居住地\") VALUES "
                                          "('000001', '王一', '旧'), ('000002', '李二', '旧')"));
        window = std::make_unique<login::MainWindow>(*session, login::MainHooks{[] {}, [] {}});
    }
    void trigger(const char* key) { window->findChild<QAction*>(QString::fromLatin1(key))->trigger(); }
    QLabel* label(const char* name) { return window->findChild<QLabel*>(QString::fromLatin1(name)); }
    QStringList log() {
        QStringList actions;
        store::Statement st =
            session->db().prepare(QStringLiteral("SELECT \"操作内容\" FROM \"user\" ORDER BY rowid"));
        while (st.step())
            actions << st.text(0);
        return actions;
    }
    qint64 persons() { return countRows(session->db(), QStringLiteral("wslib")); }

    // Another office's copy of our file, under `name`.
    QString otherCopy(const QString& name) {
        auto other = otherFolder.session();
        other->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"现居住地\") VALUES "
                                        "('000001', '王一', '新'), ('000003', '张三', '新')"));
        other.reset();
        const QString path = folder.file(name);
        QFile::copy(otherFolder.file(QStringLiteral("lib.mdb")), path);
        return path;
    }

    ui::ScriptedDialogs dialogs;
    ui::PressWhenShown preview{exchange::kMergePreviewTitle, QStringLiteral("Continue")}; // 继续
    TestFolder folder;
    TestFolder otherFolder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<login::MainWindow> window;
};

// The merge's tables: the operator log gets its entry whatever happens.
const QStringList kDataTables = {store::schema::kUsers,   store::schema::kCategories,
                                 store::schema::kPrint,   store::schema::kSettings,
                                 store::schema::kPersons, store::schema::kStaging};

// Every job's own connection gets `hook` while this lives.
struct OnJobConnection {
    explicit OnJobConnection(ui::JobConnectionHook hook)
        : previous(ui::setJobConnectionHook(std::move(hook))) {}
    ~OnJobConnection() { ui::setJobConnectionHook(previous); }
    ui::JobConnectionHook previous;
};

// Each row the job writes into wslib takes a while, so 取消 lands in the middle of the work.
void slowPersonWrites(store::Database& db) {
    sqlite3_create_function(
        db.handle(), "pause_a_moment", 0, SQLITE_UTF8, nullptr,
        [](sqlite3_context* context, int, sqlite3_value**) {
            QThread::msleep(20);
            sqlite3_result_null(context);
        },
        nullptr, nullptr);
    for (const char* event : {"INSERT", "UPDATE"})
        db.exec(QStringLiteral(
                    "CREATE TEMP TRIGGER slow_%1 AFTER %1 ON main.wslib BEGIN SELECT pause_a_moment(); END")
                    .arg(QString::fromLatin1(event)));
}

// Clicks the runner's 取消 once the persons are being written (after the preview and the safety
// copy, which only read).
void cancelOnceWriting(store::Session& session) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&session, poll] {
        if (!session.jobWriting())
            return;
        QPushButton* cancel = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = w->findChild<QPushButton*>(QStringLiteral("JobCancel")))
                cancel = b;
        if (!cancel)
            return;
        QTimer::singleShot(100, cancel, &QPushButton::click);
        poll->stop();
        poll->deleteLater();
    });
    poll->start(10);
}

} // namespace

TEST(MergeCommand, MergesAndReportsTheCounts) {
    Fixture f;
    f.dialogs.files.enqueue(f.otherCopy(QStringLiteral("other.mdb")));
    f.trigger("hebin");

    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.shown[0].kind, Kind::OpenFile);
    EXPECT_EQ(f.dialogs.shown[0].title, kTexts.mergeTitle);
    EXPECT_EQ(f.dialogs.shown[0].filter, kTexts.mergeFilter);
    EXPECT_EQ(f.dialogs.shown[1].kind, Kind::Message);
    EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("共更新了1条记录！  增加了1条记录！"));
    EXPECT_EQ(f.dialogs.shown[1].title, ui::kProgramTitle);
    EXPECT_EQ(f.dialogs.shown[1].icon, ui::Icon::None);
    EXPECT_EQ(f.persons(), 3);
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib"), QStringLiteral("\"现居住地\" = '新'")), 2);
    EXPECT_EQ(f.log(), QStringList({kTexts.enterMerge, kTexts.leaveMerge}));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("history"),
                        QStringLiteral("kind = '批量' AND field = '合并数据' AND new_value = 2")),
              1);
    EXPECT_FALSE(f.label("Label1")->isVisibleTo(f.window.get()));
    EXPECT_EQ(f.label("Label1")->text(), QStringLiteral("正在合并，请稍候...100.0%"));
}

TEST(MergeCommand, PersonsSharingAnIdNumberAfterwardsGetAWordOfTheirOwn) {
    Fixture f;
    f.session->db().exec(QStringLiteral(
        "UPDATE wslib SET \"身份证号码\" = '420281193506235378' WHERE \"个人编号\" = '000002'"));
    auto other = f.otherFolder.session();
    other->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"身份证号码\") VALUES "
                                    "('000009', '白斌', '420281193506235378')"));
    other.reset();
    f.dialogs.files.enqueue(f.otherFolder.file(QStringLiteral("lib.mdb")));
    f.trigger("hebin");
    ASSERT_EQ(f.dialogs.shown.size(), 3);
    EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("共更新了0条记录！  增加了1条记录！"));
    EXPECT_EQ(
        f.dialogs.shown[2].text,
        QStringLiteral("合并后共有 2 人的身份证号码与其他人员相同，可在“人员管理”的“数据检查”中查看。"));
    EXPECT_EQ(f.log(), QStringList({kTexts.enterMerge, kTexts.leaveMerge}));
}

TEST(MergeCommand, CancelAndCapitalExtensionOnlyLogTheEntry) {
    Fixture f;
    f.trigger("hebin");
    ASSERT_EQ(f.dialogs.shown.size(), 1) << "a cancelled dialog ends the command";
    EXPECT_EQ(f.log(), QStringList({kTexts.enterMerge}));

    f.dialogs.clear();
    f.dialogs.files.enqueue(f.otherCopy(QStringLiteral("OTHER.MDB")));
    f.trigger("hebin");
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text, kTexts.badName);
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::None);
    EXPECT_EQ(f.log(), QStringList({kTexts.enterMerge, kTexts.enterMerge}));
    EXPECT_EQ(f.persons(), 2);
}

TEST(MergeCommand, AFileItCannotMergeChangesNothing) {
    Fixture f;
    const QString wrong = f.folder.file(QStringLiteral("old.mdb"));
    ASSERT_TRUE(QFile::copy(jetFixture(QStringLiteral("legacy_lib_v4_wrongpw.mdb")), wrong));
    QFile text(f.folder.file(QStringLiteral("notes.mdb")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("notes");
    text.close();
    const std::pair<QString, QString> cases[] = {
        {wrong,
         QStringLiteral("选择的库无法打开：它可能已损坏，也可能是用别的密码加密的（不是本系统的数据库）。")},
        {text.fileName(), QStringLiteral("选择的库已损坏或不是数据库文件，无法打开。")},
    };
    for (const auto& [file, cause] : cases) {
        f.dialogs.clear();
        f.dialogs.files.enqueue(file);
        f.trigger("hebin");
        ASSERT_EQ(f.dialogs.shown.size(), 2);
        EXPECT_EQ(f.dialogs.last().text, kTexts.notLegal + QLatin1Char('\n') + cause);
        EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
        EXPECT_FALSE(f.label("Label1")->isVisibleTo(f.window.get()));
    }
    EXPECT_EQ(f.persons(), 2);
    EXPECT_EQ(f.log(), QStringList({kTexts.enterMerge, kTexts.enterMerge}))
        << "no leaving entry after a failure";
}

TEST(MergeCommand, AFailureNamesItsCauseUnderTheMessage) {
    enum class Make { LockedSource, LockedTarget, FullDisk, RaisingTrigger };
    const std::pair<Make, QString> cases[] = {
        {Make::LockedSource, QStringLiteral("选择的库正被其他程序占用，现在打不开。")},
        {Make::LockedTarget, QStringLiteral("写入本库时出错：数据库文件正被其他程序占用。")},
        {Make::FullDisk, QStringLiteral("写入本库时出错：磁盘已满。")},
        {Make::RaisingTrigger,
         QStringLiteral(
             "选择的库中第2个人员（个人编号“000003”，姓名“张三”）被本库的数据库规则拒绝：不收此人")},
    };
    for (const auto& [make, cause] : cases) {
        SCOPED_TRACE(cause.toStdString());
        Fixture f;
        const QString other = f.otherCopy(QStringLiteral("other.mdb"));
        const QStringList before = everyRow(f.session->db(), kDataTables);
        std::unique_ptr<store::Database> holder;
        std::unique_ptr<OnJobConnection> limit;
        if (make == Make::LockedSource || make == Make::LockedTarget) {
            holder = std::make_unique<store::Database>(
                make == Make::LockedSource ? other : f.session->databasePath());
            holder->exec(QStringLiteral("BEGIN EXCLUSIVE"));
            holder->exec(QStringLiteral("UPDATE system SET bakpath = bakpath"));
            sqlite3_busy_timeout(f.session->db().handle(), 50);
            f.session->openOptions().busyTimeoutMs = 50; // the merge's own connection
        } else if (make == Make::FullDisk) {
            {
                store::Database more(other);
                more.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n "
                                         "WHERE i < 400) INSERT INTO wslib(\"个人编号\", \"姓名\", \"备注\") "
                                         "SELECT printf('%06d', i), '某人', hex(randomblob(200)) FROM n"));
            }
            const qint64 pages = f.session->db().scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
            limit = std::make_unique<OnJobConnection>([pages](store::Database& db) {
                db.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
            });
        } else {
            f.session->db().exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON wslib BEGIN SELECT "
                                                "RAISE(ABORT, '不收此人'); END"));
        }
        f.dialogs.files.enqueue(other);
        f.trigger("hebin");
        ASSERT_EQ(f.dialogs.shown.size(), 2);
        EXPECT_EQ(f.dialogs.last().text, kTexts.notLegal + QLatin1Char('\n') + cause);
        EXPECT_EQ(f.dialogs.last().icon, ui::Icon::None);
        if (holder)
            holder->exec(QStringLiteral("ROLLBACK"));
        EXPECT_EQ(everyRow(f.session->db(), kDataTables), before) << "nothing is merged";
        EXPECT_FALSE(f.log().contains(kTexts.leaveMerge));
    }
}

// 取消 during the merge and during the upgrade: the work rolls back and says so.
TEST(MergeCommand, CancelLeavesEveryTableAsItWas) {
    for (const char* command : {"hebin", "upV"}) {
        SCOPED_TRACE(command);
        Fixture f;
        const bool merge = QByteArray(command) == "hebin";
        const QString other = merge ? f.otherCopy(QStringLiteral("other.mdb"))
                                    : jetFixture(QStringLiteral("legacy_lib_v4.mdb"));
        if (merge) {
            // Enough persons that the merge is still writing when 取消 comes.
            store::Database more(other);
            more.exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                "INSERT INTO wslib(\"个人编号\", \"姓名\") SELECT printf('%06d', i), '某人' FROM n"));
        }
        const QStringList tables = merge ? kDataTables : kDataTables + QStringList{store::schema::kLog};
        const QStringList before = everyRow(f.session->db(), tables);
        const QStringList logBefore = f.log();
        OnJobConnection slow(slowPersonWrites);
        if (!merge)
            f.dialogs.answer({true});
        f.dialogs.files.enqueue(other);
        cancelOnceWriting(*f.session);
        f.trigger(command);

        ASSERT_GE(f.dialogs.shown.size(), 2);
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("已取消，数据库没有改变。"));
        EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
        EXPECT_EQ(everyRow(f.session->db(), tables), before);
        EXPECT_FALSE(f.label(merge ? "Label1" : "Label2")->isVisibleTo(f.window.get()));
        if (merge) {
            EXPECT_EQ(f.log(), logBefore + QStringList{kTexts.enterMerge}) << "no leaving entry";
        }
    }
}

TEST(MergeCommand, LegacyJetFileOfAnotherOffice) {
    Fixture f;
    f.dialogs.files.enqueue(jetFixture(QStringLiteral("legacy_lib_v4_other_office.mdb")));
    f.trigger("hebin");
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("共更新了0条记录！  增加了200条记录！"));
    EXPECT_EQ(f.persons(), 202);
}

TEST(UpgradeCommand, DecliningOrCancellingChangesNothing) {
    Fixture f;
    f.dialogs.files.enqueue(jetFixture(QStringLiteral("legacy_lib_v4.mdb")));
    f.trigger("upV");
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().kind, Kind::Question);
    EXPECT_EQ(f.dialogs.last().text, kTexts.upgradeQuestion);
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_EQ(f.persons(), 2);

    f.dialogs.clear();
    f.dialogs.files.clear();
    f.dialogs.answer({true});
    f.trigger("upV");
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().title, kTexts.upgradeTitle);
    EXPECT_EQ(f.dialogs.last().filter, kTexts.upgradeFilter);
    EXPECT_EQ(f.persons(), 2);
    EXPECT_FALSE(f.label("Label2")->isVisibleTo(f.window.get()));
}

TEST(UpgradeCommand, TakesOverTheOldFileAndLeavesTheLabel) {
    Fixture f;
    f.dialogs.answer({true});
    f.dialogs.files.enqueue(jetFixture(QStringLiteral("legacy_lib_v4.mdb")));
    f.trigger("upV");
    ASSERT_EQ(f.dialogs.shown.size(), 3);
    EXPECT_EQ(f.dialogs.last().text, kTexts.upgraded);
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::None);
    EXPECT_EQ(f.persons(), 300);
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("history"),
                        QStringLiteral("kind = '批量' AND field = '数据升级' AND new_value = 300")),
              1);
    EXPECT_EQ(f.label("Label2")->text(), kTexts.upgrading);
    EXPECT_TRUE(f.label("Label2")->isVisibleTo(f.window.get()));
    EXPECT_EQ(f.session->state().inputColour, 12648447) << "the old settings row is read back";
}

TEST(UpgradeCommand, AFileWithAnotherPasswordIsRefusedWithAClearMessage) {
    Fixture f;
    f.dialogs.answer({true});
    f.dialogs.files.enqueue(jetFixture(QStringLiteral("legacy_lib_v4_wrongpw.mdb")));
    f.trigger("upV");
    ASSERT_EQ(f.dialogs.shown.size(), 3);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("升级失败：选择的库的密码不对。原有的数据没有改变。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Critical);
    EXPECT_EQ(f.persons(), 2);
    EXPECT_FALSE(f.label("Label2")->isVisibleTo(f.window.get()));
}

TEST(Dialogs, ClassicFiltersBecomeQtFilters) {
    EXPECT_EQ(ui::qtFilter(QStringLiteral("文件MDB|*.MDB")), QStringLiteral("文件MDB (*.MDB *.mdb)"));
    EXPECT_EQ(ui::qtFilter(QStringLiteral("数据库文件(.MDB)|*.MDB|全部|*.*")),
              QStringLiteral("数据库文件(.MDB) (*.MDB *.mdb);;全部 (*.*)"));
    EXPECT_EQ(ui::qtFilter(QStringLiteral("Images (*.png)")), QStringLiteral("Images (*.png)"));
}
