#include "ProgramTables.h"
#include "QueryFixture.h"
#include "records/PersonColumns.h"
#include "records/PersonsStats.h"
#include "records/PersonsTable.h"
#include "store/RowScan.h"

#include "categories/CategoryTable.h"
#include "stats/Report.h"
#include "stats/StatisticsWindow.h"
#include "store/CodePage.h"
#include "store/JetValues.h"
#include "store/RowScan.h"
#include "store/Schema.h"
#include "ui/JobRunner.h"
#include "ui/ScriptedDialogs.h"

#include <QFile>
#include <QListWidget>

#include <random>

#include <gtest/gtest.h>

using namespace stats;

namespace {

QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}
QString bars(int n) {
    return QString(n, QLatin1Char('='));
}
const QString kRule = QString(77, QLatin1Char('_'));
QString total(int persons) {
    return QStringLiteral("  合      计") + blanks(28) + QString::number(persons) + QStringLiteral("人") +
           blanks(19) + QStringLiteral("100%");
}

} // namespace

TEST(Report, LayoutHelpers) {
    EXPECT_EQ(store::displayWidth(QStringLiteral("出生年月 统计结果")), 17);
    EXPECT_EQ(store::displayWidth(QStringLiteral("非空的个数：")), 12);
    EXPECT_EQ(titleLine(QStringLiteral("出生年月")).count(QLatin1Char('=')), 60) << "29.5 goes to 30";
    EXPECT_EQ(titleLine(QStringLiteral("基本养老金")).count(QLatin1Char('=')), 56) << "28.5 goes to 28";
    EXPECT_EQ(padTo(QStringLiteral("1.男"), 40).size(), 3 + 36);
    EXPECT_EQ(padTo(QString(50, QLatin1Char('x')), 40).size(), 50);
    EXPECT_EQ(store::formatHashDotZero(0), QStringLiteral(".0"));
    EXPECT_EQ(store::formatHashDotZero(12.35), QStringLiteral("12.4"));
    EXPECT_EQ(store::formatHashDotZero(100), QStringLiteral("100.0"));
}

TEST(Report, ExactTextForEachKindOfItem) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    auto& db = session->db();
    testing_support::addFivePersons(db);
    db.exec(QStringLiteral("INSERT INTO km VALUES (24, '劳模', '是', '劳模'), (24, '劳模', '否', '劳模')"));

    const QString report =
        buildReport(db,
                    {QStringLiteral("性别"), QStringLiteral("劳模"), QStringLiteral("出生年月"),
                     QStringLiteral("基本养老金"), QStringLiteral(" 姓名 ")},
                    5, 2026);
    const QStringList expected = {
        bars(32) + QStringLiteral("性别 统计结果") + bars(32),
        QStringLiteral("1.男") + blanks(36) + QStringLiteral("3人") + blanks(17) +
            QStringLiteral("占： 60.00%"),
        QStringLiteral("2.女") + blanks(36) + QStringLiteral("2人") + blanks(17) +
            QStringLiteral("占： 40.00%"),
        kRule,
        total(5),
        QString(),
        QString(),
        bars(32) + QStringLiteral("劳模 统计结果") + bars(32),
        QStringLiteral("1.是") + blanks(36) + QStringLiteral("2人") + blanks(17) +
            QStringLiteral("占： 40.00%"),
        QStringLiteral("2.否") + blanks(36) + QStringLiteral("3人") + blanks(17) +
            QStringLiteral("占： 60.00%"),
        kRule,
        total(5),
        QString(),
        QString(),
        bars(30) + QStringLiteral("出生年月 统计结果") + bars(30),
        QStringLiteral("1.1950年") + blanks(32) + QStringLiteral("2人") + blanks(17) +
            QStringLiteral("占： 40.00%"),
        QStringLiteral("2.1955年") + blanks(32) + QStringLiteral("1人") + blanks(17) +
            QStringLiteral("占： 20.00%"),
        QStringLiteral("3.1962年") + blanks(32) + QStringLiteral("1人") + blanks(17) +
            QStringLiteral("占： 20.00%"),
        QStringLiteral("4.其他") + blanks(34) + QStringLiteral("1人") + blanks(17) +
            QStringLiteral("占： 20.00%"),
        kRule,
        total(5),
        QString(),
        QString(),
        bars(28) + QStringLiteral("基本养老金 统计结果") + bars(28),
        QStringLiteral("非空的个数：") + blanks(28) + QStringLiteral("3.00"),
        QStringLiteral("总和：") + blanks(34) + QStringLiteral("4500.50"),
        QStringLiteral("平均值：") + blanks(32) + QStringLiteral("1500.17"),
        QStringLiteral("最大值：") + blanks(32) + QStringLiteral("2000.50"),
        QStringLiteral("最小值：") + blanks(32) + QStringLiteral("1000.00"),
        kRule,
        QString(),
        QString(),
        bars(30) + QStringLiteral(" 姓名  统计结果") + bars(30),
        QStringLiteral("1.其他") + blanks(34) + QStringLiteral("5人") + blanks(17) +
            QStringLiteral("占： 100.00%"),
        kRule,
        total(5),
        QString(),
        QString(),
    };
    const QStringList lines = report.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), expected.size() + 1) << report.toStdString();
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines.at(i), expected.at(i)) << "line " << i;
    EXPECT_TRUE(lines.last().isEmpty());
    EXPECT_FALSE(report.contains(QLatin1Char('\n') + QString()) && report.contains(QStringLiteral("\n\n")));
}

TEST(Report, EmptyListsAndZeroColumns) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    auto& db = session->db();
    EXPECT_EQ(buildReport(db, {}, 0, 2026), QString());
    db.exec(QStringLiteral("INSERT INTO wslib(\"基本养老金\") VALUES (0), (NULL), (0)"));
    const QStringList lines =
        buildReport(db, {QStringLiteral("基本养老金")}, 3, 2026).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.at(1), QStringLiteral("非空的个数：") + blanks(28) + QStringLiteral("0.00"));
    EXPECT_EQ(lines.at(2), QStringLiteral("总和：") + blanks(34));
    EXPECT_EQ(lines.at(5), QStringLiteral("最小值：") + blanks(32));
}

TEST(StatisticsWindow, BuildsAndWritesTheReport) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    testing_support::addFivePersons(session->db());
    StatisticsWindow window(*session);
    QString opened;
    window.openInEditor = [&](const QString& path) {
        opened = path;
        return true;
    };
    EXPECT_EQ(window.windowTitle(), QStringLiteral("资料统计"));
    auto* list1 = window.findChild<QListWidget*>(QStringLiteral("List1"));
    auto* list2 = window.findChild<QListWidget*>(QStringLiteral("List2"));
    EXPECT_EQ(list1->count(), 65);
    list1->setCurrentRow(5);
    window.addItem();
    window.addItem();
    EXPECT_EQ(list2->count(), 2) << "an item may be added twice";
    list2->setCurrentRow(1);
    window.removeItem();
    // Counted on a job's read-only connection, not on the window's.
    std::vector<bool> jobConnections;
    const auto previous =
        ui::setJobConnectionHook([&](store::Database& own) { jobConnections.push_back(own.isReadOnly()); });
    window.buildReport();
    ui::setJobConnectionHook(previous);
    EXPECT_EQ(jobConnections, std::vector<bool>{true});
    EXPECT_TRUE(window.report().startsWith(bars(32) + QStringLiteral("性别 统计结果")));
    window.output();
    EXPECT_EQ(opened, folder.file(QStringLiteral("tongji.txt")));
    QFile file(opened);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith("100%\r\n\r\n\r\n\r\n")) << "the report and one more line break";
    EXPECT_EQ(store::fromGbk(bytes).left(32), bars(32));
    EXPECT_TRUE(bytes.contains(store::toGbk(QStringLiteral("占： 60.00%"))));
    window.leave();
    EXPECT_EQ(
        session->db().scalar(QStringLiteral("SELECT group_concat(\"操作内容\") FROM \"user\"")).toString(),
        QStringLiteral("进入统计系统,退出统计系统"));
}

TEST(ReportRounding, SharesOnAHalfRoundAwayFromZeroExactly) {
    EXPECT_EQ(stats::percentOf(23, 160), QStringLiteral("14.38")); // exactly 14.375
    EXPECT_EQ(stats::percentOf(1, 8), QStringLiteral("12.50"));
    EXPECT_EQ(stats::percentOf(1, 3), QStringLiteral("33.33"));
    EXPECT_EQ(stats::percentOf(2, 3), QStringLiteral("66.67"));
    EXPECT_EQ(stats::percentOf(7, 7), QStringLiteral("100.00"));
    EXPECT_EQ(stats::percentOf(0, 0), QStringLiteral("0.00"));
    // Every share of up to 400 persons against exact rational rounding.
    for (qint64 persons = 1; persons <= 400; ++persons) {
        for (qint64 count = 0; count <= persons; ++count) {
            const qint64 cents = (count * 20000 + persons) / (2 * persons);
            const QString expected =
                QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
            ASSERT_EQ(stats::percentOf(count, persons), expected) << count << " of " << persons;
        }
    }
}

TEST(ReportRounding, AggregatesAreSummedInDecimal) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    // 1.005 and 2.675 lie on a half in decimal; as binary numbers they lie just below it.
    for (double v : {1.005, 2.675})
        session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"基本养老金\") VALUES ('1', ?)"),
                           {v});
    const QString report = stats::buildReport(session->db(), {QStringLiteral("基本养老金")}, 2, 2008, {});
    EXPECT_TRUE(
        report.contains(QStringLiteral("总和：") + QString(34, QLatin1Char(' ')) + QStringLiteral("3.68")))
        << report.toStdString();
    EXPECT_TRUE(
        report.contains(QStringLiteral("最小值：") + QString(32, QLatin1Char(' ')) + QStringLiteral("1.01")))
        << report.toStdString();
    EXPECT_TRUE(
        report.contains(QStringLiteral("最大值：") + QString(32, QLatin1Char(' ')) + QStringLiteral("2.68")))
        << report.toStdString();
}

TEST(ReportRounding, CountingThatFailsIsMarkedNotShownAsZeros) {
    testing_support::TestFolder folder;
    {
        auto session = folder.session();
        store::Transaction tx(session->db());
        for (int i = 1; i <= 400; ++i)
            session->db().exec(
                QStringLiteral("INSERT INTO wslib(\"个人编号\", \"性别\", \"备注\") VALUES (?, '男', ?)"),
                {QString::number(i), QString(1500, QLatin1Char('x'))});
        tx.commit();
    }
    QFile file(folder.file(QStringLiteral("lib.mdb")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 pages = file.size() / 4096;
    for (qint64 page = pages / 2; page < pages / 2 + 8; ++page) {
        file.seek(page * 4096 + 100);
        file.write(QByteArray(2000, '\x5a'));
    }
    file.close();
    auto session = folder.session();
    // 备注 is read from the damaged rows themselves (性别 alone could come from its index).
    const QString report =
        stats::buildReport(session->db(), {QStringLiteral("性别"), QStringLiteral("备注")}, 400, 2008, {});
    EXPECT_TRUE(report.contains(stats::kNotCounted)) << report.toStdString();
    EXPECT_FALSE(report.contains(QStringLiteral("合      计")));
}

namespace {

// The report as one query per listed value, year and aggregate would make it: the reference the
// one-pass count must equal.
QString perItemReport(store::Database& db, const QStringList& items, qint64 persons, int lastYear) {
    const auto line = [&](const QString& label, qint64 count) {
        return padTo(padTo(label, 40) + QString::number(count) + QStringLiteral("人"), 60) +
               QStringLiteral("占： ") + percentOf(count, persons) + QStringLiteral("%\r\n");
    };
    const auto closing = [&](int k, qint64 counted) {
        return (counted != persons ? line(QString::number(k + 1) + QStringLiteral(".其他"), persons - counted)
                                   : QString()) +
               kRule + QStringLiteral("\r\n") + total(int(persons)) + QStringLiteral("\r\n");
    };
    const auto count = [&](const QString& where, const QVariantList& params) {
        return db.scalar(QStringLiteral("SELECT count(*) FROM wslib WHERE ") + where, params).toLongLong();
    };
    const auto cents = [](qint64 c) {
        return (c < 0 ? QStringLiteral("-") : QString()) + QString::number(std::abs(c) / 100) +
               QLatin1Char('.') + QStringLiteral("%1").arg(std::abs(c) % 100, 2, 10, QLatin1Char('0'));
    };
    QString text;
    for (const QString& item : items) {
        text += titleLine(item);
        const QString col = store::quoted(item);
        QString type;
        for (const store::TableColumn& c : store::tableColumns(db, QStringLiteral("wslib")))
            type = c.name == item ? c.declaredType : type;
        qint64 counted = 0;
        int k = 0;
        if (type.startsWith(QLatin1String("DATETIME"))) {
            for (int year = 1900; year <= lastYear; ++year) {
                const qint64 n =
                    count(QStringLiteral("CAST(substr(%1, 1, 4) AS INTEGER) = ?").arg(col), {year});
                if (n != 0)
                    text += line(QString::number(++k) + QLatin1Char('.') + QString::number(year) +
                                     QStringLiteral("年"),
                                 n);
                counted += n;
            }
            text += closing(k, counted);
        } else if (type.startsWith(QLatin1String("SINGLE"))) {
            const QString nonZero = QStringLiteral(" FROM wslib WHERE %1 <> 0").arg(col);
            const qint64 n = db.scalar(QStringLiteral("SELECT count(*)") + nonZero).toLongLong();
            const qint64 sum =
                db.scalar(QStringLiteral("SELECT sum(CAST(round(%1 * 100) AS INTEGER))").arg(col) + nonZero)
                    .toLongLong();
            const QStringList labels = {QStringLiteral("非空的个数："), QStringLiteral("总和："),
                                        QStringLiteral("平均值："), QStringLiteral("最大值："),
                                        QStringLiteral("最小值：")};
            const QStringList values = {
                cents(n * 100), cents(sum), n ? cents((2 * sum + n) / (2 * n)) : QString(),
                cents(db.scalar(QStringLiteral("SELECT CAST(round(max(%1) * 100) AS INTEGER)").arg(col) +
                                nonZero)
                          .toLongLong()),
                cents(db.scalar(QStringLiteral("SELECT CAST(round(min(%1) * 100) AS INTEGER)").arg(col) +
                                nonZero)
                          .toLongLong())};
            for (int i = 0; i < labels.size(); ++i)
                text += padTo(labels.at(i), 40) + (i == 0 || n > 0 ? values.at(i) : QString()) +
                        QStringLiteral("\r\n");
            text += kRule + QStringLiteral("\r\n");
        } else {
            const bool yesNo = type.startsWith(QLatin1String("BOOLEAN"));
            for (const QString& value : categories::statisticsValues(db, item)) {
                const qint64 n =
                    yesNo ? count(QStringLiteral("%1 = ?").arg(col), {value == QStringLiteral("是")})
                          : count(QStringLiteral("%1 = ?").arg(col), {value});
                text += line(QString::number(++k) + QLatin1Char('.') + value, n);
                counted += n;
            }
            text += closing(k, counted);
        }
        text += QStringLiteral("\r\n\r\n");
    }
    return text;
}

} // namespace

// Nulls, blanks, values outside the lists, case variants (ASCII folds, É and Ａ do not), a value
// listed twice, years outside the report's: the one-pass count gives the per-item report's text.
TEST(Report, OnePassEqualsPerItemQueries) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    auto& db = session->db();
    db.exec(QStringLiteral(
                "INSERT INTO km VALUES (24, '劳模', '是', '劳模'), (24, '劳模', '否', '劳模'), "
                "(4, '民族', 'Abc', '民族'), (4, '民族', 'É族', '民族'), (4, '民族', 'Ａ族', '民族'), "
                "(4, '民族', '回族', '民族'), (4, '民族', 'Ab', '民族'), (4, '民族', 'Abcde', '民族'), "
                "(4, '民族', 'ABCDEFGH族', '民族'), (4, '民族', 'Xinjiang Uygur 族 Mixed', '民族'), "
                "(4, '民族', ?, '民族')"),
            {QString(50, QChar(0x85CF))});
    const QVariantList sexes = {"男", "女", QVariant(), "", " 男", "男 ", "其他"};
    const QVariantList nations = {
        "汉族", "回族", "abc", "ABC", "aBc", "é族", "É族", "ａ族", "Ａ族", "苗族", QVariant(), "", "汉族 ",
        // every length the folding reads differently, in two cases
        "ab", "AB", "aB", "abcde", "ABCDE", "abcdefgh族", "ABCDEFGH族", "ABCDEFGH", "xinjiang uygur 族 mixed",
        "XINJIANG UYGUR 族 MIXED", QString(50, QChar(0x85CF)), QString(49, QChar(0x85CF))};
    const QVariantList dates = {"1950-03-15", "1962-12-31", "2030-01-01", "1899-05-05", QVariant()};
    const QVariantList amounts = {1000.5, 0.0,    QVariant(), 2345.6,    800.1, 6000.0,
                                  12.3,   -45.67, 1e-7,       0.1 + 0.2, 3,     1234567.89};
    std::mt19937 random(5);
    const auto pick = [&](const QVariantList& list) { return list.at(int(random() % list.size())); };
    store::Transaction tx(db);
    for (int i = 0; i < 600; ++i)
        db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"性别\", \"民族\", \"出生年月\", \"劳模\", "
                               "\"基本养老金\") VALUES (?, ?, ?, ?, ?, ?)"),
                {QString::number(i), pick(sexes), pick(nations), pick(dates), pick({1, 0, QVariant()}),
                 pick(amounts)});
    tx.commit();
    const QStringList items = {QStringLiteral("性别"),       QStringLiteral("民族"),
                               QStringLiteral("劳模"),       QStringLiteral("出生年月"),
                               QStringLiteral("基本养老金"), QStringLiteral("民族")};
    const QString expected = perItemReport(db, items, 600, 2026);
    EXPECT_TRUE(expected.contains(QStringLiteral(".Abc ")));
    EXPECT_EQ(buildReport(db, items, 600, 2026), expected);
}

// The server counts the groups and sends only them; its report is the embedded file's, byte for
// byte, over the same persons: Nulls, blanks, trailing spaces, values outside the lists, case
// variants of one listed value, years outside the report's, amounts on a half, and a narrowed table.
TEST(Report, ServerGroupsGiveTheEmbeddedText) {
    testing_support::TestFolder folder{false};
    std::unique_ptr<store::Database> engines[] = {
        testing_support::programDatabase(store::Dialect::Embedded, folder.file(QStringLiteral("lib.mdb"))),
        testing_support::programDatabase(store::Dialect::Server, {})};
    const QVariantList sexes = {"男", "女", QVariant(), "", " 男", "男 ", "其他"};
    const QVariantList nations = {"汉族", "回族",  "abc",   "ABC",        "aBc",       "é族",   "É族",
                                  "ａ族", "Ａ族",  "苗族",  QVariant(),   "",          "汉族 ", "ab",
                                  "AB",   "abcde", "ABCDE", "ABCDEFGH族", "abcdefgh族"};
    const QVariantList dates = {"1950-03-15", "1962-12-31", "2030-01-01",
                                "1899-05-05", "1900-01-01", QVariant()};
    const QVariantList amounts = {1000.5, 0.0, QVariant(), 2345.6, 1.005, 2.675, -45.67, 1e-7, 0.1 + 0.2, 3};
    // Every column but the photo: more than one grouped statement takes.
    QStringList every;
    for (const records::PersonColumn& c : records::personColumns()) {
        if (c.kind != records::Kind::Photo)
            every << c.columnName();
    }
    QString reports[2], narrowed[2], everyColumn[2];
    for (int e = 0; e < 2; ++e) {
        store::Database& db = *engines[e];
        db.exec(
            QStringLiteral("INSERT INTO km VALUES (24, '劳模', '是', '劳模'), (24, '劳模', '否', '劳模'), "
                           "(4, '民族', 'Abc', '民族'), (4, '民族', 'É族', '民族'), "
                           "(4, '民族', 'Ａ族', '民族'), (4, '民族', 'Ab', '民族'), "
                           "(4, '民族', 'ABCDEFGH族', '民族'), (4, '民族', 'Abc', '民族')"));
        std::mt19937 random(7);
        const auto pick = [&](const QVariantList& list) { return list.at(int(random() % list.size())); };
        store::Transaction tx(db);
        for (int i = 0; i < 400; ++i)
            db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"性别\", \"民族\", \"出生年月\", "
                                   "\"劳模\", \"基本养老金\", \"社区名称\", \"工作时间\", \"归侨\") "
                                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                    {QString::number(i), pick(sexes), pick(nations), pick(dates), pick({1, 0, QVariant()}),
                     pick(amounts), pick(sexes), pick(dates), pick({1, 0, QVariant()})});
        tx.commit();
        const QStringList items = {QStringLiteral("性别"),       QStringLiteral("民族"),
                                   QStringLiteral("劳模"),       QStringLiteral("出生年月"),
                                   QStringLiteral("基本养老金"), QStringLiteral("姓名")};
        reports[e] = buildReport(db, items, 400, 2026);
        everyColumn[e] = buildReport(db, every, 400, 2026);
        std::vector<qint64> odd;
        for (qint64 row = 1; row <= 400; row += 2)
            odd.push_back(row);
        EXPECT_EQ(records::narrowPersons(db, odd), 200);
        narrowed[e] = buildReport(db, items, 200, 2026);
        records::widenPersons(db);
    }
    EXPECT_TRUE(reports[0].contains(QStringLiteral(".Abc "))) << reports[0].toStdString();
    EXPECT_EQ(reports[1], reports[0]);
    EXPECT_EQ(narrowed[1], narrowed[0]);
    EXPECT_NE(narrowed[0], reports[0]);
    EXPECT_GT(every.size(), 31);
    EXPECT_EQ(everyColumn[1], everyColumn[0]);
}

// A reader that throws ends the scan with its own exception; the connection keeps no trace of the
// scan and the next one runs.
TEST(Report, AScanStoppedByItsReaderLeavesTheConnectionAsItWas) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    auto& db = session->db();
    db.exec(QStringLiteral(
        "INSERT INTO wslib(\"个人编号\", \"民族\") VALUES ('1', 'abc'), ('2', NULL), ('3', 4)"));
    int seen = 0;
    EXPECT_THROW(store::scanRows(db, QStringLiteral("\"民族\""), QStringLiteral("FROM wslib"),
                                 [&](const store::ScannedRow&) {
                                     if (++seen == 2)
                                         throw std::logic_error("stop");
                                 }),
                 std::logic_error);
    EXPECT_EQ(seen, 2);
    EXPECT_THROW(db.scalar(QStringLiteral("SELECT tessaly_scan_rows(1)")), store::SqlError);
    QStringList rows; // in whatever order the engine reads them (here from an index)
    records::scanPersonsColumns(
        db, {QStringLiteral("个人编号"), QStringLiteral("民族")}, [&](const store::ScannedRow& row) {
            rows << QString::fromUtf8(row.utf8(0).data(), qsizetype(row.utf8(0).size())) + QLatin1Char('|') +
                        (row.isNull(1) ? QStringLiteral("Null") : row.value(1).toString());
        });
    rows.sort();
    EXPECT_EQ(rows, QStringList({"1|abc", "2|Null", "3|4"}));
}

// Every item a whole-table report counts, and the data check's columns, are read from one
// covering index instead of the table; the text is the one the table gives, and a read-only file
// without the index still opens and reports.
TEST(Report, CountsFromTheCoveringIndexAsFromTheTable) {
    testing_support::TestFolder folder;
    QStringList items;
    for (const records::PersonColumn& c : records::personColumns()) {
        if (c.kind == records::Kind::Coded || c.kind == records::Kind::Date)
            items << c.columnName();
    }
    items << QStringLiteral("基本养老金");
    QString fromIndex;
    {
        auto session = folder.session();
        store::Database& db = session->db();
        testing_support::addFivePersons(db);
        db.exec(QStringLiteral("UPDATE wslib SET \"自管小组\" = 'A组', \"退休年月\" = '2010-05-01' "
                               "WHERE rowid % 2 = 1"));
        const auto plan = [&](const QString& columns) {
            store::Statement st =
                db.prepare(QStringLiteral("EXPLAIN QUERY PLAN SELECT %1 FROM wslib").arg(columns));
            QString text;
            while (st.step())
                text += st.text(3);
            return text;
        };
        QStringList quoted;
        for (const QString& item : items)
            quoted << store::quoted(item);
        EXPECT_TRUE(
            plan(quoted.join(QLatin1Char(','))).contains(QStringLiteral("COVERING INDEX wslib_report")));
        EXPECT_TRUE(
            plan(QStringLiteral("rowid, \"个人编号\", \"姓名\", \"性别\", \"出生年月\", \"身份证号码\", "
                                "\"退休年月\""))
                .contains(QStringLiteral("COVERING INDEX wslib_report")));
        fromIndex = buildReport(db, items, 5, 2026);
        db.exec(QStringLiteral("DROP INDEX wslib_report"));
    }
    store::Database readOnly(folder.file(QStringLiteral("lib.mdb")),
                             QString::fromLatin1(store::Database::kPassword), {.readOnly = true});
    EXPECT_TRUE(records::addPersonIndexes(readOnly));
    EXPECT_EQ(records::missingPersonIndexes(readOnly), 1);
    EXPECT_TRUE(fromIndex.contains(QStringLiteral(".2010年"))) << "退休年月 counted";
    EXPECT_EQ(buildReport(readOnly, items, 5, 2026), fromIndex);
}
