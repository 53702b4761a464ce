#include "BenchFolder.h"

#include "exchange/Export.h"
#include "exchange/Import.h"
#include "exchange/Workbook.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <benchmark/benchmark.h>

using bench::sharedSession;

namespace {

QString workbookPath() {
    return sharedSession().filePath(QStringLiteral("persons.xlsx"));
}

// The longest stretch without a progress call, in seconds.
struct ProgressGaps {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    ProgressGaps() { clock.start(); }
    void tick() {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    }
    double seconds() const { return double(longest) / 1000.0; }
};

void exportAll(ProgressGaps* gaps = nullptr) {
    store::Session& session = sharedSession();
    exchange::WorkbookWriter book(workbookPath());
    exchange::writePersons(book, session.db(), session.state().unitName, [gaps](qint64, qint64) {
        if (gaps)
            gaps->tick();
    });
    book.save();
}

} // namespace

// The whole persons table into an .xlsx, closing step included.
static void ExcelExport(benchmark::State& state) {
    sharedSession();
    const double before = bench::residentMegabytes();
    ProgressGaps gaps;
    for (auto _ : state)
        exportAll(&gaps);
    state.counters["rss_MB"] = bench::residentMegabytes();
    state.counters["rss_growth_MB"] = bench::residentMegabytes() - before;
    state.counters["file_MB"] = double(QFileInfo(workbookPath()).size()) / 1e6;
    state.counters["progress_gap_s"] = gaps.seconds();
}
BENCHMARK(ExcelExport)->Unit(benchmark::kSecond)->Iterations(1);

// That workbook into the staging table.
static void ExcelRead(benchmark::State& state) {
    store::Session& session = sharedSession();
    if (!QFileInfo::exists(workbookPath()))
        exportAll();
    const double before = bench::residentMegabytes();
    ProgressGaps gaps;
    int rows = 0;
    for (auto _ : state)
        rows = exchange::stageWorkbook(session.db(), workbookPath(), [&gaps](int) { gaps.tick(); });
    state.counters["rows"] = rows;
    state.counters["rss_growth_MB"] = bench::residentMegabytes() - before;
    state.counters["progress_gap_s"] = gaps.seconds();
}
BENCHMARK(ExcelRead)->Unit(benchmark::kSecond)->Iterations(1);

// The staging table into the persons table, in one transaction, photos kept.
static void ExcelImport(benchmark::State& state) {
    store::Session& session = sharedSession();
    if (records::countStaging(session.db()) == 0) {
        if (!QFileInfo::exists(workbookPath()))
            exportAll();
        exchange::stageWorkbook(session.db(), workbookPath());
    }
    ProgressGaps gaps;
    records::Replacement done;
    for (auto _ : state)
        done = records::replacePersons(session.db(), [&gaps](qint64) { gaps.tick(); });
    state.counters["persons"] = double(done.persons);
    state.counters["photos_kept"] = double(done.photosKept);
    state.counters["progress_gap_s"] = gaps.seconds();
}
BENCHMARK(ExcelImport)->Unit(benchmark::kSecond)->Iterations(1);
