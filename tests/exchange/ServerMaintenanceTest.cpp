// Backup, restore, repair and compact when the program works on a server.

#include "PgCluster.h"
#include "TestFolder.h"
#include "exchange/JetFixtures.h"
#include "exchange/MaintenanceFiles.h"

#include "exchange/Maintenance.h"
#include "exchange/MaintenanceWindow.h"
#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "exchange/Upload.h"
#include "records/PersonHistory.h"
#include "store/BulkLock.h"
#include "store/Database.h"
#include "store/Job.h"
#include "store/Schema.h"
#include "ui/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using exchange::Maintenance;
using testing_support::TestFolder;
using namespace store;

namespace {

// A table's rows with their identities; the history with a picture's bytes where the value is one.
QList<QVariantList> rowsOf(Database& db, const QString& table) {
    QString select;
    if (table == records::kHistoryTable) {
        select = db.sql(
            QStringLiteral("SELECT id, change_id, changed_at, operator, person, number, name, kind, "
                           "field, old_value, new_value, NULL, NULL FROM history ORDER BY id"),
            QStringLiteral("SELECT id, change_id, changed_at, operator, person, number, name, kind, "
                           "field, old_value, new_value, old_bytes, new_bytes FROM history ORDER BY id"));
    } else {
        QStringList names;
        for (const QString& c : db.columnNames(table))
            names << quoted(c);
        select =
            QStringLiteral("SELECT %1, rowid FROM %2 ORDER BY rowid").arg(names.join(", "), quoted(table));
    }
    Statement st = db.prepare(select);
    QList<QVariantList> rows;
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i < st.columnCount(); ++i)
            row << st.value(i);
        if (table == records::kHistoryTable) {
            for (int v : {9, 10}) {
                if (!row[v + 2].isNull())
                    row[v] = row[v + 2];
                else if (!row[v].isNull() && row[v].typeId() != QMetaType::QByteArray)
                    row[v] = row[v].toString(); // the server keeps a value as text
            }
            row.resize(11);
        }
        rows << row;
    }
    return rows;
}

// Every row of the seven tables and the history, Null told apart from empty text.
QStringList everyTable(Database& db) {
    QStringList rows;
    const QStringList names = schema::tableNames() << records::kHistoryTable;
    for (const QString& table : names) {
        if (!db.hasTable(table))
            continue;
        for (const QVariantList& row : rowsOf(db, table)) {
            QStringList cells;
            for (const QVariant& v : row)
                cells << (v.isNull()                            ? QStringLiteral("Null")
                          : v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                : v.toString());
            rows << table + QLatin1Char(':') + cells.join(QLatin1Char('|'));
        }
    }
    return rows;
}

// An office on the server: persons with photos, and a history holding a text and a picture.
struct ServerOffice {
    TestFolder source;
    TestFolder folder{false};
    QString conninfo = testing_support::PgCluster::instance().createDatabase();
    std::unique_ptr<Session> session;

    ServerOffice() {
        {
            const auto db = openProgramDatabase(source.file(QStringLiteral("lib.mdb")));
            maintenance_test::addPersons(*db, 30);
            records::ensureHistoryTable(*db);
            db->exec(
                QStringLiteral("INSERT INTO history (change_id, changed_at, operator, person, number, name, "
                               "kind, field, old_value, new_value) VALUES (1, '2008-06-01 10:00:00', '张三', "
                               "1, '000001', '人员1', '修改', '相片', ?, 1234.5)"),
                {maintenance_test::photoFor(7)});
        }
        exchange::uploadToServer(source.file(QStringLiteral("lib.mdb")), *Database::connect(conninfo),
                                 untracked());
        session = login(conninfo);
    }

    std::unique_ptr<Session> login(const QString& server) {
        auto s = std::make_unique<Session>(folder.path(), folder.clock.clock());
        s->useServer(server, QStringLiteral("test"));
        s->open();
        return s;
    }
};

TEST(ServerMaintenance, BackupOpensWithoutTheServerAndRestoreKeepsTheReplacedTablesDated) {
    ServerOffice office;
    Database& server = office.session->db();
    Maintenance maintenance(*office.session);
    const QString backup = office.folder.file(QStringLiteral("备份.mdb"));
    maintenance.backup(backup);

    // The upload carried the history along with the seven tables.
    EXPECT_EQ(everyTable(server),
              everyTable(*openProgramDatabase(office.source.file(QStringLiteral("lib.mdb")))));
    const auto copy = openProgramDatabase(backup);
    EXPECT_EQ(copy->dialect(), Dialect::Embedded);
    const auto before = everyTable(server);
    EXPECT_EQ(everyTable(*copy), before);
    EXPECT_EQ(before.filter(QRegularExpression(QStringLiteral("^wslib:"))).size(), 30);
    EXPECT_EQ(before.filter(QRegularExpression(QStringLiteral("^history:"))).size(), 1);
    for (const QString& table : schema::tableNames())
        EXPECT_EQ(copy->declaredColumns(table), server.declaredColumns(table)) << table.toStdString();

    // Work after the backup, and a dated copy from earlier today.
    server.exec(QStringLiteral("DELETE FROM wslib WHERE \"个人编号\" = '000002'"));
    server.exec(QStringLiteral("UPDATE km SET kmmc = '改过' WHERE rowid = 1"));
    const qint64 maxVersion = server.scalar(QStringLiteral("SELECT max(rowversion) FROM km")).toLongLong();
    const auto changed = everyTable(server);
    const QString today = office.folder.file(QStringLiteral("20080623.mdb"));
    const QString earlier = office.folder.file(QStringLiteral("20080623-1.mdb"));
    QFile::copy(backup, today);
    const QByteArray earlierBytes = [&] {
        QFile f(today);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    // A refused load leaves the server and the folder as they were.
    server.exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                               "RAISE EXCEPTION 'refused'; END $$"));
    server.exec(
        QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON km FOR EACH ROW EXECUTE FUNCTION refuse()"));
    EXPECT_THROW(maintenance.restore(backup), SqlError);
    EXPECT_EQ(everyTable(server), changed);
    EXPECT_FALSE(QFile::exists(earlier));
    EXPECT_EQ(QDir(office.folder.path()).entryList(QDir::Files).size(), 2)
        << "only the backup and today's copy";
    server.exec(QStringLiteral("DROP TRIGGER refuse ON km"));

    maintenance.restore(backup);
    EXPECT_EQ(everyTable(server), before);
    EXPECT_EQ(everyTable(*openProgramDatabase(today)), changed) << "the replaced tables, dated";
    QFile moved(earlier);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), earlierBytes);
    // New rows follow the restored identities; every restored row is newer than any shown before.
    server.exec(QStringLiteral("INSERT INTO wslib (\"个人编号\") VALUES ('000099')"));
    EXPECT_EQ(server.lastInsertRowId(),
              rowsOf(*copy, schema::kPersons).constLast().constLast().toLongLong() + 1);
    EXPECT_GT(server.scalar(QStringLiteral("SELECT min(rowversion) FROM km")).toLongLong(), maxVersion);

    // The restore checks the chosen file as the embedded one does.
    EXPECT_THROW(maintenance.restore(office.folder.file(QStringLiteral("none.mdb"))),
                 exchange::RestoreRefused);
}

TEST(ServerMaintenance, RepairChecksEveryIndexAndRebuildsADamagedOneCompactVacuumsAndOnlyTheOwnerMay) {
    ServerOffice office;
    Database& server = office.session->db();
    Maintenance maintenance(*office.session);
    EXPECT_EQ(exchange::repairMessage(maintenance.repair()), QStringLiteral("数据库修复成功！"));

    // An index whose function changed after it was built no longer matches its rows.
    server.exec(
        QStringLiteral("CREATE FUNCTION tag(text) RETURNS text IMMUTABLE LANGUAGE sql AS $$ SELECT $1 $$"));
    server.exec(QStringLiteral("CREATE INDEX wslib_tag ON wslib (tag(\"个人编号\"::text))"));
    server.exec(QStringLiteral("CREATE OR REPLACE FUNCTION tag(text) RETURNS text IMMUTABLE LANGUAGE sql AS "
                               "$$ SELECT 'x' || $1 $$"));
    EXPECT_EQ(exchange::repairMessage(maintenance.repair()),
              QStringLiteral("数据库修复成功！\n服务器上这些索引有损坏，已经重建：wslib_tag。"));
    EXPECT_TRUE(maintenance.repair().rebuiltIndexes.isEmpty());

    maintenance.compact();
    EXPECT_EQ(analyzedRows(server, schema::kPersons, QString()), 30);

    // A login that does not own the tables is refused, and told so in the window.
    server.exec(QStringLiteral("CREATE ROLE clerk LOGIN"));
    server.exec(
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO clerk"));
    QString clerkInfo = office.conninfo;
    clerkInfo.replace(QStringLiteral("user=postgres"), QStringLiteral("user=clerk"));
    const auto clerk = office.login(clerkInfo);
    ui::ScriptedDialogs dialogs;
    QWidget hub;
    exchange::MaintenanceWindow window(
        *clerk, [] { ADD_FAILURE() << "the program ended"; }, &hub);
    window.show();
    const QString rights = QStringLiteral("服务器登录“clerk”没有执行此操作的权限，请用数据库所有者登录。");
    const struct {
        int image;
        QString text;
        QString title;
    } cases[] = {{3, QStringLiteral("没有修复，数据库保持原样。\n") + rights, QStringLiteral("修复")},
                 {4, QStringLiteral("没有压缩，数据库保持原样。\n") + rights, QStringLiteral("压缩")}};
    for (const auto& c : cases) {
        QTest::mouseClick(window.findChild<QToolButton*>(QStringLiteral("Image%1").arg(c.image)),
                          Qt::LeftButton);
        ASSERT_FALSE(dialogs.shown.isEmpty());
        EXPECT_EQ(dialogs.last().text, c.text);
        EXPECT_EQ(dialogs.last().title, c.title);
        EXPECT_EQ(dialogs.last().icon, ui::Icon::Exclamation);
    }
}

TEST(ServerMaintenance, TheWindowBacksUpAndRestoresTheServer) {
    ServerOffice office;
    ui::ScriptedDialogs dialogs;
    QWidget hub;
    // The ten-second display passes in a few ticks.
    auto now = std::make_shared<QDateTime>(QDate(2008, 6, 23), QTime(9, 5));
    exchange::ProgressSettings progress{[now] { return *now = now->addSecs(3); }, 1};
    exchange::MaintenanceWindow window(
        *office.session, [] { ADD_FAILURE() << "the program ended"; }, &hub, progress);
    window.show();
    const auto click = [&](int image) {
        QTest::mouseClick(window.findChild<QToolButton*>(QStringLiteral("Image%1").arg(image)),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window.progressRunning(), 10000);
    };
    const QString backup = office.folder.file(QStringLiteral("bak.mdb"));
    dialogs.files.enqueue(backup);
    click(1);
    EXPECT_EQ(dialogs.last().text, QStringLiteral("备份成功！"));
    EXPECT_EQ(everyTable(*openProgramDatabase(backup)), everyTable(office.session->db()));

    // Another operator's merge holds the bulk-work lock: the restore waits for it, changing nothing.
    const QStringList before = everyTable(office.session->db());
    {
        const auto other = Database::connect(office.session->target().server);
        const store::BulkLock merging(*other, QStringLiteral("张三"), store::BulkWork::Merge);
        dialogs.answer({true});
        dialogs.files.enqueue(backup);
        click(2);
        EXPECT_EQ(dialogs.last().text, QStringLiteral("操作员“张三”正在合并数据，请稍后再试。"));
        EXPECT_EQ(dialogs.last().title, QStringLiteral("恢复"));
        EXPECT_EQ(everyTable(office.session->db()), before);
    }
    office.session->db().exec(QStringLiteral("DELETE FROM wslib"));
    dialogs.answer({true});
    dialogs.files.enqueue(backup);
    click(2);
    EXPECT_EQ(dialogs.last().text, QStringLiteral("恢复成功！"));
    EXPECT_EQ(dialogs.last().title, QStringLiteral("恢复"));
    EXPECT_EQ(everyTable(office.session->db()), before);
    EXPECT_TRUE(QFile::exists(office.folder.file(QStringLiteral("20080623.mdb"))));
}

TEST(ServerMaintenance, AnOldVersionsJetFileGoesUpThroughTheUpgrade) {
    TestFolder upgraded;
    const QString old = testing_support::jetFixture(QStringLiteral("legacy_lib_v4.mdb"));
    {
        const auto db = openProgramDatabase(upgraded.file(QStringLiteral("lib.mdb")));
        const auto source = exchange::SourceDatabase::open(old, QString::fromLatin1(Database::kPassword));
        exchange::upgradeFrom(*db, *source);
    }
    const auto server = Database::connect(testing_support::PgCluster::instance().createDatabase());
    // An old file under another password is refused by the upgrade, and nothing goes up.
    EXPECT_THROW(
        exchange::uploadToServer(testing_support::jetFixture(QStringLiteral("legacy_lib_v4_wrongpw.mdb")),
                                 *server, untracked()),
        exchange::SourceError);
    EXPECT_TRUE(exchange::serverIsEmpty(*server));
    exchange::uploadToServer(old, *server, untracked());
    const auto expected = openProgramDatabase(upgraded.file(QStringLiteral("lib.mdb")));
    EXPECT_EQ(everyTable(*server), everyTable(*expected));
    EXPECT_EQ(rowsOf(*server, schema::kPersons).size(),
              testing_support::legacyExpected(QStringLiteral("legacy_lib_v4.mdb"))
                  .value(QStringLiteral("wslib"))
                  .toLongLong());
}

} // namespace
