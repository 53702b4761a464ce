#include "QueryFixture.h"

#include "login/MainWindow.h"
#include "print/DueList.h"
#include "print/ResultsWindow.h"
#include "print/Surface.h"
#include "stats/AgeBands.h"
#include "stats/ChartTab.h"
#include "stats/ElderlyDue.h"
#include "stats/ElderlyWindow.h"
#include "stats/Report.h"
#include "stats/StatisticsWindow.h"
#include "ui/ScriptedDialogs.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QSet>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace stats;

namespace {

struct Person {
    const char* number;
    const char* sex;
    QVariant birth;
    const char* idNumber = "";
};

void addPersons(store::Database& db, std::initializer_list<Person> persons) {
    for (const Person& p : persons)
        db.exec(QStringLiteral(
                    "INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"出生年月\", \"身份证号码\", "
                    "\"现居住地\", \"现居住地电话\") VALUES (?, ?, ?, ?, ?, ?, ?)"),
                {QString::fromUtf8(p.number), QStringLiteral("人") + QString::fromUtf8(p.number),
                 QString::fromUtf8(p.sex), p.birth, QString::fromUtf8(p.idNumber),
                 QStringLiteral("幸福路%1号").arg(QString::fromUtf8(p.number)), QStringLiteral("5551234")});
}

// An 18-character ID number of a man born on `birth`, with its check character.
QString idNumber(const char* birth) {
    const QString first17 = QStringLiteral("110101") + QString::fromLatin1(birth) + QStringLiteral("001");
    static const int weights[] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (first17.at(i).unicode() - '0') * weights[i];
    return first17 + QString::fromLatin1("10X98765432").at(sum % 11);
}

// The values of every bar set of the chart's first series, set by set.
std::vector<std::vector<double>> barValues(QChart* chart) {
    std::vector<std::vector<double>> values;
    auto* series = qobject_cast<QAbstractBarSeries*>(chart->series().value(0));
    if (!series)
        return values;
    for (QBarSet* set : series->barSets()) {
        values.emplace_back();
        for (int i = 0; i < set->count(); ++i)
            values.back().push_back(set->at(i));
    }
    return values;
}

} // namespace

TEST(AgeBands, AgesAcrossALeapDayBandEdgesAndDaylessBirthDates) {
    const QDate leap(1940, 2, 29);
    const struct {
        QDate on;
        int age;
    } leapAges[] = {{{2020, 2, 28}, 79}, {{2020, 2, 29}, 80}, {{2021, 2, 28}, 80}, {{2021, 3, 1}, 81}};
    for (const auto& c : leapAges)
        EXPECT_EQ(ageOn(leap, c.on), c.age) << c.on.toString(Qt::ISODate).toStdString();

    const struct {
        int age;
        AgeBand band;
    } edges[] = {{0, AgeBand::Under60},   {59, AgeBand::Under60},   {60, AgeBand::Sixties},
                 {69, AgeBand::Sixties},  {70, AgeBand::Seventies}, {99, AgeBand::Nineties},
                 {100, AgeBand::Hundred}, {112, AgeBand::Hundred},  {-1, AgeBand::Unknown}};
    for (const auto& e : edges)
        EXPECT_EQ(bandOf(e.age), e.band) << e.age;

    const QDate today(2008, 6, 23);
    // A date kept without its day takes the day from the ID number when it lies in that month.
    EXPECT_EQ(effectiveBirth(QStringLiteral("1950-03-01"), idNumber("19500317"), today), QDate(1950, 3, 17));
    EXPECT_EQ(effectiveBirth(QStringLiteral("1950-03-01"), idNumber("19500417"), today), QDate(1950, 3, 1));
    EXPECT_EQ(effectiveBirth(QStringLiteral("1950-03-05"), idNumber("19500317"), today), QDate(1950, 3, 5));
    EXPECT_EQ(effectiveBirth(QString(), idNumber("19500317"), today), QDate());

    testing_support::TestFolder folder;
    auto session = folder.session();
    // Exactly 70 on the reference day, 69 until the day before; no birth date counts apart.
    addPersons(session->db(),
               {{"1", "男", "1938-06-23"}, {"2", "女", "1938-06-24"}, {"3", "男", QVariant()}});
    const AgeStructure s = ageStructure(session->db(), today);
    EXPECT_EQ(s.count(AgeBand::Seventies, Sex::Male), 1);
    EXPECT_EQ(s.count(AgeBand::Sixties, Sex::Female), 1);
    EXPECT_EQ(s.count(AgeBand::Unknown, Sex::Male), 1);
    EXPECT_EQ(s.aged, 2);
    EXPECT_EQ(s.oldest, 70);
    EXPECT_EQ(s.summary(), QStringLiteral("共 3 人，平均年龄 69.5 岁，最大年龄 70 岁，出生年月不详 1 人。"));
}

TEST(AgeBands, PyramidCountsAgainstAHandCountedFixture) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session();
    // On 2008-06-23 (the test clock): ages 45, 65, 65, 75, 85, 95, 101, 72, 88, and two unknown.
    addPersons(session->db(), {{"01", "男", "1963-01-01"},
                               {"02", "女", "1943-02-02"},
                               {"03", " 男 ", "1942-12-31"},
                               {"04", "女", "1933-05-05"},
                               {"05", "男", "1922-08-08"},
                               {"06", "", "1913-01-09"},
                               {"07", "女", "1907-06-23"},
                               {"08", "不详", "1935-10-10"},
                               {"09", "女", "1920-03-03"},
                               {"10", "女", QVariant()},
                               {"11", "", "2010-01-01"}});
    const AgeStructure s = ageStructure(session->db(), QDate(2008, 6, 23));
    // Band × (男, 女, 未知), counted by hand.
    const std::array<std::array<qint64, 3>, 7> expected = {{{1, 0, 0},   // under 60
                                                            {1, 1, 0},   // 60–69
                                                            {0, 1, 1},   // 70–79
                                                            {1, 1, 0},   // 80–89
                                                            {0, 0, 1},   // 90–99
                                                            {0, 1, 0},   // 100 and over
                                                            {0, 1, 1}}}; // unknown: none, or born later
    EXPECT_EQ(s.counts, expected);
    EXPECT_EQ(s.persons, 11);
    EXPECT_EQ(s.oldest, 101);

    // Over the rows of a query result only.
    const std::vector<qint64> rows = {1, 2, 7};
    const AgeStructure some = ageStructure(session->db(), QDate(2008, 6, 23), rows);
    EXPECT_EQ(some.persons, 3);
    EXPECT_EQ(some.count(AgeBand::Hundred, Sex::Female), 1);
    EXPECT_EQ(some.count(AgeBand::Sixties, Sex::Female), 1);

    // The pyramid chart draws the same counts, men to the left.
    StatisticsWindow window(*session);
    ChartTab& tab = *window.charts();
    ASSERT_EQ(tab.chartNames().value(0), QStringLiteral("年龄金字塔"));
    tab.showChart(0);
    const auto sets = barValues(tab.chart());
    ASSERT_EQ(sets.size(), 3u);
    for (int b = 0; b < 6; ++b) {
        EXPECT_EQ(-sets[0][std::size_t(b)], double(expected[std::size_t(b)][0])) << b;
        EXPECT_EQ(sets[1][std::size_t(b)], double(expected[std::size_t(b)][1])) << b;
        EXPECT_EQ(sets[2][std::size_t(b)], double(expected[std::size_t(b)][2])) << b;
    }
    EXPECT_EQ(tab.chart()->title(), QStringLiteral("年龄金字塔（2008年6月23日）"));
}

TEST(Charts, BarsAreTheReportsCountsOverEveryoneOrTheLastQuery) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session();
    testing_support::addFivePersons(session->db());
    session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"性别\", \"退休年月\") VALUES "
                                      "('000006', '未填', '1998-05-01'), ('000007', NULL, '1998-11-01'), "
                                      "('000008', '女', '2003-01-01')"));
    StatisticsWindow window(*session);
    ChartTab& tab = *window.charts();
    const int sexRow = int(tab.chartNames().indexOf(QStringLiteral("性别")));
    ASSERT_GT(sexRow, 1);
    tab.showChart(sexRow);
    // 男 3, 女 3 and the report's ".其他" 2 (one value not in the category, one empty).
    const QString report = buildReport(session->db(), {QStringLiteral("性别")}, 8, 2008);
    EXPECT_TRUE(
        report.contains(QStringLiteral("3.其他") + QString(34, QLatin1Char(' ')) + QStringLiteral("2人")));
    EXPECT_EQ(barValues(tab.chart()), (std::vector<std::vector<double>>{{3, 3, 2}}));
    EXPECT_EQ(tab.content().bars.at(2).label, QStringLiteral("其他"));
    tab.showChart(1);
    EXPECT_EQ(tab.chart()->title(), QStringLiteral("每年退休人数"));
    EXPECT_EQ(barValues(tab.chart()), (std::vector<std::vector<double>>{{2, 1, 5}})) << "1998, 2003, 其他";

    // Ticked, the report and the charts count only the persons of the last results window.
    auto* tick = window.findChild<QCheckBox*>(QStringLiteral("ByResults"));
    EXPECT_EQ(tick->text(), QStringLiteral("按查询结果统计"));
    EXPECT_FALSE(tick->isChecked());
    tick->setChecked(true);
    EXPECT_EQ(dialogs.last().text, kNoQueryResult);
    EXPECT_FALSE(tick->isChecked());
    // The results window leaves its persons on the session when it opens.
    session->pendingExpression() = QStringLiteral("个人编号 in ('000001', '000002', '000006')");
    print::ResultsWindow results(*session);
    ASSERT_EQ(results.resultCount(), 3);
    EXPECT_EQ(session->lastResults(), (std::vector<qint64>{1, 2, 6}));
    tick->setChecked(true);
    EXPECT_EQ(tab.chart()->title(), QStringLiteral("每年退休人数（查询结果 3 人）"));
    EXPECT_EQ(barValues(tab.chart()), (std::vector<std::vector<double>>{{1, 2}}));
    tab.showChart(sexRow);
    EXPECT_EQ(barValues(tab.chart()), (std::vector<std::vector<double>>{{1, 1, 1}}));
    auto* list1 = window.findChild<QListWidget*>(QStringLiteral("List1"));
    list1->setCurrentRow(5);
    window.addItem();
    window.buildReport();
    const QStringList lines = window.report().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.value(1), QStringLiteral("1.男") + QString(36, QLatin1Char(' ')) + QStringLiteral("1人") +
                                  QString(17, QLatin1Char(' ')) + QStringLiteral("占： 33.33%"));
    EXPECT_TRUE(window.report().contains(QStringLiteral("  合      计") + QString(28, QLatin1Char(' ')) +
                                         QStringLiteral("3人")));
    // The session's own connection never sees the narrowed table.
    EXPECT_EQ(session->db().scalar(QStringLiteral("SELECT count(*) FROM wslib")).toInt(), 8);
    tick->setChecked(false);
    window.buildReport();
    EXPECT_TRUE(window.report().contains(QStringLiteral("8人")));
}

TEST(Charts, SavedPictureIsARealImageOfTheChartSize) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session();
    testing_support::addFivePersons(session->db());
    StatisticsWindow window(*session);
    window.findChild<QTabWidget*>(QStringLiteral("Tabs"))->setCurrentIndex(1);
    ChartTab& tab = *window.charts();
    EXPECT_EQ(tab.content().kind, ChartContent::Kind::Pyramid) << "the tab opens on the first chart";
    dialogs.files.enqueue(folder.file(QStringLiteral("年龄")));
    tab.savePicture();
    const QString path = folder.file(QStringLiteral("年龄.png"));
    EXPECT_EQ(dialogs.last().text, QStringLiteral("图表已存为图片：%1").arg(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(8).startsWith("\x89PNG"));
    const QImage image(path);
    ASSERT_EQ(image.size(), kChartPictureSize);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 5) << "bars, text and axes, not a blank page";
    dialogs.files.enqueue(folder.file(QStringLiteral("年龄.pdf")));
    tab.savePdf();
    QFile pdf(folder.file(QStringLiteral("年龄.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF-"));
}

TEST(ElderlyDue, ListsMilestonesWithinTheWindowAndThisMonthsBirthdays) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder; // the clock reads 2008-06-23
    auto session = folder.session(QStringLiteral("张三"));
    addPersons(session->db(), {{"01", "男", "1928-06-24"},                     // 80 tomorrow
                               {"02", "女", "1928-08-07"},                     // 80 in 45 days
                               {"03", "男", "1928-06-22"},                     // 80 yesterday
                               {"04", "女", "1938-07-01", ""},                 // 70 in July, day unknown
                               {"05", "男", "1948-07-01", ""},                 // 60: no milestone
                               {"06", "男", "1918-07-01", "1101011918071000"}, // invalid ID: the 1st stays
                               {"07", "女", "1950-06-02"}});                   // 58: too young for a visit
    session->db().exec(QStringLiteral("UPDATE wslib SET \"身份证号码\" = ? WHERE \"个人编号\" = '04'"),
                       {idNumber("19380710")});

    DueSettings settings;
    settings.today = QDate(2008, 6, 23);
    const auto numbersOf = [](const std::vector<DuePerson>& due) {
        QStringList numbers;
        for (const DuePerson& p : due)
            numbers << QStringLiteral("%1:%2:%3:%4")
                           .arg(p.number, p.due.toString(Qt::ISODate))
                           .arg(p.age)
                           .arg(p.reasonText());
        return numbers;
    };
    EXPECT_EQ(numbersOf(elderlyDue(session->db(), settings)),
              (QStringList{
                  QStringLiteral("03:2008-06-22:80:本月生日"), QStringLiteral("01:2008-06-24:80:年满80岁"),
                  QStringLiteral("06:2008-07-01:90:年满90岁"), QStringLiteral("04:2008-07-10:70:年满70岁")}));
    settings.days = 45;
    EXPECT_EQ(numbersOf(elderlyDue(session->db(), settings)).last(),
              QStringLiteral("02:2008-08-07:80:年满80岁"));

    // The window, from the main window's 人员管理 menu, for every user.
    login::MainWindow main(*session, {[] {}, [] {}});
    testing_support::trigger(main, QStringLiteral("ElderlyDue"));
    auto* window = main.findChild<ElderlyWindow*>();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("高龄提醒"));
    ASSERT_EQ(window->due().size(), 4u);
    EXPECT_EQ(
        window->summary(),
        QStringLiteral("2008年6月23日至2008年7月23日年满70、80、90、100岁的 3 人，本月过生日的 1 人。"));
    QList<qint64> opened;
    ElderlyWindow own(*session, [&](qint64 rowid) { opened << rowid; });
    own.openRow(1);
    EXPECT_EQ(opened, QList<qint64>{1});

    // The paper list: its eight columns in the roster's frame, fifteen rows a page.
    print::RecordingSurface paper;
    own.pages().draw(paper, 1);
    EXPECT_EQ(paper.texts().value(0).text, QStringLiteral("高龄人员提醒名单"));
    for (const char* header :
         {"个人编号", "姓名", "性别", "出生年月", "年龄", "到期日", "现居住地", "联系电话"})
        EXPECT_FALSE(paper.find(QString::fromUtf8(header)).text.isEmpty()) << header;
    EXPECT_TRUE(paper.find(QStringLiteral("事由")).text.isEmpty());
    EXPECT_FALSE(paper.find(QStringLiteral("2008-06-24")).text.isEmpty());
    EXPECT_EQ(paper.of(print::RecordingSurface::Op::Line).size(), 1 + 9 + 15 + 1);

    dialogs.files.enqueue(folder.file(QStringLiteral("提醒.xlsx")));
    own.exportList();
    EXPECT_EQ(dialogs.last().text, QStringLiteral("导出完毕！"));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("提醒.xlsx"))));
}
