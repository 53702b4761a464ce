// Work that exists only with a server: the upload of an office's file and several operators saving
// at once. These start a throw-away cluster of their own (or use TESSALY_BENCH_SERVER's).

#include "BenchFolder.h"

#include "exchange/Upload.h"
#include "records/PersonColumns.h"
#include "records/PersonHistory.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Job.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <random>
#include <thread>

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

namespace {

struct Save {
    qint64 rowid;
    records::RowVersion version;
    QString value;
};

// One operator: saves a note into random persons of `pool` for `seconds`, each save guarded by
// the version it read, as the entry window saves.
struct Operator {
    std::vector<Save> saved;
    std::vector<double> millis;
    qint64 conflicts = 0;
    QString failure;

    void work(const store::DatabaseTarget& target, const std::vector<qint64>& pool, int id, double seconds) {
        try {
            const auto db = target.open({});
            std::mt19937 random(unsigned(id) * 7919u);
            std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
            const int note = records::ordinalOf(u"备注");
            QElapsedTimer clock;
            clock.start();
            for (int n = 0; clock.elapsed() < qint64(seconds * 1000); ++n) {
                const qint64 rowid = pool[pick(random)];
                const records::ShownPerson shown = records::readPersonWithVersion(*db, rowid);
                const QString value = QStringLiteral("%1-%2").arg(id).arg(n);
                QElapsedTimer save;
                save.start();
                const records::GuardedWrite w =
                    records::writePersonIfUnchanged(*db, rowid, shown.version, {{note, {value, false}}},
                                                    records::Author(QStringLiteral("bench")));
                millis.push_back(double(save.nsecsElapsed()) / 1e6);
                if (w.outcome == records::WriteOutcome::Saved)
                    saved.push_back({rowid, w.version, value});
                else
                    ++conflicts;
            }
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    }
};

} // namespace

// Eight operators saving random persons among the same 200 for ten seconds. A save that succeeded
// must be what a later read gives unless a later save (of a higher version) replaced it; the
// benchmark fails itself when one is lost.
static void ConcurrentSave(benchmark::State& state) {
    if (!bench::onServer()) {
        state.SkipWithError("ConcurrentSave needs TESSALY_BENCH_ENGINE=postgresql");
        return;
    }
    store::Session& session = bench::sharedSession();
    std::vector<qint64> pool;
    {
        store::Statement st =
            session.db().prepare(QStringLiteral("SELECT rowid FROM wslib ORDER BY rowid LIMIT 200"));
        while (st.step())
            pool.push_back(st.integer(0));
    }
    constexpr int kOperators = 8;
    std::vector<Operator> operators(kOperators);
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (int i = 0; i < kOperators; ++i)
            threads.emplace_back([&, i] { operators[std::size_t(i)].work(session.target(), pool, i, 10.0); });
        for (std::thread& t : threads)
            t.join();
    }
    std::map<qint64, Save> newest;
    std::vector<double> millis;
    qint64 conflicts = 0;
    qint64 saves = 0;
    qint64 lost = 0;
    for (const Operator& o : operators) {
        if (!o.failure.isEmpty()) {
            state.SkipWithError(o.failure.toStdString().c_str());
            return;
        }
        millis.insert(millis.end(), o.millis.begin(), o.millis.end());
        conflicts += o.conflicts;
        saves += qint64(o.saved.size());
        for (const Save& s : o.saved) {
            auto [at, added] = newest.try_emplace(s.rowid, s);
            if (!added && at->second.version == s.version)
                ++lost; // two saves from one version: one of them overwrote the other unseen
            else if (!added && s.version > at->second.version)
                at->second = s;
        }
    }
    const int note = records::ordinalOf(u"备注");
    for (const auto& [rowid, s] : newest) {
        const records::ShownPerson now = records::readPersonWithVersion(session.db(), rowid);
        if (now.row.value(note).toString() != s.value)
            ++lost;
    }
    std::sort(millis.begin(), millis.end());
    state.counters["saves"] = double(saves);
    state.counters["conflicts"] = double(conflicts);
    state.counters["lost"] = double(lost);
    state.counters["p95_ms"] = millis.empty() ? 0 : millis[millis.size() * 95 / 100];
    if (lost > 0)
        state.SkipWithError("an update was lost");
}
BENCHMARK(ConcurrentSave)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
