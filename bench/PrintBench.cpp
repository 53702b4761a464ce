#include "BenchFolder.h"

#include "print/Pages.h"
#include "print/PrintSettings.h"
#include "store/RecordSet.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// The pages of the first `limit` persons in stored order (all persons when 0); earlier
// benchmarks may have replaced the table, so rowids do not start at 1.
struct BenchPages {
    BenchPages(print::Mode mode, int limit) {
        store::Session& session = bench::sharedSession();
        set = limit > 0 ? std::make_unique<store::RecordSet>(
                              session.db(), QStringLiteral("wslib"),
                              QStringLiteral("rowid IN (SELECT rowid FROM wslib ORDER BY rowid LIMIT ?)"),
                              QVariantList{limit})
                        : std::make_unique<store::RecordSet>(session.db(), QStringLiteral("wslib"));
        pages.mode = mode;
        pages.settings = print::loadRecord(session.db());
        pages.unitName = session.state().unitName;
        pages.count = set->count();
        store::RecordSet* s = set.get();
        pages.rowAt = [s](int index) { return s->row(index); };
    }
    std::unique_ptr<store::RecordSet> set;
    print::ResultPages pages;
};

void drawPreview(benchmark::State& state, print::Mode mode) {
    BenchPages bp(mode, 0);
    QSize size;
    for (auto _ : state) {
        const QImage image = print::previewImage(bp.pages, 1, 1, 96);
        size = image.size();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["width"] = size.width();
    state.counters["height"] = size.height();
}

} // namespace

// One roster page at full size on a 96 dpi preview picture (1123 × 794 pixels).
static void RosterPage(benchmark::State& state) {
    drawPreview(state, print::Mode::Roster);
}
BENCHMARK(RosterPage)->Unit(benchmark::kMillisecond);

// One information sheet on the same picture.
static void SheetPage(benchmark::State& state) {
    drawPreview(state, print::Mode::Sheet);
}
BENCHMARK(SheetPage)->Unit(benchmark::kMillisecond);

// The whole-result PDF of 1,500 persons: 100 roster pages, fonts embedded.
static void PdfRoster1500(benchmark::State& state) {
    BenchPages bp(print::Mode::Roster, 1500);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("roster.pdf"));
    // Resident memory after page 10 and after the last page: pages are streamed, so the second
    // is not much above the first.
    double atTen = 0, atEnd = 0;
    for (auto _ : state) {
        print::writePdf(path, bp.pages, 1, bp.pages.pageCount(), [&](int done, int total) {
            if (done == 10)
                atTen = bench::residentMegabytes();
            if (done == total)
                atEnd = bench::residentMegabytes();
            return true;
        });
    }
    state.counters["pages"] = bp.pages.pageCount();
    state.counters["fileKB"] = double(QFileInfo(path).size()) / 1024.0;
    state.counters["rssPage10MB"] = atTen;
    state.counters["rssGrowthMB"] = atEnd - atTen;
}
BENCHMARK(PdfRoster1500)->Unit(benchmark::kMillisecond);
