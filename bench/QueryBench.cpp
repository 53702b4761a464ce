#include "BenchFolder.h"

#include "categories/CategoryTable.h"
#include "print/ResultsWindow.h"
#include "query/ConditionParser.h"
#include "query/QueryBuilder.h"
#include "stats/Report.h"
#include "store/Database.h"

#include <benchmark/benchmark.h>

using bench::sharedSession;

// Ten conditions with AND, OR, parentheses, a like and a date range, as the query window writes them.
static const QString kTenConditions = QStringLiteral(
    "( 性别 = '男'  or 性别 = '女' ) and ( 民族 = '汉族'  or 民族 = '回族'  or 民族 = '满族' ) and "
    "出生年月>=#1935-01-01#  and 出生年月<=#1955-12-31#  and 原工作单位 like '市*'  and "
    "基本养老金>=1500  and 劳模= false ");

static void QueryRun(benchmark::State& state) {
    store::Session& session = sharedSession();
    int found = 0;
    for (auto _ : state) {
        session.pendingExpression() = kTenConditions;
        print::ResultsWindow window(session);
        found = window.resultCount();
    }
    state.counters["found"] = found;
    // How the engine answers it, to tell an index from a scan in the output.
    store::Database& db = session.db();
    const query::SqlCondition condition =
        query::parseCondition(kTenConditions, store::tableColumns(db, store::schema::kPersons), db.dialect());
    store::Statement plan =
        db.prepare(db.sql(QStringLiteral("EXPLAIN QUERY PLAN "), QStringLiteral("EXPLAIN ")) +
                   QStringLiteral("SELECT rowid FROM wslib WHERE %1 ORDER BY rowid").arg(condition.sql));
    plan.bindAll(condition.params);
    QString label;
    const int detail = db.dialect() == store::Dialect::Server ? 0 : 3;
    while (plan.step())
        label += plan.text(detail).trimmed() + QLatin1Char(';');
    state.SetLabel(label.toStdString());
}
BENCHMARK(QueryRun)->Unit(benchmark::kMillisecond);

static void StatsReport(benchmark::State& state) {
    store::Session& session = sharedSession();
    QStringList items;
    for (const char* name :
         {"自管小组",     "性别",         "民族",     "政治面貌",   "健康状况",           "原任职务",
          "档案存放地点", "文化程度",     "单位性质", "工伤等级",   "社会保险关系所在地", "配偶健康状况",
          "退休情况",     "特殊情况",     "社区名称", "户口所在地", "家庭其他联系人关系", "出生年月",
          "退休年月",     "配偶出生年月", "工作时间", "基本养老金"})
        items << QString::fromUtf8(name);
    const qint64 persons = session.db().scalar(QStringLiteral("SELECT count(*) FROM wslib")).toLongLong();
    qsizetype size = 0;
    for (auto _ : state)
        size = stats::buildReport(session.db(), items, persons, 2026).size();
    state.counters["chars"] = double(size);
}
BENCHMARK(StatsReport)->Unit(benchmark::kMillisecond);

namespace {
const char* const kReportItems[] = {
    "自管小组",     "性别",         "民族",     "政治面貌",   "健康状况",           "原任职务",
    "档案存放地点", "文化程度",     "单位性质", "工伤等级",   "社会保险关系所在地", "配偶健康状况",
    "退休情况",     "特殊情况",     "社区名称", "户口所在地", "家庭其他联系人关系", "出生年月",
    "退休年月",     "配偶出生年月", "工作时间", "基本养老金"};
} // namespace

// What the report's one pass cannot go below: stepping through the columns its items need,
// reading each cell's bytes and doing nothing with them.
static void StatsScanFloor(benchmark::State& state) {
    store::Session& session = sharedSession();
    const std::vector<store::TableColumn> fields = store::tableColumns(session.db(), store::schema::kPersons);
    QStringList select;
    for (const char* item : kReportItems) {
        const int c = categories::definitionColumn(session.db(), QString::fromUtf8(item));
        if (c >= 0 && c < int(fields.size()))
            select << store::quoted(fields[std::size_t(c)].name);
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        store::Statement st = session.db().prepare(
            QStringLiteral("SELECT %1 FROM wslib").arg(select.join(QStringLiteral(", "))));
        while (st.step()) {
            for (int i = 0; i < int(select.size()); ++i)
                bytes += st.utf8(i).size();
        }
    }
    state.counters["columns"] = double(select.size());
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(StatsScanFloor)->Unit(benchmark::kMillisecond);
