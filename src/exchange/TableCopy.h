#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace store {
class Database;
}

namespace exchange {

// The tables a whole-database copy carries: the seven, and the change history when `db` has it.
QStringList carriedTables(store::Database& db);

// Rows of every carried table, for progress.
qint64 carriedRows(store::Database& db, const QStringList& tables);

// Makes `table` in `to` with the columns, types and order it has in `from` (the change history
// as its module makes it).
void createTableLike(store::Database& from, store::Database& to, const QString& table);

// Called after each row copied; may throw to stop the copy.
using RowCopied = std::function<void()>;

// Copies every row of `table` from one database into the same, empty table of the other, either
// engine to either, keeping each row's identity and its values as the engine hands them back. On
// the server the change history keeps a picture's bytes in columns of their own. `rowVersion`
// (server only) is the version every copied row starts at.
void copyTableRows(store::Database& from, store::Database& to, const QString& table, const RowCopied& copied,
                   std::optional<qint64> rowVersion = std::nullopt);

// On the server: new rows of `table` get identities after the largest one it holds.
void continueIdentities(store::Database& server, const QString& table);

} // namespace exchange
