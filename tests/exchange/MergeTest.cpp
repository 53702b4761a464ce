#include "TestFolder.h"
#include "exchange/JetFixtures.h"

#include "exchange/Merge.h"
#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "records/PersonColumns.h"
#include "store/Database.h"

#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace exchange;
using testing_support::countRows;
using testing_support::TestFolder;

namespace {

const QString kPassword = QString::fromLatin1(store::Database::kPassword);

// Appends one person; values by column name, the rest Null.
qint64 addPerson(store::Database& db, const std::map<QString, QVariant>& values) {
    QStringList names;
    QStringList marks;
    QVariantList params;
    for (const auto& [name, value] : values) {
        names << store::quoted(name);
        marks << QStringLiteral("?");
        params << value;
    }
    db.exec(QStringLiteral("INSERT INTO wslib (%1) VALUES (%2)")
                .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
            params);
    return db.lastInsertRowId();
}

qint64 addPerson(store::Database& db, const QVariant& number, const QVariant& name,
                 const QString& address = QString()) {
    return addPerson(db, {{QStringLiteral("个人编号"), number},
                          {QStringLiteral("姓名"), name},
                          {QStringLiteral("现居住地"), address}});
}

// Every person, every column, in stored order.
QList<QVariantList> dump(store::Database& db) {
    QList<QVariantList> rows;
    store::Statement st = db.prepare(QStringLiteral("SELECT * FROM wslib ORDER BY rowid"));
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i < st.columnCount(); ++i)
            row << st.value(i);
        rows << row;
    }
    return rows;
}

QVariant cell(store::Database& db, qint64 rowid, const QString& column) {
    return db.scalar(QStringLiteral("SELECT %1 FROM wslib WHERE rowid = ?").arg(store::quoted(column)),
                     {rowid});
}

// The merge as the behaviour describes it: every source row scans the whole target, rows added
// during the merge included, and overwrites every match.
MergeCounts straightforwardMerge(store::Database& target, const QString& sourcePath) {
    store::Database source(sourcePath);
    QStringList names;
    for (int i = 0; i <= 60; ++i)
        names << store::quoted(records::personColumn(i).columnName());
    MergeCounts counts;
    store::Transaction tx(target);
    store::Statement rows = source.prepare(
        QStringLiteral("SELECT %1 FROM wslib ORDER BY rowid").arg(names.join(QLatin1Char(','))));
    while (rows.step()) {
        QVariantList s;
        for (int i = 0; i <= 60; ++i)
            s << rows.value(i);
        bool matched = false;
        store::Statement scan =
            target.prepare(QStringLiteral("SELECT rowid, \"个人编号\", \"姓名\" FROM wslib ORDER BY rowid"));
        std::vector<qint64> hits;
        while (scan.step()) {
            if (scan.isNull(1) || scan.isNull(2) || s[0].isNull() || s[1].isNull())
                continue;
            if (scan.text(1) == s[0].toString() && scan.text(2) == s[1].toString())
                hits.push_back(scan.integer(0));
        }
        for (const qint64 rowid : hits) {
            QStringList sets;
            for (const QString& n : names)
                sets << n + QStringLiteral("=?");
            QVariantList params = s;
            params << rowid;
            target.exec(QStringLiteral("UPDATE wslib SET %1 WHERE rowid=?").arg(sets.join(QLatin1Char(','))),
                        params);
            ++counts.updated;
            matched = true;
        }
        if (!matched) {
            QStringList marks(61, QStringLiteral("?"));
            target.exec(QStringLiteral("INSERT INTO wslib (%1) VALUES (%2)")
                            .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                        s);
            ++counts.added;
        }
        ++counts.processed;
    }
    tx.commit();
    return counts;
}

MergeCounts merge(store::Database& target, const QString& sourcePath) {
    const std::unique_ptr<SourceDatabase> source = SourceDatabase::open(sourcePath, kPassword);
    return mergePersons(target, *source);
}

struct Pair {
    TestFolder targetFolder;
    TestFolder sourceFolder;
    std::unique_ptr<store::Session> target = targetFolder.session();
    std::unique_ptr<store::Session> source = sourceFolder.session();
    store::Database& t() { return target->db(); }
    store::Database& s() { return source->db(); }
    QString sourcePath() { return sourceFolder.file(QStringLiteral("lib.mdb")); }
};

} // namespace

TEST(Merge, MatchesOnNumberAndNameExactlyAndNeverOnNull) {
    Pair p;
    const qint64 li =
        addPerson(p.t(), QStringLiteral("000001"), QStringLiteral("Li"), QStringLiteral("旧地址"));
    const qint64 blank =
        addPerson(p.t(), QStringLiteral("000002"), QStringLiteral("王芳"), QStringLiteral("旧地址"));
    const qint64 nullName = addPerson(p.t(), QStringLiteral("000003"), QVariant(), QStringLiteral("旧地址"));
    const qint64 empty =
        addPerson(p.t(), QStringLiteral("000004"), QStringLiteral(""), QStringLiteral("旧地址"));

    addPerson(p.s(), QStringLiteral("000001"), QStringLiteral("LI"), QStringLiteral("新一")); // case differs
    addPerson(p.s(), QStringLiteral("000002"), QStringLiteral("王芳 "),
              QStringLiteral("新二"));                                              // blank differs
    addPerson(p.s(), QStringLiteral("000003"), QVariant(), QStringLiteral("新三")); // Null never matches
    addPerson(p.s(), QStringLiteral("000004"), QStringLiteral(""),
              QStringLiteral("新四")); // empty is a value
    addPerson(p.s(), QStringLiteral("000001"), QStringLiteral("Li"), QStringLiteral("新五"));

    const MergeCounts counts = merge(p.t(), p.sourcePath());
    EXPECT_EQ(counts.updated, 2);
    EXPECT_EQ(counts.added, 3);
    EXPECT_EQ(counts.processed, 5);
    EXPECT_EQ(cell(p.t(), li, QStringLiteral("现居住地")), QVariant(QStringLiteral("新五")));
    EXPECT_EQ(cell(p.t(), blank, QStringLiteral("现居住地")), QVariant(QStringLiteral("旧地址")));
    EXPECT_EQ(cell(p.t(), nullName, QStringLiteral("现居住地")), QVariant(QStringLiteral("旧地址")));
    EXPECT_EQ(cell(p.t(), empty, QStringLiteral("现居住地")), QVariant(QStringLiteral("新四")));
    EXPECT_EQ(countRows(p.t(), QStringLiteral("wslib")), 7);
    EXPECT_EQ(countRows(p.t(), QStringLiteral("wslib"), QStringLiteral("\"姓名\" = 'LI' COLLATE BINARY")), 1);
}

TEST(Merge, EveryMatchingRowIsOverwrittenAndAddedRowsMatchLaterSourceRows) {
    Pair p;
    const qint64 first =
        addPerson(p.t(), QStringLiteral("000007"), QStringLiteral("张三"), QStringLiteral("甲"));
    const qint64 second =
        addPerson(p.t(), QStringLiteral("000007"), QStringLiteral("张三"), QStringLiteral("乙"));
    addPerson(p.s(), QStringLiteral("000007"), QStringLiteral("张三"), QStringLiteral("丙"));
    addPerson(p.s(), QStringLiteral("000007"), QStringLiteral("张四"), QStringLiteral("丁")); // number only
    addPerson(p.s(), QStringLiteral("000007"), QStringLiteral("张四"),
              QStringLiteral("戊")); // matches the row just added

    const MergeCounts counts = merge(p.t(), p.sourcePath());
    EXPECT_EQ(counts.updated, 3) << "two equal target rows count twice, the added row once";
    EXPECT_EQ(counts.added, 1);
    EXPECT_EQ(cell(p.t(), first, QStringLiteral("现居住地")), QVariant(QStringLiteral("丙")));
    EXPECT_EQ(cell(p.t(), second, QStringLiteral("现居住地")), QVariant(QStringLiteral("丙")));
    EXPECT_EQ(countRows(p.t(), QStringLiteral("wslib"),
                        QStringLiteral("\"姓名\" = '张四' AND \"现居住地\" = '戊'")),
              1);
    EXPECT_EQ(countRows(p.t(), QStringLiteral("wslib")), 3);
}

TEST(Merge, OnlyColumnsUpToSixtyAreCopied) {
    Pair p;
    const QByteArray photo("\xFF\xD8\xFF\xE0 old photo", 15);
    const qint64 kept = addPerson(p.t(), {{QStringLiteral("个人编号"), QStringLiteral("000001")},
                                          {QStringLiteral("姓名"), QStringLiteral("赵敏")},
                                          {QStringLiteral("社区名称"), QStringLiteral("东城社区")},
                                          {QStringLiteral("工作时间"), QStringLiteral("1970-09-01")},
                                          {QStringLiteral("指纹存档"), true},
                                          {QStringLiteral("归侨"), true},
                                          {QStringLiteral("相片"), photo}});
    addPerson(p.s(), {{QStringLiteral("个人编号"), QStringLiteral("000001")},
                      {QStringLiteral("姓名"), QStringLiteral("赵敏")},
                      {QStringLiteral("社区名称"), QStringLiteral("西城社区")},
                      {QStringLiteral("基本养老金"), 1734.3},
                      {QStringLiteral("出生年月"), QStringLiteral("1950-03-15")},
                      {QStringLiteral("工作时间"), QStringLiteral("1980-01-01")},
                      {QStringLiteral("指纹存档"), false},
                      {QStringLiteral("归侨"), false},
                      {QStringLiteral("相片"), QByteArray("other")}});
    addPerson(p.s(), {{QStringLiteral("个人编号"), QStringLiteral("000002")},
                      {QStringLiteral("姓名"), QStringLiteral("钱多")},
                      {QStringLiteral("工作时间"), QStringLiteral("1980-01-01")},
                      {QStringLiteral("归侨"), true},
                      {QStringLiteral("相片"), QByteArray("photo of the source")}});

    const MergeCounts counts = merge(p.t(), p.sourcePath());
    EXPECT_EQ(counts.updated, 1);
    EXPECT_EQ(counts.added, 1);
    EXPECT_EQ(cell(p.t(), kept, QStringLiteral("社区名称")), QVariant(QStringLiteral("西城社区")));
    EXPECT_DOUBLE_EQ(cell(p.t(), kept, QStringLiteral("基本养老金")).toDouble(), 1734.3);
    EXPECT_EQ(cell(p.t(), kept, QStringLiteral("出生年月")), QVariant(QStringLiteral("1950-03-15")));
    EXPECT_EQ(cell(p.t(), kept, QStringLiteral("工作时间")), QVariant(QStringLiteral("1970-09-01")));
    EXPECT_EQ(cell(p.t(), kept, QStringLiteral("指纹存档")).toLongLong(), 1);
    EXPECT_EQ(cell(p.t(), kept, QStringLiteral("归侨")).toLongLong(), 1);
    EXPECT_EQ(cell(p.t(), kept, QStringLiteral("相片")).toByteArray(), photo);
    const qint64 added =
        p.t().scalar(QStringLiteral("SELECT rowid FROM wslib WHERE \"个人编号\" = '000002'")).toLongLong();
    for (const char* late : {"工作时间", "指纹存档", "归侨", "相片"})
        EXPECT_TRUE(cell(p.t(), added, QString::fromUtf8(late)).isNull()) << late;
}

TEST(Merge, CopyOfTheOwnFileUpdatesEveryKeyedRowAndAddsTheOthersAgain) {
    Pair p;
    addPerson(p.t(), QStringLiteral("000001"), QStringLiteral("甲"));
    addPerson(p.t(), QStringLiteral("000002"), QStringLiteral("乙"));
    addPerson(p.t(), QVariant(), QStringLiteral("丙"));
    addPerson(p.t(), QStringLiteral("000004"), QVariant());
    const QString copy = p.targetFolder.file(QStringLiteral("copy.mdb"));
    ASSERT_TRUE(QFile::copy(p.targetFolder.file(QStringLiteral("lib.mdb")), copy));

    const MergeCounts counts = merge(p.t(), copy);
    EXPECT_EQ(counts.updated, 2);
    EXPECT_EQ(counts.added, 2);
    EXPECT_EQ(countRows(p.t(), QStringLiteral("wslib")), 6);

    // The live file itself reads as it was when the merge began.
    const MergeCounts again = merge(p.t(), p.targetFolder.file(QStringLiteral("lib.mdb")));
    EXPECT_EQ(again.updated, 2);
    EXPECT_EQ(again.added, 4);
}

TEST(Merge, EmptySourceChangesNothing) {
    Pair p;
    addPerson(p.t(), QStringLiteral("000001"), QStringLiteral("甲"));
    const auto before = dump(p.t());
    const MergeCounts counts = merge(p.t(), p.sourcePath());
    EXPECT_EQ(counts.updated, 0);
    EXPECT_EQ(counts.added, 0);
    EXPECT_EQ(mergeResultText(counts), QStringLiteral("共更新了0条记录！  增加了0条记录！"));
    EXPECT_EQ(dump(p.t()), before);
}

TEST(Merge, ProgressTextAndCounts) {
    EXPECT_EQ(mergeProgressText(1, 200), QStringLiteral("正在合并，请稍候....5%"));
    EXPECT_EQ(mergeProgressText(1, 8), QStringLiteral("正在合并，请稍候...12.5%"));
    EXPECT_EQ(mergeProgressText(3, 3), QStringLiteral("正在合并，请稍候...100.0%"));
    EXPECT_EQ(mergeResultText({61, 140, 201}), QStringLiteral("共更新了61条记录！  增加了140条记录！"));

    Pair p;
    for (int i = 0; i < 8; ++i)
        addPerson(p.s(), QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), QStringLiteral("某"));
    const std::unique_ptr<SourceDatabase> source = SourceDatabase::open(p.sourcePath(), kPassword);
    store::JobControl control;
    mergePersons(p.t(), *source, control);
    const std::optional<store::Progress> last = control.takeLatest();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->done, 8);
    EXPECT_EQ(last->total, 8);
    EXPECT_EQ(last->text, QStringLiteral("正在合并，请稍候...100.0%"));
}

TEST(Merge, SameResultAsTheStraightforwardScanOnGeneratedFiles) {
    Pair p;
    TestFolder referenceFolder;
    auto reference = referenceFolder.session();
    std::mt19937 random(13);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const QStringList names = {QStringLiteral("Li"),   QStringLiteral("LI"),      QStringLiteral("li "),
                               QStringLiteral("王芳"), QStringLiteral("王芳 "),   QStringLiteral(""),
                               QStringLiteral("张三"), QStringLiteral("欧阳建国")};
    auto person = [&](int i) -> std::map<QString, QVariant> {
        const int roll = pick(20);
        return {
            {QStringLiteral("个人编号"),
             roll == 0 ? QVariant() : QVariant(QStringLiteral("%1").arg(pick(40), 6, 10, QLatin1Char('0')))},
            {QStringLiteral("姓名"), roll == 1 ? QVariant() : QVariant(names[pick(int(names.size()))])},
            {QStringLiteral("现居住地"), QStringLiteral("地址%1").arg(i)},
            {QStringLiteral("基本养老金"), pick(5) == 0 ? QVariant() : QVariant(1000.5 + i)},
            {QStringLiteral("出生年月"),
             QStringLiteral("19%1-0%2-1%3").arg(30 + pick(30)).arg(1 + pick(9)).arg(pick(10))},
            {QStringLiteral("劳模"), bool(pick(2))},
            {QStringLiteral("备注"), QStringLiteral("第%1行\r\n第二行").arg(i)},
            {QStringLiteral("工作时间"), QStringLiteral("1970-01-01")},
            {QStringLiteral("相片"), pick(4) == 0 ? QVariant(QByteArray(20, char(i))) : QVariant()}};
    };
    {
        store::Transaction a(p.t()), b(reference->db()), c(p.s());
        for (int i = 0; i < 150; ++i) {
            const auto values = person(i);
            addPerson(p.t(), values);
            addPerson(reference->db(), values);
        }
        for (int i = 0; i < 200; ++i)
            addPerson(p.s(), person(1000 + i));
        a.commit();
        b.commit();
        c.commit();
    }

    const MergeCounts fast = merge(p.t(), p.sourcePath());
    const MergeCounts slow = straightforwardMerge(reference->db(), p.sourcePath());
    EXPECT_EQ(fast.updated, slow.updated);
    EXPECT_EQ(fast.added, slow.added);
    EXPECT_EQ(fast.processed, 200);
    EXPECT_GT(fast.updated, 20) << "the generated pair must exercise matching";
    EXPECT_GT(fast.added, 20);
    EXPECT_EQ(dump(p.t()), dump(reference->db()));
}

TEST(Merge, ARefusedRowMergesNothingAndIsNamed) {
    struct Case {
        const char* what;
        std::map<QString, QVariant> bad; // the third source row, 000001 甲 for an update
        const char* trigger;
        int column;
        QString cause;
    };
    const Case cases[] = {
        {"a rule of the database",
         {{QStringLiteral("个人编号"), QStringLiteral("000003")},
          {QStringLiteral("姓名"), QStringLiteral("坏")}},
         "CREATE TRIGGER refuse BEFORE INSERT ON wslib WHEN NEW.\"姓名\" = '坏' BEGIN SELECT RAISE(ABORT, "
         "'不收此人'); END",
         -1,
         QStringLiteral("选择的库中第3个人员（个人编号“000003”，姓名“坏”）被本库的数据库规则拒绝：不收此人")},
        {"a date that is no day",
         {{QStringLiteral("个人编号"), QVariant()},
          {QStringLiteral("姓名"), QStringLiteral("丙")},
          {QStringLiteral("出生年月"), QStringLiteral("1950-13-01")}},
         nullptr,
         7,
         QStringLiteral("选择的库中第3个人员（个人编号（空），姓名“丙”）的“出生年月”不能存入本库："
                        "“1950-13-01”不是正确的日期。")},
        {"a text too long, on an update",
         {{QStringLiteral("个人编号"), QStringLiteral("000001")},
          {QStringLiteral("姓名"), QStringLiteral("甲")},
          {QStringLiteral("身份证号码"), QStringLiteral("4202811935062353781")}},
         nullptr,
         8,
         QStringLiteral("选择的库中第3个人员（个人编号“000001”，姓名“甲”）的“身份证号码”不能存入本库："
                        "“4202811935062353781”超过了18个字。")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pair p;
        addPerson(p.t(), QStringLiteral("000001"), QStringLiteral("甲"), QStringLiteral("旧"));
        // Another office's copy whose table lacks our checks.
        p.s().exec(QStringLiteral("CREATE TABLE loose AS SELECT * FROM wslib"));
        p.s().exec(QStringLiteral("DROP TABLE wslib"));
        p.s().exec(QStringLiteral("ALTER TABLE loose RENAME TO wslib"));
        addPerson(p.s(), QStringLiteral("000001"), QStringLiteral("甲"), QStringLiteral("新"));
        addPerson(p.s(), QStringLiteral("000002"), QStringLiteral("乙"));
        addPerson(p.s(), c.bad);
        if (c.trigger)
            p.t().exec(QString::fromUtf8(c.trigger));
        const auto before = dump(p.t());
        try {
            merge(p.t(), p.sourcePath());
            ADD_FAILURE() << "merged";
        } catch (const MergeRefused& e) {
            EXPECT_EQ(e.row(), 3);
            EXPECT_EQ(e.column(), c.column);
            EXPECT_EQ(mergeFailureCause(e), c.cause);
        }
        EXPECT_EQ(dump(p.t()), before);
    }
}

TEST(Merge, ASourceWithoutOneOfTheColumnsIsRefused) {
    Pair p;
    p.s().exec(QStringLiteral("DROP TABLE wslib"));
    p.s().exec(QStringLiteral(
        "CREATE TABLE wslib (\"个人编号\" TEXT(12), \"姓名\" TEXT(8), \"档案编号\" TEXT(12))"));
    p.s().exec(QStringLiteral("INSERT INTO wslib VALUES ('000001', '甲', 'A1')"));
    try {
        merge(p.t(), p.sourcePath());
        FAIL() << "merged a source without the persons columns";
    } catch (const SourceError& e) {
        EXPECT_EQ(e.kind(), SourceFailure::MissingColumn);
    }
    EXPECT_EQ(countRows(p.t(), QStringLiteral("wslib")), 0);
}

TEST(Merge, RefusesFilesItCannotRead) {
    Pair p;
    const QString text = p.targetFolder.file(QStringLiteral("notes.mdb"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database at all");
    f.close();
    EXPECT_THROW(merge(p.t(), text), SourceError);
    EXPECT_THROW(merge(p.t(), testing_support::jetFixture(QStringLiteral("legacy_lib_v4_wrongpw.mdb"))),
                 SourceError);
    EXPECT_EQ(countRows(p.t(), QStringLiteral("wslib")), 0);
}

TEST(Merge, LegacyJetCopyOfAnotherOfficeIsTakenOverByColumnName) {
    TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    // The persons of the previous version's file as the upgrade leaves them (000137 twice).
    upgradeFrom(db, *SourceDatabase::open(testing_support::jetFixture(QStringLiteral("legacy_lib_v4.mdb")),
                                          kPassword));
    db.exec(QStringLiteral("UPDATE wslib SET \"相片\" = x'FFD8FF' WHERE \"个人编号\" = '000137'"));
    const QString address =
        db.scalar(QStringLiteral("SELECT \"现居住地\" FROM wslib WHERE \"个人编号\" = '000137'")).toString();

    const MergeCounts counts =
        merge(db, testing_support::jetFixture(QStringLiteral("legacy_lib_v4_other_office.mdb")));
    const auto expected = testing_support::legacyExpected(QStringLiteral("merge"));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(counts.updated, expected.value(QStringLiteral("updated")).toLongLong());
    EXPECT_EQ(counts.added, expected.value(QStringLiteral("added")).toLongLong());
    EXPECT_EQ(counts.processed, 200);
    EXPECT_EQ(countRows(db, QStringLiteral("wslib")), expected.value(QStringLiteral("after")).toLongLong());
    // Identity numbers came over under their own name, not into 档案编号.
    EXPECT_EQ(countRows(db, QStringLiteral("wslib"), QStringLiteral("length(\"档案编号\") > 12")), 0);
    {
        // ... and hold the other office's numbers, person by person.
        const auto other = SourceDatabase::open(
            testing_support::jetFixture(QStringLiteral("legacy_lib_v4_other_office.mdb")), kPassword);
        const auto persons = other->table(QStringLiteral("wslib"));
        const int number = persons->columnIndex(QStringLiteral("个人编号"));
        const int id = persons->columnIndex(QStringLiteral("身份证号码"));
        QMap<QString, QString> ids;
        QVariantList row;
        while (persons->next(row))
            ids[row[number].toString()] = row[id].toString();
        store::Statement added = db.prepare(QStringLiteral(
            "SELECT \"个人编号\", \"身份证号码\" FROM wslib WHERE \"个人编号\" >= '000302' ORDER BY rowid"));
        int withId = 0;
        while (added.step()) {
            EXPECT_EQ(added.text(1), ids.value(added.text(0))) << added.text(0).toStdString();
            withId += added.text(1).size() == 18 ? 1 : 0;
        }
        EXPECT_GT(withId, 100);
    }
    // Updated persons keep their photo; added ones have none although the other office has some.
    EXPECT_EQ(
        countRows(db, QStringLiteral("wslib"),
                  QStringLiteral("\"个人编号\" = '000137' AND \"相片\" = x'FFD8FF' AND \"现居住地\" <> ?")
                      .replace(QStringLiteral("?"), QStringLiteral("'%1'").arg(address))),
        2);
    EXPECT_EQ(countRows(db, QStringLiteral("wslib"),
                        QStringLiteral("\"个人编号\" >= '000302' AND \"相片\" IS NOT NULL")),
              0);
}
