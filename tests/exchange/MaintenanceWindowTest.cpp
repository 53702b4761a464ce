#include "TestFolder.h"
#include "exchange/MaintenanceFiles.h"

#include "exchange/MaintenanceWindow.h"
#include "login/AppController.h"
#include "login/LogWindow.h"
#include "login/MainWindow.h"
#include "store/Database.h"
#include "ui/JobRunner.h"
#include "ui/ScriptedDialogs.h"

#include <QApplication>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>

using exchange::FileError;
using exchange::FileOps;
using exchange::MaintenanceWindow;
using testing_support::TestFolder;
using Kind = ui::ScriptedDialogs::Kind;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FileOps renameFailsAt(int which) {
    FileOps ops = FileOps::real();
    auto calls = std::make_shared<int>(0);
    ops.rename = [real = ops.rename, calls, which](const QString& a, const QString& b) {
        if (++*calls == which)
            throw FileError("refused by the test");
        real(a, b);
    };
    return ops;
}

struct MaintenanceWindowTest : ::testing::Test {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    std::unique_ptr<store::Session> session = folder.session(QStringLiteral("张三"));
    QWidget hub; // the main window the maintenance window belongs to
    int quits = 0;
    std::shared_ptr<QDateTime> now = std::make_shared<QDateTime>(QDate(2008, 6, 23), QTime(9, 5));
    qint64 stepMs = 500;
    qint64 firstStepMs = 500; // from the display's start to its first tick
    QList<int> percents;
    QStringList texts;
    std::unique_ptr<MaintenanceWindow> window;

    MaintenanceWindow& open(FileOps ops = FileOps::real()) {
        exchange::ProgressSettings progress{[this, first = std::make_shared<bool>(true)] {
                                                const QDateTime t = *now;
                                                *now = now->addMSecs(
                                                    std::exchange(*first, false) ? firstStepMs : stepMs);
                                                return t;
                                            },
                                            1};
        window = std::make_unique<MaintenanceWindow>(
            *session, [this] { ++quits; }, &hub, progress, std::move(ops));
        QObject::connect(window.get(), &MaintenanceWindow::progressShown,
                         [this](int percent, const QString& text) {
                             percents << percent;
                             texts << text;
                         });
        window->show();
        return *window;
    }

    QToolButton* image(int n) { return window->findChild<QToolButton*>(QStringLiteral("Image%1").arg(n)); }
    QProgressBar* bar() { return window->findChild<QProgressBar*>(QStringLiteral("ProgressBar1")); }
    QLabel* label5() { return window->findChild<QLabel*>(QStringLiteral("Label5")); }
    void click(int n) { QTest::mouseClick(image(n), Qt::LeftButton); }

    void waitForProgress() {
        QElapsedTimer timer;
        timer.start();
        while (window->progressRunning() && timer.elapsed() < 10000)
            QTest::qWait(2);
        ASSERT_FALSE(window->progressRunning());
    }

    bool imagesEnabled() {
        for (int n = 1; n <= 4; ++n) {
            if (!image(n)->isEnabled())
                return false;
        }
        return true;
    }

    // A window that logs, opened after the operation, writes its entry on the new connection.
    void expectLogWindowLogs() {
        login::LogWindow log(*session);
        EXPECT_EQ(testing_support::lastAction(session->db()), QStringLiteral("查看上机记录"));
    }

    void expectMessage(const QString& text, const QString& title, ui::Icon icon) {
        ASSERT_FALSE(dialogs.shown.isEmpty());
        EXPECT_EQ(dialogs.last().kind, Kind::Message);
        EXPECT_EQ(dialogs.last().text, text);
        EXPECT_EQ(dialogs.last().title, title);
        EXPECT_EQ(dialogs.last().icon, icon);
    }
};

} // namespace

TEST_F(MaintenanceWindowTest, HasTheFormsControls) {
    open();
    struct Control {
        const char* name;
        const char* className;
        const char* caption;
    };
    const Control controls[] = {
        {"Frame2", "QGroupBox", ""},          {"Image1", "QToolButton", ""},
        {"Image2", "QToolButton", ""},        {"Image3", "QToolButton", ""},
        {"Image4", "QToolButton", ""},        {"Label1", "QLabel", "数据备份"},
        {"Label2", "QLabel", "数据恢复"},     {"Label3", "QLabel", "数据修复"},
        {"Label4", "QLabel", "数据压缩"},     {"Label5", "QLabel", ""},
        {"ProgressBar1", "QProgressBar", ""}, {"Command1", "QPushButton", "返回"},
    };
    EXPECT_EQ(window->objectName(), QStringLiteral("Form10"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("数据库"));
    for (const Control& c : controls) {
        QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_STREQ(w->metaObject()->className(), c.className) << c.name;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(c.caption)) << c.name;
        }
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(c.caption)) << c.name;
        }
    }
    EXPECT_EQ(label5()->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(bar()->minimum(), 0);
    EXPECT_EQ(bar()->maximum(), 100);
    EXPECT_FALSE(bar()->isVisible());

    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(MaintenanceWindowTest, BackupCancelledChangesNothingAndKeepsTheConnection) {
    session->state().backupFolder = QStringLiteral("D:\\离退休备份\\"); // from an old database
    open();
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    click(1);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last().kind, Kind::SaveFile);
    EXPECT_EQ(dialogs.last().title, QStringLiteral("请输入备份的文件名！"));
    EXPECT_EQ(dialogs.last().folder, folder.path()) << "the backup folder is not there";
    EXPECT_EQ(dialogs.last().filter, exchange::kBackupFilter);
    EXPECT_TRUE(exchange::kBackupFilter.startsWith(QStringLiteral("数据库文件(.MDB) (*.MDB")));
    EXPECT_TRUE(imagesEnabled());
    EXPECT_FALSE(window->progressRunning());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), files);
    expectLogWindowLogs();
}

TEST_F(MaintenanceWindowTest, BackupOverAnExistingFileShowsTheProgressThenSuccess) {
    QTemporaryDir backups;
    session->state().backupFolder = backups.path();
    const QString target = backups.filePath(QStringLiteral("周一.MDB"));
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older backup");
    old.close();

    open();
    dialogs.files.enqueue(target);
    click(1);
    EXPECT_EQ(dialogs.shown.first().folder, backups.path());
    EXPECT_TRUE(window->progressRunning());
    EXPECT_FALSE(imagesEnabled()) << "the buttons stay off during the display";
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_EQ(dialogs.shown.size(), 1) << "the message comes after the display";
    waitForProgress();

    EXPECT_EQ(percents.first(), 0);
    EXPECT_EQ(percents.last(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(texts.last(), QStringLiteral("正在备份库文件数据... 100%"));
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_TRUE(label5()->text().isEmpty());
    expectMessage(QStringLiteral("备份成功！"), QStringLiteral("备份"), ui::Icon::Information);
    EXPECT_TRUE(imagesEnabled());
    EXPECT_EQ(readAll(target), readAll(session->databasePath()));
    EXPECT_EQ(quits, 0);
    expectLogWindowLogs();
}

// Ticks every 100 ms from an odd offset: no reading falls on a whole second.
TEST_F(MaintenanceWindowTest, TheProgressDisplayAcrossMidnightCountsWholeSecondsAndEndsAt100) {
    const QDateTime start(QDate(2008, 6, 23), QTime(23, 59, 55));
    *now = start;
    firstStepMs = 37;
    stepMs = 100;
    open();
    dialogs.files.enqueue(folder.file(QStringLiteral("bak.MDB")));
    click(1);
    waitForProgress();
    QList<int> shown;
    for (const int p : percents) {
        if (shown.isEmpty() || shown.last() != p)
            shown << p;
    }
    EXPECT_EQ(shown, (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(percents.count(100), 1);
    EXPECT_EQ(texts.last(), QStringLiteral("正在备份库文件数据... 100%"));
    // The reading at 10.037 s showed 100 and was the last one (the clock stands one step on).
    EXPECT_EQ(start.msecsTo(*now), 10037 + 100);
    expectMessage(QStringLiteral("备份成功！"), QStringLiteral("备份"), ui::Icon::Information);
}

TEST_F(MaintenanceWindowTest, DuringTheDisplayOtherWindowsFindTheConnectionOpen) {
    open();
    dialogs.files.enqueue(folder.file(QStringLiteral("bak.MDB")));
    bool logged = false;
    QObject::connect(window.get(), &MaintenanceWindow::progressShown, [&] {
        if (!logged) {
            expectLogWindowLogs();
            logged = true;
        }
    });
    click(1);
    waitForProgress();
    EXPECT_TRUE(logged);
}

TEST_F(MaintenanceWindowTest, AFailedBackupTellsAndEndsTheProgram) {
    FileOps ops = FileOps::real();
    ops.copy = [](const QString&, const QString&) { throw FileError("disk full"); };
    const QByteArray live = readAll(session->databasePath());
    open(ops);
    dialogs.files.enqueue(folder.file(QStringLiteral("bak.MDB")));
    click(1);
    expectMessage(QStringLiteral("备份失败！请重新进入再备份！"), QStringLiteral("备份"),
                  ui::Icon::Information);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(window->progressRunning());
    EXPECT_EQ(readAll(session->databasePath()), live);
    expectLogWindowLogs();
}

TEST_F(MaintenanceWindowTest, RestoreAsksFirstWithNoAsTheDefault) {
    open();
    const QByteArray live = readAll(session->databasePath());
    click(2);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last().kind, Kind::Question);
    EXPECT_EQ(dialogs.last().text, QStringLiteral("数据恢复将会覆盖原有的数据，您真的要操作吗？"));
    EXPECT_EQ(dialogs.last().button, ui::Default::No);

    dialogs.answer({true}); // and then cancels the file dialog
    click(2);
    ASSERT_EQ(dialogs.shown.size(), 3);
    EXPECT_EQ(dialogs.last().kind, Kind::OpenFile);
    EXPECT_EQ(dialogs.last().title, QStringLiteral("请选择要恢复的文件！"));
    EXPECT_EQ(dialogs.last().filter, exchange::kBackupFilter);
    EXPECT_TRUE(imagesEnabled());
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(readAll(session->databasePath()), live);
}

TEST_F(MaintenanceWindowTest, RestoreRefusesTheLiveFileAndAForeignFile) {
    open();
    const QByteArray live = readAll(session->databasePath());
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);

    dialogs.answer({true});
    dialogs.files.enqueue(session->databasePath());
    click(2);
    expectMessage(QStringLiteral("所选的文件就是正在使用的数据库，不能用它恢复！"), QStringLiteral("恢复"),
                  ui::Icon::Exclamation);

    QTemporaryDir elsewhere;
    const QString other = elsewhere.filePath(QStringLiteral("other.MDB"));
    {
        auto db = store::Database::create(other, QStringLiteral("another password"));
        db->exec(QStringLiteral("CREATE TABLE t (a)"));
    }
    dialogs.answer({true});
    dialogs.files.enqueue(other);
    click(2);
    expectMessage(
        QStringLiteral("所选的文件无法打开：它可能已损坏，也可能是用别的密码加密的（不是本系统的数据库）。\n"
                       "不能用它恢复！"),
        QStringLiteral("恢复"), ui::Icon::Exclamation);

    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(imagesEnabled());
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), files);
    expectLogWindowLogs();
}

TEST_F(MaintenanceWindowTest, RestoreReplacesTheDatabaseAfterTheDisplay) {
    QTemporaryDir backups;
    const QString source = backups.filePath(QStringLiteral("a.MDB"));
    QFile::copy(session->databasePath(), source);
    {
        store::Database db(source);
        db.exec(QStringLiteral("UPDATE system SET dwmc = '备份单位'"));
    }
    const QByteArray before = readAll(session->databasePath());
    open();
    dialogs.answer({true});
    dialogs.files.enqueue(source);
    click(2);
    waitForProgress();
    EXPECT_EQ(texts.last(), QStringLiteral("正在恢复数据... 100%"));
    expectMessage(QStringLiteral("恢复成功！"), QStringLiteral("恢复"), ui::Icon::Information);
    EXPECT_EQ(readAll(folder.file(QStringLiteral("20080623.mdb"))), before);
    EXPECT_EQ(session->db().scalar(QStringLiteral("SELECT dwmc FROM system")).toString(),
              QStringLiteral("备份单位"));
    EXPECT_TRUE(imagesEnabled());
    EXPECT_FALSE(bar()->isVisible());
    expectLogWindowLogs();
}

TEST_F(MaintenanceWindowTest, AFailedRestorePutsTheLiveFileBackAndEndsTheProgram) {
    const QString source = folder.file(QStringLiteral("a.MDB"));
    QFile::copy(session->databasePath(), source);
    const QByteArray live = readAll(session->databasePath());
    open(renameFailsAt(1)); // lib.mdb also has today's name; the new file cannot take its place
    dialogs.answer({true});
    dialogs.files.enqueue(source);
    click(2);
    expectMessage(QStringLiteral("恢复失败！"), QStringLiteral("恢复"), ui::Icon::Information);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("20080623.mdb"))));
    expectLogWindowLogs();
}

TEST_F(MaintenanceWindowTest, RepairAndCompactReportSuccess) {
    maintenance_test::addPersons(session->db(), 50);
    open();
    click(3);
    expectMessage(QStringLiteral("数据库修复成功！"), QStringLiteral("修复"), ui::Icon::Information);
    EXPECT_TRUE(imagesEnabled());
    expectLogWindowLogs();

    click(4);
    expectMessage(QStringLiteral("数据库压缩成功"), QStringLiteral("压缩"), ui::Icon::Information);
    EXPECT_TRUE(imagesEnabled());
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("libnew.mdb"))));
    EXPECT_EQ(testing_support::countRows(session->db(), QStringLiteral("wslib")), 50);
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(dialogs.shown.size(), 2) << "neither asks first";
    expectLogWindowLogs();
}

TEST_F(MaintenanceWindowTest, RepairOfADamagedFileRebuildsIt) {
    maintenance_test::addPersons(session->db(), 300);
    session->closeConnection();
    maintenance_test::damagePersonsPage(session->databasePath());
    session->reopenConnection();
    open();
    click(3);
    EXPECT_EQ(session->db().scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
              QStringLiteral("ok"));

    // What was rescued, per table in the file's order, and the persons' rowids that are gone.
    const QHash<QString, QString> labels{{QStringLiteral("wslib"), QStringLiteral("人员(wslib)")},
                                         {QStringLiteral("wslib0"), QStringLiteral("模板(wslib0)")},
                                         {QStringLiteral("km"), QStringLiteral("类别(km)")},
                                         {QStringLiteral("Print"), QStringLiteral("打印设置(Print)")},
                                         {QStringLiteral("basic"), QStringLiteral("用户(basic)")},
                                         {QStringLiteral("system"), QStringLiteral("系统设置(system)")},
                                         {QStringLiteral("user"), QStringLiteral("上机记录(user)")}};
    QStringList rescued;
    store::Statement tables = session->db().prepare(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"));
    while (tables.step()) {
        ASSERT_TRUE(labels.contains(tables.text(0))) << tables.text(0).toStdString();
        rescued << QStringLiteral("%1 %2条")
                       .arg(labels.value(tables.text(0)))
                       .arg(testing_support::countRows(session->db(), tables.text(0)));
    }
    QStringList gone;
    store::Statement rows = session->db().prepare(QStringLiteral("SELECT rowid FROM wslib ORDER BY rowid"));
    qint64 expected = 1;
    const auto addGap = [&](qint64 first, qint64 last) {
        if (first == 1)
            gone << QStringLiteral("%1及以前").arg(last);
        else if (last == 300)
            gone << QStringLiteral("%1及以后").arg(first);
        else
            gone << (first == last ? QString::number(first) : QStringLiteral("%1-%2").arg(first).arg(last));
    };
    while (rows.step()) {
        if (rows.integer(0) > expected)
            addGap(expected, rows.integer(0) - 1);
        expected = rows.integer(0) + 1;
    }
    if (expected <= 300)
        addGap(expected, 300);
    ASSERT_FALSE(gone.isEmpty());
    expectMessage(QStringLiteral("数据库修复成功！\n数据库文件有损坏，有些记录没能救出。\n救出的记录：") +
                      rescued.join(QStringLiteral("；")) +
                      QStringLiteral("。\n没能读出的记录：人员(wslib) 行号") +
                      gone.join(QStringLiteral("、")) + QStringLiteral("。\n损坏的原文件保存为“") +
                      folder.file(QStringLiteral("lib-damaged-20080623.mdb")) + QStringLiteral("”。"),
                  QStringLiteral("修复"), ui::Icon::Information);
    EXPECT_TRUE(QFileInfo::exists(folder.file(QStringLiteral("lib-damaged-20080623.mdb"))));
    expectLogWindowLogs();
}

// Read-only, or held by another program: nothing is touched, the operator learns why, and the
// program goes on.
TEST_F(MaintenanceWindowTest, RefusedOperationsSayWhyAndTheProgramGoesOn) {
    QTemporaryDir backups;
    const QString source = backups.filePath(QStringLiteral("a.MDB"));
    QFile::copy(session->databasePath(), source);
    const QByteArray live = readAll(session->databasePath());
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    struct Case {
        bool readOnly;
        QString cause;
    };
    for (const Case& c : {Case{true, QStringLiteral("数据库文件是只读的，不能写入。")},
                          Case{false, QStringLiteral("数据库文件正被其他程序占用。")}}) {
        SCOPED_TRACE(c.readOnly ? "read-only" : "held by another program");
        session->close();
        session->openOptions().readOnly = c.readOnly;
        session->openOptions().busyTimeoutMs = 50;
        session->open();
        std::unique_ptr<store::Database> other;
        if (!c.readOnly) {
            other = std::make_unique<store::Database>(session->databasePath());
            other->exec(QStringLiteral("BEGIN EXCLUSIVE"));
        }
        open();
        const struct {
            int image;
            QString text;
            QString title;
        } operations[] = {{2, QStringLiteral("没有恢复，数据库保持原样。"), QStringLiteral("恢复")},
                          {3, QStringLiteral("没有修复，数据库保持原样。"), QStringLiteral("修复")},
                          {4, QStringLiteral("没有压缩，数据库保持原样。"), QStringLiteral("压缩")}};
        for (const auto& op : operations) {
            dialogs.clear();
            // A read-only lib.mdb is refused before the question; a held one once the file is chosen.
            const bool asks = op.image == 2 && !c.readOnly;
            if (asks) {
                dialogs.answer({true});
                dialogs.files.enqueue(source);
            }
            click(op.image);
            expectMessage(op.text + QLatin1Char('\n') + c.cause, op.title, ui::Icon::Exclamation);
            EXPECT_EQ(dialogs.shown.size(), asks ? 3 : 1) << op.image;
            EXPECT_TRUE(imagesEnabled());
            EXPECT_FALSE(bar()->isVisible());
        }
        other.reset();
        EXPECT_EQ(quits, 0);
        EXPECT_EQ(readAll(session->databasePath()), live);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), files);
    }
}

TEST_F(MaintenanceWindowTest, FailedRepairAndCompactTellAndEndTheProgram) {
    maintenance_test::addPersons(session->db(), 300);
    session->closeConnection();
    maintenance_test::damagePersonsPage(session->databasePath());
    session->reopenConnection();
    const QByteArray damaged = readAll(session->databasePath());
    open(renameFailsAt(1));
    click(3);
    expectMessage(QStringLiteral("修复数据库时出错,系统将退出！"), QStringLiteral("出错"),
                  ui::Icon::Critical);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(readAll(session->databasePath()), damaged) << "the office keeps its lib.mdb";

    open(renameFailsAt(1));
    click(4);
    expectMessage(QStringLiteral("无法压缩数据库,系统将退出！"), QStringLiteral("出错"), ui::Icon::Critical);
    EXPECT_EQ(quits, 2);
    EXPECT_EQ(readAll(session->databasePath()), damaged);
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("libnew.mdb"))));
}

// Compacting offers 取消 until the compacted file takes lib.mdb's place; stopped, it leaves lib.mdb
// and the folder as they were, and the other controls took no input meanwhile.
TEST_F(MaintenanceWindowTest, CompactStoppedWithCancelLeavesLibMdbAsItWas) {
    maintenance_test::addPersons(session->db(), 50);
    const QByteArray live = readAll(session->databasePath());
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    // The worker waits in its first step until 取消 was clicked.
    auto clicked = std::make_shared<std::atomic<bool>>(false);
    FileOps ops = FileOps::real();
    ops.remove = [real = ops.remove, clicked, first = std::make_shared<bool>(true)](const QString& path) {
        real(path);
        if (std::exchange(*first, false)) {
            for (int i = 0; i < 1000 && !*clicked; ++i)
                QThread::msleep(10);
        }
    };
    open(std::move(ops));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* stop = w->findChild<QPushButton*>(QStringLiteral("JobCancel"));
            if (!stop || !w->isVisible())
                continue;
            poll.stop();
            QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
            QTest::mouseClick(stop, Qt::LeftButton);
            *clicked = true;
        }
    });
    poll.start(10);
    click(4);
    EXPECT_FALSE(poll.isActive()) << "the runner offered 取消";
    expectMessage(ui::kCancelledNothingChanged, QStringLiteral("压缩"), ui::Icon::Information);
    EXPECT_TRUE(window->isVisible()) << "返回 was refused while the file work ran";
    EXPECT_TRUE(imagesEnabled());
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), files) << "libnew.mdb is gone";
    expectLogWindowLogs();
}

TEST_F(MaintenanceWindowTest, RefusesWhileAnotherWindowIsOpen) {
    QWidget other(&hub, Qt::Window);
    other.show();
    open();
    const QByteArray live = readAll(session->databasePath());
    dialogs.answer({true});
    dialogs.files.enqueue(folder.file(QStringLiteral("bak.MDB")));
    for (int n = 1; n <= 4; ++n) {
        dialogs.clear();
        click(n);
        ASSERT_EQ(dialogs.shown.size(), 1) << "Image" << n;
        EXPECT_EQ(dialogs.last().text, exchange::kCloseOtherWindows);
        EXPECT_EQ(dialogs.last().icon, ui::Icon::Exclamation);
    }
    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_TRUE(imagesEnabled());

    other.close();
    dialogs.clear();
    click(4);
    expectMessage(QStringLiteral("数据库压缩成功"), QStringLiteral("压缩"), ui::Icon::Information);
}

TEST(MaintenanceFromTheMainWindow, AnyoneOpensItFromTheMenuAndTheToolbarAndNothingIsLogged) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    int quits = 0;
    login::MainWindow main(*session, login::MainHooks{[&] { ++quits; }, [] {}});
    const qint64 logRows = testing_support::countRows(session->db(), QStringLiteral("user"));

    testing_support::trigger(main, QStringLiteral("Data"));
    auto* form = main.findChild<MaintenanceWindow*>(QStringLiteral("Form10"));
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    testing_support::trigger(main, QStringLiteral("tt8"));
    EXPECT_EQ(main.findChildren<MaintenanceWindow*>().size(), 1) << "the same window comes forward";
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(testing_support::countRows(session->db(), QStringLiteral("user")), logRows);

    // The log window holds the log on the connection: while it is open nothing runs.
    testing_support::trigger(main, QStringLiteral("user"));
    auto* log = main.findChild<login::LogWindow*>(QStringLiteral("Form11"));
    ASSERT_NE(log, nullptr);
    dialogs.clear();
    QTest::mouseClick(form->findChild<QToolButton*>(QStringLiteral("Image4")), Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last().text, exchange::kCloseOtherWindows);

    log->close();
    QTest::mouseClick(form->findChild<QToolButton*>(QStringLiteral("Image4")), Qt::LeftButton);
    EXPECT_EQ(dialogs.last().text, QStringLiteral("数据库压缩成功"));
    testing_support::trigger(main, QStringLiteral("user"));
    EXPECT_EQ(testing_support::lastAction(session->db()), QStringLiteral("查看上机记录"));
    EXPECT_EQ(quits, 0);
}

TEST(MaintenanceAtStartUp, AnInterruptedRestoreIsNamedAndItsCopyRemoved) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    const QString leftover = folder.file(QStringLiteral("lib-restore-a1B2c3.mdb"));
    ASSERT_TRUE(QFile::copy(folder.file(QStringLiteral("lib.mdb")), leftover));
    const QString notes = folder.file(QStringLiteral("lib-restore-notes.txt"));
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    {
        login::AppController app(folder.path());
        ASSERT_TRUE(app.start());
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last().text,
                  QStringLiteral("上次的数据恢复没有完成：程序在恢复的中途结束了。\n"
                                 "数据库没有被替换，仍是恢复前的数据；如仍需恢复，请重新进行数据恢复。"));
        EXPECT_EQ(dialogs.last().title, ui::kProgramTitle);
        EXPECT_EQ(dialogs.last().icon, ui::Icon::Exclamation);
        EXPECT_FALSE(QFileInfo::exists(leftover));
        EXPECT_TRUE(QFileInfo::exists(notes)) << "only the restore's own copies go";
        EXPECT_NE(app.loginWindow(), nullptr);
    }
    dialogs.clear();
    login::AppController again(folder.path());
    ASSERT_TRUE(again.start());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(MaintenanceWindowTest, ABackupNamedWithoutTheExtensionIsSavedAsAnMdbFile) {
    QTemporaryDir backups;
    session->state().backupFolder = backups.path();
    open();
    dialogs.files.enqueue(backups.filePath(QStringLiteral("周二")));
    click(1);
    waitForProgress();
    EXPECT_EQ(dialogs.shown.first().kind, Kind::SaveFile);
    EXPECT_EQ(dialogs.shown.first().suffix, QStringLiteral("mdb"));
    expectMessage(QStringLiteral("备份成功！"), QStringLiteral("备份"), ui::Icon::Information);
    // What 数据恢复 lists: the restore dialog shows *.MDB files only.
    EXPECT_EQ(QDir(backups.path()).entryList({QStringLiteral("*.MDB"), QStringLiteral("*.mdb")}, QDir::Files),
              QStringList{QStringLiteral("周二.mdb")});
    EXPECT_EQ(readAll(backups.filePath(QStringLiteral("周二.mdb"))), readAll(session->databasePath()));
}

TEST_F(MaintenanceWindowTest, RestoreFromAFileAnotherProgramHoldsNamesTheLock) {
    QTemporaryDir backups;
    const QString source = backups.filePath(QStringLiteral("a.MDB"));
    ASSERT_TRUE(QFile::copy(session->databasePath(), source));
    store::Database holder(source);
    holder.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    holder.exec(QStringLiteral("UPDATE system SET bakpath = bakpath"));
    open();
    const QByteArray live = readAll(session->databasePath());
    dialogs.answer({true});
    dialogs.files.enqueue(source);
    click(2);
    expectMessage(QStringLiteral("所选的文件正被其他程序占用，现在打不开。\n不能用它恢复！"),
                  QStringLiteral("恢复"), ui::Icon::Exclamation);
    holder.exec(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(readAll(session->databasePath()), live);
}
