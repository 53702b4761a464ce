#include "exchange/Upload.h"

#include "store/Database.h"
#include "store/Job.h"
#include "store/Schema.h"

namespace exchange {

using store::Database;
using store::quoted;

namespace {

// The seven tables; the change history stays in the file until the server keeps one.
QStringList copiedTables(Database&) {
    return store::schema::tableNames();
}

} // namespace

QString uploadProgressText(const QString& table, qint64 done, qint64 total) {
    return QStringLiteral("正在上传“%1”表…… %2 / %3").arg(table).arg(done).arg(total);
}

bool serverIsEmpty(Database& server) {
    for (const QString& table : store::schema::tableNames()) {
        if (server.hasTable(table))
            return false;
    }
    return true;
}

void uploadToServer(const QString& file, Database& server, store::JobControl& control) {
    const auto source = store::openProgramDatabase(file, QString::fromLatin1(Database::kPassword), {true});
    const QStringList tables = copiedTables(*source);
    qint64 total = 0;
    for (const QString& table : tables)
        total += source->scalar(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table))).toLongLong();

    store::Transaction tx(server);
    // Two copies uploading at once: the second waits here and then finds the tables.
    server.exec(QStringLiteral("SELECT pg_advisory_xact_lock(2207)"));
    if (!serverIsEmpty(server))
        throw ServerNotEmpty();
    // The persons tables as the file declares them (the file's layout was checked at open); their
    // indexes are made the way start-up makes missing ones.
    for (const QString& table : {store::schema::kPersons, store::schema::kStaging}) {
        QList<store::schema::ColumnSpec> specs;
        for (const store::TableColumn& c : store::tableColumns(*source, table))
            specs.append({c.name, c.declaredType, store::textSize(c.declaredType)});
        store::schema::createTable(server, table, specs);
    }
    store::schema::createSmallTables(server);

    qint64 done = 0;
    for (const QString& table : tables) {
        control.report(done, total, uploadProgressText(table, done, total));
        // The server's columns, by name; the file gives the same names in the same order.
        const QStringList columns = server.columnNames(table);
        QStringList names;
        for (const QString& c : columns)
            names << quoted(c);
        const QString list = names.join(QStringLiteral(", "));
        store::Statement read = source->prepare(
            QStringLiteral("SELECT %1, rowid FROM %2 ORDER BY rowid").arg(list, quoted(table)));
        store::RowAppender write = server.appendRows(table, columns + QStringList{QStringLiteral("rowid")});
        QVariantList row;
        while (read.step()) {
            row.clear();
            for (int i = 0; i <= columns.size(); ++i)
                row << read.value(i);
            write.add(row);
            if (++done % 256 == 0)
                control.report(done, total, uploadProgressText(table, done, total));
        }
        write.finish();
        // New rows go on after the copied identities.
        server.scalar(
            QStringLiteral("SELECT setval(pg_get_serial_sequence(?, 'rowid'), coalesce(max(rowid), 0) + "
                           "1, false) FROM %1")
                .arg(quoted(table)),
            {quoted(table)});
    }
    control.report(done, total, uploadProgressText(tables.last(), done, total));
    tx.commit();
}

} // namespace exchange
