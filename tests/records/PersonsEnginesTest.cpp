// The persons module and the compiled conditions, run alike on the embedded file and on a server.

#include "ProgramTables.h"
#include "QueryFixture.h"
#include "TestFolder.h"

#include "query/ConditionParser.h"
#include "records/EntryRules.h"
#include "records/PersonColumns.h"
#include "records/PersonHistory.h"
#include "records/PersonRecord.h"
#include "records/PersonsBulk.h"
#include "records/PersonsStats.h"
#include "records/PersonsTable.h"
#include "records/StagingTable.h"
#include "store/Database.h"
#include "store/OperatorLog.h"
#include "store/ProgramState.h"
#include "store/RecordSet.h"
#include "store/Schema.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace records;
using store::Dialect;

namespace {

class PersonsOnBothEngines : public testing::TestWithParam<Dialect> {
protected:
    void SetUp() override {
        db_ = testing_support::programDatabase(GetParam(), folder_.file(QStringLiteral("lib.mdb")));
    }
    store::Database& db() { return *db_; }
    Dialect dialect() const { return GetParam(); }

    QStringList numbers(const store::RecordSet& list) {
        QStringList out;
        for (int i = 0; i < list.count(); ++i)
            out << db().scalar(QStringLiteral("SELECT \"个人编号\" FROM wslib WHERE rowid = ?"),
                               {list.rowid(i)})
                       .toString();
        return out;
    }
    QStringList found(const QString& where, const QVariantList& params) {
        store::Statement st = db().prepare(
            QStringLiteral("SELECT \"个人编号\" FROM wslib WHERE %1 ORDER BY \"个人编号\"").arg(where));
        st.bindAll(params);
        QStringList out;
        while (st.step())
            out << st.text(0);
        return out;
    }

    testing_support::TestFolder folder_{false};
    std::unique_ptr<store::Database> db_;
    const Author author_{QStringLiteral("录入员"), QDateTime(QDate(2024, 5, 6), QTime(9, 30))};
};

TEST_P(PersonsOnBothEngines, ReadsWritesSearchesAndKeepsHistory) {
    EXPECT_EQ(missingPersonIndexes(db()), 0);
    const qint64 ten = addNumberedPerson(db(), QStringLiteral("000010"), author_);
    const qint64 two = addNumberedPerson(db(), QStringLiteral("000002"), author_);
    const qint64 five = addPersonWith(db(),
                                      {{kPersonalNumber, QStringLiteral("000005")},
                                       {kPersonName, QStringLiteral("Smith")},
                                       {kBirth, QStringLiteral("1950-03-01")}},
                                      author_);
    writeStoredPerson(db(), two, {{kPersonName, QStringLiteral("张三")}, {kNation, QStringLiteral("汉族")}},
                      author_);
    EXPECT_EQ(numbers(*openPersonList(db())),
              QStringList({QStringLiteral("000002"), QStringLiteral("000005"), QStringLiteral("000010")}));
    EXPECT_EQ(numberForNewPerson(db()), QStringLiteral("000011"));

    // A whole row is the table's own columns, in order; the server's hidden ones stay out.
    const QVariantList row = readRow(db(), store::schema::kPersons, five);
    ASSERT_EQ(row.size(), kColumnCount);
    EXPECT_EQ(row.at(kPersonName), QVariant(QStringLiteral("Smith")));
    EXPECT_EQ(row.at(kBirth), QVariant(QStringLiteral("1950-03-01")));

    // Equality and like, case-blind, through the entry window's search.
    const auto search = [&](const QString& column, const QString& value) {
        const std::optional<Condition> c = categorySearch(store::JetType::Text, column, value, dialect());
        return numbers(*findPersons(db(), *c));
    };
    EXPECT_EQ(search(QStringLiteral("姓名"), QStringLiteral("SMITH")), QStringList{QStringLiteral("000005")});
    EXPECT_EQ(search(QStringLiteral("姓名"), QStringLiteral("s?i*")), QStringList{QStringLiteral("000005")});
    EXPECT_EQ(search(QStringLiteral("民族"), QStringLiteral("汉*")), QStringList{QStringLiteral("000002")});

    const QByteArray photo("\x89PNG\x00\xff picture", 14);
    storePhoto(db(), ten, photo, author_);
    EXPECT_EQ(readPhoto(db(), ten), photo);

    // An addition undone with its transaction leaves no history behind.
    {
        store::Transaction tx(db());
        addNumberedPerson(db(), QStringLiteral("000099"), author_);
    }
    EXPECT_EQ(countPersons(db()), 3);

    deletePerson(db(), five, author_);
    EXPECT_FALSE(personExists(db(), five));
    const std::vector<HistoryRow> history = readHistory(db(), {}, 100);
    QStringList kinds;
    for (const HistoryRow& r : history)
        kinds << r.kind + QLatin1Char(':') + r.field;
    EXPECT_TRUE(kinds.contains(QStringLiteral("新增:个人编号")));
    EXPECT_FALSE(std::any_of(history.begin(), history.end(),
                             [](const HistoryRow& r) { return r.number == QLatin1String("000099"); }));
    EXPECT_TRUE(kinds.contains(QStringLiteral("删除:姓名")));
    EXPECT_TRUE(kinds.contains(QStringLiteral("修改:民族")));
    const auto photoRow = std::find_if(history.begin(), history.end(), [](const HistoryRow& r) {
        return r.field == personColumn(kPhoto).columnName();
    });
    ASSERT_NE(photoRow, history.end());
    EXPECT_EQ(photoRow->newBytes, photo.size());

    // The deleted person comes back whole from the history, the date and name as they were.
    const auto deleted = std::find_if(history.begin(), history.end(),
                                      [](const HistoryRow& r) { return r.kind == kHistoryDeleted; });
    const Restored restored = restorePerson(db(), deleted->id, author_);
    EXPECT_EQ(restored.number, QStringLiteral("000005"));
    EXPECT_EQ(readRow(db(), store::schema::kPersons, restored.rowid).at(kBirth),
              QVariant(QStringLiteral("1950-03-01")));
    undoChanges(db(), {photoRow->id}, Author(store::kSuperUser));
    EXPECT_TRUE(readPhoto(db(), ten).isEmpty());

    // The statistics' narrowed table shows the chosen persons with the same columns.
    EXPECT_EQ(narrowPersons(db(), {two, ten, two}), 2);
    EXPECT_EQ(db().columnNames(store::schema::kPersons).size(), kColumnCount);
    widenPersons(db());
    EXPECT_EQ(countPersons(db()), 3);

    store::ProgramState state;
    state.currentUser = QStringLiteral("录入员");
    store::OperatorLog(db(), state, [] {
        return QDateTime(QDate(2024, 5, 6), QTime(9, 30));
    }).write(QStringLiteral("数据备份"));
    EXPECT_EQ(store::readLogRows(db()).back(),
              (std::array<QString, 3>{QStringLiteral("2024年05月06日09时30分"), QStringLiteral("录入员"),
                                      QStringLiteral("数据备份")}));
}

// A replacement from the staging table keeps the photo of the person with the same number and name.
TEST_P(PersonsOnBothEngines, ReplacementKeepsPhotos) {
    const qint64 old = addPersonWith(
        db(), {{kPersonalNumber, QStringLiteral("000007")}, {kPersonName, QStringLiteral("张三")}}, author_);
    storePhotoInBulk(db(), old, QByteArray("photo"));
    StagingAppender staging(db());
    staging.append({QStringLiteral("000007"), QStringLiteral("张三")});
    staging.append({QStringLiteral("000008"), QStringLiteral("李四")});
    staging.append({QStringLiteral("000009"), QStringLiteral("张三")});
    staging.append(
        {QStringLiteral("000007"), QStringLiteral("张三")}); // twice in the file: both get the photo
    staging.finish();
    const Replacement result = replacePersons(db(), {});
    EXPECT_EQ(result.persons, 4);
    EXPECT_EQ(result.photosKept, 2);
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT \"相片\" FROM wslib WHERE \"个人编号\" = '000007'")),
              QVariant(QByteArray("photo")));
    EXPECT_EQ(countPersons(db()), 4);
    EXPECT_EQ(missingPersonIndexes(db()), 0);
}

// The same persons on either engine, whichever way a condition is written.
TEST_P(PersonsOnBothEngines, ConditionsFindTheSamePersons) {
    testing_support::addFivePersons(db());
    const std::vector<store::TableColumn> columns = store::tableColumns(db(), store::schema::kPersons);
    const struct {
        const char* condition;
        QStringList expected;
    } cases[] = {
        {"姓名 like '张*'", {"000001"}},
        {"姓名 like 'smith'", {"000005"}},
        {"原工作单位 like 'abc*'", {"000005"}},
        {"原工作单位 like '*机床*'", {"000001", "000003"}},
        {"姓名 like '[!张李]*'", {"000003", "000004", "000005"}},
        {"not 姓名 like '?四'", {"000001", "000003", "000004", "000005"}},
        {"出生年月 = #1950-03-15#", {"000001"}},
        {"出生年月 >= #1950-03-15 10:00#", {"000002", "000003", "000005"}},
        {"出生年月 between #1955-12-31# and #1950-01-01#", {"000001", "000002", "000003"}},
        {"劳模 = true", {"000001", "000004"}},
        {"劳模 = false and 基本养老金 >= 0", {"000002", "000003"}},
        {"基本养老金 > 1000", {"000002", "000004"}},
        {"备注 is null", {"000003"}},
        {"原工作单位 = 'it''s co'", {"000004"}},
        {"民族 in ('回族', '满族') or 姓名 = 'ZHANG'", {"000002", "000005"}},
        {"not 性别 = '男'", {"000002", "000004"}},
    };
    for (const auto& c : cases) {
        const query::SqlCondition sql =
            query::parseCondition(QString::fromUtf8(c.condition), columns, dialect());
        EXPECT_EQ(found(sql.sql, sql.params), c.expected) << c.condition;
    }
    EXPECT_EQ(store::hasIndex(db(), QStringLiteral("wslib_name")), true);
    EXPECT_EQ(store::hasIndex(db(), QStringLiteral("wslib_none")), false);
}

// A list longer than what a server list reads at opening: the same persons in the same order, and
// a person deleted by another operator after the opening keeps its place as a row that is gone.
TEST_P(PersonsOnBothEngines, ALongListReadsItsIdsAsTheyAreNeeded) {
    constexpr int kPersons = 2600;
    {
        store::Transaction tx(db());
        store::RowAppender rows = db().appendRows(
            store::schema::kPersons, {db().columnNames(store::schema::kPersons).at(kPersonalNumber)});
        for (int i = kPersons; i > 0; --i)
            rows.add({QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'))});
        rows.finish();
        tx.commit();
    }
    const auto list = openPersonList(db());
    const qint64 last =
        db().scalar(QStringLiteral("SELECT rowid FROM wslib WHERE \"个人编号\" = '002600'")).toLongLong();
    db().exec(QStringLiteral("DELETE FROM wslib WHERE rowid = ?"), {last});
    ASSERT_EQ(list->count(), kPersons);
    EXPECT_EQ(
        list->rowid(0),
        db().scalar(QStringLiteral("SELECT rowid FROM wslib WHERE \"个人编号\" = '000001'")).toLongLong());
    EXPECT_EQ(list->rowid(kPersons - 1), dialect() == Dialect::Server ? -1 : last);
    EXPECT_EQ(list->count(), kPersons);
    list->setPosition(kPersons - 2);
    EXPECT_EQ(numbers(*list).at(kPersons - 2), QStringLiteral("002599"));
    list->removeCurrent();
    EXPECT_EQ(list->count(), kPersons - 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, PersonsOnBothEngines, testing::Values(Dialect::Embedded, Dialect::Server),
                         [](const testing::TestParamInfo<Dialect>& info) {
                             return info.param == Dialect::Server ? "Server" : "Embedded";
                         });

} // namespace
