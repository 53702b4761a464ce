#include "exchange/Import.h"
#include "TestFolder.h"
#include "exchange/Export.h"
#include "exchange/SamplePersons.h"
#include "exchange/SheetReader.h"
#include "exchange/Workbook.h"
#include "records/PersonColumns.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"
#include "store/Database.h"

#include <gtest/gtest.h>

using namespace exchange;
using testing_support::countRows;

namespace {

struct Fixture {
    Fixture() : session(folder.session()) {}
    store::Database& db() { return session->db(); }
    QString file(const char* name) const { return folder.file(QString::fromLatin1(name)); }

    // An exchange workbook with the staging titles (or `titles`) and these rows of texts.
    QString workbook(const char* name, const std::vector<std::map<int, QString>>& rows,
                     const std::map<int, QString>& titles = {}, int firstRow = 3) {
        const QString path = file(name);
        WorkbookWriter book(path);
        book.setPlain(0, 0, QStringLiteral("单位"));
        const auto columns = records::stagingColumns(db());
        for (int j = 0; j < int(columns.size()); ++j)
            book.setPlain(1, j, titles.count(j) ? titles.at(j) : columns[std::size_t(j)].name);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (const auto& [column, text] : rows[r])
                book.setText(firstRow - 1 + int(r), column, text);
        }
        book.save();
        return path;
    }
    QVariant staged(int row, const char* column) {
        return db().scalar(QStringLiteral("SELECT %1 FROM wslib0 ORDER BY rowid LIMIT 1 OFFSET ?")
                               .arg(store::quoted(QString::fromUtf8(column))),
                           {row});
    }

    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
};

std::map<int, QString> person(const QString& number, const QString& name) {
    return {{0, number}, {1, name}};
}

} // namespace

TEST(ExchangeImport, ExportedPersonsComeBackColumnByColumn) {
    Fixture f;
    testing_support::addSamplePersons(f.db(), 60);
    const std::vector<QVariantList> before = testing_support::personsInExportOrder(f.db());
    const qint64 photos = countRows(f.db(), QStringLiteral("wslib"), QStringLiteral("\"相片\" IS NOT NULL"));
    const qint64 ids =
        countRows(f.db(), QStringLiteral("wslib"), QStringLiteral("length(\"身份证号码\") = 18"));
    ASSERT_GT(photos, 10);
    ASSERT_GT(ids, 40);
    const QString path = f.file("all.xlsx");
    {
        WorkbookWriter book(path);
        qint64 last = 0;
        writePersons(book, f.db(), QStringLiteral("某单位"), [&](qint64 n, qint64 total) {
            EXPECT_EQ(total, 60);
            last = n;
        });
        EXPECT_EQ(last, 60);
        book.save();
    }
    EXPECT_EQ(stageWorkbook(f.db(), path), 60);
    const records::Replacement done = records::replacePersons(f.db());
    EXPECT_EQ(done.persons, 60);
    EXPECT_EQ(done.photosKept, photos); // every person keeps the photo

    const std::vector<QVariantList> after = testing_support::personsInStoredOrder(f.db());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t r = 0; r < before.size(); ++r) {
        for (int j = 0; j < before[r].size(); ++j) {
            QVariant expected = before[r][j];
            if (expected.typeId() == QMetaType::QString && expected.toString().isEmpty())
                expected = QVariant(); // an empty cell leaves the column unset
            const QVariant& got = after[r][j];
            EXPECT_EQ(got.isNull(), expected.isNull()) << r << "," << j;
            if (!expected.isNull()) {
                EXPECT_EQ(got.toString(), expected.toString()) << r << "," << j;
            }
        }
    }
    EXPECT_EQ(f.db().scalar(QStringLiteral("SELECT \"备注\" FROM wslib WHERE \"备注\" IS NOT NULL LIMIT 1")),
              QVariant(QStringLiteral("第一行\r\n第二行\n第三行 _x0041_ 完")));
    EXPECT_EQ(countRows(f.db(), QStringLiteral("wslib"), QStringLiteral("length(\"身份证号码\") = 18")), ids);
}

TEST(ExchangeImport, AnEmptyTableGivesTheUnitAndTheTitlesOnly) {
    Fixture f;
    f.db().exec(QStringLiteral("DELETE FROM wslib"));
    const QString path = f.file("empty.xlsx");
    WorkbookWriter book(path);
    writePersons(book, f.db(), QStringLiteral("某单位"));
    book.save();
    std::unique_ptr<SheetReader> sheet = openSheet(path, 100);
    SheetRow row;
    ASSERT_TRUE(sheet->next(row));
    EXPECT_EQ(row.cells, std::vector<QString>{QStringLiteral("某单位")});
    ASSERT_TRUE(sheet->next(row));
    EXPECT_EQ(row.number, 2);
    ASSERT_EQ(row.cells.size(), 64u); // never the photo
    EXPECT_EQ(row.cells.front(), QStringLiteral("个人编号"));
    EXPECT_EQ(row.cells.back(), QStringLiteral("归侨"));
    EXPECT_FALSE(sheet->next(row));
}

TEST(ExchangeImport, AMisspeltTitleIsNamedAndStagingKept) {
    Fixture f;
    f.db().exec(QStringLiteral("INSERT INTO wslib0 (\"姓名\") VALUES ('模板')"));
    const QString path = f.workbook("bad.xlsx", {person(QStringLiteral("000001"), QStringLiteral("张三"))},
                                    {{5, QStringLiteral("姓别")}});
    try {
        stageWorkbook(f.db(), path);
        FAIL() << "no mismatch";
    } catch (const TitleMismatch& e) {
        EXPECT_EQ(e.cellText(), QStringLiteral("姓别"));
    }
    EXPECT_EQ(countRows(f.db(), QStringLiteral("wslib0")), 1);
    EXPECT_EQ(f.staged(0, "姓名"), QVariant(QStringLiteral("模板")));
}

TEST(ExchangeImport, ReadingStopsAtTheFirstEmptyA) {
    Fixture f;
    const QString path = f.workbook("gap.xlsx", {person(QStringLiteral("000001"), QStringLiteral("甲")),
                                                 person(QStringLiteral("000002"), QStringLiteral("乙")),
                                                 {{0, QStringLiteral("   ")}, {1, QStringLiteral("丙")}},
                                                 person(QStringLiteral("000004"), QStringLiteral("丁"))});
    UnreadRows unread;
    EXPECT_EQ(stageWorkbook(f.db(), path, {}, &unread), 2);
    EXPECT_EQ(countRows(f.db(), QStringLiteral("wslib0")), 2);
    // What was left is counted from the row that stopped the reading.
    EXPECT_EQ(unread.stoppedAt, 5);
    EXPECT_EQ(unread.count, 2);
    EXPECT_EQ(unreadRowsText(unread),
              QStringLiteral("第5行的A列为空，读取到此为止：从该行起还有2行没有读入。"));
    // A missing row counts as an empty A too.
    const QString skipped =
        f.workbook("skip.xlsx", {person(QStringLiteral("000001"), QStringLiteral("甲"))}, {}, 4);
    EXPECT_EQ(stageWorkbook(f.db(), skipped, {}, &unread), 0);
    EXPECT_EQ(unread.stoppedAt, 3);
    EXPECT_EQ(unread.count, 1);
    // Blank rows at the end leave nothing unread.
    const QString trailing =
        f.workbook("trailing.xlsx", {person(QStringLiteral("000001"), QStringLiteral("甲")),
                                     {{0, QStringLiteral(" ")}, {5, QStringLiteral("  ")}}});
    EXPECT_EQ(stageWorkbook(f.db(), trailing, {}, &unread), 1);
    EXPECT_EQ(unread.count, 0);
}

TEST(ExchangeImport, BlankCellsLeaveColumnsUnsetAndTrueFalseAreYesNo) {
    Fixture f;
    auto row = person(QStringLiteral("000001"), QStringLiteral("甲"));
    row[2] = QStringLiteral("    ");     // 档案编号: blanks only
    row[18] = QStringLiteral("  True "); // yes/no
    row[19] = QStringLiteral("False");
    row[3] = QStringLiteral("True");       // a text column keeps the word
    row[11] = QStringLiteral("  原单位 "); // texts are taken untrimmed
    row[27] = QStringLiteral("2345.5");
    row[7] = QStringLiteral("1950-03-15");
    const QString path = f.workbook("blank.xlsx", {row});
    EXPECT_EQ(stageWorkbook(f.db(), path), 1);
    EXPECT_TRUE(f.staged(0, "档案编号").isNull());
    EXPECT_EQ(f.staged(0, "从事专业技术服务").toLongLong(), 1);
    EXPECT_EQ(f.staged(0, "创办经济实体").toLongLong(), 0);
    EXPECT_TRUE(f.staged(0, "从事社会公益活动").isNull());
    EXPECT_EQ(f.staged(0, "NO"), QVariant(QStringLiteral("True")));
    EXPECT_EQ(f.staged(0, "原工作单位"), QVariant(QStringLiteral("  原单位 ")));
    EXPECT_DOUBLE_EQ(f.staged(0, "基本养老金").toDouble(), 2345.5);
    EXPECT_EQ(f.staged(0, "出生年月"), QVariant(QStringLiteral("1950-03-15")));
}

TEST(ExchangeImport, AWordInADateColumnNamesItsCellAndKeepsEarlierRows) {
    Fixture f;
    auto bad = person(QStringLiteral("000003"), QStringLiteral("丙"));
    bad[7] = QStringLiteral("不详");
    const QString path =
        f.workbook("date.xlsx", {person(QStringLiteral("000001"), QStringLiteral("甲")),
                                 person(QStringLiteral("000002"), QStringLiteral("乙")), bad});
    try {
        stageWorkbook(f.db(), path);
        FAIL() << "no rejection";
    } catch (const CellRejected& e) {
        EXPECT_EQ(e.reference(), QStringLiteral("H5"));
        EXPECT_EQ(e.detail(), QStringLiteral("该列只能填日期，如1950-03-15。"));
    }
    EXPECT_EQ(countRows(f.db(), QStringLiteral("wslib0")), 2);

    auto tooLong = person(QStringLiteral("000001"), QStringLiteral("一二三四五六七八九"));
    try {
        stageWorkbook(f.db(), f.workbook("long.xlsx", {tooLong}));
        FAIL() << "no rejection";
    } catch (const CellRejected& e) {
        EXPECT_EQ(e.reference(), QStringLiteral("B3"));
        EXPECT_EQ(e.detail(), QStringLiteral("该列最多能填8个字。"));
    }
}

TEST(ExchangeImport, ColumnRulesForTypedValues) {
    Fixture f;
    const auto columns = records::stagingColumns(f.db());
    const auto& date = columns[7];
    const auto& number = columns[27];
    const auto& flag = columns[18];
    EXPECT_FALSE(columnValue(date, QStringLiteral("  ")).has_value());
    EXPECT_EQ(*columnValue(date, QStringLiteral("1950-3-5")), QVariant(QStringLiteral("1950-03-05")));
    EXPECT_THROW(columnValue(date, QStringLiteral("1950-13-01")), ValueRejected);
    EXPECT_THROW(columnValue(number, QStringLiteral("十二")), ValueRejected);
    EXPECT_EQ(*columnValue(flag, QStringLiteral("1")), QVariant(true));
    EXPECT_EQ(*columnValue(flag, QStringLiteral(" 是 ")), QVariant(true));
    EXPECT_EQ(*columnValue(flag, QStringLiteral("否")), QVariant(false));
    EXPECT_EQ(*columnValue(columns[3], QStringLiteral("是")), QVariant(QStringLiteral("是"))); // a text stays
    // Lengths count characters: 𠮷 is one, though a QString holds it as two units.
    const QString eight = QStringLiteral("𠮷一二三四五六七");
    ASSERT_EQ(eight.size(), 9);
    EXPECT_EQ(*columnValue(columns[1], eight), QVariant(eight));
    EXPECT_THROW(columnValue(columns[1], eight + QStringLiteral("八")), ValueRejected);

    // What a refused value's column takes, for the operator.
    const std::vector<std::tuple<const store::TableColumn*, const char*, const char*>> refused = {
        {&flag, "也许", "该列只能填“是”、“否”、True或False。"},
        {&number, "十二", "该列只能填数字。"},
        {&date, "不详", "该列只能填日期，如1950-03-15。"},
        {&columns[1], "一二三四五六七八九", "该列最多能填8个字。"},
    };
    for (const auto& [column, text, takes] : refused) {
        try {
            columnValue(*column, QString::fromUtf8(text));
            ADD_FAILURE() << text << " taken";
        } catch (const ValueRejected& e) {
            EXPECT_EQ(e.takes(), QString::fromUtf8(takes)) << text;
        }
    }
}

TEST(ExchangeImport, AFailingPersonLeavesThePersonsTableAsItWas) {
    Fixture f;
    testing_support::addSamplePersons(f.db(), 10);
    const auto before = testing_support::personsInStoredOrder(f.db());
    const qint64 photos = countRows(f.db(), QStringLiteral("wslib"), QStringLiteral("\"相片\" IS NOT NULL"));
    f.db().exec(QStringLiteral("INSERT INTO wslib0 (\"个人编号\", \"姓名\") VALUES ('000001', '甲'), "
                               "('000002', '坏'), ('000003', '丙')"));
    f.db().exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON wslib WHEN NEW.\"姓名\" = '坏' "
                               "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    const auto idIndex = [&] {
        return countRows(f.db(), QStringLiteral("sqlite_master"), QStringLiteral("name = 'wslib_id_number'"));
    };
    ASSERT_EQ(idIndex(), 1);
    EXPECT_THROW(records::replacePersons(f.db()), store::SqlError);
    EXPECT_EQ(testing_support::personsInStoredOrder(f.db()), before);
    EXPECT_EQ(countRows(f.db(), QStringLiteral("wslib"), QStringLiteral("\"相片\" IS NOT NULL")), photos);
    EXPECT_EQ(idIndex(), 1) << "the ID number index, dropped for the load, is back";

    f.db().exec(QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_EQ(records::replacePersons(f.db()).persons, 3);
    EXPECT_EQ(idIndex(), 1);
}

TEST(ExchangeImport, PhotosStayWithTheSameNumberAndName) {
    Fixture f;
    f.db().exec(QStringLiteral(
        "INSERT INTO wslib (\"个人编号\", \"姓名\", \"相片\") VALUES ('000001', '甲', x'01'), ('000002', "
        "'乙', x'02'), "
        "('000003', '丙', x'03'), ('000003', '丙', x'33'), ('000004', '丁', NULL), ('000004', '丁', x'04')"));
    f.db().exec(QStringLiteral("INSERT INTO wslib0 (\"个人编号\", \"姓名\") VALUES ('000001', '甲'), "
                               "('000002', '乙改'), ('000003', '丙'), ('000004', '丁'), ('000005', '戊')"));
    const records::Replacement done = records::replacePersons(f.db());
    EXPECT_EQ(done.persons, 5);
    EXPECT_EQ(done.photosKept, 2);
    const auto photo = [&](const char* number) {
        return f.db().scalar(QStringLiteral("SELECT hex(\"相片\") FROM wslib WHERE \"个人编号\" = ?"),
                             {QString::fromLatin1(number)});
    };
    EXPECT_EQ(photo("000001"), QVariant(QStringLiteral("01")));
    EXPECT_EQ(photo("000002"), QVariant(QString()));            // the name changed (hex of Null is empty)
    EXPECT_EQ(photo("000003"), QVariant(QStringLiteral("03"))); // the first in stored order
    EXPECT_EQ(photo("000004"), QVariant(QString()));
    EXPECT_EQ(countRows(f.db(), QStringLiteral("wslib")), 5);
    EXPECT_EQ(f.db().scalar(QStringLiteral(
                  "SELECT group_concat(\"姓名\", '') FROM (SELECT \"姓名\" FROM wslib ORDER BY rowid)")),
              QVariant(QStringLiteral("甲乙改丙丁戊")));
}

TEST(ExchangeImport, AnOlderXlsWorkbookImports) {
    Fixture f;
    EXPECT_EQ(stageWorkbook(f.db(), QStringLiteral(TESSALY_FIXTURES "/persons.xls")), 2);
    EXPECT_EQ(f.staged(0, "姓名"), QVariant(QStringLiteral("王小明")));
    EXPECT_EQ(f.staged(0, "出生年月"), QVariant(QStringLiteral("1950-03-15")));
    EXPECT_EQ(f.staged(0, "身份证号码"), QVariant(QStringLiteral("010105195003150021")));
    EXPECT_EQ(f.staged(0, "劳模").toLongLong(), 1);
    EXPECT_DOUBLE_EQ(f.staged(0, "基本养老金").toDouble(), 2345.5);
    EXPECT_EQ(f.staged(1, "民族"), QVariant(QStringLiteral("回族")));
    EXPECT_EQ(f.staged(1, "出生年月"), QVariant(QStringLiteral("1948-11-02")));
    EXPECT_EQ(f.staged(1, "劳模").toLongLong(), 0);
    EXPECT_EQ(records::replacePersons(f.db()).persons, 2);
}
