#include "QueryFixture.h"

#include "exchange/JetFixtures.h"
#include "exchange/Maintenance.h"
#include "exchange/Merge.h"
#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "query/ConditionParser.h"
#include "records/EntryRules.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <gtest/gtest.h>

namespace {

struct IndexedPersons {
    IndexedPersons() : session(folder.session()) {
        store::Database& db = session->db();
        // Names that tell case folding apart: ASCII, Latin-1, full-width, the Kelvin sign and
        // the long s (which Jet's like folds to k and s, NOCASE does not).
        const QStringList names = {"abc",  "ABC",    "Abc",    "abcd", "É",   "é",       "Éabc",
                                   "Ａ",   "ａ",     "\u212A", "k",    "kx",  "\u017Fa", "sa",
                                   "张三", "张三丰", "王五",   "",     "a%b", "a_b"};
        store::Transaction tx(db);
        for (int i = 0; i < 3 * int(names.size()); ++i) {
            const int n = i % int(names.size());
            db.exec(QStringLiteral(
                        "INSERT INTO wslib(\"个人编号\", \"姓名\", \"民族\", \"性别\", \"身份证号码\", "
                        "\"劳模\", \"出生年月\") VALUES (?, ?, ?, ?, ?, ?, ?)"),
                    {QStringLiteral("%1").arg(100 - i, 6, 10, QLatin1Char('0')),
                     i == 7 ? QVariant() : QVariant(names.at(n)),
                     n % 3 ? QStringLiteral("汉族") : QStringLiteral("回族"),
                     n % 2 ? QStringLiteral("男") : QStringLiteral("女"),
                     QStringLiteral("11010119500315%1")
                         .arg(n % 4 ? QStringLiteral("123x") : QStringLiteral("123X")),
                     i % 5 == 0 ? QVariant() : QVariant(i % 2),
                     QStringLiteral("19%1-03-15").arg(40 + n % 7)});
        }
        tx.commit();
        columns = store::tableColumns(db, QStringLiteral("wslib"));
    }
    std::vector<qint64> rowids(const QString& where, const QVariantList& params) {
        store::Statement st = session->db().prepare(
            QStringLiteral("SELECT rowid FROM wslib WHERE %1 ORDER BY rowid").arg(where));
        st.bindAll(params);
        std::vector<qint64> ids;
        while (st.step())
            ids.push_back(st.integer(0));
        return ids;
    }
    QString plan(const QString& where, const QVariantList& params, const QString& orderBy) {
        store::Statement st = session->db().prepare(
            QStringLiteral("EXPLAIN QUERY PLAN SELECT rowid FROM wslib WHERE %1 ORDER BY %2")
                .arg(where, orderBy));
        st.bindAll(params);
        QString text;
        while (st.step())
            text += st.text(3) + QLatin1Char(';');
        return text;
    }
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::vector<store::TableColumn> columns;
};

} // namespace

// Each condition selects exactly what its reference selects (Jet's like for every like, the
// comparison as written otherwise), and the plan uses the index named, or none.
TEST(IndexedConditions, SelectWhatJetLikeSelectsAndUseTheirIndex) {
    IndexedPersons p;
    struct Case {
        const char* condition;
        const char* reference;
        const char* index; // "" when the table is scanned
    };
    const Case cases[] = {
        {"姓名 like 'abc'", "jetlike(\"姓名\", 'abc')", "wslib_name"},
        {"姓名 like 'ABC'", "jetlike(\"姓名\", 'ABC')", "wslib_name"},
        {"姓名 like 'abc*'", "jetlike(\"姓名\", 'abc*')", "wslib_name"},
        {"姓名 like 'A**'", "jetlike(\"姓名\", 'A**')", "wslib_name"},
        {"not 姓名 like 'abc*'", "NOT jetlike(\"姓名\", 'abc*')", ""},
        {"姓名 like '张三*'", "jetlike(\"姓名\", '张三*')", "wslib_name"},
        {"姓名 like '张三'", "jetlike(\"姓名\", '张三')", "wslib_name"},
        {"姓名 like 'a%b'", "jetlike(\"姓名\", 'a%b')", "wslib_name"},
        {"姓名 like 'a_*'", "jetlike(\"姓名\", 'a_*')", "wslib_name"},
        {"姓名 like ''", "jetlike(\"姓名\", '')", "wslib_name"},
        {"姓名 like 'é'", "jetlike(\"姓名\", 'é')", ""},
        {"姓名 like 'É*'", "jetlike(\"姓名\", 'É*')", ""},
        {"姓名 like 'ａ'", "jetlike(\"姓名\", 'ａ')", ""},
        {"姓名 like 'k*'", "jetlike(\"姓名\", 'k*')", ""},
        {"姓名 like 'S*'", "jetlike(\"姓名\", 'S*')", ""},
        {"姓名 like '*三'", "jetlike(\"姓名\", '*三')", ""},
        {"姓名 like '张?'", "jetlike(\"姓名\", '张?')", ""},
        {"姓名 like 'a[bB]c'", "jetlike(\"姓名\", 'a[bB]c')", ""},
        {"姓名 like '*'", "jetlike(\"姓名\", '*')", ""},
        {"姓名 like null", "NULL", ""},
        {"姓名 = 'ABC'", "\"姓名\" = 'abc' COLLATE NOCASE", "wslib_name"},
        {"姓名 is null", "\"姓名\" IS NULL", "wslib_name"},
        {"民族 = '回族'", "\"民族\" = '回族'", "wslib_c6"},
        {"民族 like '回族'", "jetlike(\"民族\", '回族')", "wslib_c6"},
        {"性别 = '男'", "\"性别\" = '男'", "wslib_c5"},
        {"个人编号 like '00009*'", "jetlike(\"个人编号\", '00009*')", "wslib_number"},
        {"身份证号码 = '11010119500315123X'", "\"身份证号码\" = '11010119500315123x'", "wslib_id"},
        {"身份证号码 like '11010119500315123x'", "jetlike(\"身份证号码\", '11010119500315123x')", "wslib_id"},
        {"身份证号码 like '1101011950031512*'", "jetlike(\"身份证号码\", '1101011950031512*')", "wslib_id"},
        {"劳模 = true", "\"劳模\" = 1", ""},
        {"劳模 = false", "\"劳模\" = 0", ""},
        {"出生年月 = #1943-03-15#", "\"出生年月\" = '1943-03-15'", ""},
    };
    for (const Case& c : cases) {
        const QString condition = QString::fromUtf8(c.condition);
        const query::SqlCondition sql = query::parseCondition(condition, p.columns);
        const std::vector<qint64> expected = p.rowids(QString::fromUtf8(c.reference), {});
        EXPECT_EQ(p.rowids(sql.sql, sql.params), expected) << c.condition << " -> " << sql.sql.toStdString();
        const QString plan = p.plan(sql.sql, sql.params, QStringLiteral("\"个人编号\", rowid"));
        const QString index = QString::fromUtf8(c.index);
        if (index.isEmpty())
            EXPECT_FALSE(plan.contains(QStringLiteral("INDEX wslib_c")) ||
                         plan.contains(QStringLiteral("INDEX wslib_name")) ||
                         plan.contains(QStringLiteral("INDEX wslib_id ")))
                << c.condition << ": " << plan.toStdString();
        else
            EXPECT_TRUE(plan.contains(QStringLiteral("INDEX %1 (").arg(index)))
                << c.condition << ": " << plan.toStdString();
    }
    // The entry window's one-category search: an index where NOCASE folds as Jet's like does.
    for (const char* value : {"abc", "ABC", "é", "Ａ", "K", "张三"}) {
        const std::optional<records::Condition> search =
            records::categorySearch(store::JetType::Text, QStringLiteral("姓名"), QString::fromUtf8(value));
        ASSERT_TRUE(search);
        EXPECT_EQ(p.rowids(search->sql, search->params),
                  p.rowids(QStringLiteral("jetlike(\"姓名\", ?)"), {QString::fromUtf8(value)}))
            << value;
    }
    const std::optional<records::Condition> nation =
        records::categorySearch(store::JetType::Text, QStringLiteral("民族"), QStringLiteral("回族"));
    EXPECT_TRUE(p.plan(nation->sql, nation->params, QStringLiteral("\"个人编号\", rowid"))
                    .contains(QStringLiteral("COVERING INDEX wslib_c6")));
}

// Made when missing, one index a step, stoppable; never on a read-only file, which still opens.
TEST(IndexedConditions, IndexesAreMadeWhenMissingButNotOnAReadOnlyFile) {
    testing_support::TestFolder folder;
    const QString path = folder.file(QStringLiteral("lib.mdb"));
    {
        store::Database db(path);
        EXPECT_EQ(records::missingPersonIndexes(db), 0);
        for (const char* name : {"wslib_c5", "wslib_c6", "wslib_name"})
            db.exec(QStringLiteral("DROP INDEX %1").arg(QString::fromLatin1(name)));
    }
    {
        store::Database readOnly(path, QString::fromLatin1(store::Database::kPassword), {.readOnly = true});
        EXPECT_TRUE(records::addPersonIndexes(readOnly));
        EXPECT_EQ(records::missingPersonIndexes(readOnly), 3);
    }
    store::Database db(path);
    db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\") VALUES ('000001')"));
    std::vector<std::pair<int, int>> steps;
    EXPECT_FALSE(records::addPersonIndexes(db, [&](int done, int total, const QString&) {
        steps.emplace_back(done, total);
        return done < 1;
    }));
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{0, 4}, {1, 4}}))
        << "three indexes and the statistics";
    EXPECT_EQ(records::missingPersonIndexes(db), 2);
    steps.clear();
    EXPECT_TRUE(records::addPersonIndexes(db, [&](int done, int total, const QString&) {
        steps.emplace_back(done, total);
        return true;
    }));
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(records::missingPersonIndexes(db), 0);
}

// Compacting copies the indexes and the planner's figures with the rows.
TEST(IndexedConditions, CompactKeepsTheIndexes) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    for (int i = 0; i < 20; ++i)
        session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"民族\") VALUES (?, '汉族')"),
                           {i});
    session->db().exec(QStringLiteral("DROP INDEX wslib_c6"));
    ASSERT_TRUE(records::addPersonIndexes(session->db()));
    exchange::Maintenance(*session).compact();
    EXPECT_EQ(records::missingPersonIndexes(session->db()), 0);
    EXPECT_GT(
        session->db().scalar(QStringLiteral("SELECT count(*) FROM sqlite_stat1 WHERE tbl = 'wslib'")).toInt(),
        0);
}

// The upgrade and a large merge drop the search indexes for speed and make them again inside
// their transaction: the file has them afterwards, and a refused merge leaves them as they were.
TEST(IndexedConditions, UpgradeAndMergeKeepTheIndexes) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    const QString password = QString::fromLatin1(store::Database::kPassword);
    const auto otherOffice = [&] {
        return exchange::SourceDatabase::open(
            testing_support::jetFixture(QStringLiteral("legacy_lib_v4_other_office.mdb")), password);
    };
    db.exec(QStringLiteral("DROP INDEX wslib_c6")); // an older file's
    exchange::upgradeFrom(
        db, *exchange::SourceDatabase::open(testing_support::jetFixture(QStringLiteral("legacy_lib_v4.mdb")),
                                            password));
    EXPECT_EQ(records::missingPersonIndexes(db), 0);
    ASSERT_GE(otherOffice()->table(store::schema::kPersons)->rowCount() * 4, records::countPersons(db))
        << "large enough to drop them";

    db.exec(
        QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON wslib BEGIN SELECT RAISE(ABORT, 'no'); END"));
    EXPECT_THROW(exchange::mergePersons(db, *otherOffice()), exchange::MergeRefused);
    EXPECT_EQ(records::missingPersonIndexes(db), 0);
    db.exec(QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_GT(exchange::mergePersons(db, *otherOffice()).added, 0);
    EXPECT_EQ(records::missingPersonIndexes(db), 0);
}
