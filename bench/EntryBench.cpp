#include "BenchFolder.h"

#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QComboBox>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <random>

using bench::sharedSession;

static void EntryOpen(benchmark::State& state) {
    store::Session& session = sharedSession();
    for (auto _ : state) {
        records::EntryWindow window(session, [] {});
        benchmark::DoNotOptimize(window.list().count());
    }
    state.counters["persons"] = double(records::EntryWindow(session, [] {}).list().count());
}
BENCHMARK(EntryOpen)->Unit(benchmark::kMillisecond);

static void EntryShow(benchmark::State& state) {
    store::Session& session = sharedSession();
    records::EntryWindow window(session, [] {});
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, window.list().count() - 1);
    for (auto _ : state)
        window.moveTo(pick(random));
}
BENCHMARK(EntryShow)->Unit(benchmark::kMicrosecond);

// The one-category search of the entry window for `value` in the category at `position`.
static void search(benchmark::State& state, int position, const QString& value) {
    store::Session& session = sharedSession();
    records::EntryWindow window(session, [] {});
    window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(position);
    window.chooseCategory(position);
    window.findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(value);
    for (auto _ : state)
        window.searchByCategory();
    state.counters["found"] = double(window.list().count());
}

static void EntrySearch(benchmark::State& state) {
    search(state, 6, QStringLiteral("回族"));
}
BENCHMARK(EntrySearch)->Unit(benchmark::kMillisecond);

// About half of everyone: the largest list a search builds.
static void EntrySearchHalf(benchmark::State& state) {
    search(state, 5, QStringLiteral("女"));
}
BENCHMARK(EntrySearchHalf)->Unit(benchmark::kMillisecond);

static void EntrySave(benchmark::State& state) {
    store::Session& session = sharedSession();
    records::EntryWindow window(session, [] {});
    window.moveTo(window.list().count() / 2);
    auto* name = window.form().findChild<QLineEdit*>(QStringLiteral("Text4"));
    int n = 0;
    for (auto _ : state) {
        name->setText(n++ % 2 ? QStringLiteral("张三") : QStringLiteral("李四"));
        window.saveRecord();
    }
}
BENCHMARK(EntrySave)->Unit(benchmark::kMillisecond);

// Resident memory of the process with the entry window open on every person.
static void EntryMemory(benchmark::State& state) {
    store::Session& session = sharedSession();
    records::EntryWindow window(session, [] {});
    for (int i = 0; i < 200; ++i)
        window.moveTo(i * (window.list().count() / 200));
    for (auto _ : state)
        benchmark::DoNotOptimize(window.list().count());
    state.counters["rss_MB"] = bench::residentMegabytes();
}
BENCHMARK(EntryMemory)->Iterations(1);

// The one-time work a file from an earlier version meets at its first start: every search index
// and the planner's figures.
static void PersonIndexes(benchmark::State& state) {
    store::Database& db = sharedSession().db();
    int steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        records::dropSearchIndexes(db);
        state.ResumeTiming();
        records::addPersonIndexes(db, [&](int, int total, const QString&) {
            steps = total;
            return true;
        });
    }
    state.counters["steps"] = steps;
}
BENCHMARK(PersonIndexes)->Unit(benchmark::kSecond)->Iterations(1);
