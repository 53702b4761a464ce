// Several operators saving, searching and deleting the same persons on one server at once.

#include "PgCluster.h"
#include "ProgramTables.h"

#include "records/PersonColumns.h"
#include "records/PersonHistory.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <thread>

using namespace records;

namespace {

struct Attempt {
    qint64 rowid;
    bool deletion;
    RowVersion seen;
    GuardedWrite result;
    QString name; // what a save wrote
};

} // namespace

TEST(ConcurrentSave, NoUpdateIsLostAndEveryStaleWriteIsReported) {
    const QString conninfo = testing_support::PgCluster::instance().createDatabase();
    const auto setup = store::Database::connect(conninfo);
    testing_support::writeProgramTables(*setup);
    constexpr int kPersons = 6;
    constexpr int kDeletable = 2; // the last two may be deleted; the others are only saved
    std::vector<qint64> persons;
    for (int i = 0; i < kPersons; ++i)
        persons.push_back(addNumberedPerson(*setup, QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0')),
                                            Author("建档")));

    constexpr int kThreads = 6;
    constexpr int kSteps = 40;
    std::mutex lock;
    std::vector<Attempt> attempts;
    QStringList failures;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            try {
                const auto db = store::Database::connect(conninfo);
                const Author author(QStringLiteral("操作员%1").arg(t));
                std::mt19937 random(unsigned(t + 1));
                for (int step = 0; step < kSteps; ++step) {
                    const qint64 rowid = persons[random() % kPersons];
                    if (step % 5 == 4) { // a search between the writes
                        const auto list = openPersonList(*db);
                        if (list->count() > kPersons)
                            throw std::runtime_error("the list grew");
                        continue;
                    }
                    // Read as the entry window shows a person, then write a moment later.
                    const ShownPerson shown = readPersonWithVersion(*db, rowid);
                    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 3));
                    const bool deletion = rowid >= persons[kPersons - kDeletable] && random() % 8 == 0;
                    const QString name = QStringLiteral("%1-%2").arg(t).arg(step);
                    const GuardedWrite result =
                        deletion ? deletePersonIfUnchanged(*db, rowid, shown.version, author)
                                 : writePersonIfUnchanged(*db, rowid, shown.version, {{kPersonName, {name}}},
                                                          author);
                    const std::scoped_lock guard(lock);
                    attempts.push_back({rowid, deletion, shown.version, result, name});
                }
            } catch (const std::exception& e) {
                const std::scoped_lock guard(lock);
                failures << QString::fromUtf8(e.what());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    ASSERT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char('\n')).toStdString();

    int saved = 0;
    int conflicts = 0;
    for (const qint64 rowid : persons) {
        SCOPED_TRACE(rowid);
        // The successful writes of one person form one chain of versions: each was made from the
        // version the one before left, so none overwrote a save it did not know of.
        std::map<RowVersion, const Attempt*> chain;
        int savedHere = 0;
        for (const Attempt& a : attempts) {
            if (a.rowid != rowid)
                continue;
            switch (a.result.outcome) {
            case WriteOutcome::Saved:
                EXPECT_TRUE(chain.emplace(a.seen, &a).second) << "two writes from version " << a.seen;
                if (!a.deletion) {
                    EXPECT_EQ(a.result.version, a.seen + 1);
                    ++savedHere;
                }
                break;
            case WriteOutcome::Changed:
                // Reported stale: the row had moved on from what was read.
                EXPECT_GT(a.result.version, a.seen);
                ++conflicts;
                break;
            case WriteOutcome::Deleted:
                EXPECT_GE(rowid, persons[kPersons - kDeletable]) << "only a deleted person is gone";
                break;
            }
        }
        saved += savedHere;
        RowVersion expected = 1;
        for (const auto& [seen, a] : chain) {
            EXPECT_EQ(seen, expected) << "a write made from a version that was not the row's";
            expected = a->deletion ? -1 : a->result.version;
        }
        const ShownPerson now = readPersonWithVersion(*setup, rowid);
        const std::vector<HistoryRow> changes =
            readHistory(*setup, {.person = rowid, .kind = kHistoryChanged}, 10000);
        EXPECT_EQ(int(changes.size()), savedHere) << "one history row per save";
        if (!chain.empty() && chain.rbegin()->second->deletion) {
            EXPECT_TRUE(now.row.isEmpty());
            const std::vector<HistoryRow> deleted =
                readHistory(*setup, {.person = rowid, .kind = kHistoryDeleted}, 100);
            ASSERT_FALSE(deleted.empty());
            EXPECT_TRUE(std::all_of(deleted.begin(), deleted.end(), [&](const HistoryRow& r) {
                return r.change == deleted.front().change;
            })) << "deleted once";
            continue;
        }
        ASSERT_FALSE(now.row.isEmpty());
        EXPECT_EQ(now.version, expected);
        if (!chain.empty()) {
            // The last save is what a later read gives.
            EXPECT_EQ(now.row.at(kPersonName).toString(), chain.rbegin()->second->name);
            ASSERT_FALSE(changes.empty());
            EXPECT_EQ(changes.front().newValue.toString(), chain.rbegin()->second->name);
        }
    }
    EXPECT_GT(saved, 0);
    EXPECT_GT(conflicts, 0) << "the test made no stale write";
}
