#include "TestFolder.h"
#include "exchange/MaintenanceFiles.h"

#include "exchange/Maintenance.h"
#include "login/ShippedDatabase.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>

using exchange::FileError;
using exchange::FileOps;
using exchange::Maintenance;
using exchange::RestoreRefusal;
using maintenance_test::addPersons;
using maintenance_test::damagePersonsPage;
using maintenance_test::photoFor;
using testing_support::countRows;
using testing_support::lastAction;
using testing_support::TestFolder;

namespace maintenance_test {

QByteArray photoFor(int n) {
    QByteArray bytes(900, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((n * 31 + i * 7) & 0xff);
    return bytes;
}

void addPersons(store::Database& db, int count) {
    store::Transaction tx(db);
    for (int n = 1; n <= count; ++n)
        db.exec(QStringLiteral("INSERT INTO wslib (\"个人编号\", \"姓名\", \"相片\") VALUES (?, ?, ?)"),
                {QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')), QStringLiteral("人员%1").arg(n),
                 photoFor(n)});
    tx.commit();
}

void damagePersonsPage(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 pages = f.size() / 4096;
    for (qint64 page = pages / 2; page < pages; ++page) {
        f.seek(page * 4096 + 200);
        const QByteArray original = f.read(64);
        f.seek(page * 4096 + 200);
        f.write(QByteArray(64, '\x5a'));
        f.flush();
        bool scanFails = false;
        try {
            store::Database db(path);
            db.scalar(QStringLiteral("SELECT sum(length(\"相片\")) FROM wslib NOT INDEXED"));
        } catch (const std::exception&) {
            scanFails = true;
        }
        if (scanFails)
            return;
        f.seek(page * 4096 + 200);
        f.write(original);
        f.flush();
    }
    FAIL() << "no page of the persons table found";
}

} // namespace maintenance_test

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList folderFiles(const TestFolder& folder) {
    return QDir(folder.path()).entryList(QDir::Files, QDir::Name);
}

// Which database a file is: the unit name stands as its mark.
void mark(store::Database& db, const QString& unit) {
    db.exec(QStringLiteral("UPDATE system SET dwmc = ?"), {unit});
}

QString markOf(const QString& path) {
    store::Database db(path);
    return db.scalar(QStringLiteral("SELECT dwmc FROM system")).toString();
}

// The content of every table, in stored order, as one text.
QString contentOf(store::Database& db) {
    QString all;
    for (const QString& table : store::schema::tableNames()) {
        store::Statement st =
            db.prepare(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(store::quoted(table)));
        all += table + QLatin1Char('\n');
        while (st.step()) {
            for (int c = 0; c < st.columnCount(); ++c) {
                const QVariant v = st.value(c);
                all += v.isNull() ? QStringLiteral("<null>") : v.toByteArray().toHex();
                all += QLatin1Char('|');
            }
            all += QLatin1Char('\n');
        }
    }
    return all;
}

// The real file operations, but the `which`-th call of one kind fails.
FileOps failingAt(const QString& kind, int which) {
    FileOps ops = FileOps::real();
    auto calls = std::make_shared<int>(0);
    auto fail = [calls, which] {
        if (++*calls == which)
            throw FileError("refused by the test");
    };
    if (kind == QLatin1String("copy"))
        ops.copy = [real = ops.copy, fail](const QString& a, const QString& b) { fail(), real(a, b); };
    if (kind == QLatin1String("rename"))
        ops.rename = [real = ops.rename, fail](const QString& a, const QString& b) { fail(), real(a, b); };
    if (kind == QLatin1String("remove"))
        ops.remove = [real = ops.remove, fail](const QString& a) { fail(), real(a); };
    return ops;
}

// The real file operations (or those given), each reported to `watch` before and after it runs.
FileOps watched(FileOps ops, const std::function<void(const QString& step)>& watch) {
    const auto wrap = [&watch](const QString& name, auto real) {
        return [watch, name, real](auto&... args) {
            watch(QStringLiteral("before ") + name);
            real(args...);
            watch(QStringLiteral("after ") + name);
        };
    };
    ops.copy = wrap(QStringLiteral("copy"), ops.copy);
    ops.rename = wrap(QStringLiteral("rename"), ops.rename);
    ops.remove = wrap(QStringLiteral("remove"), ops.remove);
    ops.link = wrap(QStringLiteral("link"), ops.link);
    ops.copyOpen = wrap(QStringLiteral("copyOpen"), ops.copyOpen);
    return ops;
}

std::filesystem::perms modeOf(const QString& path) {
    return std::filesystem::status(path.toStdString()).permissions() & std::filesystem::perms::mask;
}

// After an operation the connection is open on lib.mdb and the log writes on it.
void expectLogging(store::Session& session) {
    session.log().write(QStringLiteral("进入查看上机记录"));
    EXPECT_EQ(lastAction(session.db()), QStringLiteral("进入查看上机记录"));
}

} // namespace

// ---- progress display ----

// Readings as a timer gives them: the start, then every 100 ms from an odd offset, so that no
// reading falls on a whole second.
TEST(MaintenanceProgress, StartingJustBeforeMidnightCountsWholeSecondsAndEndsAt100) {
    const QDateTime start(QDate(2008, 6, 23), QTime(23, 59, 55, 0));
    auto next = std::make_shared<QDateTime>(start);
    auto last = std::make_shared<QDateTime>();
    exchange::TenSecondProgress progress([next, last, first = std::make_shared<bool>(true)] {
        *last = *next;
        *next = next->addMSecs(std::exchange(*first, false) ? 37 : 100);
        return *last;
    });
    QList<int> shown;
    while (const auto p = progress.percent()) {
        if (shown.isEmpty() || shown.last() != *p)
            shown << *p;
    }
    EXPECT_EQ(shown, (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(start.msecsTo(*last), 10037) << "it ends at the first reading past ten seconds";
}

TEST(MaintenanceProgress, ShowsWholeSecondsAndAClockSetBackStartsAgain) {
    auto now = std::make_shared<QDateTime>(QDate(2008, 6, 23), QTime(10, 0, 0));
    exchange::TenSecondProgress progress([now] { return *now; });
    *now = now->addMSecs(999);
    EXPECT_EQ(progress.percent(), 0);
    *now = now->addMSecs(1);
    EXPECT_EQ(progress.percent(), 10);
    *now = now->addSecs(-3600); // the clock is set back an hour
    EXPECT_EQ(progress.percent(), 0);
    *now = now->addMSecs(10001);
    EXPECT_EQ(progress.percent(), 100);
    EXPECT_EQ(progress.percent(), std::nullopt);
}

// ---- backup ----

TEST(MaintenanceBackup, CopiesTheDatabaseThatOpensWithThePassword) {
    TestFolder folder;
    auto session = folder.session();
    addPersons(session->db(), 20);
    const QString before = contentOf(session->db());
    store::Database& db = session->db();

    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("备份.MDB"));
    Maintenance(*session).backup(target);

    store::Database copy(target);
    EXPECT_EQ(contentOf(copy), before);
    EXPECT_EQ(readAll(target), readAll(session->databasePath())) << "a byte-for-byte copy";
    EXPECT_EQ(&session->db(), &db) << "windows keep their reference to the database";
    expectLogging(*session);
}

TEST(MaintenanceBackup, ReplacesAnExistingFile) {
    TestFolder folder;
    auto session = folder.session();
    const QString target = folder.file(QStringLiteral("old.MDB"));
    writeFile(target, "an older backup");
    Maintenance(*session).backup(target);
    EXPECT_EQ(readAll(target), readAll(session->databasePath()));
    expectLogging(*session);
}

TEST(MaintenanceBackup, AFailedCopyKeepsTheEarlierFileAndReopens) {
    TestFolder folder;
    auto session = folder.session();
    const QString target = folder.file(QStringLiteral("old.MDB"));
    writeFile(target, "an older backup");
    const QByteArray live = readAll(session->databasePath());

    EXPECT_THROW(Maintenance(*session, failingAt(QStringLiteral("copy"), 1)).backup(target), FileError);
    EXPECT_EQ(readAll(target), QByteArray("an older backup"));
    EXPECT_EQ(readAll(session->databasePath()), live);
    expectLogging(*session);
}

// ---- restore ----

struct Restore : ::testing::Test {
    TestFolder folder;
    std::unique_ptr<store::Session> session = folder.session();
    QTemporaryDir backups;

    // A backup of the live database with its unit name set to `unit`.
    QString backupMarked(const QString& name, const QString& unit) {
        const QString path = backups.filePath(name);
        QFile::copy(session->databasePath(), path);
        store::Database db(path);
        mark(db, unit);
        return path;
    }

    void expectNothingChanged(const QString& source, RestoreRefusal why) {
        const QByteArray live = readAll(session->databasePath());
        const QStringList files = folderFiles(folder);
        Maintenance m(*session);
        EXPECT_EQ(m.checkRestoreSource(source), why);
        try {
            m.restore(source);
            ADD_FAILURE() << "restored from " << source.toStdString();
        } catch (const exchange::RestoreRefused& e) {
            EXPECT_EQ(e.why(), why);
        }
        EXPECT_EQ(readAll(session->databasePath()), live);
        EXPECT_EQ(folderFiles(folder), files);
        expectLogging(*session);
    }
};

TEST_F(Restore, ReplacesTheLiveFileAndKeepsItAsTodaysCopy) {
    mark(session->db(), QStringLiteral("原来"));
    const QString source = backupMarked(QStringLiteral("a.MDB"), QStringLiteral("备份甲"));
    const QByteArray sourceBytes = readAll(source);

    Maintenance(*session).restore(source);

    EXPECT_EQ(readAll(session->databasePath()), sourceBytes);
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623.mdb"))), QStringLiteral("原来"));
    EXPECT_EQ(session->db().scalar(QStringLiteral("SELECT dwmc FROM system")).toString(),
              QStringLiteral("备份甲"));
    EXPECT_EQ(folderFiles(folder), (QStringList{QStringLiteral("20080623.mdb"), QStringLiteral("lib.mdb")}));
    expectLogging(*session);
}

TEST_F(Restore, TwoRestoresOnOneDayKeepBothEarlierDatabases) {
    mark(session->db(), QStringLiteral("最初"));
    const QString a = backupMarked(QStringLiteral("a.MDB"), QStringLiteral("备份甲"));
    const QString b = backupMarked(QStringLiteral("b.MDB"), QStringLiteral("备份乙"));
    Maintenance(*session).restore(a);
    Maintenance(*session).restore(b);

    EXPECT_EQ(markOf(session->databasePath()), QStringLiteral("备份乙"));
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623.mdb"))), QStringLiteral("备份甲"));
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623-1.mdb"))), QStringLiteral("最初"));

    Maintenance(*session).restore(a);
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623.mdb"))), QStringLiteral("备份乙"));
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623-1.mdb"))), QStringLiteral("最初"));
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623-2.mdb"))), QStringLiteral("备份甲"));
}

TEST_F(Restore, FromTodaysOwnCopyTakesBackTheLastRestore) {
    mark(session->db(), QStringLiteral("最初"));
    Maintenance(*session).restore(backupMarked(QStringLiteral("a.MDB"), QStringLiteral("备份甲")));
    // The chosen file is the one the restore moves aside; it was copied before the moves.
    Maintenance(*session).restore(folder.file(QStringLiteral("20080623.mdb")));
    EXPECT_EQ(markOf(session->databasePath()), QStringLiteral("最初"));
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623.mdb"))), QStringLiteral("备份甲"));
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623-1.mdb"))), QStringLiteral("最初"));
}

TEST_F(Restore, RefusesWhatIsNotADatabaseOfThisSystem) {
    const QString text = backups.filePath(QStringLiteral("notes.MDB"));
    writeFile(text, QStringLiteral("这不是数据库。\r\n").repeated(300).toUtf8());
    expectNothingChanged(text, RestoreRefusal::unopened(store::OpenFailure::NotADatabase));

    const QString other = backups.filePath(QStringLiteral("other.MDB"));
    {
        auto db = store::Database::create(other, QStringLiteral("another password"));
        records::createTables(*db);
    }
    expectNothingChanged(other, RestoreRefusal::unopened(store::OpenFailure::WrongPassword));

    const QString bare = backups.filePath(QStringLiteral("bare.MDB"));
    store::Database::create(bare)->exec(QStringLiteral("CREATE TABLE wslib (a)"));
    expectNothingChanged(bare, RestoreRefusal::unopened(store::OpenFailure::MissingTables));

    expectNothingChanged(backups.filePath(QStringLiteral("gone.MDB")),
                         RestoreRefusal::unopened(store::OpenFailure::Missing));
}

TEST_F(Restore, RefusesTheLiveFileHoweverItIsNamed) {
    expectNothingChanged(session->databasePath(), RestoreRefusal::LiveFile);
    expectNothingChanged(folder.path() + QStringLiteral("/./lib.mdb"), RestoreRefusal::LiveFile);
    const QString link = backups.filePath(QStringLiteral("link.MDB"));
    std::filesystem::create_hard_link(session->databasePath().toStdString(), link.toStdString());
    expectNothingChanged(link, RestoreRefusal::LiveFile);
}

TEST_F(Restore, AFailureAfterTheRenamePutsTheLiveFileBack) {
    mark(session->db(), QStringLiteral("最初"));
    const QString first = backupMarked(QStringLiteral("a.MDB"), QStringLiteral("备份甲"));
    Maintenance(*session).restore(first); // today's copy now exists and is moved aside next time
    const QByteArray live = readAll(session->databasePath());
    const QStringList files = folderFiles(folder);

    // Renames: today's copy aside, the new file over lib.mdb (fails).
    const QString b = backupMarked(QStringLiteral("b.MDB"), QStringLiteral("备份乙"));
    EXPECT_THROW(Maintenance(*session, failingAt(QStringLiteral("rename"), 2)).restore(b), FileError);

    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_EQ(folderFiles(folder), files) << "every file is back where it was, no copy left over";
    EXPECT_EQ(markOf(folder.file(QStringLiteral("20080623.mdb"))), QStringLiteral("最初"));
    expectLogging(*session);
}

TEST_F(Restore, AFailedCopyLeavesEverythingInPlace) {
    const QByteArray live = readAll(session->databasePath());
    const QStringList files = folderFiles(folder);
    const QString a = backupMarked(QStringLiteral("a.MDB"), QStringLiteral("备份甲"));
    EXPECT_THROW(Maintenance(*session, failingAt(QStringLiteral("copy"), 1)).restore(a), FileError);
    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_EQ(folderFiles(folder), files);
    expectLogging(*session);
}

TEST_F(Restore, LibMdbIsThereAfterEveryStepWithAndWithoutHardLinks) {
    const QString live = session->databasePath();
    const QString today = folder.file(QStringLiteral("20080623.mdb"));
    for (const bool links : {true, false}) {
        SCOPED_TRACE(links ? "hard links" : "a file system without hard links");
        std::filesystem::permissions(live.toStdString(), std::filesystem::perms(0640));
        const QByteArray before = readAll(live);
        const QString source = links ? backupMarked(QStringLiteral("a.MDB"), QStringLiteral("甲"))
                                     : backupMarked(QStringLiteral("b.MDB"), QStringLiteral("乙"));
        FileOps ops = FileOps::real();
        if (!links)
            ops.link = [](const QString&, const QString&) {
                throw exchange::LinksUnsupported("no links here");
            };
        QStringList steps;
        ops = watched(ops, [&](const QString& step) {
            steps << step;
            EXPECT_TRUE(QFileInfo::exists(live)) << step.toStdString();
        });

        Maintenance(*session, ops).restore(source);

        const QStringList expected =
            links
                ? QStringList{QStringLiteral("before copy"),   QStringLiteral("after copy"),
                              QStringLiteral("before link"),   QStringLiteral("after link"),
                              QStringLiteral("before rename"), QStringLiteral("after rename")}
                : QStringList{
                      QStringLiteral("before copy"),    QStringLiteral("after copy"),
                      QStringLiteral("before rename"),  QStringLiteral("after rename"), // today's copy aside
                      QStringLiteral("before link"),    QStringLiteral("before copyOpen"),
                      QStringLiteral("after copyOpen"), QStringLiteral("before rename"),
                      QStringLiteral("after rename")};
        EXPECT_EQ(steps, expected);
        EXPECT_EQ(markOf(live), links ? QStringLiteral("甲") : QStringLiteral("乙"));
        EXPECT_EQ(readAll(today), before);
        EXPECT_EQ(modeOf(today), std::filesystem::perms(0640));
        EXPECT_EQ(modeOf(live), std::filesystem::perms(0640)) << "the restored file keeps lib.mdb's mode";
        expectLogging(*session);
    }
}

// ---- what restore, repair and compact refuse ----

using Operation = std::function<void(Maintenance&)>;

// Restore (from a backup elsewhere), repair and compact, by name.
std::vector<std::pair<const char*, Operation>> replacingOperations(const QString& backup) {
    return {{"restore", [backup](Maintenance& m) { m.restore(backup); }},
            {"repair", [](Maintenance& m) { m.repair(); }},
            {"compact", [](Maintenance& m) { m.compact(); }}};
}

TEST(MaintenanceRefusals, ALibMdbOpenedReadOnlyIsNotReplaced) {
    TestFolder folder;
    QTemporaryDir elsewhere;
    const QString backup = elsewhere.filePath(QStringLiteral("a.MDB"));
    ASSERT_TRUE(QFile::copy(folder.file(QStringLiteral("lib.mdb")), backup));
    store::Session session(folder.path(), folder.clock.clock());
    session.openOptions().readOnly = true;
    session.open();
    const QByteArray live = readAll(session.databasePath());
    const QStringList files = folderFiles(folder);
    for (const auto& [name, operation] : replacingOperations(backup)) {
        SCOPED_TRACE(name);
        Maintenance m(session);
        try {
            operation(m);
            ADD_FAILURE() << "ran on a read-only lib.mdb";
        } catch (const exchange::OperationRefused& e) {
            EXPECT_EQ(e.code(), SQLITE_READONLY);
        }
        EXPECT_EQ(readAll(session.databasePath()), live);
        EXPECT_EQ(folderFiles(folder), files);
        EXPECT_EQ(countRows(session.db(), QStringLiteral("basic")), 1) << "the connection is still open";
    }
}

TEST(MaintenanceRefusals, ALibMdbAnotherProgramHoldsIsNotReplaced) {
    QTemporaryDir elsewhere;
    for (const bool pendingWrite : {false, true}) {
        for (const auto& [name, operation] :
             replacingOperations(elsewhere.filePath(QStringLiteral("a.MDB")))) {
            SCOPED_TRACE(std::string(name) +
                         (pendingWrite ? ", another program writing" : ", BEGIN EXCLUSIVE"));
            TestFolder folder;
            auto session = folder.session();
            session->openOptions().busyTimeoutMs = 50;
            QFile::remove(elsewhere.filePath(QStringLiteral("a.MDB")));
            ASSERT_TRUE(QFile::copy(session->databasePath(), elsewhere.filePath(QStringLiteral("a.MDB"))));
            const QByteArray live = readAll(session->databasePath());
            const QStringList files = folderFiles(folder);
            {
                store::Database other(session->databasePath());
                if (pendingWrite) {
                    other.exec(QStringLiteral("BEGIN IMMEDIATE"));
                    other.exec(QStringLiteral("UPDATE system SET dwmc = '别的程序'"));
                } else {
                    other.exec(QStringLiteral("BEGIN EXCLUSIVE"));
                }
                Maintenance m(*session);
                try {
                    operation(m);
                    ADD_FAILURE() << "ran while another program held lib.mdb";
                } catch (const exchange::OperationRefused& e) {
                    EXPECT_EQ(e.code() & 0xff, SQLITE_BUSY);
                }
                EXPECT_EQ(readAll(session->databasePath()), live);
                other.exec(QStringLiteral("COMMIT"));
            }
            EXPECT_EQ(folderFiles(folder), files);
            if (pendingWrite) {
                EXPECT_EQ(markOf(session->databasePath()), QStringLiteral("别的程序")) << "its write is kept";
            }
            expectLogging(*session);
        }
    }
}

// Whether another program finds the file locked. It must be another process: SQLite keeps a
// process's own locks in memory as well, so a connection in this one would not notice that a
// close() of some other descriptor on the file dropped them.
bool lockedForAnotherProgram(const QString& path) {
    QProcess probe;
    probe.start(QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import sqlite3, sys\n"
                                "try:\n"
                                "    sqlite3.connect(sys.argv[1], timeout=0).execute('BEGIN EXCLUSIVE')\n"
                                "except sqlite3.Error as e:\n"
                                "    print(e)\n"),
                 path});
    probe.waitForFinished();
    return probe.readAllStandardOutput().trimmed() == "database is locked";
}

// While the files are moved no other program can read or write lib.mdb, so nothing it writes can
// end up in a file that is no longer lib.mdb.
TEST(MaintenanceRefusals, LibMdbIsHeldForTheWholeOperation) {
    QTemporaryDir elsewhere;
    const QString backup = elsewhere.filePath(QStringLiteral("a.MDB"));
    for (const bool links : {true, false}) {
        for (const auto& [name, operation] : replacingOperations(backup)) {
            SCOPED_TRACE(std::string(name) + (links ? "" : ", without hard links"));
            TestFolder folder;
            auto session = folder.session();
            addPersons(session->db(), 200);
            QFile::remove(backup);
            ASSERT_TRUE(QFile::copy(session->databasePath(), backup));
            EXPECT_FALSE(lockedForAnotherProgram(session->databasePath()));
            if (std::string(name) == "repair") { // only a damaged file is worked on
                session->closeConnection();
                damagePersonsPage(session->databasePath());
                session->reopenConnection();
            }
            FileOps ops = FileOps::real();
            if (!links)
                ops.link = [](const QString&, const QString&) {
                    throw exchange::LinksUnsupported("none here");
                };
            QStringList checked;
            ops = watched(ops, [&](const QString& step) {
                if (step.startsWith(QLatin1String("before"))) {
                    checked << step;
                    EXPECT_TRUE(lockedForAnotherProgram(session->databasePath())) << step.toStdString();
                }
            });
            Maintenance m(*session, ops);
            operation(m);
            EXPECT_GE(checked.size(), 2);
            EXPECT_FALSE(lockedForAnotherProgram(session->databasePath()));
            expectLogging(*session);
        }
    }
}

// ---- repair ----

TEST(MaintenanceRepair, AHealthyFileStaysAsItIs) {
    TestFolder folder;
    auto session = folder.session();
    addPersons(session->db(), 50);
    const QByteArray live = readAll(session->databasePath());
    const QStringList files = folderFiles(folder);
    const exchange::RepairResult result = Maintenance(*session).repair();
    EXPECT_FALSE(result.rebuilt);
    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_EQ(folderFiles(folder), files);
    expectLogging(*session);
}

TEST(MaintenanceRepair, RebuildsADamagedFileWithEveryReadableRow) {
    TestFolder folder;
    auto session = folder.session();
    addPersons(session->db(), 600);
    mark(session->db(), QStringLiteral("修复前"));
    const QString before = contentOf(session->db());
    std::map<QString, int> smallTables;
    for (const QString& table : store::schema::tableNames())
        smallTables[table] = int(countRows(session->db(), table));
    session->closeConnection();
    damagePersonsPage(session->databasePath());
    writeFile(folder.file(QStringLiteral("lib-damaged-20080623.mdb")), "from this morning");
    session->reopenConnection();

    const exchange::RepairResult result = Maintenance(*session).repair();

    ASSERT_TRUE(result.rebuilt);
    EXPECT_TRUE(result.lostRows());
    EXPECT_EQ(result.damagedCopy, folder.file(QStringLiteral("lib-damaged-20080623-1.mdb")));
    EXPECT_EQ(readAll(folder.file(QStringLiteral("lib-damaged-20080623.mdb"))),
              QByteArray("from this morning"));
    store::Database& db = session->db();
    EXPECT_EQ(db.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    for (const auto& [table, count] : smallTables) {
        if (table != QLatin1String("wslib")) {
            EXPECT_EQ(countRows(db, table), count) << table.toStdString();
        }
    }
    const qint64 persons = countRows(db, QStringLiteral("wslib"));
    EXPECT_LT(persons, 600) << "the damaged page's rows are gone";
    EXPECT_GT(persons, 580) << "only one page's rows are lost";
    EXPECT_EQ(persons, result.rowsRescued -
                           (countRows(db, QStringLiteral("km")) + countRows(db, QStringLiteral("Print")) +
                            countRows(db, QStringLiteral("basic")) + countRows(db, QStringLiteral("system")) +
                            countRows(db, QStringLiteral("user")) + countRows(db, QStringLiteral("wslib0"))));
    // Rows on both sides of the damage come through unchanged, in their stored order.
    store::Statement st =
        db.prepare(QStringLiteral("SELECT \"个人编号\", \"姓名\", \"相片\" FROM wslib ORDER BY rowid"));
    int previous = 0;
    while (st.step()) {
        const int n = st.text(0).toInt();
        EXPECT_GT(n, previous);
        previous = n;
        EXPECT_EQ(st.text(1), QStringLiteral("人员%1").arg(n));
        EXPECT_EQ(st.value(2).toByteArray(), photoFor(n));
    }
    EXPECT_EQ(previous, 600);
    EXPECT_EQ(countRows(db, QStringLiteral("wslib"), QStringLiteral("\"个人编号\" = '000001'")), 1);
    // Each table says what it carried over; the persons' lost range is exactly the rowids missing.
    ASSERT_EQ(result.tables.size(), smallTables.size());
    for (const exchange::TableRescue& t : result.tables) {
        EXPECT_EQ(t.rows, countRows(db, t.table)) << t.table.toStdString();
        if (t.table != QLatin1String("wslib")) {
            EXPECT_TRUE(t.lost.empty()) << t.table.toStdString();
            continue;
        }
        qint64 lost = 0;
        for (const auto& [first, last] : t.lost) {
            ASSERT_LE(first, last);
            EXPECT_EQ(countRows(db, t.table, QStringLiteral("rowid BETWEEN %1 AND %2").arg(first).arg(last)),
                      0);
            lost += std::min<qint64>(last, 600) - std::max<qint64>(first, 1) + 1;
        }
        EXPECT_EQ(lost, 600 - persons);
    }
    EXPECT_TRUE(
        db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'wslib_number'")).toBool())
        << "the index is rebuilt";
    EXPECT_NE(before, contentOf(db));
    expectLogging(*session);

    // The damaged file lies beside it as it was.
    EXPECT_THROW(store::Database(result.damagedCopy)
                     .scalar(QStringLiteral("SELECT sum(length(\"相片\")) FROM wslib NOT INDEXED")),
                 store::SqlError);
}

TEST(MaintenanceRepair, AFailureAfterMovingTheDamagedFilePutsItBack) {
    TestFolder folder;
    auto session = folder.session();
    addPersons(session->db(), 300);
    session->closeConnection();
    damagePersonsPage(session->databasePath());
    session->reopenConnection();
    const QByteArray damaged = readAll(session->databasePath());
    const QStringList files = folderFiles(folder);

    // The rebuilt file cannot be renamed over lib.mdb.
    EXPECT_THROW(Maintenance(*session, failingAt(QStringLiteral("rename"), 1)).repair(), FileError);
    EXPECT_EQ(readAll(session->databasePath()), damaged);
    EXPECT_EQ(folderFiles(folder), files);
    expectLogging(*session);
}

// ---- compact ----

TEST(MaintenanceCompact, TheCompactedLibMdbKeepsItsMode) {
    TestFolder folder;
    auto session = folder.session();
    std::filesystem::permissions(session->databasePath().toStdString(), std::filesystem::perms(0640));
    Maintenance(*session).compact();
    EXPECT_EQ(modeOf(session->databasePath()), std::filesystem::perms(0640));
}

TEST(MaintenanceCompact, KeepsEveryRowThePasswordAndTheFourKilobytePages) {
    TestFolder folder;
    auto session = folder.session();
    addPersons(session->db(), 400);
    session->db().exec(QStringLiteral("DELETE FROM wslib WHERE CAST(\"个人编号\" AS INTEGER) % 2 = 0"));
    const QString before = contentOf(session->db());
    const qint64 sizeBefore = QFileInfo(session->databasePath()).size();
    writeFile(folder.file(QStringLiteral("libnew.mdb")), "left over");

    Maintenance(*session).compact();

    EXPECT_EQ(contentOf(session->db()), before);
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("libnew.mdb"))));
    const QByteArray bytes = readAll(session->databasePath());
    EXPECT_LT(bytes.size(), sizeBefore * 3 / 4) << "the deleted persons' pages are given back";
    EXPECT_FALSE(bytes.startsWith("SQLite format 3"));
    EXPECT_EQ(bytes.size() % 4096, 0);
    // Database opens with 4 KB pages only: a file written with other pages fails its page checks.
    store::Database reopened(session->databasePath());
    EXPECT_EQ(countRows(reopened, QStringLiteral("wslib")), 200);
    try {
        store::Database wrong(session->databasePath(), QStringLiteral("Tkvmqrwplzn"));
        ADD_FAILURE() << "opened with another password";
    } catch (const store::OpenError& e) {
        EXPECT_EQ(e.kind(), store::OpenFailure::WrongPassword);
    }
    expectLogging(*session);
}

TEST(MaintenanceCompact, AFailedRenameLeavesTheLiveFile) {
    TestFolder folder;
    auto session = folder.session();
    addPersons(session->db(), 50);
    const QByteArray live = readAll(session->databasePath());
    const QStringList files = folderFiles(folder);
    EXPECT_THROW(Maintenance(*session, failingAt(QStringLiteral("rename"), 1)).compact(), FileError);
    EXPECT_EQ(readAll(session->databasePath()), live);
    EXPECT_EQ(folderFiles(folder), files) << "libnew.mdb is gone again";
    expectLogging(*session);
}
