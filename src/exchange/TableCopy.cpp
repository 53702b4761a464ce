#include "exchange/TableCopy.h"

#include "records/PersonHistory.h"
#include "store/Database.h"
#include "store/Schema.h"

namespace exchange {

using store::Database;
using store::Dialect;
using store::quoted;

namespace {

bool isHistory(const QString& table) {
    return table.compare(records::kHistoryTable, Qt::CaseInsensitive) == 0;
}

// The history's own columns up to the two values; the embedded file keeps a picture in the value
// column itself, the server beside it.
const QString kHistoryColumns =
    QStringLiteral("id, change_id, changed_at, operator, person, number, name, kind, field");
constexpr int kHistoryFixed = 9;

void copyHistory(Database& from, Database& to, const RowCopied& copied) {
    const bool fromServer = from.dialect() == Dialect::Server;
    const bool toServer = to.dialect() == Dialect::Server;
    store::Statement read = from.prepare(
        QStringLiteral("SELECT %1, old_value, new_value%2 FROM %3 ORDER BY id")
            .arg(kHistoryColumns, fromServer ? QStringLiteral(", old_bytes, new_bytes") : QString(),
                 quoted(records::kHistoryTable)));
    store::Statement write = to.prepare(
        toServer ? QStringLiteral("INSERT INTO %1 (%2, old_value, new_value, old_bytes, new_bytes) VALUES "
                                  "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?::text, ?::text, ?, ?) RETURNING id")
                       .arg(quoted(records::kHistoryTable), kHistoryColumns)
                 : QStringLiteral("INSERT INTO %1 (%2, old_value, new_value) VALUES "
                                  "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .arg(quoted(records::kHistoryTable), kHistoryColumns));
    const auto isBytes = [](const QVariant& v) { return v.typeId() == QMetaType::QByteArray; };
    while (read.step()) {
        for (int i = 0; i < kHistoryFixed; ++i)
            write.bind(i + 1, read.value(i));
        QVariant oldValue = read.value(kHistoryFixed);
        QVariant newValue = read.value(kHistoryFixed + 1);
        if (fromServer) {
            if (!read.isNull(kHistoryFixed + 2))
                oldValue = read.value(kHistoryFixed + 2);
            if (!read.isNull(kHistoryFixed + 3))
                newValue = read.value(kHistoryFixed + 3);
        }
        if (toServer) {
            write.bind(10, isBytes(oldValue) ? QVariant() : oldValue);
            write.bind(11, isBytes(newValue) ? QVariant() : newValue);
            write.bind(12, isBytes(oldValue) ? oldValue : QVariant());
            write.bind(13, isBytes(newValue) ? newValue : QVariant());
        } else {
            write.bind(10, oldValue);
            write.bind(11, newValue);
        }
        write.run();
        write.reset();
        copied();
    }
}

} // namespace

QStringList carriedTables(Database& db) {
    QStringList tables = store::schema::tableNames();
    if (records::hasHistoryTable(db))
        tables << records::kHistoryTable;
    return tables;
}

qint64 carriedRows(Database& db, const QStringList& tables) {
    qint64 total = 0;
    for (const QString& table : tables)
        total += db.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table))).toLongLong();
    return total;
}

void copyTableRows(Database& from, Database& to, const QString& table, const RowCopied& copied,
                   std::optional<qint64> rowVersion) {
    if (isHistory(table)) {
        copyHistory(from, to, copied);
        return;
    }
    // The target's columns, by name; a database of this program gives the same names in the same order.
    const QStringList columns = to.columnNames(table);
    QStringList names;
    for (const QString& c : columns)
        names << quoted(c);
    const QString list = names.join(QStringLiteral(", "));
    store::Statement read =
        from.prepareScan(QStringLiteral("SELECT %1, rowid FROM %2 ORDER BY rowid").arg(list, quoted(table)));
    const bool versioned = rowVersion && to.dialect() == Dialect::Server;
    QStringList written = columns;
    written << QStringLiteral("rowid");
    if (versioned)
        written << QStringLiteral("rowversion");
    store::RowAppender write = to.appendRows(table, written);
    QVariantList row;
    while (read.step()) {
        row.clear();
        for (int i = 0; i <= columns.size(); ++i)
            row << read.value(i);
        if (versioned)
            row << *rowVersion;
        write.add(row);
        copied();
    }
    write.finish();
}

void continueIdentities(Database& server, const QString& table) {
    const QString column = isHistory(table) ? QStringLiteral("id") : QStringLiteral("rowid");
    server.scalar(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), coalesce(max(%1), 0) + 1, "
                                 "false) FROM %2")
                      .arg(column, quoted(table)),
                  {quoted(table), column});
}

} // namespace exchange
