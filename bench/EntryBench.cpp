#include "BenchFolder.h"

#include "records/EntryForm.h"
#include "records/EntryWindow.h"
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

static void EntrySearch(benchmark::State& state) {
    store::Session& session = sharedSession();
    records::EntryWindow window(session, [] {});
    auto* categories = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    auto* values = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
    categories->setCurrentIndex(6); // 民族
    window.chooseCategory(6);
    values->setEditText(QStringLiteral("回族"));
    for (auto _ : state)
        window.searchByCategory();
    state.counters["found"] = double(window.list().count());
}
BENCHMARK(EntrySearch)->Unit(benchmark::kMillisecond);

static void EntrySearchHalf(benchmark::State& state) {
    store::Session& session = sharedSession();
    records::EntryWindow window(session, [] {});
    auto* categories = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    auto* values = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
    categories->setCurrentIndex(5); // 性别: about half of everyone
    window.chooseCategory(5);
    values->setEditText(QStringLiteral("女"));
    for (auto _ : state)
        window.searchByCategory();
    state.counters["found"] = double(window.list().count());
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
