#pragma once

#include "store/Database.h"
#include "store/Job.h"
#include "store/OperatorLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace store {
class Session;
}

namespace exchange {

// Whole-file operations of the maintenance. Tests replace one of them to fail at a chosen step.
struct FileOps {
    // Copies `from` over `to`; `to` is replaced only once the copy is complete.
    std::function<void(const QString& from, const QString& to)> copy;
    // Renames, replacing `to` when it exists.
    std::function<void(const QString& from, const QString& to)> rename;
    // Deletes; a missing file is no error.
    std::function<void(const QString& path)> remove;
    // Gives `from` the second name `to` (a hard link; `to` must not exist). Throws LinksUnsupported
    // on a file system without hard links (a USB stick's).
    std::function<void(const QString& from, const QString& to)> link;
    // Copies the file under an open connection to `to`, reading through the connection's own file
    // handle: opening the file a second time and closing it would drop the connection's locks
    // (POSIX drops all of a process's locks on a file when any of its descriptors closes).
    std::function<void(store::Database& from, const QString& to)> copyOpen;

    static FileOps real();
};

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LinksUnsupported : public FileError {
public:
    using FileError::FileError;
};

// The operation did not start: lib.mdb is as it was and the connection is open again. The code
// says why (SQLITE_READONLY: the program opened lib.mdb read-only; SQLITE_BUSY: another program
// holds it), so the window names the cause as it does for a refused save.
class OperationRefused : public store::SqlError {
public:
    using store::SqlError::SqlError;
};

// Why a chosen file may not replace the live database: it is the live file itself, or it does
// not open as a database of this system (`failure` says why).
struct RestoreRefusal {
    enum Kind { None, LiveFile, Unopened };
    Kind kind = None;
    store::OpenFailure failure = store::OpenFailure::Missing; // when Unopened

    RestoreRefusal(Kind k = None) : kind(k) {} // NOLINT: RestoreRefusal::None reads as a refusal
    static RestoreRefusal unopened(store::OpenFailure f) {
        RestoreRefusal r(Unopened);
        r.failure = f;
        return r;
    }
    bool operator==(const RestoreRefusal&) const = default;
};

class RestoreRefused : public std::runtime_error {
public:
    explicit RestoreRefused(RestoreRefusal why);
    RestoreRefusal why() const { return why_; }

private:
    RestoreRefusal why_;
};

// The server login may not do this to the tables: only their owner may.
class ServerRightsMissing : public std::runtime_error {
public:
    explicit ServerRightsMissing(QString login)
        : std::runtime_error("the server login does not own the tables"), login_(std::move(login)) {}
    const QString& login() const { return login_; }

private:
    QString login_;
};

// What a whole-database copy on the server says while it writes.
QString serverBackupProgressText(const QString& table, qint64 done, qint64 total);
QString serverRestoreProgressText(const QString& table, qint64 done, qint64 total);

// What a rebuild carried over from one table.
struct TableRescue {
    QString table;
    qint64 rows = 0; // rows carried into the rebuilt file
    // Rowid ranges (first, last) that could not be read or stored, in order; a range that runs
    // to the end of the table ends at the largest rowid.
    std::vector<std::pair<qint64, qint64>> lost;
};

struct RepairResult {
    bool rebuilt = false;       // the integrity check failed and the file was rebuilt
    QStringList rebuiltIndexes; // on the server: the indexes the check found damaged, rebuilt since
    QString damagedCopy;        // where the damaged file now lies
    qint64 rowsRescued = 0;     // rows carried into the rebuilt file
    std::vector<TableRescue> tables;
    bool lostRows() const;
};

// The ten-second progress display: ten times the whole seconds elapsed, 100 once ten seconds
// have passed, and nothing after that. Elapsed time is the distance between two full date-times,
// so passing midnight neither lengthens nor breaks the display; a clock set back starts it again.
class TenSecondProgress {
public:
    explicit TenSecondProgress(store::Clock clock);
    std::optional<int> percent();

private:
    store::Clock clock_;
    QDateTime start_;
    bool ended_ = false;
};

// The file work of an operation, done while the session's connection is closed.
using FileWork = std::function<void(store::JobControl& control)>;
// Runs it: here and now, or off the window thread as a job. `cancellable` where a stop leaves
// lib.mdb as it was.
using RunFileWork = std::function<void(bool cancellable, const FileWork& work)>;
// Runs the work on the calling thread, without progress or stopping.
RunFileWork runHere();

// Backup, restore, repair and compact of lib.mdb. On the server the same four work on the server's
// tables over connections of their own, and the session's connection stays open: backup writes
// one consistent snapshot into a new lib.mdb; restore first writes the server's tables into the
// dated copy and then replaces their rows by the file's in one transaction; repair checks every
// index (and rebuilds a damaged one); compact vacuums. Repair and compact need the tables'
// owner (ServerRightsMissing). Each one closes the session's connection,
// works on the file and reopens the connection (the log re-attached) before it returns. A
// failure throws after the live file has been put back where a step had moved it, and after
// an attempt to reopen, so the office is never left without its lib.mdb. Restore, repair and
// compact hold lib.mdb exclusively while they work on it, and refuse (OperationRefused) on a
// database the program opened read-only or that another program holds.
class Maintenance {
public:
    // The session's connection is closed and reopened on the calling thread; `run` does the
    // file work between.
    explicit Maintenance(store::Session& session, FileOps ops = FileOps::real(), RunFileWork run = runHere());

    void backup(const QString& target);

    // Throws OperationRefused when the session's lib.mdb may not be replaced (opened read-only).
    void checkReplaceable() const;

    // Throws OperationRefused as restore() would when lib.mdb cannot be held exclusively now
    // (read-only, or another program holds it); the connection stays open.
    void checkHoldable();

    RestoreRefusal checkRestoreSource(const QString& source) const;
    // Throws RestoreRefused (nothing changed) or the error of a failed step.
    void restore(const QString& source);

    RepairResult repair();
    // A stop asked before the compacted file takes lib.mdb's place throws store::Cancelled with
    // lib.mdb as it was and the connection open again.
    void compact();

    // "20090201.mdb" by the session's clock, in the program folder.
    QString todayCopyPath() const;
    QString compactTargetPath() const;

private:
    void reopenAfterFailure() noexcept;
    void backupServer(const QString& target);
    void restoreServer(const QString& source);
    RepairResult repairServer();
    void compactServer();
    // Writes the server's tables into a new lib.mdb at `file` (replaced when there), inside
    // whatever transaction `server` has open.
    void writeServerTables(store::Database& server, const QString& file, store::JobControl& control,
                           QString (*text)(const QString&, qint64, qint64));
    // Closes the session's connection and opens lib.mdb holding an exclusive lock until the
    // returned connection closes; refuses (connection reopened) when the lock cannot be had.
    std::unique_ptr<store::Database> lockLive();
    RepairResult rebuild(store::Database& from, const QString& fresh);

    store::Session& session_;
    FileOps ops_;
    RunFileWork run_;
};

// The first of base.ext, base-1.ext, base-2.ext, ... that does not exist in `folder`.
QString freeFileName(const QString& folder, const QString& base, const QString& extension);

// Copies every row that can still be read from `table` of `from` into the same table of `to`,
// keeping rowids (the stored order); rows on damaged pages are skipped and named.
TableRescue copyReadableRows(store::Database& from, store::Database& to, const QString& table);

// The staging copies that an interrupted restore (the program ended during it) left in the
// program folder: deleted, their names returned. Call only with the single-copy lock held.
QStringList removeRestoreLeftovers(const QString& folder);

} // namespace exchange
