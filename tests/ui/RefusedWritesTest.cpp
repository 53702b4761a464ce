#include "TestFolder.h"

#include "categories/CategorySettingsWindow.h"
#include "exchange/ImportWindow.h"
#include "exchange/MaintenanceWindow.h"
#include "exchange/PreviewWindow.h"
#include "login/LogWindow.h"
#include "login/Login.h"
#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "print/PrintSettingsWindow.h"
#include "print/ResultsWindow.h"
#include "query/QueryWindow.h"
#include "records/CategoryScan.h"
#include "records/DataCheckWindow.h"
#include "records/EntryForm.h"
#include "records/EntryRules.h"
#include "records/EntryWindow.h"
#include "records/ScanWindow.h"
#include "records/Scanner.h"
#include "settings/SystemSettingsWindow.h"
#include "settings/UsersWindow.h"
#include "stats/StatisticsWindow.h"
#include "store/RecordSet.h"
#include "ui/Guard.h"
#include "ui/ScriptedDialogs.h"
#include "ui/WindowScript.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

using testing_support::countRows;
using testing_support::TestFolder;

namespace {

// The two ways the database refuses every write: a connection opened read-only (what a
// read-only file or share gives), and triggers that raise on every change (a refusal from
// inside the database, as a full disk or a failing constraint would give).
enum class Refusal { ReadOnlyConnection, RaisingTriggers };

const QStringList kTables = {QStringLiteral("wslib"), QStringLiteral("wslib0"), QStringLiteral("km"),
                             QStringLiteral("basic"), QStringLiteral("system"), QStringLiteral("user"),
                             QStringLiteral("Print")};

// What the last-resort catch in the application object says: it must never be reached.
const QString kLastResort = QStringLiteral("操作没有完成。");

struct Refused {
    explicit Refused(Refusal how) : how(how) {
        {
            auto setUp = folder.session();
            auto& db = setUp->db();
            db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"出生年月\") VALUES "
                                   "('000001', '王一', '1950-03-15'), ('000002', '李二', '1948-11-02')"));
            // An old 15-digit number, which the data check offers to convert.
            db.exec(QStringLiteral(
                "UPDATE wslib SET \"身份证号码\" = '110105481102001' WHERE \"个人编号\" = '000002'"));
            db.exec(QStringLiteral("INSERT INTO basic(name, pass) VALUES ('张三', '')"));
            if (how == Refusal::RaisingTriggers) {
                for (const QString& table : kTables) {
                    for (const char* event : {"INSERT", "UPDATE", "DELETE"}) {
                        db.exec(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT "
                                               "RAISE(ABORT, 'refused'); END")
                                    .arg(store::quoted(QStringLiteral("refuse_%1_%2")
                                                           .arg(table, QString::fromLatin1(event))),
                                         QString::fromLatin1(event), store::quoted(table)));
                    }
                }
            }
        }
        session = std::make_unique<store::Session>(folder.path(), folder.clock.clock());
        session->openOptions().readOnly = how == Refusal::ReadOnlyConnection;
        session->open();
        session->state().currentUser = QStringLiteral("超级用户");
        for (const QString& table : kTables)
            before[table] = countRows(session->db(), table);
        // Every question is answered Yes, so that every destructive path is taken.
        for (int i = 0; i < 200; ++i)
            dialogs.answers.enqueue(true);
    }

    void expectNothingChanged() {
        for (const QString& table : kTables)
            EXPECT_EQ(countRows(session->db(), table), before[table]) << table.toStdString();
        EXPECT_EQ(session->db()
                      .scalar(QStringLiteral("SELECT \"姓名\" FROM wslib WHERE \"个人编号\" = '000001'"))
                      .toString(),
                  QStringLiteral("王一"));
        for (const auto& shown : dialogs.shown)
            EXPECT_FALSE(shown.text.startsWith(kLastResort)) << shown.text.toStdString();
    }

    // The cause line the guarded path appends to a message.
    QString cause() const {
        return how == Refusal::ReadOnlyConnection ? QStringLiteral("数据库文件是只读的，不能写入。")
                                                  : QStringLiteral("输入的内容太长或格式不对。");
    }

    bool shown(const QString& text) const {
        return std::any_of(dialogs.shown.begin(), dialogs.shown.end(),
                           [&](const ui::ScriptedDialogs::Shown& s) { return s.text == text; });
    }

    Refusal how;
    ui::ScriptedDialogs dialogs;
    // The previews before an import or a merge are answered 继续, as every question is Yes.
    ui::PressWhenShown importPreview{exchange::kImportPreviewTitle, QStringLiteral("Continue")};
    ui::PressWhenShown mergePreview{exchange::kMergePreviewTitle, QStringLiteral("Continue")};
    TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::map<QString, qint64> before;
};

// Clicks every enabled button and triggers every toolbar action of a window, as an operator
// would, except those that start other programs. The window may close itself on the way.
void clickEverything(QWidget* window, const QStringList& skip = {}) {
    QPointer<QWidget> alive(window);
    window->show();
    QList<QPointer<QAbstractButton>> buttons;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        // A toolbar too narrow for its buttons shows Qt's own overflow menu; its actions are
        // triggered below.
        if (b->objectName() != QLatin1String("qt_toolbar_ext_button"))
            buttons << b;
    }
    QList<QPointer<QAction>> actions;
    for (QToolBar* bar : window->findChildren<QToolBar*>()) {
        for (QAction* a : bar->actions())
            actions << a;
    }
    // Leaving buttons last, so that the others meet an open window.
    const auto leaves = [](const QString& text) {
        return text == QStringLiteral("返回") || text == QStringLiteral("退出");
    };
    for (bool leaving : {false, true}) {
        for (const QPointer<QAbstractButton>& b : buttons) {
            if (!alive || !b || !b->isEnabled() || skip.contains(b->objectName()) ||
                leaves(b->text()) != leaving)
                continue;
            if (b->isVisible())
                QTest::mouseClick(b, Qt::LeftButton);
            else
                b->click();
        }
        for (const QPointer<QAction>& a : actions) {
            if (!alive || !a || !a->isEnabled() || skip.contains(a->objectName()) ||
                leaves(a->text()) != leaving)
                continue;
            a->trigger();
        }
    }
}

class RefusedWrites : public ::testing::TestWithParam<Refusal> {};

} // namespace

TEST_P(RefusedWrites, EveryButtonOfEveryWindowEndsInAMessageOrSilenceAndChangesNothing) {
    ASSERT_TRUE(testing_support::useSaneTestDevice()); // the photo button starts SANE
    Refused f(GetParam());
    QWidget host; // holds the entry window that the photo window works for, as the main window does
    int quits = 0;
    const std::vector<std::pair<const char*, std::function<QWidget*()>>> windows = {
        {"entry", [&] { return new records::EntryWindow(*f.session, [] {}); }},
        {"query", [&] { return new query::QueryWindow(*f.session, [] {}); }},
        {"results",
         [&] {
             f.session->pendingExpression() = QStringLiteral("姓名 like '王*'");
             return new print::ResultsWindow(*f.session);
         }},
        {"statistics",
         [&] {
             auto* w = new stats::StatisticsWindow(*f.session);
             w->openInEditor = [](const QString&) { return true; };
             w->findChild<QListWidget*>(QStringLiteral("List2"))->addItem(QStringLiteral("性别"));
             return w;
         }},
        {"categories",
         [&] { return new categories::CategorySettingsWindow(*f.session, records::scanDistinct); }},
        {"users", [&] { return new settings::UsersWindow(*f.session); }},
        {"system settings", [&] { return new settings::SystemSettingsWindow(*f.session, [] {}); }},
        {"log", [&] { return new login::LogWindow(*f.session); }},
        {"login", [&] { return new login::LoginWindow(*f.session, login::readUsers(f.session->db())); }},
        {"data check", [&] { return new records::DataCheckWindow(*f.session, [](qint64) {}); }},
        {"import", [&] { return new exchange::ImportWindow(*f.session); }},
        {"print settings", [&] { return new print::PrintSettingsWindow(*f.session); }},
        {"maintenance", [&] { return new exchange::MaintenanceWindow(*f.session, [&] { ++quits; }); }},
        {"photo",
         [&] {
             auto* entry = new records::EntryWindow(
                 *f.session, [] {}, &host);
             QWidget* photo = records::ScanWindow::open(*entry, records::makeSaneScanner());
             photo->setAttribute(Qt::WA_DeleteOnClose, false); // the test owns it
             return photo;
         }},
    };
    const QList<QByteArray> loggedAtOpening = {"entry", "query",           "statistics", "categories",
                                               "users", "system settings", "log"};
    for (const auto& [name, make] : windows) {
        SCOPED_TRACE(name);
        f.dialogs.clear();
        std::unique_ptr<QWidget> window(make());
        // Opening writes a log row (except the login and results windows): it is reported, and the
        // window opens all the same.
        clickEverything(window.get(), {QStringLiteral("tt6")});
        if (loggedAtOpening.contains(QByteArray(name))) {
            EXPECT_TRUE(f.shown(ui::kLogNotWritten + QStringLiteral("\n") + f.cause()));
        }
        f.expectNothingChanged();
    }
    EXPECT_EQ(quits, 0) << "no maintenance step failed so badly that the program had to end";
}

TEST_P(RefusedWrites, MainWindowCommandsNeverAbort) {
    Refused f(GetParam());
    int quits = 0;
    int relogins = 0;
    login::MainWindow main(*f.session, {[&] { ++quits; }, [&] { ++relogins; }});
    // Every command from both places, but the about box (modal), the calculator (another
    // program), and re-login and ending at once, which only call the hooks.
    using login::Command;
    for (login::From from : {login::From::Menu, login::From::Toolbar}) {
        for (Command command :
             {Command::SystemSettings, Command::Users, Command::Categories, Command::Entry, Command::Query,
              Command::Statistics, Command::WagesMenu, Command::WagesToolbar, Command::Maintenance,
              Command::ImportExcel, Command::ExportExcel, Command::Upgrade, Command::Merge,
              Command::Initialise, Command::OperatorLog, Command::Help}) {
            SCOPED_TRACE(int(command));
            main.run(command, from);
        }
    }
    main.run(Command::Leave, login::From::Toolbar);
    EXPECT_EQ(quits, 1) << "leaving never fails on the log";
    f.expectNothingChanged();
}

TEST_P(RefusedWrites, EntryWindowKeepsWhatWasTypedAndSaysWhy) {
    Refused f(GetParam());
    records::EntryWindow window(*f.session, [] {});
    EXPECT_EQ(f.dialogs.last().text, ui::kLogNotWritten + QStringLiteral("\n") + f.cause());
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Critical);
    auto* name = window.form().findChild<QLineEdit*>(QStringLiteral("Text2"));
    const QString stored = name->text();
    name->setText(QStringLiteral("王一改"));

    f.dialogs.clear();
    window.saveRecord();
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    if (GetParam() == Refusal::ReadOnlyConnection)
        EXPECT_EQ(f.dialogs.last().text, records::kSaveFailed + QStringLiteral("\n") + f.cause());
    else // a refusal from inside the database reads as a value that does not fit, as before
        EXPECT_EQ(f.dialogs.last().text, records::kWriteFailed);
    EXPECT_EQ(name->text(), QStringLiteral("王一改"));

    f.dialogs.clear();
    f.dialogs.replies.enqueue(ui::Answer::No); // 是否保存对当前记录的修改？ No: the typed text goes
    window.addRecord();
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text, records::kAddFailed + QStringLiteral("\n") + f.cause());
    EXPECT_EQ(name->text(), stored);
    EXPECT_EQ(window.list().count(), 2);

    f.dialogs.clear();
    window.deleteRecord();
    ASSERT_EQ(f.dialogs.shown.size(), 2); // the question, then why nothing was deleted
    EXPECT_EQ(f.dialogs.last().text, records::kDeleteFailed + QStringLiteral("\n") + f.cause());
    EXPECT_EQ(window.list().count(), 2);
    f.expectNothingChanged();
}

INSTANTIATE_TEST_SUITE_P(Database, RefusedWrites,
                         ::testing::Values(Refusal::ReadOnlyConnection, Refusal::RaisingTriggers),
                         [](const auto& info) {
                             return info.param == Refusal::ReadOnlyConnection ? std::string("ReadOnly")
                                                                              : std::string("Triggers");
                         });

TEST(Guard, SavingAPersonDeletedBehindTheWindowKeepsTheBoxes) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\") VALUES ('000001', '王一')"));
    records::EntryWindow window(*session, [] {});
    session->db().exec(QStringLiteral("DELETE FROM wslib"));
    auto* name = window.form().findChild<QLineEdit*>(QStringLiteral("Text2"));
    name->setText(QStringLiteral("王一改"));
    dialogs.clear();
    window.saveRecord();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.last().text, records::kPersonGone);
    EXPECT_EQ(dialogs.last().icon, ui::Icon::Exclamation);
    EXPECT_EQ(name->text(), QStringLiteral("王一改"));
    EXPECT_EQ(countRows(session->db(), QStringLiteral("wslib")), 0);
}

TEST(Guard, ErrorsKeepTheirKindInTheCauseLine) {
    EXPECT_EQ(ui::causeOf(store::SqlError(13 /* SQLITE_FULL */, QStringLiteral("full"))),
              QStringLiteral("磁盘已满。"));
    EXPECT_EQ(ui::causeOf(store::SqlError(5 /* SQLITE_BUSY */, QStringLiteral("busy"))),
              QStringLiteral("数据库文件正被其他程序占用。"));
    EXPECT_EQ(ui::causeOf(store::SqlError(11 /* SQLITE_CORRUPT */, QStringLiteral("bad"))),
              QStringLiteral("数据库文件可能已损坏。"));
}

TEST(Guard, DamagedPagesNeverAbortBrowsing) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    {
        auto session = folder.session();
        store::Transaction tx(session->db());
        for (int i = 1; i <= 400; ++i) {
            session->db().exec(
                QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"备注\") VALUES (?, ?, ?)"),
                {QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), QStringLiteral("王%1").arg(i),
                 QString(1500, QLatin1Char('x'))});
        }
        tx.commit();
    }
    // Spoil a run of pages in the middle of the file, where the persons rows lie.
    QFile file(folder.file(QStringLiteral("lib.mdb")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 pages = file.size() / 4096;
    ASSERT_GT(pages, 100);
    for (qint64 page = pages / 2; page < pages / 2 + 8; ++page) {
        file.seek(page * 4096 + 100);
        file.write(QByteArray(2000, '\x5a'));
    }
    file.close();

    auto session = std::make_unique<store::Session>(folder.path(), folder.clock.clock());
    session->open();
    session->state().currentUser = QStringLiteral("超级用户");
    login::MainWindow main(*session, {[] {}, [] {}});
    main.run(login::Command::Entry, login::From::Toolbar);
    // The entry window opens once its label is painted, or fails silently.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return main.findChild<QLabel*>(QStringLiteral("Label1"))->text().isEmpty(); }));
    if (auto* entry = main.findChild<records::EntryWindow*>()) {
        for (int i = 0; i < 400; ++i)
            entry->moveTo(i);
        for (QAbstractButton* b : entry->findChildren<QAbstractButton*>()) {
            if (b->text() == QStringLiteral("▶") || b->text() == QStringLiteral("▶|"))
                b->click();
        }
        entry->saveRecord();
    }
    session->pendingExpression() = QStringLiteral("备注 like '*x*'");
    print::ResultsWindow results(*session);
    for (const auto& shown : dialogs.shown)
        EXPECT_FALSE(shown.text.startsWith(kLastResort)) << shown.text.toStdString();
}
