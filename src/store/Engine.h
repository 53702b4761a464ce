#pragma once

// The seam between store::Database and the engine under it. Only store/ includes this file.

#include "store/Database.h"

#include <QList>
#include <QPair>

#include <functional>
#include <memory>
#include <string_view>

namespace store::engine {

// One prepared statement and the row it stands on.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual void bind(int position, const QVariant& value) = 0;
    virtual bool step() = 0;
    // Back to before the first row, with every parameter unbound.
    virtual void reset() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual QVariant value(int column) const = 0;
    virtual QString text(int column) const = 0;
    virtual qint64 integer(int column) const = 0;
    virtual bool isNull(int column) const = 0;
    virtual std::string_view utf8(int column) const = 0;
    virtual bool holdsNumber(int column) const = 0;
    virtual double real(int column) const = 0;
};

// Rows added to one table in one go (an upload, a restore), in the engine's fastest way.
class Appender {
public:
    virtual ~Appender() = default;
    // One value per column named when it was made, in that order.
    virtual void add(const QVariantList& values) = 0;
    // Sends what is left; throws SqlError when the engine refused a row.
    virtual void finish() = 0;
};

// A column as the engine declares it: its name and the Jet type it was created with.
using DeclaredColumn = QPair<QString, QString>;

class Connection {
public:
    virtual ~Connection() = default;
    virtual Dialect dialect() const = 0;
    virtual std::unique_ptr<Cursor> prepare(const QString& sql) = 0;
    // For stepping through many rows: the engine may hold only some of them at a time.
    virtual std::unique_ptr<Cursor> prepareScan(const QString& sql) { return prepare(sql); }
    virtual qint64 lastInsertRowId() const = 0;
    virtual int changes() const = 0;
    virtual bool isReadOnly() const = 0;
    virtual bool hasTable(const QString& name) = 0;
    // The columns a table shows, in order; hidden bookkeeping columns are left out.
    virtual QList<DeclaredColumn> columns(const QString& table) = 0;
    virtual QString cipherVersion() = 0;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual void savepoint() = 0;
    virtual void release() = 0;
    virtual void rollbackToSavepoint() = 0;

    // While set, a running statement ends with an interrupted SqlError once `stop` says so.
    virtual void setStopCheck(std::function<bool()> stop) = 0;
    // Plain inserts unless the engine has something faster.
    virtual std::unique_ptr<Appender> append(const QString& table, const QStringList& columns);
    // The open file's size and bytes, for a copy of a file in use; -1 / false without a file.
    virtual qint64 fileSize() { return -1; }
    virtual bool readFile(qint64 /*offset*/, char* /*data*/, int /*size*/) { return false; }
    virtual sqlite3* sqliteHandle() const { return nullptr; }
};

// SQLCipher on a file; `create` makes a new file. Throws OpenError.
std::unique_ptr<Connection> openSqlCipher(const QString& path, const QString& password,
                                          const OpenOptions& options, bool create);
// A PostgreSQL server through libpq. Throws OpenError.
std::unique_ptr<Connection> connectPostgres(const QString& conninfo, const OpenOptions& options);
// A connection string as it may be shown or logged: without its password.
QString withoutPassword(const QString& conninfo);

} // namespace store::engine
