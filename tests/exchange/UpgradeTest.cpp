#include "TestFolder.h"
#include "exchange/JetFixtures.h"

#include "categories/CategoryTable.h"
#include "exchange/JetFile.h"
#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "login/Login.h"
#include "records/PersonColumns.h"
#include "store/Database.h"
#include "store/Passwords.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/rc4.h>

using namespace exchange;
using testing_support::countRows;
using testing_support::jetFixture;
using testing_support::TestFolder;

namespace {

const QString kPassword = QString::fromLatin1(store::Database::kPassword);
const QStringList kTables = {QStringLiteral("basic"),  QStringLiteral("km"),   QStringLiteral("Print"),
                             QStringLiteral("system"), QStringLiteral("user"), QStringLiteral("wslib"),
                             QStringLiteral("wslib0")};

std::unique_ptr<SourceDatabase> legacy(const QString& name = QStringLiteral("legacy_lib_v4.mdb")) {
    return SourceDatabase::open(jetFixture(name), kPassword);
}

// A value as the store keeps it, so that a value read from the old file and the one stored
// compare equal exactly when the upgrade carried it over unchanged.
QVariant stored(const QVariant& v) {
    if (v.isNull())
        return QVariant();
    if (v.typeId() == QMetaType::Bool)
        return QVariant(qint64(v.toBool()));
    if (v.typeId() == QMetaType::Int)
        return QVariant(v.toLongLong());
    return v;
}

QList<QVariantList> rows(store::Database& db, const QString& table, const QStringList& columns = {}) {
    QStringList names;
    for (const QString& c : columns)
        names << store::quoted(c);
    store::Statement st =
        db.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                       .arg(columns.isEmpty() ? QStringLiteral("*") : names.join(QLatin1Char(',')),
                            store::quoted(table)));
    QList<QVariantList> out;
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i < st.columnCount(); ++i)
            row << st.value(i);
        out << row;
    }
    return out;
}

QList<QVariantList> oldRows(SourceDatabase& old, const QString& table, int dropLast = 0) {
    std::unique_ptr<SourceTable> t = old.table(table);
    QList<QVariantList> out;
    QVariantList row;
    while (t->next(row)) {
        QVariantList r;
        for (qsizetype i = 0; i < row.size() - dropLast; ++i)
            r << stored(row[i]);
        out << r;
    }
    return out;
}

QStringList oldColumns(SourceDatabase& old, const QString& table) {
    QStringList names;
    const std::unique_ptr<SourceTable> t = old.table(table);
    for (const SourceColumn& c : t->columns())
        names << c.name;
    return names;
}

std::map<QString, QList<QVariantList>> everything(store::Database& db) {
    std::map<QString, QList<QVariantList>> all;
    for (const QString& t : kTables)
        all[t] = rows(db, t);
    return all;
}

// A copy of a Jet 4 file with another database password written into its header.
QString withJetPassword(TestFolder& folder, const QString& fixture, const QString& password) {
    QFile in(jetFixture(fixture));
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    QByteArray file = in.readAll();
    const auto rc4 = [](QByteArray& bytes, int from, int length) {
        RC4_KEY key;
        RC4_set_key(&key, 4, reinterpret_cast<const unsigned char*>("\xC7\xDA\x39\x6B"));
        auto* p = reinterpret_cast<unsigned char*>(bytes.data()) + from;
        RC4(&key, std::size_t(length), p, p);
    };
    rc4(file, 0x18, 128);
    double created = 0;
    std::memcpy(&created, file.constData() + 0x72, sizeof created);
    const qint32 mask = qint32(std::floor(created));
    QByteArray text(40, '\0');
    std::memcpy(text.data(), password.utf16(), std::size_t(password.size()) * 2);
    for (int k = 0; k < 40; ++k)
        file[0x42 + k] = char(text[k] ^ reinterpret_cast<const char*>(&mask)[k % 4]);
    rc4(file, 0x18, 128);
    const QString path = folder.file(QStringLiteral("old.mdb"));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file);
    return path;
}

} // namespace

TEST(Upgrade, EveryTableHoldsExactlyTheOldRows) {
    TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    db.exec(QStringLiteral("INSERT INTO wslib (\"个人编号\", \"姓名\") VALUES ('999999', '新人')"));
    db.exec(QStringLiteral("INSERT INTO basic VALUES ('新用户', 'x', 0)"));

    const auto old = legacy();
    upgradeFrom(db, *old);

    const auto expected = testing_support::legacyExpected(QStringLiteral("legacy_lib_v4.mdb"));
    ASSERT_FALSE(expected.isEmpty());
    for (const QString& t : kTables) {
        const qint64 more = t == QLatin1String("km") ? 4 : 0;
        EXPECT_EQ(countRows(db, t), expected.value(t).toLongLong() + more) << t.toStdString();
    }
    EXPECT_EQ(countRows(db, QStringLiteral("wslib"), QStringLiteral("\"相片\" IS NOT NULL")),
              expected.value(QStringLiteral("wslib_photos")).toLongLong());

    // The small tables by position, every value as it was (Null and empty text kept apart).
    for (const QString& t : {QStringLiteral("basic"), QStringLiteral("km"), QStringLiteral("Print"),
                             QStringLiteral("system"), QStringLiteral("user")}) {
        QList<QVariantList> now = rows(db, t);
        if (t == QLatin1String("km"))
            now = now.mid(0, now.size() - 4);
        EXPECT_EQ(now, oldRows(*old, t)) << t.toStdString();
    }
    // The persons by name although the old columns stand in another order.
    const QStringList order = oldColumns(*old, QStringLiteral("wslib"));
    EXPECT_EQ(order, testing_support::legacyPersonsOrder());
    EXPECT_EQ(rows(db, QStringLiteral("wslib"), order), oldRows(*old, QStringLiteral("wslib")));
    EXPECT_EQ(countRows(db, QStringLiteral("wslib"),
                        QStringLiteral(
                            "\"工作时间\" IS NOT NULL OR \"指纹存档\" IS NOT NULL OR \"归侨\" IS NOT NULL")),
              0);
    // The staging table without the old photo column.
    const QStringList staging = oldColumns(*old, QStringLiteral("wslib0"));
    EXPECT_EQ(staging.last(), QStringLiteral("相片"));
    EXPECT_EQ(rows(db, QStringLiteral("wslib0"), staging.mid(0, staging.size() - 1)),
              oldRows(*old, QStringLiteral("wslib0"), 1));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT \"个人编号\" FROM wslib0 ORDER BY rowid LIMIT 1")),
              QVariant(QStringLiteral("000000")));
}

class UpgradeOnBothEngines : public testing::TestWithParam<store::Dialect> {};

INSTANTIATE_TEST_SUITE_P(Engines, UpgradeOnBothEngines,
                         testing::Values(store::Dialect::Embedded, store::Dialect::Server),
                         [](const testing::TestParamInfo<store::Dialect>& info) {
                             return info.param == store::Dialect::Server ? "Server" : "Embedded";
                         });

TEST_P(UpgradeOnBothEngines, CategoryListGetsTheFourLaterColumnsAfterTheOldRows) {
    TestFolder folder;
    auto session = folder.session(QStringLiteral("超级用户"), GetParam());
    store::Database& db = session->db();
    upgradeFrom(db, *legacy());

    const QList<QVariantList> km = rows(db, QStringLiteral("km"));
    ASSERT_EQ(km.size(), 151);
    const QStringList later = {QStringLiteral("工作时间"), QStringLiteral("指纹存档"), QStringLiteral("归侨"),
                               QStringLiteral("相片")};
    for (int i = 0; i < 4; ++i) {
        const QVariantList& row = km[147 + i];
        EXPECT_EQ(row[0].toLongLong(), 61 + i);
        EXPECT_EQ(row[1].toString(), later[i]);
        EXPECT_EQ(row[2], QVariant(QStringLiteral("")));
        EXPECT_EQ(row[3].toString(), later[i]);
    }
    const QStringList list = categories::loadKM(db);
    ASSERT_EQ(list.size(), records::kColumnCount);
    EXPECT_EQ(list.mid(61), later);
    EXPECT_EQ(categories::GetfieldiD(db, QStringLiteral("归侨")), records::kReturnee);
    EXPECT_EQ(categories::Loadkmmx(db, QStringLiteral("民族")).last(), QStringLiteral("维吾尔族"));
}

TEST(Upgrade, OldUsersLogInWithTheirPlainPasswords) {
    TestFolder folder;
    auto session = folder.session();
    upgradeFrom(session->db(), *legacy());

    const std::vector<login::UserEntry> users = login::readUsers(session->db());
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].name, QStringLiteral("超级用户"));
    EXPECT_EQ(users[1].name, QStringLiteral("王芳"));
    EXPECT_EQ(users[2].name, QStringLiteral("李建国"));
    EXPECT_EQ(login::logIn(*session, users, QStringLiteral("王芳"), QStringLiteral("WF1234")),
              login::LoginOutcome::WrongPassword);
    EXPECT_EQ(login::logIn(*session, users, QStringLiteral("王芳"), QStringLiteral("wf1234")),
              login::LoginOutcome::LoggedIn);
    EXPECT_TRUE(store::isPasswordHash(login::readUsers(session->db())[1].pass))
        << "hashed at the first login";
    EXPECT_EQ(login::logIn(*session, login::readUsers(session->db()), QStringLiteral("超级用户"),
                           QStringLiteral("admin")),
              login::LoginOutcome::LoggedIn);
}

TEST(Upgrade, AValueTheNewTableRefusesLeavesEveryTableAsItWas) {
    TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    db.exec(QStringLiteral("INSERT INTO wslib (\"个人编号\", \"姓名\") VALUES ('000001', '原有')"));
    // The persons come sixth, after five tables were already replaced.
    db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON wslib WHEN NEW.\"姓名\" = '欧阳建国' "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    const auto before = everything(db);
    try {
        upgradeFrom(db, *legacy());
        FAIL() << "the refused value went unnoticed";
    } catch (const UpgradeError& e) {
        EXPECT_EQ(e.kind(), UpgradeError::Kind::ValueRefused);
        EXPECT_EQ(e.table(), QStringLiteral("wslib"));
        EXPECT_EQ(e.column(), QStringLiteral("姓名"));
        EXPECT_EQ(e.row(), 41);
        EXPECT_EQ(upgradeFailureText(e),
                  QStringLiteral(
                      "升级失败：表 wslib 第 41 行的列“姓名”的值不能存入本系统的表。原有的数据没有改变。"));
    }
    EXPECT_EQ(everything(db), before);
}

TEST(Upgrade, AnOldColumnTheNewTableLacksIsNamed) {
    TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    // A persons table without 社区名称.
    QStringList defs;
    for (const records::PersonColumn& c : records::personColumns()) {
        if (c.ordinal != 60)
            defs << store::quoted(c.columnName()) + QLatin1Char(' ') + records::declaredType(c);
    }
    db.exec(QStringLiteral("DROP TABLE wslib"));
    db.exec(QStringLiteral("CREATE TABLE wslib (%1)").arg(defs.join(QLatin1Char(','))));
    const auto before = everything(db);
    try {
        upgradeFrom(db, *legacy());
        FAIL() << "a column without a place went unnoticed";
    } catch (const UpgradeError& e) {
        EXPECT_EQ(e.kind(), UpgradeError::Kind::NoSuchColumn);
        EXPECT_EQ(
            upgradeFailureText(e),
            QStringLiteral("升级失败：表 wslib 的列“社区名称”在本系统的表中没有。原有的数据没有改变。"));
    }
    EXPECT_EQ(everything(db), before);
}

TEST(Upgrade, AFileWithoutTheTablesOrWithAnotherPasswordIsRefused) {
    TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    const auto before = everything(db);

    const QString empty = withJetPassword(folder, QStringLiteral("jet4_empty.mdb"), kPassword);
    const auto noTables = SourceDatabase::open(empty, kPassword);
    try {
        upgradeFrom(db, *noTables);
        FAIL() << "upgraded from a file without tables";
    } catch (const SourceError& e) {
        EXPECT_EQ(e.kind(), SourceFailure::MissingTable);
        EXPECT_EQ(upgradeFailureText(e),
                  QStringLiteral("升级失败：选择的库中没有表 basic。原有的数据没有改变。"));
    }
    try {
        legacy(QStringLiteral("legacy_lib_v4_wrongpw.mdb"));
        FAIL() << "opened a file with another password";
    } catch (const SourceError& e) {
        EXPECT_EQ(e.kind(), SourceFailure::WrongPassword);
        EXPECT_EQ(upgradeFailureText(e),
                  QStringLiteral("升级失败：选择的库的密码不对。原有的数据没有改变。"));
    }
    EXPECT_EQ(everything(db), before);
}
