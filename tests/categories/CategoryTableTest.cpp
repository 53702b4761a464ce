#include "TestFolder.h"

#include "categories/CategoryTable.h"
#include "records/CategoryScan.h"
#include "store/Database.h"
#include "store/Job.h"
#include "store/Session.h"

#include <gtest/gtest.h>

using namespace categories;
using testing_support::countRows;

namespace {

// A small km: a blank definition name, duplicate values, a category with no values.
void smallCategories(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM km"));
    const QVariantList rows = {0,
                               QStringLiteral("个人编号"),
                               QString(),
                               QStringLiteral("个人编号"),
                               1,
                               QStringLiteral("  "),
                               QVariant(),
                               QStringLiteral("姓名"),
                               2,
                               QStringLiteral("性别"),
                               QStringLiteral(" "),
                               QStringLiteral("性别"),
                               2,
                               QStringLiteral("性别"),
                               QStringLiteral("男"),
                               QStringLiteral("性别"),
                               3,
                               QStringLiteral("民族"),
                               QString(),
                               QStringLiteral("民族"),
                               2,
                               QStringLiteral("性别"),
                               QStringLiteral("女"),
                               QStringLiteral("性别"),
                               2,
                               QStringLiteral("性别"),
                               QStringLiteral("男"),
                               QStringLiteral("性别")};
    for (int i = 0; i < rows.size(); i += 4)
        db.exec(QStringLiteral("INSERT INTO km VALUES (?, ?, ?, ?)"), rows.mid(i, 4));
}

// The category module, alike on the embedded file and on a server: names and values compare
// case and all there too.
class CategoryTableOnBothEngines : public testing::TestWithParam<store::Dialect> {
protected:
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session = folder.session(QStringLiteral("超级用户"), GetParam());
    store::Database& db = session->db();
};

INSTANTIATE_TEST_SUITE_P(Engines, CategoryTableOnBothEngines,
                         testing::Values(store::Dialect::Embedded, store::Dialect::Server),
                         [](const testing::TestParamInfo<store::Dialect>& info) {
                             return info.param == store::Dialect::Server ? "Server" : "Embedded";
                         });

} // namespace

TEST_P(CategoryTableOnBothEngines, LoadersFollowStoredOrder) {
    smallCategories(db);
    EXPECT_EQ(loadKM(db), (QStringList{QStringLiteral("个人编号"), QStringLiteral("  "),
                                       QStringLiteral("性别"), QStringLiteral("民族")}));
    EXPECT_EQ(settingsList(db), (QStringList{QStringLiteral("个人编号"), QStringLiteral("姓名"),
                                             QStringLiteral("性别"), QStringLiteral("民族")}));
    EXPECT_EQ(Loadkmmx(db, QStringLiteral(" 性别 ")),
              (QStringList{QStringLiteral("男"), QStringLiteral("女"), QStringLiteral("男")}));
    EXPECT_TRUE(Loadkmmx(db, QStringLiteral("民族")).isEmpty());
    EXPECT_EQ(GetfieldiD(db, QStringLiteral("民族")), 3);
    EXPECT_EQ(GetfieldiD(db, QStringLiteral("没有")), 0);
    EXPECT_EQ(definitionColumn(db, QStringLiteral("性别")), 2);
    EXPECT_EQ(definitionColumn(db, QStringLiteral("姓名")), -1);
    // Names are told apart by case.
    db.exec(QStringLiteral("INSERT INTO km VALUES (4, 'Abc', 'x', 'Abc')"));
    EXPECT_EQ(Loadkmmx(db, QStringLiteral("Abc")), QStringList{QStringLiteral("x")});
    EXPECT_TRUE(Loadkmmx(db, QStringLiteral("ABC")).isEmpty());
    EXPECT_EQ(GetfieldiD(db, QStringLiteral("abc")), 0);
    EXPECT_TRUE(statisticsValues(db, QStringLiteral("abc")).isEmpty());
    db.exec(QStringLiteral("DELETE FROM km"));
    EXPECT_TRUE(Loadkmmx(db, QStringLiteral("性别")).isEmpty());
    EXPECT_EQ(GetfieldiD(db, QStringLiteral("性别")), 0);
}

TEST_P(CategoryTableOnBothEngines, AddAndDeleteValues) {
    smallCategories(db);
    EXPECT_EQ(addValue(db, QStringLiteral("性别"), 2, QStringLiteral("  ")), AddResult::EmptyValue);
    EXPECT_EQ(addValue(db, QStringLiteral("性别"), 2, QStringLiteral(" 女 ")), AddResult::Exists);
    EXPECT_EQ(addValue(db, QStringLiteral("民族"), 3, QStringLiteral("Hui")), AddResult::Added);
    EXPECT_EQ(addValue(db, QStringLiteral("民族"), 3, QStringLiteral("hui")), AddResult::Added)
        << "case matters";
    // A category listed by its column name stores that name as kmmc.
    EXPECT_EQ(addValue(db, QStringLiteral("姓名"), 1, QStringLiteral("某")), AddResult::Added);
    EXPECT_EQ(
        db.scalar(QStringLiteral("SELECT filednum || kmmc || km_eng FROM km WHERE kmbz = '某'")).toString(),
        QStringLiteral("1姓名姓名"));

    EXPECT_FALSE(deleteValue(db, QStringLiteral("民族"), QStringLiteral("HUI")));
    EXPECT_EQ(addValue(db, QStringLiteral("民族"), 3, QStringLiteral("HUI")), AddResult::Added);
    EXPECT_TRUE(deleteValue(db, QStringLiteral("民族"), QStringLiteral("HUI")));
    EXPECT_EQ(Loadkmmx(db, QStringLiteral("民族")),
              (QStringList{QStringLiteral("Hui"), QStringLiteral("hui")}));
    EXPECT_TRUE(deleteValue(db, QStringLiteral("性别"), QStringLiteral("男")));
    EXPECT_EQ(Loadkmmx(db, QStringLiteral("性别")),
              (QStringList{QStringLiteral("女"), QStringLiteral("男")}));
    db.exec(QStringLiteral("DELETE FROM km"));
    EXPECT_EQ(addValue(db, QStringLiteral("性别"), 2, QStringLiteral("男")), AddResult::NoTable);
    EXPECT_EQ(countRows(db, QStringLiteral("km")), 0);
}

TEST(CategoryTable, ScanListsDistinctValuesInOrderOfFirstOccurrence) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    auto& db = session->db();
    EXPECT_FALSE(records::scanDistinct(db, 5).complete) << "an empty persons table";

    const QStringList cycle = {QStringLiteral("女"), QString(), QStringLiteral("男"), QStringLiteral("女"),
                               QStringLiteral("未知")};
    {
        store::Transaction tx(db);
        store::Statement insert = db.prepare(QStringLiteral("INSERT INTO wslib(\"性别\") VALUES (?)"));
        for (int i = 0; i < 9999; ++i) {
            insert.reset();
            insert.bind(1, i % 7 == 6 ? QVariant() : QVariant(cycle.at(i % 5))).run();
        }
        tx.commit();
    }
    store::JobControl control;
    const ScanResult result = records::scanDistinct(db, 5, control);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.values,
              (QStringList{QStringLiteral("女"), QStringLiteral("男"), QStringLiteral("未知")}));
    const std::optional<store::Progress> last = control.takeLatest();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->done, 9999);
    EXPECT_EQ(last->total, 9999);
    EXPECT_EQ(last->text, QStringLiteral("完成100.0%"));

    // More persons than the buffer holds: refused even when the values repeat.
    db.exec(QStringLiteral("INSERT INTO wslib(\"性别\") VALUES ('男'), ('男')"));
    EXPECT_FALSE(records::scanDistinct(db, 5).complete);
}

TEST_P(CategoryTableOnBothEngines, ReplaceAndClearValues) {
    replaceValues(db, QStringLiteral("性别"), 5, {QStringLiteral("男性"), QStringLiteral(" 女性 ")});
    EXPECT_EQ(Loadkmmx(db, QStringLiteral("性别")),
              (QStringList{QStringLiteral("男性"), QStringLiteral("女性")}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT km_eng FROM km WHERE kmbz = '女性'")).toString(),
              QStringLiteral("性别"));
    replaceValues(db, QStringLiteral("性别"), 5, {});
    EXPECT_TRUE(Loadkmmx(db, QStringLiteral("性别")).isEmpty());
    EXPECT_EQ(loadKM(db).size(), 65);

    // A failing replacement (a value longer than the column takes) leaves the old values.
    const QStringList before = Loadkmmx(db, QStringLiteral("民族"));
    EXPECT_THROW(
        replaceValues(db, QStringLiteral("民族"), 6, {QStringLiteral("好"), QString(51, QLatin1Char('x'))}),
        store::SqlError);
    EXPECT_EQ(Loadkmmx(db, QStringLiteral("民族")), before);

    clearAllValues(db);
    EXPECT_EQ(countRows(db, QStringLiteral("km")), 65);
}
