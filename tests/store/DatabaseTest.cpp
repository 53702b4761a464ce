#include "TestFolder.h"

#include "login/ShippedDatabase.h"
#include "records/PersonColumns.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/Schema.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace store;
using testing_support::countRows;
using testing_support::TestFolder;

TEST(ShippedDatabase, HoldsTheSevenTablesWithTheirLayouts) {
    TestFolder folder;
    Database db(folder.file(QStringLiteral("lib.mdb")));
    for (const QString& table : schema::tableNames())
        EXPECT_TRUE(db.hasTable(table)) << table.toStdString();
    EXPECT_TRUE(db.hasTable(QStringLiteral("USER"))) << "table names are matched without regard to case";

    const QStringList persons = db.columnNames(QStringLiteral("wslib"));
    ASSERT_EQ(persons.size(), 65);
    EXPECT_EQ(persons.at(0), QStringLiteral("个人编号"));
    EXPECT_EQ(persons.at(60), QStringLiteral("社区名称"));
    EXPECT_EQ(persons.at(64), QStringLiteral("相片"));
    const QStringList staging = db.columnNames(QStringLiteral("wslib0"));
    ASSERT_EQ(staging.size(), 64);
    EXPECT_EQ(staging, persons.mid(0, 64));

    QStringList types;
    for (const TableColumn& c : tableColumns(db, QStringLiteral("wslib")))
        types << c.declaredType;
    EXPECT_EQ(jetTypeOf(types.at(1)), JetType::Text);
    EXPECT_EQ(jetTypeOf(types.at(7)), JetType::Date);
    EXPECT_EQ(jetTypeOf(types.at(18)), JetType::Boolean);
    EXPECT_EQ(jetTypeOf(types.at(27)), JetType::Single);
    EXPECT_EQ(jetTypeOf(types.at(58)), JetType::Memo);
    EXPECT_EQ(jetTypeOf(types.at(64)), JetType::LongBinary);

    const QStringList print = db.columnNames(QStringLiteral("Print"));
    ASSERT_EQ(print.size(), 29);
    EXPECT_EQ(print.at(25), QStringLiteral("lie17"));
    EXPECT_EQ(print.at(26), QStringLiteral("lie18"));
    EXPECT_EQ(print.at(28), QStringLiteral("lie20"));
    EXPECT_EQ(countRows(db, QStringLiteral("Print")), 3);
}

TEST(ShippedDatabase, HoldsSuperUserSettingsAndCategories) {
    TestFolder folder;
    Database db(folder.file(QStringLiteral("lib.mdb")));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT name FROM basic")).toString(), QStringLiteral("超级用户"));
    EXPECT_EQ(countRows(db, QStringLiteral("basic")), 1);
    EXPECT_EQ(countRows(db, QStringLiteral("system")), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT backpicture FROM system")).toString(),
              QStringLiteral("1.jpg"));

    // One definition row per persons column, in column order.
    Statement defs = db.prepare(QStringLiteral(
        "SELECT filednum, kmmc, km_eng FROM km WHERE trim(coalesce(kmbz,'')) = '' ORDER BY rowid"));
    int expected = 0;
    while (defs.step()) {
        EXPECT_EQ(defs.integer(0), expected);
        EXPECT_EQ(defs.text(1), records::personColumn(expected).columnName());
        EXPECT_EQ(defs.text(2), records::personColumn(expected).columnName());
        ++expected;
    }
    EXPECT_EQ(expected, 65);
    EXPECT_EQ(countRows(db, QStringLiteral("km"), QStringLiteral("kmmc = '民族' AND kmbz <> ''")), 56);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(DISTINCT kmmc) FROM km WHERE kmbz <> ''")).toInt(), 17);
    // Value rows carry their category's column number.
    EXPECT_EQ(
        countRows(db, QStringLiteral("km"), QStringLiteral("kmmc = '性别' AND kmbz <> '' AND filednum <> 5")),
        0);
}

TEST(Database, FileIsEncryptedAndRefusesOtherKeys) {
    TestFolder folder;
    const QString path = folder.file(QStringLiteral("lib.mdb"));
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_FALSE(bytes.startsWith("SQLite format 3"));
    EXPECT_FALSE(bytes.contains(QStringLiteral("超级用户").toUtf8()));
    EXPECT_FALSE(bytes.contains("CREATE TABLE"));

    try {
        Database wrong(path, QStringLiteral("not-the-password"));
        FAIL() << "opened with a wrong key";
    } catch (const OpenError& e) {
        EXPECT_EQ(e.kind(), OpenFailure::WrongPassword);
    }
}

TEST(Database, OpenFailuresAreTyped) {
    TestFolder folder(false);
    auto kindOf = [](const QString& path) {
        try {
            openProgramDatabase(path);
        } catch (const OpenError& e) {
            return e.kind();
        }
        ADD_FAILURE() << "opened " << path.toStdString();
        return OpenFailure::Missing;
    };
    EXPECT_EQ(kindOf(folder.file(QStringLiteral("lib.mdb"))), OpenFailure::Missing);

    QFile text(folder.file(QStringLiteral("text.mdb")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is a plain text file, not a database\n");
    text.close();
    EXPECT_EQ(kindOf(text.fileName()), OpenFailure::NotADatabase);

    // An encrypted database of ours that lacks the program's tables.
    { Database::create(folder.file(QStringLiteral("empty.mdb")))->exec(QStringLiteral("CREATE TABLE t(x)")); }
    EXPECT_EQ(kindOf(folder.file(QStringLiteral("empty.mdb"))), OpenFailure::MissingTables);
    // A connection alone opens any database, encrypted or plain; only the program's opener asks
    // for the seven tables.
    EXPECT_EQ(
        Database(folder.file(QStringLiteral("empty.mdb"))).scalar(QStringLiteral("SELECT count(*) FROM t")),
        QVariant(qint64(0)));
    {
        Database::create(folder.file(QStringLiteral("plain.mdb")), QString())
            ->exec(QStringLiteral("CREATE TABLE p(x)"));
    }
    QFile plain(folder.file(QStringLiteral("plain.mdb")));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_TRUE(plain.read(16).startsWith("SQLite format 3"));
    EXPECT_TRUE(Database(plain.fileName(), QString()).hasTable(QStringLiteral("p")));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("lib.mdb"))))
        << "nothing is created at a missing path";
}

TEST(Database, ColumnsRefuseValuesTheyCannotTake) {
    TestFolder folder;
    Database db(folder.file(QStringLiteral("lib.mdb")));
    auto refused = [&](const QString& column, const QVariant& value) {
        try {
            db.exec(QStringLiteral("INSERT INTO wslib(%1) VALUES (?)").arg(quoted(column)), {value});
            return false;
        } catch (const SqlError& e) {
            return e.isConstraint();
        }
    };
    EXPECT_TRUE(refused(QStringLiteral("姓名"), QStringLiteral("一二三四五六七八九")));
    EXPECT_FALSE(refused(QStringLiteral("姓名"), QStringLiteral("一二三四五六七八")));
    EXPECT_TRUE(refused(QStringLiteral("出生年月"), QStringLiteral("1950-13-01")));
    EXPECT_TRUE(refused(QStringLiteral("出生年月"), QStringLiteral("abc")));
    EXPECT_FALSE(refused(QStringLiteral("出生年月"), QStringLiteral("1950-03-01")));
    EXPECT_FALSE(refused(QStringLiteral("出生年月"), QVariant()));
    // Memo text keeps leading zeros.
    db.exec(QStringLiteral("INSERT INTO wslib(\"备注\") VALUES ('007')"));
    EXPECT_EQ(
        db.scalar(QStringLiteral("SELECT typeof(\"备注\") FROM wslib WHERE \"备注\" = '007'")).toString(),
        QStringLiteral("text"));
}

TEST(Database, TransactionRollsBackUnlessCommitted) {
    TestFolder folder;
    Database db(folder.file(QStringLiteral("lib.mdb")));
    {
        Transaction tx(db);
        db.exec(QStringLiteral("DELETE FROM km"));
    }
    EXPECT_GT(countRows(db, QStringLiteral("km")), 65);
    {
        Transaction tx(db);
        db.exec(QStringLiteral("DELETE FROM km"));
        tx.commit();
    }
    EXPECT_EQ(countRows(db, QStringLiteral("km")), 0);
    db.reopen();
    EXPECT_EQ(countRows(db, QStringLiteral("km")), 0);
}

// A grid's rows are kept without pictures; the row asked for whole brings its picture.
TEST(RecordSet, GridRowsCarryNoPictures) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    const QByteArray photo(50000, '\x7f');
    for (int i = 0; i < 100; ++i)
        db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"相片\") VALUES (?, ?)"),
                {QString::number(i), photo});
    store::RecordSet set(db, store::schema::kPersons);
    for (int i = 0; i < set.count(); ++i) {
        EXPECT_TRUE(set.cells(i).at(records::kPhoto).isNull());
        EXPECT_EQ(set.cells(i).at(0).toString(), QString::number(i));
    }
    EXPECT_EQ(set.row(42).at(records::kPhoto).toByteArray(), photo);
    EXPECT_EQ(set.row(42).at(0).toString(), QStringLiteral("42"));
    EXPECT_TRUE(set.cells(42).at(records::kPhoto).isNull());
}
