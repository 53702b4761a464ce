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

void createTableLike(Database& from, Database& to, const QString& table) {
    if (isHistory(table)) {
        records::ensureHistoryTable(to);
        return;
    }
    QList<store::schema::ColumnSpec> specs;
    for (const store::TableColumn& c : store::tableColumns(from, table))
        specs.append({c.name, c.declaredType, store::textSize(c.declaredType)});
    store::schema::createTable(to, table, specs);
}

void copyTableRows(Database& from, Database& to, const QString& table, const RowCopied& copied,
                   std::optional<qint64> rowVersion) {
    if (isHistory(table)) {
        records::copyHistoryRows(from, to, copied);
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
