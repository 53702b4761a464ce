#include "BenchFolder.h"

#include "stats/AgeBands.h"
#include "stats/ChartTab.h"
#include "stats/ElderlyDue.h"

#include <QChartView>
#include <QPixmap>

#include <benchmark/benchmark.h>

using bench::sharedSession;

// Age bands by sex over every person, on the session's connection.
static void AgeBands(benchmark::State& state) {
    store::Session& session = sharedSession();
    stats::AgeStructure s;
    for (auto _ : state)
        s = stats::ageStructure(session.db(), QDate(2026, 1, 1));
    state.counters["persons"] = double(s.persons);
    state.counters["over70"] =
        double(s.inBand(stats::AgeBand::Seventies) + s.inBand(stats::AgeBand::Eighties) +
               s.inBand(stats::AgeBand::Nineties) + s.inBand(stats::AgeBand::Hundred));
}
BENCHMARK(AgeBands)->Unit(benchmark::kMillisecond);

// The 高龄提醒 list for the next 30 days and this month's birthdays.
static void ElderlyDue(benchmark::State& state) {
    store::Session& session = sharedSession();
    stats::DueSettings settings;
    settings.today = QDate(2026, 1, 15);
    std::size_t listed = 0;
    for (auto _ : state)
        listed = stats::elderlyDue(session.db(), settings).size();
    state.counters["listed"] = double(listed);
}
BENCHMARK(ElderlyDue)->Unit(benchmark::kMillisecond);

// The chart tab opened, one chart counted on the job runner's own read-only connection and drawn
// into a picture of the view: range 0 the age pyramid, 1 a category's bars (民族, from the report).
static void ChartTab(benchmark::State& state) {
    store::Session& session = sharedSession();
    const int chart = int(state.range(0));
    qint64 width = 0;
    for (auto _ : state) {
        stats::ChartTab tab(session, {});
        tab.resize(1000, 640);
        const int row = chart == 0 ? 0 : int(tab.chartNames().indexOf(QStringLiteral("民族")));
        tab.showChart(row);
        const QPixmap drawn = tab.grab();
        width = drawn.width();
        benchmark::DoNotOptimize(drawn.cacheKey());
    }
    state.counters["width"] = double(width);
}
BENCHMARK(ChartTab)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
