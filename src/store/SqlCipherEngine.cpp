// The embedded engine: SQLCipher on a lib.mdb file.

#include "store/Engine.h"
#include "store/JetLike.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace store::engine {

namespace {

constexpr int kPageSize = 4096;
constexpr int kCacheKiB = 64 * 1024;

QString lastMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// An encrypted file with a key we do not hold looks like random bytes in whole pages;
// anything else that SQLCipher refuses is not one of our databases at all.
bool looksEncrypted(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(16);
    const qint64 size = f.size();
    return size > 0 && size % 1024 == 0 && !head.startsWith("SQLite format 3");
}

class SqliteCursor final : public Cursor {
public:
    SqliteCursor(sqlite3* db, const QString& sql) : db_(db) {
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt_, nullptr);
        if (rc != SQLITE_OK) {
            stmt_ = nullptr;
            throw SqlError(rc, lastMessage(db) + QLatin1String(" in: ") + sql);
        }
    }
    SqliteCursor(const SqliteCursor&) = delete;
    SqliteCursor& operator=(const SqliteCursor&) = delete;
    ~SqliteCursor() override { sqlite3_finalize(stmt_); }

    void bind(int position, const QVariant& value) override {
        int rc = SQLITE_OK;
        if (value.isNull() || !value.isValid()) {
            rc = sqlite3_bind_null(stmt_, position);
        } else {
            switch (value.typeId()) {
            case QMetaType::Bool:
                rc = sqlite3_bind_int(stmt_, position, value.toBool() ? 1 : 0);
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
                rc = sqlite3_bind_int64(stmt_, position, value.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(stmt_, position, value.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = value.toByteArray();
                rc = sqlite3_bind_blob64(stmt_, position, bytes.constData(), sqlite3_uint64(bytes.size()),
                                         SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray utf8 = value.toString().toUtf8();
                rc = sqlite3_bind_text64(stmt_, position, utf8.constData(), sqlite3_uint64(utf8.size()),
                                         SQLITE_TRANSIENT, SQLITE_UTF8);
            }
            }
        }
        if (rc != SQLITE_OK)
            throw SqlError(rc, lastMessage(db_));
    }

    bool step() override {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        const QString message = lastMessage(db_);
        sqlite3_reset(stmt_);
        throw SqlError(sqlite3_extended_errcode(db_), message);
    }

    void reset() override {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

    int columnCount() const override { return sqlite3_column_count(stmt_); }
    QString columnName(int column) const override {
        return QString::fromUtf8(sqlite3_column_name(stmt_, column));
    }

    QVariant value(int column) const override {
        switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(stmt_, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt_, column));
        case SQLITE_TEXT:
            return QVariant(text(column));
        case SQLITE_BLOB: {
            const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
            return QVariant(QByteArray(data, sqlite3_column_bytes(stmt_, column)));
        }
        default:
            return QVariant();
        }
    }

    QString text(int column) const override {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return data ? QString::fromUtf8(data, sqlite3_column_bytes(stmt_, column)) : QString();
    }
    qint64 integer(int column) const override { return sqlite3_column_int64(stmt_, column); }
    bool isNull(int column) const override { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    std::string_view utf8(int column) const override {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return data ? std::string_view(data, std::size_t(sqlite3_column_bytes(stmt_, column)))
                    : std::string_view();
    }
    bool holdsNumber(int column) const override {
        const int type = sqlite3_column_type(stmt_, column);
        return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    }
    double real(int column) const override { return sqlite3_column_double(stmt_, column); }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

class SqliteConnection final : public Connection {
public:
    SqliteConnection(const QString& path, const QString& password, const OpenOptions& options, bool create) {
        const int flags = options.readOnly && !create
                              ? SQLITE_OPEN_READONLY
                              : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        const QByteArray file = path.toUtf8();
        const int rc = sqlite3_open_v2(file.constData(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString message = db_ ? lastMessage(db_) : QStringLiteral("cannot open");
            sqlite3_close_v2(db_);
            throw OpenError(QFileInfo::exists(path) ? OpenFailure::NotADatabase : OpenFailure::Missing, path,
                            message);
        }
        sqlite3_busy_timeout(db_, options.busyTimeoutMs);
        try {
            // Without a password the file is a plain SQLite database.
            if (!password.isEmpty()) {
                QString escaped = password;
                escaped.replace(QLatin1Char('\''), QLatin1String("''"));
                exec(QStringLiteral("PRAGMA key = '%1'").arg(escaped));
                exec(QStringLiteral("PRAGMA cipher_page_size = %1").arg(kPageSize));
            }
            // Without a cipher the key pragma is silently ignored: refuse to run unencrypted.
            if (cipherVersion().isEmpty())
                throw OpenError(OpenFailure::NotADatabase, path, QStringLiteral("SQLCipher is not active"));
            // The first real read is where a wrong key shows up.
            exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
            exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
            exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
            registerJetLike(db_);
        } catch (const SqlError& e) {
            sqlite3_close_v2(db_);
            qCWarning(lcStore) << "cannot open" << path << e.what();
            const int primary = e.code() & 0xff;
            if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
                throw OpenError(OpenFailure::Locked, path, QString::fromUtf8(e.what()));
            const bool wrongKey = primary == SQLITE_NOTADB && looksEncrypted(path);
            throw OpenError(wrongKey ? OpenFailure::WrongPassword : OpenFailure::NotADatabase, path,
                            QString::fromUtf8(e.what()));
        } catch (...) {
            sqlite3_close_v2(db_);
            throw;
        }
    }
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;
    ~SqliteConnection() override { sqlite3_close_v2(db_); }

    Dialect dialect() const override { return Dialect::Embedded; }
    std::unique_ptr<Cursor> prepare(const QString& sql) override {
        return std::make_unique<SqliteCursor>(db_, sql);
    }
    qint64 lastInsertRowId() const override { return sqlite3_last_insert_rowid(db_); }
    int changes() const override { return sqlite3_changes(db_); }
    bool isReadOnly() const override { return sqlite3_db_readonly(db_, "main") == 1; }

    bool hasTable(const QString& name) override {
        SqliteCursor st(db_,
                        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name = ? "
                                       "COLLATE NOCASE"));
        st.bind(1, name);
        return st.step() && st.integer(0) > 0;
    }

    QList<DeclaredColumn> columns(const QString& table) override {
        QList<DeclaredColumn> columns;
        SqliteCursor st(db_, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)));
        while (st.step())
            columns.append({st.text(1), st.text(2)});
        return columns;
    }

    QString cipherVersion() override {
        SqliteCursor st(db_, QStringLiteral("PRAGMA cipher_version"));
        return st.step() ? st.text(0) : QString();
    }

    void begin() override { exec(QStringLiteral("BEGIN IMMEDIATE")); }
    void commit() override { exec(QStringLiteral("COMMIT")); }
    void rollback() override { exec(QStringLiteral("ROLLBACK")); }
    void savepoint() override { exec(QStringLiteral("SAVEPOINT sp")); }
    void release() override { exec(QStringLiteral("RELEASE sp")); }
    void rollbackToSavepoint() override {
        exec(QStringLiteral("ROLLBACK TO sp"));
        exec(QStringLiteral("RELEASE sp"));
    }

    void setStopCheck(std::function<bool()> stop) override {
        stop_ = std::move(stop);
        if (stop_)
            sqlite3_progress_handler(db_, 1000, &SqliteConnection::stopRequested, this);
        else
            sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    }

    qint64 fileSize() override {
        sqlite3_file* file = openFile();
        sqlite3_int64 size = 0;
        if (!file || file->pMethods->xFileSize(file, &size) != SQLITE_OK)
            return -1;
        return size;
    }

    bool readFile(qint64 offset, char* data, int size) override {
        sqlite3_file* file = openFile();
        return file && file->pMethods->xRead(file, data, size, offset) == SQLITE_OK;
    }

    sqlite3* sqliteHandle() const override { return db_; }

private:
    void exec(const QString& sql) {
        SqliteCursor st(db_, sql);
        while (st.step()) {
        }
    }

    sqlite3_file* openFile() {
        sqlite3_file* file = nullptr;
        if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
            !file->pMethods)
            return nullptr;
        return file;
    }

    static int stopRequested(void* self) { return static_cast<SqliteConnection*>(self)->stop_() ? 1 : 0; }

    sqlite3* db_ = nullptr;
    std::function<bool()> stop_;
};

} // namespace

std::unique_ptr<Connection> openSqlCipher(const QString& path, const QString& password,
                                          const OpenOptions& options, bool create) {
    return std::make_unique<SqliteConnection>(path, password, options, create);
}

} // namespace store::engine

namespace store {

QString sqliteVersion() {
    return QString::fromLatin1(sqlite3_libversion());
}

SqlError::SqlError(SqlFailure failure, const QString& message)
    : SqlError(
          [failure] {
              switch (failure) {
              case SqlFailure::Constraint:
                  return SQLITE_CONSTRAINT;
              case SqlFailure::RuleRefused:
                  return SQLITE_CONSTRAINT_TRIGGER;
              case SqlFailure::ReadOnly:
                  return SQLITE_READONLY;
              case SqlFailure::Busy:
                  return SQLITE_BUSY;
              case SqlFailure::Full:
                  return SQLITE_FULL;
              case SqlFailure::Corrupt:
                  return SQLITE_CORRUPT;
              case SqlFailure::IoError:
                  return SQLITE_IOERR;
              case SqlFailure::Interrupted:
                  return SQLITE_INTERRUPT;
              case SqlFailure::Other:
                  break;
              }
              return SQLITE_ERROR;
          }(),
          message) {}

SqlFailure SqlError::failure() const {
    if (code_ == SQLITE_CONSTRAINT_TRIGGER)
        return SqlFailure::RuleRefused;
    switch (code_ & 0xff) {
    case SQLITE_CONSTRAINT:
        return SqlFailure::Constraint;
    case SQLITE_READONLY:
        return SqlFailure::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return SqlFailure::Busy;
    case SQLITE_FULL:
        return SqlFailure::Full;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return SqlFailure::Corrupt;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return SqlFailure::IoError;
    case SQLITE_INTERRUPT:
        return SqlFailure::Interrupted;
    default:
        return SqlFailure::Other;
    }
}

bool SqlError::isConstraint() const {
    return (code_ & 0xff) == SQLITE_CONSTRAINT;
}

void Database::copyPagesInto(Database& to, const std::function<void(qint64, qint64)>& stepped) {
    constexpr int kPagesPerStep = 1024; // the progress moves and a stop is heard in between
    sqlite3* source = handle();
    sqlite3* target = to.handle();
    if (!source || !target)
        throw SqlError(SqlFailure::Other, QStringLiteral("a page copy needs two embedded databases"));
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        throw SqlError(sqlite3_extended_errcode(target), QString::fromUtf8(sqlite3_errmsg(target)));
    int rc = SQLITE_OK;
    try {
        do {
            rc = sqlite3_backup_step(backup, kPagesPerStep);
            const int total = sqlite3_backup_pagecount(backup);
            stepped(total - sqlite3_backup_remaining(backup), total);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                sqlite3_sleep(20);
        } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    } catch (...) {
        sqlite3_backup_finish(backup);
        throw;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || finished != SQLITE_OK)
        throw SqlError(rc != SQLITE_DONE ? rc : finished, QString::fromUtf8(sqlite3_errmsg(target)));
}

} // namespace store
