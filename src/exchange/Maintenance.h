#pragma once

#include "store/Database.h"
#include "store/OperatorLog.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>

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

    static FileOps real();
};

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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

struct RepairResult {
    bool rebuilt = false;   // the integrity check failed and the file was rebuilt
    QString damagedCopy;    // where the damaged file now lies
    qint64 rowsRescued = 0; // rows carried into the rebuilt file
};

// The ten-second progress display: the percent to show now, or nothing once more than ten
// seconds have passed. Elapsed time is the distance between two full date-times, so passing
// midnight neither lengthens nor breaks the display; a clock set back starts it again.
class TenSecondProgress {
public:
    explicit TenSecondProgress(store::Clock clock);
    std::optional<int> percent();

private:
    store::Clock clock_;
    QDateTime start_;
};

// Backup, restore, repair and compact of lib.mdb. Each one closes the session's connection,
// works on the file and reopens the connection (the log re-attached) before it returns. A
// failure throws after the live file has been put back where a step had moved it, and after
// an attempt to reopen, so the office is never left without its lib.mdb.
class Maintenance {
public:
    explicit Maintenance(store::Session& session, FileOps ops = FileOps::real());

    void backup(const QString& target);

    RestoreRefusal checkRestoreSource(const QString& source) const;
    // Throws RestoreRefused (nothing changed) or the error of a failed step.
    void restore(const QString& source);

    RepairResult repair();
    void compact();

    // "20090201.mdb" by the session's clock, in the program folder.
    QString todayCopyPath() const;
    QString compactTargetPath() const;

private:
    void reopenAfterFailure() noexcept;
    RepairResult rebuild(const QString& damaged, const QString& fresh);

    store::Session& session_;
    FileOps ops_;
};

// The first of base.ext, base-1.ext, base-2.ext, ... that does not exist in `folder`.
QString freeFileName(const QString& folder, const QString& base, const QString& extension);

// Copies every row that can still be read from `table` of `from` into the same table of `to`,
// keeping rowids (the stored order); rows on damaged pages are skipped. Returns rows copied.
qint64 copyReadableRows(store::Database& from, store::Database& to, const QString& table);

} // namespace exchange
