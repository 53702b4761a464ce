// The lock of bulk work: one operator at a time on a server, who holds it named to the others.

#include "PgCluster.h"
#include "TestFolder.h"

#include "store/BulkLock.h"
#include "store/Database.h"

#include <gtest/gtest.h>

#include <QThread>

#include <functional>
#include <optional>
#include <vector>

using store::BulkLock;
using store::BulkLockRefused;
using store::BulkWork;

namespace {

// The refusal `db` meets when it asks for the lock now; empty when it gets it.
QString refusalOn(store::Database& db, const QString& name, BulkWork work) {
    try {
        const BulkLock lock(db, name, work);
        return {};
    } catch (const BulkLockRefused& e) {
        return e.message();
    }
}

QString applicationName(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT current_setting('application_name')")).toString();
}

} // namespace

TEST(BulkLock, OnTheServerTheSecondOperatorIsRefusedUntilTheFirstEnds) {
    const QString server = testing_support::PgCluster::instance().createDatabase();
    const auto first = store::Database::connect(server);
    const auto second = store::Database::connect(server);
    const QString named = applicationName(*first);

    // Every way the first operator's work can end lets the second in.
    struct Ending {
        const char* how;
        BulkWork work;
        QString expected;
        std::function<void(std::optional<BulkLock>&)> end;
    };
    const std::vector<Ending> endings = {
        {"finished", BulkWork::ImportExcel, QStringLiteral("操作员“张三”正在导入Excel数据，请稍后再试。"),
         [](std::optional<BulkLock>& lock) { lock.reset(); }},
        {"failed", BulkWork::CategoryReplace, QStringLiteral("操作员“张三”正在转类别，请稍后再试。"),
         [](std::optional<BulkLock>& lock) {
             try {
                 const BulkLock moved = std::move(*lock);
                 lock.reset();
                 throw std::runtime_error("work failed");
             } catch (const std::runtime_error&) {
             }
         }},
        {"connection lost", BulkWork::Restore, QStringLiteral("操作员“张三”正在恢复数据，请稍后再试。"),
         [&first](std::optional<BulkLock>&) { first->close(); }},
    };
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.how);
        if (!first->isOpen())
            first->reopen();
        std::optional<BulkLock> lock;
        lock.emplace(*first, QStringLiteral("张三"), e.work);
        EXPECT_EQ(refusalOn(*second, QStringLiteral("李四"), BulkWork::Merge), e.expected);
        EXPECT_EQ(refusalOn(*second, QStringLiteral("李四"), BulkWork::Upgrade), e.expected);
        e.end(lock);
        // The server lets go of a lost connection's locks a moment after it ends.
        QString refusal = e.expected;
        for (int tries = 0; tries < 100 && !refusal.isEmpty(); ++tries) {
            refusal = refusalOn(*second, QStringLiteral("李四"), BulkWork::Merge);
            if (!refusal.isEmpty())
                QThread::msleep(20);
        }
        EXPECT_EQ(refusal, QString());
        EXPECT_EQ(applicationName(*second), named) << "the name goes back with the lock";
    }

    // And the other way round, the second's operator named to the first.
    first->reopen();
    const BulkLock held(*second, QStringLiteral("李四"), BulkWork::Initialise);
    EXPECT_EQ(refusalOn(*first, QStringLiteral("张三"), BulkWork::Upgrade),
              QStringLiteral("操作员“李四”正在初始化数据，请稍后再试。"));
}

TEST(BulkLock, OnTheEmbeddedFileItChangesNothing) {
    testing_support::TestFolder folder;
    const auto first = store::openProgramDatabase(folder.file(QStringLiteral("lib.mdb")));
    const auto second = store::openProgramDatabase(folder.file(QStringLiteral("lib.mdb")));
    const BulkLock held(*first, QStringLiteral("张三"), BulkWork::Merge);
    EXPECT_EQ(refusalOn(*second, QStringLiteral("李四"), BulkWork::Merge), QString());
}
