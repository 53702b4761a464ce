#include "TestFolder.h"

#include "records/PersonRecord.h"
#include "store/Database.h"

#include <gtest/gtest.h>

using namespace records;

namespace {

const PersonColumn& col(const char* name) {
    return personColumn(ordinalOf(QString::fromUtf8(name)));
}

QVariant stored(const char* name, const QString& text, bool checked = false) {
    return storedValue(col(name), {text, checked});
}

} // namespace

TEST(PersonColumns, OneEntryPerColumnInOrder) {
    const auto columns = personColumns();
    ASSERT_EQ(columns.size(), 65u);
    for (std::size_t i = 0; i < columns.size(); ++i)
        EXPECT_EQ(columns[i].ordinal, int(i));
    EXPECT_EQ(personColumn(kPhoto).kind, Kind::Photo);
    EXPECT_EQ(ordinalOf(u"工作时间"), kWorkStart);
    EXPECT_EQ(ordinalOf(u"指纹存档"), kFingerprint);
    EXPECT_EQ(ordinalOf(u"归侨"), kReturnee);
    EXPECT_EQ(ordinalOf(u"不存在"), -1);
    int coded = 0;
    for (const PersonColumn& c : columns) {
        coded += c.kind == Kind::Coded;
        if (c.kind == Kind::Text) {
            EXPECT_GE(c.size, c.limit) << c.name;
        }
    }
    EXPECT_EQ(coded, 17);
}

TEST(PersonRecord, ValueRulesByKind) {
    EXPECT_EQ(stored("姓名", QStringLiteral("  张三 ")), QVariant(QStringLiteral("张三")));
    EXPECT_EQ(stored("姓名", QString()), QVariant(QString()));
    EXPECT_EQ(stored("性别", QStringLiteral(" 男")), QVariant(QStringLiteral("男")));
    EXPECT_TRUE(stored("出生年月", QStringLiteral("   ")).isNull());
    EXPECT_EQ(stored("出生年月", QStringLiteral("1950-03")), QVariant(QStringLiteral("1950-03-01")));
    EXPECT_EQ(stored("出生年月", QStringLiteral("1950-03-15")), QVariant(QStringLiteral("1950-03-15")));
    EXPECT_EQ(stored("从事专业技术服务", QString(), true), QVariant(true));
    EXPECT_EQ(stored("从事专业技术服务", QString(), false), QVariant(false));
    EXPECT_DOUBLE_EQ(stored("基本养老金", QStringLiteral("abc")).toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(stored("基本养老金", QStringLiteral("1234.5")).toDouble(), 1234.5);
    EXPECT_DOUBLE_EQ(stored("基本养老金", QStringLiteral(" 12.5元")).toDouble(), 12.5);
    EXPECT_EQ(stored("备注", QStringLiteral(" 第一行\n第二行 ")), QVariant(QStringLiteral("第一行\n第二行")));

    EXPECT_THROW(stored("姓名", QStringLiteral("一二三四五六七八九")), WriteError);
    EXPECT_THROW(stored("出生年月", QStringLiteral("2011-13")), WriteError);
    EXPECT_THROW(stored("出生年月", QStringLiteral("abc")), WriteError);

    EXPECT_EQ(shownValue(col("出生年月"), QStringLiteral("1950-03-15")).text, QStringLiteral("1950-03"));
    EXPECT_EQ(shownValue(col("出生年月"), QVariant()).text, QString());
    EXPECT_FALSE(shownValue(col("劳模"), QVariant()).checked);
    EXPECT_TRUE(shownValue(col("劳模"), qint64(1)).checked);
    EXPECT_EQ(shownValue(col("基本养老金"), 1234.5).text, QStringLiteral("1234.5"));
    EXPECT_EQ(shownValue(col("姓名"), QVariant()).text, QString());
}

TEST(PersonRecord, PersonalNumbers) {
    EXPECT_EQ(nextPersonalNumber(QStringLiteral("000123")), QStringLiteral("000124"));
    EXPECT_EQ(nextPersonalNumber(QStringLiteral("999999")), QStringLiteral("000000"));
    EXPECT_EQ(nextPersonalNumber(QStringLiteral("000009")), QStringLiteral("000010"));
    EXPECT_EQ(nextPersonalNumber(QString()), QStringLiteral("000001"));
    EXPECT_LT(QStringLiteral("000009"), QStringLiteral("000010"));
}

TEST(PersonRecord, WritingARowIsAllOrNothing) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    auto& db = session->db();
    db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"出生年月\", \"劳模\") "
                           "VALUES ('000001', '旧名', '1940-01-01', 1)"));
    const qint64 rowid = db.lastInsertRowId();

    Entries good{{0, {QStringLiteral("000001")}},
                 {1, {QStringLiteral("新名")}},
                 {7, {QString()}},
                 {24, {QString(), false}},
                 {27, {QStringLiteral("2345.5")}},
                 {kWorkStart, {QStringLiteral("1968-07")}}};
    writeRow(db, QStringLiteral("wslib"), rowid, good);
    QVariantList row = readRow(db, QStringLiteral("wslib"), rowid);
    EXPECT_EQ(row.at(1).toString(), QStringLiteral("新名"));
    EXPECT_TRUE(row.at(7).isNull());
    EXPECT_EQ(row.at(24).toLongLong(), 0);
    EXPECT_DOUBLE_EQ(row.at(27).toDouble(), 2345.5);
    EXPECT_EQ(row.at(kWorkStart).toString(), QStringLiteral("1968-07-01"));

    Entries bad = good;
    bad[1] = {QStringLiteral("改了名字")};
    bad[13] = {QStringLiteral("1999-02-30")};
    EXPECT_THROW(writeRow(db, QStringLiteral("wslib"), rowid, bad), WriteError);
    row = readRow(db, QStringLiteral("wslib"), rowid);
    EXPECT_EQ(row.at(1).toString(), QStringLiteral("新名")) << "the row keeps its previous values";
}
