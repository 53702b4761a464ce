#include "BenchFolder.h"

#include "records/HistoryWindow.h"
#include "records/PersonHistory.h"
#include "store/Database.h"
#include "store/ProgramState.h"

#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr qint64 kHistoryRows = 1000000;
constexpr qint64 kPersonsChanged = 100000; // ten rows each

// A program folder whose history holds a million rows over a hundred thousand persons.
store::Session& historySession() {
    static QTemporaryDir dir;
    static std::unique_ptr<store::Session> session = [] {
        bench::writeGeneratedDatabase(dir.filePath(QStringLiteral("lib.mdb")), 1000);
        auto s = std::make_unique<store::Session>(dir.path());
        s->open();
        s->state().currentUser = store::kSuperUser;
        store::Database& db = s->db();
        records::ensureHistoryTable(db);
        store::Transaction tx(db);
        db.exec(
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
                "INSERT INTO history (change_id, changed_at, operator, person, number, name, kind, field, "
                "old_value, new_value) SELECT i, datetime('2020-01-01', '+' || (i / 50) || ' minutes'), "
                "'操作员' || (i % 7), i % ?2 + 1, printf('%06d', i % ?2 + 1), '姓名' || (i % ?2), "
                "'修改', '现居住地', '旧地址' || i, '新地址' || i FROM n"),
            {kHistoryRows, kPersonsChanged});
        tx.commit();
        return s;
    }();
    return *session;
}

} // namespace

// The history window opened from the entry window for one person: the table checked, the
// person's rows read through the index, the grid filled.
static void HistoryOpen(benchmark::State& state) {
    store::Session& session = historySession();
    const qint64 person = kPersonsChanged / 2;
    int rows = 0;
    for (auto _ : state) {
        records::HistoryWindow window(
            session, records::HistoryWindow::Person{person, QStringLiteral("050000"), QString()}, {});
        rows = window.model().rowCount();
    }
    state.counters["rows"] = rows;
    state.counters["history"] = double(kHistoryRows);
}
BENCHMARK(HistoryOpen)->Unit(benchmark::kMillisecond);

// The main window's history searched for a personal number typed into the person filter.
static void HistoryFindNumber(benchmark::State& state) {
    store::Session& session = historySession();
    records::HistoryWindow window(session, std::nullopt, {});
    window.findChild<QLineEdit*>(QStringLiteral("PersonFilter"))->setText(QStringLiteral("050000"));
    for (auto _ : state)
        window.search();
    state.counters["rows"] = window.model().rowCount();
}
BENCHMARK(HistoryFindNumber)->Unit(benchmark::kMillisecond);
