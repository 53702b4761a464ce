#pragma once

#include "store/Database.h"

#include <QString>

#include <stdexcept>

namespace store {

// Work that rewrites many rows at once; on a server only one operator may run any of it at a time.
enum class BulkWork { ImportExcel, Merge, CategoryReplace, Upgrade, Initialise, Restore };

// What the operator is doing, as another operator is told: "导入Excel数据".
QString bulkWorkText(BulkWork work);

// Another connection holds the lock of bulk work.
class BulkLockRefused : public std::runtime_error {
public:
    BulkLockRefused(QString holder, BulkWork work);
    const QString& holder() const { return holder_; }
    BulkWork work() const { return work_; }
    // "操作员“张三”正在导入Excel数据，请稍后再试。"
    QString message() const;

private:
    QString holder_;
    BulkWork work_;
};

// One lock shared by all bulk work on a server database: a session-level advisory lock on the
// connection it is taken on, so the server releases it also when that connection dies. While held,
// the connection's application name carries the operator and the work for others to read. On the
// embedded file it does nothing: the lock file already keeps a second copy out.
// Take it outside a transaction: a rollback would undo the name (not the lock).
class BulkLock {
public:
    // Throws BulkLockRefused when another connection holds it, SqlError when the server fails.
    BulkLock(Database& db, const QString& operatorName, BulkWork work);
    BulkLock(BulkLock&& other) noexcept;
    BulkLock& operator=(BulkLock&& other) noexcept;
    BulkLock(const BulkLock&) = delete;
    BulkLock& operator=(const BulkLock&) = delete;
    ~BulkLock();

private:
    void release() noexcept;

    Database* db_ = nullptr; // null when nothing is held
    QString previous_;       // the application name before
};

} // namespace store
