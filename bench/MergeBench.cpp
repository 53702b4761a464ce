#include "BenchFolder.h"
#include "PersonGenerator.h"

#include "exchange/Merge.h"
#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "login/ShippedDatabase.h"
#include "store/Database.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString kPassword = QString::fromLatin1(store::Database::kPassword);

// A target of 100,000 persons and another office's file of 100,000 persons, half of them the
// same persons (number and name) with other addresses, half new numbers.
struct MergePair {
    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("target.mdb"));
    QString source = dir.filePath(QStringLiteral("source.mdb"));
    QString work = dir.filePath(QStringLiteral("lib.mdb"));

    MergePair() {
        bench::writeGeneratedDatabase(target, bench::benchPersons());
        QFile::copy(target, source);
        store::Database db(source);
        store::Transaction tx(db);
        db.exec(QStringLiteral("UPDATE wslib SET \"现居住地\" = '新华路' || rowid"));
        db.exec(QStringLiteral(
            "UPDATE wslib SET \"个人编号\" = printf('%06d', 500000 + rowid) WHERE rowid % 2 = 0"));
        tx.commit();
    }
};

MergePair& mergePair() {
    static MergePair pair;
    return pair;
}

} // namespace

// Merging another office's 100,000 persons into 100,000, with the progress text of every row.
static void Merge100k(benchmark::State& state) {
    MergePair& pair = mergePair();
    exchange::MergeCounts counts;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(pair.work);
        QFile::copy(pair.target, pair.work);
        {
            store::Database target(pair.work);
            state.ResumeTiming();
            const std::unique_ptr<exchange::SourceDatabase> source =
                exchange::SourceDatabase::open(pair.source, kPassword);
            store::JobControl control;
            counts = exchange::mergePersons(target, *source, control);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.counters["updated"] = double(counts.updated);
    state.counters["added"] = double(counts.added);
}
BENCHMARK(Merge100k)->Unit(benchmark::kMillisecond)->Iterations(2);

// The upgrade of the previous version's file (300 persons, 57 photos) into a shipped database.
static void UpgradeLegacy(benchmark::State& state) {
    QTemporaryDir dir;
    const QString shipped = dir.filePath(QStringLiteral("shipped.mdb"));
    const QString work = dir.filePath(QStringLiteral("lib.mdb"));
    login::writeShippedDatabase(shipped);
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(work);
        QFile::copy(shipped, work);
        {
            store::Database target(work);
            state.ResumeTiming();
            const std::unique_ptr<exchange::SourceDatabase> old = exchange::SourceDatabase::open(
                QStringLiteral(TESSALY_FIXTURES "/jet/legacy_lib_v4.mdb"), kPassword);
            exchange::upgradeFrom(target, *old);
            state.PauseTiming();
            state.counters["persons"] =
                target.scalar(QStringLiteral("SELECT count(*) FROM wslib")).toDouble();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(UpgradeLegacy)->Unit(benchmark::kMillisecond);
