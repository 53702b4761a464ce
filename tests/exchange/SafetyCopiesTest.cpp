#include "exchange/SafetyCopies.h"
#include "TestFolder.h"
#include "categories/CategorySettingsWindow.h"
#include "exchange/JetFixtures.h"
#include "exchange/MaintenanceWindow.h"
#include "exchange/PreviewWindow.h"
#include "exchange/SafetyCopyStep.h"
#include "login/MainWindow.h"
#include "store/Database.h"
#include "ui/ScriptedDialogs.h"
#include "ui/WindowScript.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using testing_support::countRows;
using testing_support::everyRow;
using testing_support::TestFolder;

namespace {

const QStringList kDataTables = {QStringLiteral("basic"),  QStringLiteral("km"),    QStringLiteral("Print"),
                                 QStringLiteral("system"), QStringLiteral("wslib"), QStringLiteral("wslib0")};

QStringList residences(const QString& path) {
    store::Database db(path);
    QStringList rows;
    store::Statement st =
        db.prepare(QStringLiteral("SELECT \"个人编号\", \"现居住地\" FROM wslib ORDER BY rowid"));
    while (st.step())
        rows << st.text(0) + QLatin1Char(':') + st.text(1);
    return rows;
}

QString integrity(const QString& path) {
    store::Database db(path);
    return db.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
}

QStringList names(const std::vector<exchange::SafetyCopy>& copies) {
    QStringList list;
    for (const exchange::SafetyCopy& c : copies)
        list << QFileInfo(c.path).fileName();
    return list;
}

struct Fixture {
    Fixture() : session(folder.session()) {
        session->db().exec(
            QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"现居住地\", \"现居住地电话\") VALUES "
                           "('000001', '王一', '旧', '123'), ('000002', '李二', '旧', '456')"));
        // What an import would stage.
        session->db().exec(
            QStringLiteral("INSERT INTO wslib0(\"个人编号\", \"姓名\") VALUES ('000001', '王一')"));
        window = std::make_unique<login::MainWindow>(*session, login::MainHooks{[] {}, [] {}});
    }
    void trigger(const char* key) { testing_support::trigger(*window, QString::fromLatin1(key)); }
    // Another office's copy: 王一 without a residence or telephone, and a new person.
    QString otherCopy() {
        auto other = otherFolder.session();
        other->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"现居住地\") VALUES "
                                        "('000001', '王一', NULL), ('000003', '张三', '新')"));
        other.reset();
        return otherFolder.file(QStringLiteral("lib.mdb"));
    }
    std::vector<exchange::SafetyCopy> copies() {
        return exchange::SafetyCopies(folder.path(), session->clock()).list();
    }
    QWidget* child(const char* name) { return window->findChild<QWidget*>(QString::fromLatin1(name)); }
    void click(QWidget* w, const char* button) {
        w->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }

    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    TestFolder otherFolder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<login::MainWindow> window;
};

} // namespace

TEST(SafetyCopies, AreEncryptedCheckedNamedByTheSecondAndRotated) {
    TestFolder folder;
    auto session = folder.session();
    session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\") VALUES ('000001', '王一')"));
    // A table of another version beside the seven is carried along.
    session->db().exec(QStringLiteral("CREATE TABLE history(what TEXT)"));
    qint64 free = std::numeric_limits<qint64>::max();
    exchange::SafetyCopies copies(folder.path(), folder.clock.clock(), [&](const QString&) { return free; });

    const exchange::SafetyCopy first = copies.make(session->db(), QStringLiteral("合并"));
    EXPECT_EQ(first.path, folder.file(QStringLiteral("backup/auto/20080623-090500-合并.mdb")));
    EXPECT_EQ(first.persons, 1);
    QFile file(first.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.read(16).startsWith("SQLite format 3")) << "encrypted like lib.mdb";
    EXPECT_EQ(integrity(first.path), QStringLiteral("ok"));
    EXPECT_TRUE(store::Database(first.path).hasTable(QStringLiteral("history")));

    copies.make(session->db(), QStringLiteral("导入")); // the same second
    EXPECT_EQ(names(copies.list()), QStringList({QStringLiteral("20080623-090500-导入-2.mdb"),
                                                 QStringLiteral("20080623-090500-合并.mdb")}));
    for (int i = 1; i <= 20; ++i) {
        *folder.clock.now = folder.clock.now->addSecs(1);
        copies.make(session->db(), QStringLiteral("转类别"));
    }
    std::vector<exchange::SafetyCopy> kept = copies.list();
    ASSERT_EQ(kept.size(), 20u);
    EXPECT_EQ(QFileInfo(kept.front().path).fileName(), QStringLiteral("20080623-090520-转类别.mdb"));
    EXPECT_EQ(QFileInfo(kept.back().path).fileName(), QStringLiteral("20080623-090501-转类别.mdb"));
    EXPECT_EQ(kept.back().persons, 1);

    // The copies may take a fifth of the free disk: room for two here.
    free = first.bytes * 10;
    *folder.clock.now = folder.clock.now->addSecs(1);
    copies.make(session->db(), exchange::kDailyCopy);
    EXPECT_EQ(copies.list().size(), 2u);
    EXPECT_TRUE(copies.madeOn(folder.clock.now->date(), exchange::kDailyCopy));

    // A file where the folder should be: no copy, nothing left behind.
    TestFolder blocked;
    QDir(blocked.path()).mkpath(QStringLiteral("backup"));
    QFile plain(blocked.file(QStringLiteral("backup/auto")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    exchange::SafetyCopies none(blocked.path(), folder.clock.clock());
    EXPECT_THROW(none.make(session->db(), QStringLiteral("合并")), exchange::SafetyCopyFailed);
    EXPECT_TRUE(QFileInfo(plain.fileName()).isFile());
    EXPECT_EQ(QDir(blocked.file(QStringLiteral("backup"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("auto")});
}

// Every bulk change copies lib.mdb first; without a copy it stops with nothing changed.
TEST(SafetyCopies, EveryBulkChangeCopiesFirstAndStopsWithoutOne) {
    const struct {
        QString operation;
        std::function<void(Fixture&)> run;
    } cases[] = {
        {exchange::kCopyBeforeInitialise,
         [](Fixture& f) {
             f.dialogs.answer({true, true});
             f.trigger("Datastar");
         }},
        {exchange::kCopyBeforeCategoryReplace,
         [](Fixture& f) {
             f.trigger("s3");
             auto* w = f.window->findChild<categories::CategorySettingsWindow*>();
             w->selectCategory(5);
             f.click(w, "Command1"); // 查库: no value, so 转类别 empties the category
             f.dialogs.answer({true});
             f.click(w, "Command2");
         }},
        {exchange::kCopyBeforeImport,
         [](Fixture& f) {
             f.trigger("INexcel");
             QWidget* w = f.child("Form13");
             f.click(w, "Command4");
             f.dialogs.answer({true});
             f.click(w, "Command2");
         }},
        {exchange::kCopyBeforeMerge,
         [](Fixture& f) {
             f.dialogs.files.enqueue(f.otherCopy());
             f.trigger("hebin");
         }},
        {exchange::kCopyBeforeUpgrade,
         [](Fixture& f) {
             f.dialogs.answer({true});
             f.dialogs.files.enqueue(testing_support::jetFixture(QStringLiteral("legacy_lib_v4.mdb")));
             f.trigger("upV");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation.toStdString());
        Fixture f;
        ui::PressWhenShown go(c.operation == exchange::kCopyBeforeMerge ? exchange::kMergePreviewTitle
                                                                        : exchange::kImportPreviewTitle,
                              QStringLiteral("Continue"));
        const QStringList before = everyRow(f.session->db(), kDataTables);
        QDir(f.folder.path()).mkpath(QStringLiteral("backup"));
        QFile plain(f.folder.file(QStringLiteral("backup/auto")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        plain.close();
        c.run(f);
        ASSERT_FALSE(f.dialogs.shown.isEmpty());
        EXPECT_EQ(
            f.dialogs.last().text,
            exchange::safetyCopyFailedText(c.operation) +
                QStringLiteral("\n文件夹“%1”无法建立。").arg(QDir::toNativeSeparators(plain.fileName())));
        EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Critical);
        EXPECT_EQ(everyRow(f.session->db(), kDataTables), before) << "nothing changed";

        ASSERT_TRUE(plain.remove());
        f.dialogs.clear();
        c.run(f);
        const std::vector<exchange::SafetyCopy> copies = f.copies();
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].operation, c.operation);
        EXPECT_EQ(copies[0].persons, 2);
        EXPECT_EQ(residences(copies[0].path),
                  QStringList({QStringLiteral("000001:旧"), QStringLiteral("000002:旧")}));
        EXPECT_EQ(integrity(copies[0].path), QStringLiteral("ok"));
        EXPECT_NE(everyRow(f.session->db(), kDataTables), before) << "the change went on";
    }
}

// Form10 lists the copies newest first; one is restored through the restore's own question and
// display, itself copied first.
TEST(SafetyCopies, RestoreFromTheMaintenanceList) {
    Fixture f;
    exchange::SafetyCopies copies(f.folder.path(), f.session->clock());
    copies.make(f.session->db(), exchange::kCopyBeforeMerge);
    f.session->db().exec(
        QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\") VALUES ('000003', '张三')"));
    *f.folder.clock.now = f.folder.clock.now->addSecs(61);
    copies.make(f.session->db(), exchange::kCopyBeforeImport);
    f.session->db().exec(QStringLiteral("DELETE FROM wslib"));

    auto now = std::make_shared<QDateTime>(QDateTime::currentDateTimeUtc());
    exchange::MaintenanceWindow window(*f.session, [] { FAIL() << "the program ends"; }, nullptr,
                                       {[now] { return *now = now->addSecs(2); }, 1});
    window.show();
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("SafetyList"));
    QStringList shown;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        shown << list->topLevelItem(i)->text(0) + QLatin1Char('|') + list->topLevelItem(i)->text(1) +
                     QLatin1Char('|') + list->topLevelItem(i)->text(2);
    EXPECT_EQ(shown, QStringList({QStringLiteral("2008-06-23 09:06:01|导入|3"),
                                  QStringLiteral("2008-06-23 09:05:00|合并|2")}));

    list->setCurrentItem(list->topLevelItem(1));
    f.dialogs.answer({true});
    window.findChild<QPushButton*>(QStringLiteral("SafetyRestore"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.progressRunning(); }, 10000));
    ASSERT_GE(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.shown[0].text, QStringLiteral("数据恢复将会覆盖原有的数据，您真的要操作吗？"));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("恢复成功！"));
    EXPECT_EQ(residences(f.session->databasePath()),
              QStringList({QStringLiteral("000001:旧"), QStringLiteral("000002:旧")}));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib")), 2) << "the connection reopened on it";
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(1), exchange::kCopyBeforeRestore);
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("0"))
        << "the database as it was before the restore";
}

// The previews count what the merge and the import would change and list what they would empty;
// 取消 changes nothing, makes no copy, and the merge logs only the choice of file.
TEST(SafetyCopies, PreviewsBeforeMergeAndImport) {
    struct Case {
        QString title;
        QString summary;
        std::function<void(Fixture&)> run;
    };
    const Case cases[] = {
        {exchange::kMergePreviewTitle, QStringLiteral("选择的库中有2人：将更新本库1人，增加1人。"),
         [](Fixture& f) {
             f.dialogs.files.enqueue(f.otherCopy());
             f.trigger("hebin");
         }},
        {exchange::kImportPreviewTitle,
         QStringLiteral("库中现有2人将被替换为导入的2人：更新1人，增加1人，删除1人。"),
         [](Fixture& f) {
             f.session->db().exec(
                 QStringLiteral("INSERT INTO wslib0(\"个人编号\", \"姓名\", \"现居住地\") VALUES "
                                "('000001', '王一', ' '), ('000003', '张三', '新')"));
             f.trigger("INexcel");
             QWidget* w = f.child("Form13");
             f.click(w, "Command4");
             f.dialogs.answer({true});
             f.click(w, "Command2");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        Fixture f;
        f.session->db().exec(QStringLiteral("DELETE FROM wslib0"));
        const QStringList before = everyRow(f.session->db(), kDataTables);
        const qint64 logged = countRows(f.session->db(), QStringLiteral("user"));
        {
            ui::PressWhenShown cancel(c.title, QStringLiteral("Cancel"));
            c.run(f);
            ASSERT_EQ(cancel.pressed(), 1);
            EXPECT_EQ(cancel.label(QStringLiteral("Summary")), c.summary);
            EXPECT_EQ(cancel.label(QStringLiteral("EmptiedCaption")),
                      QStringLiteral("以下1人已填的项目将被清空："));
            EXPECT_EQ(cancel.rows(), QStringList{QStringLiteral("000001 | 王一 | 现居住地、现居住地电话")});
        }
        const QStringList staged = everyRow(f.session->db(), kDataTables);
        EXPECT_EQ(staged.filter(QStringLiteral("wslib:")), before.filter(QStringLiteral("wslib:")));
        EXPECT_TRUE(f.copies().empty());
        if (c.title == exchange::kMergePreviewTitle) {
            EXPECT_EQ(countRows(f.session->db(), QStringLiteral("user")), logged + 1)
                << "only 进入合并数据库";
        }
        ui::PressWhenShown go(c.title, QStringLiteral("Continue"));
        f.dialogs.answer({true});
        c.run(f);
        EXPECT_EQ(go.pressed(), 1);
        EXPECT_EQ(testing_support::personValue(f.session->db(), QStringLiteral("000003"), "现居住地"),
                  QStringLiteral("新"));
    }
}
