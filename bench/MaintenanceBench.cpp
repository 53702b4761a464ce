#include "BenchFolder.h"

#include "exchange/Maintenance.h"
#include "exchange/SafetyCopies.h"
#include "store/Session.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Its own program folder with a copy of the 100,000 persons, so that the file work leaves the
// shared one alone.
struct MaintenanceFolder {
    QTemporaryDir dir;
    std::unique_ptr<store::Session> session;

    MaintenanceFolder() {
        QFile::copy(bench::sharedSession().databasePath(), dir.filePath(QStringLiteral("lib.mdb")));
        session = std::make_unique<store::Session>(dir.path());
        session->open();
    }
};

MaintenanceFolder& folder() {
    static MaintenanceFolder f;
    return f;
}

} // namespace

// The backup's file work (the ten-second display excluded); `plain_copy_s` is a plain file copy
// of the same file for comparison.
static void Backup100k(benchmark::State& state) {
    store::Session& session = *folder().session;
    QTemporaryDir target;
    const QString plain = target.filePath(QStringLiteral("plain.MDB"));
    QElapsedTimer timer;
    timer.start();
    QFile::copy(session.databasePath(), plain);
    state.counters["plain_copy_s"] = double(timer.nsecsElapsed()) / 1e9;
    QFile::remove(plain);

    exchange::Maintenance maintenance(session);
    const QString file = target.filePath(QStringLiteral("备份.MDB"));
    for (auto _ : state)
        maintenance.backup(file);
    const double bytes = double(QFileInfo(session.databasePath()).size());
    state.counters["file_MB"] = bytes / 1e6;
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
}
BENCHMARK(Backup100k)->Unit(benchmark::kMillisecond)->UseRealTime();

static void Compact100k(benchmark::State& state) {
    store::Session& session = *folder().session;
    exchange::Maintenance maintenance(session);
    for (auto _ : state)
        maintenance.compact();
    state.counters["file_MB"] = double(QFileInfo(session.databasePath()).size()) / 1e6;
}
BENCHMARK(Compact100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The safety copy before a bulk change: every page through the backup API into a new encrypted
// file, its integrity check and person count, and the rotation (one copy kept at a time here).
static void SafetyCopy100k(benchmark::State& state) {
    store::Session& session = *folder().session;
    QTemporaryDir program;
    exchange::SafetyCopies copies(program.path(), session.clock());
    for (auto _ : state) {
        const exchange::SafetyCopy copy = copies.make(session.db(), exchange::kCopyBeforeMerge);
        state.PauseTiming();
        state.counters["persons"] = double(copy.persons.value_or(-1));
        state.counters["file_MB"] = double(copy.bytes) / 1e6;
        QFile::remove(copy.path);
        state.ResumeTiming();
    }
}
BENCHMARK(SafetyCopy100k)->Unit(benchmark::kMillisecond)->UseRealTime();
