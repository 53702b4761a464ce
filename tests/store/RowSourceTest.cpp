#include "TestFolder.h"

#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/RowSource.h"
#include "store/Schema.h"

#include <QObject>

#include <gtest/gtest.h>

#include <sqlite3.h>

using testing_support::TestFolder;

// A read that meets a file another program holds comes back as a value; the grid then asks the
// database nothing more until its observer resumes it.
TEST(RowSource, ALockedFileIsAFailedReadAndHoldsTheGridUntilResumed) {
    TestFolder folder;
    auto session = folder.session();
    store::Database& db = session->db();
    db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\") VALUES ('000001')"));
    store::RecordSet rows(db, store::schema::kPersons);
    QObject model;
    int told = 0;
    std::function<void()> resume;
    store::GridReads reads(&model, [&](const std::exception_ptr& error, std::function<void()> r) {
        ++told;
        EXPECT_TRUE(error);
        resume = std::move(r);
    });

    store::Database holder(session->databasePath());
    holder.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    holder.exec(QStringLiteral("UPDATE system SET bakpath = bakpath"));
    sqlite3_busy_timeout(db.handle(), 20);
    const store::RowRead failed = store::readCells(rows, 0);
    ASSERT_FALSE(failed.ok());
    try {
        std::rethrow_exception(failed.error);
    } catch (const store::SqlError& e) {
        EXPECT_EQ(e.code() & 0xff, SQLITE_BUSY);
    }
    EXPECT_TRUE(reads.cells(rows, 0).isEmpty());
    EXPECT_TRUE(reads.cells(rows, 0).isEmpty());
    EXPECT_EQ(told, 1) << "held after the first failure";

    holder.exec(QStringLiteral("ROLLBACK"));
    EXPECT_TRUE(reads.cells(rows, 0).isEmpty()) << "still held";
    ASSERT_TRUE(resume);
    resume();
    EXPECT_EQ(reads.cells(rows, 0).value(0).toString(), QStringLiteral("000001"));
    EXPECT_EQ(told, 1);
}
