// Work that exists only with a server: the upload of an office's file and several operators saving
// at once. These start a throw-away cluster of their own (or use TESSALY_BENCH_SERVER's).

#include "BenchFolder.h"

#include "exchange/Upload.h"
#include "store/Database.h"
#include "store/Job.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// An embedded lib.mdb of TESSALY_BENCH_PERSONS persons up to an empty server database.
static void UploadToServer(benchmark::State& state) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lib.mdb"));
    bench::writeGeneratedDatabase(file, bench::benchPersons());
    for (auto _ : state) {
        state.PauseTiming();
        const auto server = store::Database::connect(bench::emptyServerDatabase());
        state.ResumeTiming();
        exchange::uploadToServer(file, *server, store::untracked());
    }
    state.counters["persons"] = bench::benchPersons();
}
BENCHMARK(UploadToServer)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
