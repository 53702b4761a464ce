#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QPair>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>

struct sqlite3;

Q_DECLARE_LOGGING_CATEGORY(lcStore)

namespace store {

namespace engine {
class Appender;
class Connection;
class Cursor;
} // namespace engine

// Which SQL text a module hands over where the two engines' dialects differ.
enum class Dialect { Embedded, Server };

// Why a database could not be opened; callers turn each kind into their own message.
// Locked: another process holds the file past the busy timeout. NotAFile: the name is taken by a
// folder or device.
enum class OpenFailure { Missing, WrongPassword, NotADatabase, MissingTables, Locked, NotAFile };

// The one way every window words why a file did not open: a sentence that follows the file's
// name or description ("数据库文件“…”" + "正被其他程序占用，现在打不开。"). Each caller frames it.
QString openFailureCause(OpenFailure kind);

// How a connection is opened. A read-only connection is also how tests make the database refuse
// every write.
struct OpenOptions {
    bool readOnly = false;
    int busyTimeoutMs = 3000; // another program's short write lock is waited for, not reported
};

class OpenError : public std::runtime_error {
public:
    OpenError(OpenFailure kind, const QString& path, const QString& detail);
    OpenFailure kind() const { return kind_; }
    const QString& path() const { return path_; }

private:
    OpenFailure kind_;
    QString path_;
};

// Why the database refused a statement, whichever engine refused it. RuleRefused: a trigger's
// rule; Interrupted: a stop asked for.
enum class SqlFailure { Other, Constraint, RuleRefused, ReadOnly, Busy, Full, Corrupt, IoError, Interrupted };

// A statement or write that the database refused (constraint, bad SQL, I/O). The code is in
// SQLite's numbering on both engines (the server's SQLSTATE is mapped onto it).
class SqlError : public std::runtime_error {
public:
    SqlError(int code, const QString& message);
    SqlError(SqlFailure failure, const QString& message);
    int code() const { return code_; }
    SqlFailure failure() const;
    bool isConstraint() const;

private:
    int code_;
};

class Statement {
public:
    explicit Statement(std::unique_ptr<engine::Cursor> cursor);
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    // Binds by 1-based position. A null QVariant binds NULL; bool binds 0/1; QByteArray a blob.
    Statement& bind(int position, const QVariant& value);
    Statement& bindAll(const QVariantList& values);
    // Advances to the next row; false when done. Throws SqlError on failure.
    bool step();
    void reset();
    // Runs to completion (for writes).
    void run();

    int columnCount() const;
    QString columnName(int column) const;
    QVariant value(int column) const;
    QString text(int column) const; // null as empty text
    qint64 integer(int column) const;
    bool isNull(int column) const;
    // For one pass over many rows: the text without a copy (null as empty), valid until the next
    // step; whether the value is stored as a number, and that number.
    std::string_view utf8(int column) const;
    bool holdsNumber(int column) const;
    double real(int column) const;

private:
    std::unique_ptr<engine::Cursor> cursor_;
};

// Many rows into one table, in the engine's fastest way (on the server one COPY): for copying whole
// tables. Values as Statement::bind takes them. Ends unfinished (nothing more sent; the enclosing
// transaction must be rolled back) when destroyed before finish().
class RowAppender {
public:
    explicit RowAppender(std::unique_ptr<engine::Appender> appender);
    RowAppender(RowAppender&&) noexcept;
    RowAppender& operator=(RowAppender&&) noexcept;
    ~RowAppender();

    void add(const QVariantList& values);
    // Throws SqlError when the engine refused a row.
    void finish();

private:
    std::unique_ptr<engine::Appender> appender_;
};

// One connection: SQLCipher on a lib.mdb file keyed with the database password, or a PostgreSQL
// server. Text compares without regard to case on both.
class Database {
public:
    static const char* const kPassword;

    // Opens an existing database file, whatever tables it holds; an empty password opens a plain
    // (unencrypted) file. Throws OpenError. A database of
    // this program is opened with openProgramDatabase, which also checks its tables.
    explicit Database(QString path, QString password = QString::fromLatin1(kPassword),
                      OpenOptions options = {});
    // Creates a new, empty encrypted file (fails when the file exists).
    static std::unique_ptr<Database> create(const QString& path,
                                            const QString& password = QString::fromLatin1(kPassword));
    // Connects to a PostgreSQL server named by a libpq connection string; throws OpenError.
    static std::unique_ptr<Database> connect(const QString& conninfo, OpenOptions options = {});
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // The file, or the server's connection string.
    const QString& path() const { return path_; }
    Dialect dialect() const { return dialect_; }
    // The text for this connection's engine, where the dialects differ.
    const QString& sql(const QString& embedded, const QString& server) const {
        return dialect_ == Dialect::Server ? server : embedded;
    }
    // Closes and opens the same file again on a fresh connection; a database of this program must
    // still hold the seven tables (the file may have been replaced meanwhile). Throws OpenError.
    void reopen();
    // Throws OpenError (MissingTables) and closes the connection unless the database holds the
    // seven tables of this program; from then on reopen checks them too.
    void checkTables();
    void close();
    bool isOpen() const { return conn_ != nullptr; }

    Statement prepare(const QString& sql);
    // A read of many rows (a whole table): on the server only a few thousand are held at a time.
    Statement prepareScan(const QString& sql);
    // Runs one statement with bound parameters.
    void exec(const QString& sql, const QVariantList& params = {});
    // First column of the first row, or a null QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    // `columns` are names as the schema spells them (quoted here); "rowid" keeps row identities.
    RowAppender appendRows(const QString& table, const QStringList& columns);
    qint64 lastInsertRowId() const;
    // Rows changed by the last write.
    int changes() const;
    // True when writes will be refused (a read-only file or connection).
    bool isReadOnly() const;
    bool hasTable(const QString& name);
    // The SQLCipher version; empty when the connection runs without a cipher.
    QString cipherVersion();
    // Column names of a table, in column order; the server's hidden row identity and row version
    // are not among them.
    QStringList columnNames(const QString& table);
    // Each column's name and declared Jet type, in column order (hidden columns left out).
    QList<QPair<QString, QString>> declaredColumns(const QString& table);

    // While a StopCheck lives, a running statement is interrupted (SqlFailure::Interrupted) once
    // `stop` returns true.
    class StopCheck {
    public:
        StopCheck(Database& db, std::function<bool()> stop);
        ~StopCheck();
        StopCheck(const StopCheck&) = delete;
        StopCheck& operator=(const StopCheck&) = delete;

    private:
        Database& db_;
    };
    // The open file's bytes, for a copy of a file in use: its size (-1 when it cannot be reached)
    // and a read of `size` bytes at `offset`.
    qint64 fileSize();
    bool readFile(qint64 offset, char* data, int size);

    // Copies every page of this embedded database into `to` (keyed alike) while both are open, a
    // step of pages at a time; `stepped(done, total)` runs after each step and may throw to stop.
    // Throws SqlError.
    void copyPagesInto(Database& to, const std::function<void(qint64 done, qint64 total)>& stepped);

    // The embedded connection, for tests that trace or time it; null on the server.
    sqlite3* handle() const;

private:
    friend class Transaction;
    friend class Savepoint;
    struct CreateTag {};
    Database(QString path, QString password, CreateTag);
    Database(QString conninfo, OpenOptions options, Dialect server);
    void openConnection(bool create);
    engine::Connection& connection() const;

    QString path_; // on the server: the connection string without its password
    QString conninfo_;
    QString password_;
    OpenOptions options_;
    bool programTables_ = false;
    Dialect dialect_ = Dialect::Embedded;
    std::unique_ptr<engine::Connection> conn_;
};

// Opens a database of this program: the file opens with the password and holds the seven tables.
// Throws OpenError.
std::unique_ptr<Database>
openProgramDatabase(const QString& path, const QString& password = QString::fromLatin1(Database::kPassword),
                    OpenOptions options = {});

// Rolls back unless committed; nested use is not supported.
class Transaction {
public:
    explicit Transaction(Database& db);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void commit();

private:
    Database& db_;
    bool done_ = false;
};

// A savepoint inside the open transaction (or a transaction of its own when none is open): rolls
// back to where it began unless released. Savepoints nest.
class Savepoint {
public:
    explicit Savepoint(Database& db);
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    ~Savepoint();
    // Keeps what was done since the savepoint began.
    void release();
    // Undoes what was done since the savepoint began, and ends it.
    void rollback();

private:
    Database& db_;
    bool done_ = false;
};

// The version of the SQLite library under the embedded engine.
QString sqliteVersion();

// Quotes an identifier for SQL ("left", "user" and Chinese column names need it).
QString quoted(const QString& identifier);

} // namespace store
