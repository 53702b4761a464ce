#include "exchange/Maintenance.h"

#include "exchange/TableCopy.h"
#include "records/PersonHistory.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>
#include <vector>

namespace exchange {

namespace {

Q_LOGGING_CATEGORY(lcMaintenance, "tessaly.exchange.maintenance")

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

QString describe(const std::error_code& ec) {
    return QString::fromLocal8Bit(ec.message().c_str());
}

void copyFile(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("cannot read %1: %2").arg(from, in.errorString()).toStdString());
    // Written beside the target and renamed over it at the end: a failed copy leaves an
    // earlier file of that name as it was.
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        throw FileError(QStringLiteral("cannot write %1: %2").arg(to, out.errorString()).toStdString());
    constexpr qint64 kChunk = 4 * 1024 * 1024;
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), kChunk);
        if (n < 0)
            throw FileError(QStringLiteral("cannot read %1: %2").arg(from, in.errorString()).toStdString());
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            throw FileError(QStringLiteral("cannot write %1: %2").arg(to, out.errorString()).toStdString());
    }
    if (!out.commit())
        throw FileError(QStringLiteral("cannot write %1: %2").arg(to, out.errorString()).toStdString());
}

void renameFile(const QString& from, const QString& to) {
    std::error_code ec;
    std::filesystem::rename(fsPath(from), fsPath(to), ec);
    if (ec)
        throw FileError(
            QStringLiteral("cannot rename %1 to %2: %3").arg(from, to, describe(ec)).toStdString());
}

void removeFile(const QString& path) {
    std::error_code ec;
    std::filesystem::remove(fsPath(path), ec);
    if (ec)
        throw FileError(QStringLiteral("cannot delete %1: %2").arg(path, describe(ec)).toStdString());
}

void linkFile(const QString& from, const QString& to) {
    std::error_code ec;
    std::filesystem::create_hard_link(fsPath(from), fsPath(to), ec);
    if (!ec)
        return;
    const QString text = QStringLiteral("cannot link %1 to %2: %3").arg(from, to, describe(ec));
    for (const std::errc unsupported :
         {std::errc::operation_not_permitted, std::errc::cross_device_link, std::errc::not_supported,
          std::errc::operation_not_supported, std::errc::function_not_supported, std::errc::too_many_links}) {
        if (ec == unsupported)
            throw LinksUnsupported(text.toStdString());
    }
    throw FileError(text.toStdString());
}

void copyOpenFile(store::Database& from, const QString& to) {
    const qint64 size = from.fileSize();
    if (size < 0)
        throw FileError(QStringLiteral("cannot reach the file of %1").arg(from.path()).toStdString());
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        throw FileError(QStringLiteral("cannot write %1: %2").arg(to, out.errorString()).toStdString());
    constexpr qint64 kChunk = 4 * 1024 * 1024;
    QByteArray buffer(int(std::min(kChunk, std::max<qint64>(size, 1))), Qt::Uninitialized);
    for (qint64 offset = 0; offset < size;) {
        const int n = int(std::min<qint64>(buffer.size(), size - offset));
        if (!from.readFile(offset, buffer.data(), n))
            throw FileError(QStringLiteral("cannot read %1").arg(from.path()).toStdString());
        if (out.write(buffer.constData(), n) != n)
            throw FileError(QStringLiteral("cannot write %1: %2").arg(to, out.errorString()).toStdString());
        offset += n;
    }
    if (!out.commit())
        throw FileError(QStringLiteral("cannot write %1: %2").arg(to, out.errorString()).toStdString());
}

// A file that takes lib.mdb's place (or name) gets its mode: a staging copy is made 0600, a new
// file takes the umask, and the office may have opened lib.mdb to a group.
void keepMode(const QString& from, const QString& to) noexcept {
    std::error_code ec;
    const std::filesystem::perms mode = std::filesystem::status(fsPath(from), ec).permissions();
    if (!ec)
        std::filesystem::permissions(fsPath(to), mode, ec);
    if (ec)
        qCWarning(lcMaintenance) << "could not give" << to << "the mode of" << from << ":" << describe(ec);
}

// Renames that can be taken back, newest first, when a later step fails.
class Renames {
public:
    explicit Renames(const FileOps& ops) : ops_(ops) {}
    Renames(const Renames&) = delete;
    Renames& operator=(const Renames&) = delete;

    // Only to a free name, so that undoing it loses nothing.
    void rename(const QString& from, const QString& to) {
        ops_.rename(from, to);
        done_.emplace_back(from, to);
    }

    void undo() noexcept {
        for (auto it = done_.rbegin(); it != done_.rend(); ++it) {
            try {
                ops_.rename(it->second, it->first);
            } catch (const std::exception& e) {
                qCCritical(lcMaintenance)
                    << "could not move" << it->second << "back to" << it->first << ":" << e.what();
            }
        }
        done_.clear();
    }

private:
    const FileOps& ops_;
    std::vector<std::pair<QString, QString>> done_;
};

void removeQuietly(const FileOps& ops, const QString& path) noexcept {
    try {
        ops.remove(path);
    } catch (const std::exception& e) {
        qCWarning(lcMaintenance) << "could not delete" << path << ":" << e.what();
    }
}

// Replaces lib.mdb by a new file and keeps the old one under a second (free) name: lib.mdb first
// gets that name beside its own (a hard link, or a copy where the file system has none), then the
// new file is renamed over it, so at no moment is there no lib.mdb.
class Replacement {
public:
    Replacement(const FileOps& ops, QString live, QString keep)
        : ops_(ops), live_(std::move(live)), keep_(std::move(keep)) {}
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // `lock` holds lib.mdb; a copy reads through it.
    void run(store::Database& lock, const QString& fresh) {
        try {
            ops_.link(live_, keep_);
        } catch (const LinksUnsupported& e) {
            qCInfo(lcMaintenance) << "copying instead:" << e.what();
            ops_.copyOpen(lock, keep_);
            keepMode(live_, keep_);
        }
        kept_ = true;
        ops_.rename(fresh, live_);
        swapped_ = true;
    }

    // Puts the old file back. False when it could not: the second name then holds the only copy
    // of the old file, and nothing may be moved onto it.
    bool undo() noexcept {
        if (swapped_) {
            try {
                ops_.rename(keep_, live_);
            } catch (const std::exception& e) {
                qCCritical(lcMaintenance)
                    << "could not move" << keep_ << "back to" << live_ << ":" << e.what();
                return false;
            }
        } else if (kept_) {
            removeQuietly(ops_, keep_);
        }
        kept_ = swapped_ = false;
        return true;
    }

    bool swapped() const { return swapped_; }

private:
    const FileOps& ops_;
    QString live_;
    QString keep_;
    bool kept_ = false;
    bool swapped_ = false;
};

// Lets a stop asked for interrupt the statement running on `db` while it lives.
class StopOnRequest {
public:
    StopOnRequest(store::Database& db, const store::JobControl& control)
        : check_(db, [&control] { return control.stopRequested(); }) {}

private:
    store::Database::StopCheck check_;
};

bool integrityOk(store::Database& db) {
    try {
        store::Statement st = db.prepare(QStringLiteral("PRAGMA integrity_check"));
        bool ok = false;
        while (st.step()) {
            const QString line = st.text(0);
            if (line != QLatin1String("ok")) {
                qCWarning(lcMaintenance) << "integrity check:" << line;
                return false;
            }
            ok = true;
        }
        return ok;
    } catch (const store::SqlError& e) {
        qCWarning(lcMaintenance) << "integrity check failed:" << e.what();
        return false;
    }
}

// A unique, empty file in `folder` to copy into.
QString stagingPath(const QString& folder) {
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral("lib-restore-XXXXXX.mdb")));
    file.setAutoRemove(false);
    if (!file.open())
        throw FileError(QStringLiteral("cannot create a file in %1").arg(folder).toStdString());
    return file.fileName();
}

// What a seek to the first row at or after a rowid finds.
struct Probe {
    enum Kind { Fails, Row, End } kind;
    qint64 rowid = 0;
};

Probe probe(store::Database& db, const QString& table, qint64 from) {
    try {
        store::Statement st =
            db.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE rowid >= ? ORDER BY rowid LIMIT 1")
                           .arg(store::quoted(table)));
        st.bind(1, from);
        if (st.step())
            return {Probe::Row, st.integer(0)};
        return {Probe::End};
    } catch (const store::SqlError&) {
        return {Probe::Fails};
    }
}

qint64 saturatingAdd(qint64 a, qint64 b) {
    return a > std::numeric_limits<qint64>::max() - b ? std::numeric_limits<qint64>::max() : a + b;
}

// Seeks fail from `damaged` on up to the end of the unreadable stretch: finds its end with growing
// steps, then the first rowid past it by halving. Nothing when the stretch runs to the end.
std::optional<qint64> pastDamage(store::Database& db, const QString& table, qint64 damaged) {
    qint64 bad = damaged;
    qint64 good = 0;
    for (qint64 step = 1;; step = saturatingAdd(step, step)) {
        if (bad == std::numeric_limits<qint64>::max())
            return std::nullopt;
        const qint64 next = saturatingAdd(bad, step);
        if (probe(db, table, next).kind != Probe::Fails) {
            good = next;
            break;
        }
        bad = next;
    }
    while (good - bad > 1) {
        const qint64 mid = bad + (good - bad) / 2;
        if (probe(db, table, mid).kind == Probe::Fails)
            bad = mid;
        else
            good = mid;
    }
    return good;
}

} // namespace

FileOps FileOps::real() {
    return {&copyFile, &renameFile, &removeFile, &linkFile, &copyOpenFile};
}

bool RepairResult::lostRows() const {
    return std::any_of(tables.begin(), tables.end(), [](const TableRescue& t) { return !t.lost.empty(); });
}

RestoreRefused::RestoreRefused(RestoreRefusal why) : std::runtime_error("restore refused"), why_(why) {}

// ---- TenSecondProgress ----

TenSecondProgress::TenSecondProgress(store::Clock clock) : clock_(std::move(clock)), start_(clock_()) {}

std::optional<int> TenSecondProgress::percent() {
    if (ended_)
        return std::nullopt;
    const QDateTime now = clock_();
    qint64 elapsed = start_.msecsTo(now);
    if (elapsed < 0) {
        start_ = now;
        elapsed = 0;
    }
    // Ticks seldom fall on the tenth second itself: the first one past it shows 100 and ends.
    const qint64 seconds = elapsed / 1000;
    if (seconds >= 10) {
        ended_ = true;
        return 100;
    }
    return int(seconds) * 10;
}

// ---- Maintenance ----

RunFileWork runHere() {
    return [](bool, const FileWork& work) { work(store::untracked()); };
}

Maintenance::Maintenance(store::Session& session, FileOps ops, RunFileWork run)
    : session_(session), ops_(std::move(ops)), run_(std::move(run)) {}

QString Maintenance::todayCopyPath() const {
    return session_.filePath(session_.now().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".mdb"));
}

QString Maintenance::compactTargetPath() const {
    return session_.filePath(QStringLiteral("libnew.mdb"));
}

void Maintenance::reopenAfterFailure() noexcept {
    try {
        session_.reopenConnection();
    } catch (const std::exception& e) {
        qCCritical(lcMaintenance) << "the database could not be reopened:" << e.what();
    }
}

void Maintenance::checkReplaceable() const {
    store::Database& db = session_.db();
    if (session_.openOptions().readOnly || (db.isOpen() && db.isReadOnly()))
        throw OperationRefused(store::SqlFailure::ReadOnly, QStringLiteral("lib.mdb was opened read-only"));
}

std::unique_ptr<store::Database> Maintenance::lockLive() {
    // Taken while the session's connection is still open, so a refusal leaves it as it was.
    // Exclusive locking mode keeps the lock after the transaction until the connection closes.
    store::OpenOptions options = session_.openOptions();
    options.readOnly = false;
    try {
        auto db = store::openProgramDatabase(session_.databasePath(),
                                             QString::fromLatin1(store::Database::kPassword), options);
        db->exec(QStringLiteral("PRAGMA main.locking_mode = EXCLUSIVE"));
        db->exec(QStringLiteral("BEGIN EXCLUSIVE"));
        db->exec(QStringLiteral("COMMIT"));
        return db;
    } catch (const store::OpenError& e) {
        if (e.kind() == store::OpenFailure::Locked)
            throw OperationRefused(store::SqlFailure::Busy, QString::fromUtf8(e.what()));
        throw;
    } catch (const store::SqlError& e) {
        if (e.failure() == store::SqlFailure::Busy || e.failure() == store::SqlFailure::ReadOnly)
            throw OperationRefused(e.code(), QString::fromUtf8(e.what()));
        throw;
    }
}

void Maintenance::backup(const QString& target) {
    if (session_.onServer())
        return backupServer(target);
    const QString live = session_.databasePath();
    session_.closeConnection();
    try {
        run_(false, [&](store::JobControl&) {
            ops_.copy(live, target);
            // The copy must open with the password and hold the seven tables.
            store::openProgramDatabase(target);
        });
    } catch (...) {
        reopenAfterFailure();
        throw;
    }
    session_.reopenConnection();
}

void Maintenance::checkHoldable() {
    checkReplaceable();
    if (session_.onServer())
        return; // the restore's own transaction waits for the server's tables
    lockLive().reset();
}

RestoreRefusal Maintenance::checkRestoreSource(const QString& source) const {
    std::error_code ec;
    if (std::filesystem::equivalent(fsPath(source), fsPath(session_.databasePath()), ec))
        return RestoreRefusal::LiveFile;
    try {
        store::openProgramDatabase(source);
    } catch (const store::OpenError& e) {
        return RestoreRefusal::unopened(e.kind());
    } catch (const store::SqlError&) {
        return RestoreRefusal::unopened(store::OpenFailure::NotADatabase);
    }
    return RestoreRefusal::None;
}

void Maintenance::restore(const QString& source) {
    checkReplaceable();
    if (const RestoreRefusal why = checkRestoreSource(source); why != RestoreRefusal::None)
        throw RestoreRefused(why);
    if (session_.onServer())
        return restoreServer(source);
    const QString live = session_.databasePath();
    const QString folder = session_.programFolder();
    const QString today = todayCopyPath();
    std::unique_ptr<store::Database> lock = lockLive();
    session_.closeConnection();
    Renames renames(ops_);
    Replacement replacement(ops_, live, today);
    QString staged;
    try {
        run_(false, [&](store::JobControl&) {
            // The chosen file is copied first and checked there, so the live file is only touched
            // once a good replacement lies ready beside it.
            staged = stagingPath(folder);
            ops_.copy(source, staged);
            store::openProgramDatabase(staged);
            keepMode(live, staged);

            if (QFileInfo::exists(today)) {
                const QString base = QFileInfo(today).completeBaseName();
                renames.rename(today,
                               QDir(folder).filePath(freeFileName(folder, base, QStringLiteral("mdb"))));
            }
            replacement.run(*lock, staged);
        });
        lock.reset();
        session_.reopenConnection();
    } catch (...) {
        const bool swapped = replacement.swapped();
        if (replacement.undo())
            renames.undo();
        if (!staged.isEmpty() && !swapped)
            removeQuietly(ops_, staged);
        lock.reset();
        reopenAfterFailure();
        throw;
    }
}

RepairResult Maintenance::repair() {
    checkReplaceable();
    if (session_.onServer())
        return repairServer();
    const QString live = session_.databasePath();
    const QString folder = session_.programFolder();
    const QString fresh = compactTargetPath();
    std::unique_ptr<store::Database> lock = lockLive();
    session_.closeConnection();
    std::optional<Replacement> replacement;
    RepairResult result;
    bool wroteFresh = false;
    const QString damagedBase =
        QStringLiteral("lib-damaged-") + session_.now().toString(QStringLiteral("yyyyMMdd"));
    try {
        run_(false, [&](store::JobControl&) {
            if (integrityOk(*lock))
                return;
            ops_.remove(fresh);
            wroteFresh = true;
            result = rebuild(*lock, fresh);
            keepMode(live, fresh);
            result.damagedCopy =
                QDir(folder).filePath(freeFileName(folder, damagedBase, QStringLiteral("mdb")));
            replacement.emplace(ops_, live, result.damagedCopy);
            replacement->run(*lock, fresh);
            qCInfo(lcMaintenance) << "rebuilt" << live << "with" << result.rowsRescued
                                  << "rows; the damaged file is" << result.damagedCopy;
        });
        lock.reset();
        session_.reopenConnection();
    } catch (...) {
        if (replacement)
            replacement->undo();
        if (wroteFresh)
            removeQuietly(ops_, fresh);
        lock.reset();
        reopenAfterFailure();
        throw;
    }
    return result;
}

RepairResult Maintenance::rebuild(store::Database& from, const QString& fresh) {
    RepairResult result;
    result.rebuilt = true;
    std::unique_ptr<store::Database> to = store::Database::create(fresh);

    // The schema as the damaged file declares it: the tables first, their indexes (and anything
    // else) once the rows are in.
    struct Entry {
        QString type, name, sql;
    };
    std::vector<Entry> entries;
    store::Statement st =
        from.prepare(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                                    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"));
    while (st.step())
        entries.push_back({st.text(0), st.text(1), st.text(2)});

    store::Transaction tx(*to);
    for (const Entry& e : entries) {
        if (e.type == QLatin1String("table"))
            to->exec(e.sql);
    }
    for (const Entry& e : entries) {
        if (e.type == QLatin1String("table")) {
            result.tables.push_back(copyReadableRows(from, *to, e.name));
            result.rowsRescued += result.tables.back().rows;
        }
    }
    for (const Entry& e : entries) {
        if (e.type == QLatin1String("table"))
            continue;
        try {
            to->exec(e.sql);
        } catch (const store::SqlError& err) {
            qCWarning(lcMaintenance) << "left out" << e.type << e.name
                                     << "of the rebuilt file:" << err.what();
        }
    }
    tx.commit();
    return result;
}

void Maintenance::compact() {
    checkReplaceable();
    if (session_.onServer())
        return compactServer();
    const QString live = session_.databasePath();
    const QString target = compactTargetPath();
    std::unique_ptr<store::Database> lock = lockLive();
    session_.closeConnection();
    try {
        run_(true, [&](store::JobControl& control) {
            control.note(0, 0, QString()); // no share of the work can be told: a busy bar
            ops_.remove(target);
            {
                // The connection may not create files: an empty file is an empty database to it.
                QFile empty(target);
                if (!empty.open(QIODevice::WriteOnly))
                    throw FileError(QStringLiteral("cannot create %1: %2")
                                        .arg(target, empty.errorString())
                                        .toStdString());
            }
            control.checkpoint();
            lock->exec(QStringLiteral("ATTACH DATABASE ? AS compacted KEY ?"),
                       {target, QString::fromLatin1(store::Database::kPassword)});
            lock->exec(QStringLiteral("PRAGMA compacted.cipher_page_size = 4096"));
            try {
                const StopOnRequest stop(*lock, control);
                lock->scalar(QStringLiteral("SELECT sqlcipher_export('compacted')"));
            } catch (const store::SqlError&) {
                control.checkpoint(); // interrupted by the stop
                throw;
            }
            lock->exec(QStringLiteral("DETACH DATABASE compacted"));
            // Opens with the password and 4 KB pages, and holds the seven tables.
            store::openProgramDatabase(target);
            keepMode(live, target);
            // The last moment to stop: after the rename the compacted file is lib.mdb.
            control.checkpoint();
            // Replaces lib.mdb in one step: there is no moment without a live file.
            ops_.rename(target, live);
        });
        lock.reset();
        session_.reopenConnection();
    } catch (const store::Cancelled&) {
        lock.reset();
        removeQuietly(ops_, target);
        // Stopped with lib.mdb untouched: a connection that does not open again is a failure.
        session_.reopenConnection();
        throw;
    } catch (...) {
        lock.reset();
        removeQuietly(ops_, target);
        reopenAfterFailure();
        throw;
    }
}

QString freeFileName(const QString& folder, const QString& base, const QString& extension) {
    const QDir dir(folder);
    QString name = base + QLatin1Char('.') + extension;
    for (int n = 1; dir.exists(name); ++n)
        name = QStringLiteral("%1-%2.%3").arg(base).arg(n).arg(extension);
    return name;
}

QStringList removeRestoreLeftovers(const QString& folder) {
    const QDir dir(folder);
    QStringList removed;
    for (const QString& name : dir.entryList({QStringLiteral("lib-restore-??????.mdb")}, QDir::Files)) {
        if (QFile::remove(dir.filePath(name)))
            removed << name;
        else
            qCWarning(lcMaintenance) << "could not delete the restore's leftover" << dir.filePath(name);
    }
    if (!removed.isEmpty())
        qCWarning(lcMaintenance) << "an interrupted restore left" << removed << "in" << folder;
    return removed;
}

namespace {

// Adds a lost rowid range, joining it to the previous one where they meet.
void addLost(TableRescue& rescue, qint64 first, qint64 last) {
    if (!rescue.lost.empty() && rescue.lost.back().second < std::numeric_limits<qint64>::max() &&
        rescue.lost.back().second + 1 >= first) {
        rescue.lost.back().second = std::max(rescue.lost.back().second, last);
        return;
    }
    rescue.lost.emplace_back(first, last);
}

} // namespace

TableRescue copyReadableRows(store::Database& from, store::Database& to, const QString& table) {
    QStringList columns;
    QStringList marks{QStringLiteral("?")};
    for (const store::TableColumn& c : store::tableColumns(from, table)) {
        columns << store::quoted(c.name);
        marks << QStringLiteral("?");
    }
    store::Statement insert = to.prepare(
        QStringLiteral("INSERT INTO %1 (rowid, %2) VALUES (%3)")
            .arg(store::quoted(table), columns.join(QLatin1String(", ")), marks.join(QLatin1String(", "))));
    const QString select = QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ? ORDER BY rowid")
                               .arg(columns.join(QLatin1String(", ")), store::quoted(table));

    constexpr qint64 kLast = std::numeric_limits<qint64>::max();
    TableRescue rescue{table, 0, {}};
    qint64 next = std::numeric_limits<qint64>::min();
    for (;;) {
        try {
            store::Statement rows = from.prepare(select);
            rows.bind(1, next);
            while (rows.step()) {
                const qint64 rowid = rows.integer(0);
                for (int c = 0; c < rows.columnCount(); ++c)
                    insert.bind(c + 1, rows.value(c));
                try {
                    insert.run();
                    ++rescue.rows;
                } catch (const store::SqlError& e) {
                    qCWarning(lcMaintenance) << "row" << rowid << "of" << table << "refused:" << e.what();
                    addLost(rescue, rowid, rowid);
                }
                insert.reset();
                if (rowid == kLast)
                    return rescue;
                next = rowid + 1;
            }
            return rescue;
        } catch (const store::SqlError& e) {
            qCWarning(lcMaintenance) << "unreadable rows in" << table << "from rowid" << next << ":"
                                     << e.what();
        }
        const Probe here = probe(from, table, next);
        if (here.kind == Probe::Row) {
            // The pages lead to the row, but the row itself (a long value) cannot be read.
            qCWarning(lcMaintenance) << "row" << here.rowid << "of" << table << "left out";
            addLost(rescue, here.rowid, here.rowid);
            if (here.rowid == kLast)
                return rescue;
            next = here.rowid + 1;
            continue;
        }
        if (here.kind == Probe::End)
            return rescue;
        const std::optional<qint64> after = pastDamage(from, table, next);
        addLost(rescue, next, after ? *after - 1 : kLast);
        if (!after)
            return rescue;
        next = *after;
    }
}

// ---- on the server ----

QString serverBackupProgressText(const QString& table, qint64 done, qint64 total) {
    return QStringLiteral("正在备份“%1”表…… %2 / %3").arg(table).arg(done).arg(total);
}

QString serverRestoreProgressText(const QString& table, qint64 done, qint64 total) {
    return QStringLiteral("正在恢复“%1”表…… %2 / %3").arg(table).arg(done).arg(total);
}

namespace {

std::unique_ptr<store::Database> connectServer(const store::Session& session) {
    return store::Database::connect(session.target().server);
}

QString login(store::Database& server) {
    return server.scalar(QStringLiteral("SELECT session_user::text")).toString();
}

// Repair and compact work as the role that owns the tables: a login that is that role's member
// takes it on; a super user already may; anyone else is refused before anything runs (the
// server itself would only skip the tables with a warning).
void actAsOwner(store::Database& server) {
    const QString owner =
        server
            .scalar(QStringLiteral("SELECT tableowner::text FROM pg_catalog.pg_tables WHERE schemaname = "
                                   "current_schema() AND tablename = ?"),
                    {store::schema::kPersons})
            .toString();
    const bool super =
        server.scalar(QStringLiteral("SELECT rolsuper FROM pg_catalog.pg_roles WHERE rolname = current_user"))
            .toBool();
    if (super || owner == server.scalar(QStringLiteral("SELECT current_user::text")).toString())
        return;
    if (owner.isEmpty() ||
        !server.scalar(QStringLiteral("SELECT pg_has_role(current_user, ?::name, 'MEMBER')"), {owner})
             .toBool())
        throw ServerRightsMissing(login(server));
    server.exec(QStringLiteral("SET ROLE %1").arg(store::quoted(owner)));
}

// The server's names of the carried tables, as a bound list "(?, ?, ...)".
QString tableMarks(const QStringList& tables) {
    QStringList marks;
    for (qsizetype i = 0; i < tables.size(); ++i)
        marks << QStringLiteral("?");
    return QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QVariantList asParams(const QStringList& values) {
    return {values.begin(), values.end()};
}

} // namespace

void Maintenance::writeServerTables(store::Database& server, const QString& file, store::JobControl& control,
                                    QString (*text)(const QString&, qint64, qint64)) {
    ops_.remove(file);
    const QStringList tables = carriedTables(server);
    const qint64 total = carriedRows(server, tables);
    qint64 done = 0;
    {
        const auto to = store::Database::create(file);
        store::Transaction tx(*to);
        for (const QString& table : tables) {
            control.note(done, total, text(table, done, total));
            createTableLike(server, *to, table);
            copyTableRows(server, *to, table, [&] {
                if (++done % 256 == 0)
                    control.note(done, total, text(table, done, total));
            });
        }
        tx.commit();
        // The searches' indexes, as start-up would make them on first opening the file.
        records::addPersonIndexes(*to, {});
    }
    // Opens with the password and holds the seven tables.
    store::openProgramDatabase(file);
}

void Maintenance::backupServer(const QString& target) {
    run_(false, [&](store::JobControl& control) {
        const auto server = connectServer(session_);
        // One snapshot of every table: what others commit meanwhile is not half in the copy.
        store::Transaction snapshot(*server);
        server->exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
        // Written beside the target and renamed over it: a failure leaves an earlier file as it was.
        const QFileInfo info(target);
        const QString part =
            QDir(info.absolutePath())
                .filePath(freeFileName(info.absolutePath(), info.completeBaseName() + QStringLiteral("-part"),
                                       QStringLiteral("mdb")));
        try {
            writeServerTables(*server, part, control, &serverBackupProgressText);
            snapshot.commit();
            ops_.rename(part, target);
        } catch (...) {
            removeQuietly(ops_, part);
            throw;
        }
    });
}

void Maintenance::restoreServer(const QString& source) {
    const QString folder = session_.programFolder();
    const QString today = todayCopyPath();
    Renames renames(ops_);
    QString staged;
    try {
        run_(false, [&](store::JobControl& control) {
            const auto from =
                store::openProgramDatabase(source, QString::fromLatin1(store::Database::kPassword), {true});
            const auto server = connectServer(session_);
            store::Transaction tx(*server);
            // Nobody writes from here to the commit, so the dated copy holds exactly what is replaced.
            const QStringList present = carriedTables(*server);
            QStringList locked;
            for (const QString& table : present)
                locked << store::quoted(table);
            server->exec(
                QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE").arg(locked.join(QStringLiteral(", "))));

            staged = stagingPath(folder);
            writeServerTables(*server, staged, control, &serverBackupProgressText);
            if (QFileInfo::exists(today)) {
                const QString base = QFileInfo(today).completeBaseName();
                renames.rename(today,
                               QDir(folder).filePath(freeFileName(folder, base, QStringLiteral("mdb"))));
            }
            renames.rename(staged, today);

            const QStringList incoming = carriedTables(*from);
            if (incoming.contains(records::kHistoryTable))
                records::ensureHistoryTable(*server);
            const QStringList tables = carriedTables(*server);
            const qint64 total = carriedRows(*from, incoming);
            qint64 done = 0;
            for (const QString& table : tables) {
                // Rows come back with a newer version than any shown before, so a save of a row
                // read before the restore is told that it changed.
                std::optional<qint64> version;
                if (table != records::kHistoryTable)
                    version = server
                                  ->scalar(QStringLiteral("SELECT coalesce(max(rowversion), 0) + 1 FROM %1")
                                               .arg(store::quoted(table)))
                                  .toLongLong();
                server->exec(QStringLiteral("DELETE FROM %1").arg(store::quoted(table)));
                if (incoming.contains(table)) {
                    control.note(done, total, serverRestoreProgressText(table, done, total));
                    copyTableRows(
                        *from, *server, table,
                        [&] {
                            if (++done % 256 == 0)
                                control.note(done, total, serverRestoreProgressText(table, done, total));
                        },
                        version);
                }
                continueIdentities(*server, table);
            }
            control.note(done, total, serverRestoreProgressText(tables.last(), done, total));
            tx.commit();
        });
    } catch (...) {
        renames.undo();
        if (!staged.isEmpty())
            removeQuietly(ops_, staged);
        throw;
    }
}

RepairResult Maintenance::repairServer() {
    RepairResult result;
    run_(false, [&](store::JobControl&) {
        const auto server = connectServer(session_);
        actAsOwner(*server);
        try {
            store::Savepoint sp(*server);
            server->exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS amcheck"));
            sp.release();
        } catch (const store::SqlError& e) {
            qCWarning(lcMaintenance) << "amcheck is not there and could not be made:" << e.what();
            throw ServerRightsMissing(login(*server));
        }
        if (!server
                 ->scalar(
                     QStringLiteral("SELECT has_function_privilege('bt_index_check(regclass)', 'EXECUTE')"))
                 .toBool())
            throw ServerRightsMissing(login(*server));
        const QStringList tables = carriedTables(*server);
        QStringList indexes;
        store::Statement st = server->prepare(
            QStringLiteral(
                "SELECT quote_ident(i.relname) FROM pg_catalog.pg_index x JOIN pg_catalog.pg_class i ON "
                "i.oid = x.indexrelid JOIN pg_catalog.pg_class t ON t.oid = x.indrelid JOIN "
                "pg_catalog.pg_namespace n ON n.oid = t.relnamespace JOIN pg_catalog.pg_am a ON a.oid "
                "= i.relam WHERE n.nspname = current_schema() AND a.amname = 'btree' AND t.relname IN "
                "%1 ORDER BY t.relname, i.relname")
                .arg(tableMarks(tables)));
        st.bindAll(asParams(tables));
        while (st.step())
            indexes << st.text(0);
        for (const QString& index : indexes) {
            store::Savepoint sp(*server);
            try {
                server->scalar(QStringLiteral("SELECT bt_index_check(?::regclass, true)"), {index});
                sp.release();
            } catch (const store::SqlError& e) {
                qCWarning(lcMaintenance) << "index" << index << "is damaged:" << e.what();
                sp.rollback();
                result.rebuiltIndexes << index;
            }
        }
        for (const QString& index : std::as_const(result.rebuiltIndexes))
            server->exec(QStringLiteral("REINDEX INDEX %1").arg(index));
    });
    return result;
}

void Maintenance::compactServer() {
    run_(false, [&](store::JobControl& control) {
        control.note(0, 0, QString()); // no share of the work can be told: a busy bar
        const auto server = connectServer(session_);
        actAsOwner(*server);
        QStringList names;
        for (const QString& table : carriedTables(*server))
            names << store::quoted(table);
        server->exec(QStringLiteral("VACUUM (ANALYZE) %1").arg(names.join(QStringLiteral(", "))));
    });
}

} // namespace exchange
