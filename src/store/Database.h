#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <stdexcept>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

Q_DECLARE_LOGGING_CATEGORY(lcStore)

namespace store {

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

// A statement or write that the database refused (constraint, bad SQL, I/O).
class SqlError : public std::runtime_error {
public:
    SqlError(int code, const QString& message);
    int code() const { return code_; }
    bool isConstraint() const;

private:
    int code_;
};

class Statement {
public:
    Statement(sqlite3* db, const QString& sql);
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
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// One SQLCipher connection on a lib.mdb file, keyed with the database password.
class Database {
public:
    static const char* const kPassword;

    // Opens an existing database file, whatever tables it holds; an empty password opens a plain
    // (unencrypted) file. Throws OpenError.
    explicit Database(QString path, QString password = QString::fromLatin1(kPassword),
                      OpenOptions options = {});
    // Creates a new, empty encrypted file (fails when the file exists).
    static std::unique_ptr<Database> create(const QString& path,
                                            const QString& password = QString::fromLatin1(kPassword));
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    const QString& path() const { return path_; }
    // Closes and opens the same file again on a fresh connection; a database of this program must
    // still hold the seven tables (the file may have been replaced meanwhile). Throws OpenError.
    void reopen();
    // Throws OpenError (MissingTables) and closes the connection unless the database holds the
    // seven tables of this program; from then on reopen checks them too.
    void checkTables();
    void close();
    bool isOpen() const { return db_ != nullptr; }

    Statement prepare(const QString& sql);
    // Runs one statement with bound parameters.
    void exec(const QString& sql, const QVariantList& params = {});
    // First column of the first row, or a null QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    qint64 lastInsertRowId() const;
    // Rows changed by the last write.
    int changes() const;
    // True when writes will be refused (a read-only file or connection).
    bool isReadOnly() const;
    bool hasTable(const QString& name);
    // The SQLCipher version; empty when the connection runs without a cipher.
    QString cipherVersion();
    // Column names of a table, in column order.
    QStringList columnNames(const QString& table);

    sqlite3* handle() const { return db_; }

private:
    struct CreateTag {};
    Database(QString path, QString password, CreateTag);
    void openConnection(bool create);

    QString path_;
    QString password_;
    OpenOptions options_;
    bool programTables_ = false;
    sqlite3* db_ = nullptr;
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

// Quotes an identifier for SQL ("left", "user" and Chinese column names need it).
QString quoted(const QString& identifier);

} // namespace store
