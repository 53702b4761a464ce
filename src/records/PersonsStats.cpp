#include "records/PersonsStats.h"

#include "records/PersonColumns.h"
#include "store/Schema.h"

namespace records {

namespace {
const QString kPersons = store::schema::kPersons;
} // namespace

store::Statement personsAges(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT rowid, %1, %2, %3 FROM %4")
                          .arg(sqlName(kBirth), sqlName(kSex), sqlName(kIdNumber), kPersons));
}

store::Statement personsDue(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT rowid, %1, %2, %3, %4, %5, %6, %7 FROM %8")
                          .arg(sqlName(kBirth), sqlName(kIdNumber), sqlName(kPersonalNumber),
                               sqlName(kPersonName), sqlName(kSex), sqlName(kAddress), sqlName(kAddressPhone),
                               kPersons));
}

qint64 narrowPersons(store::Database& db, const std::vector<qint64>& rows) {
    // Read before the view hides the table: the view shows the same columns.
    const QString columns = store::columnList(store::tableColumns(db, kPersons));
    // The temporary schema takes writes on a read-only connection too.
    db.exec(db.sql(QStringLiteral("CREATE TEMP TABLE scope_rows(id INTEGER PRIMARY KEY)"),
                   QStringLiteral("CREATE TEMP TABLE scope_rows(id bigint PRIMARY KEY)")));
    try {
        {
            // Deferred, unlike store::Transaction: only the temporary schema is written, and a
            // read-only connection cannot take the main file's write lock.
            db.exec(QStringLiteral("BEGIN"));
            try {
                store::Statement insert = db.prepare(
                    db.sql(QStringLiteral("INSERT OR IGNORE INTO temp.scope_rows VALUES (?)"),
                           QStringLiteral("INSERT INTO pg_temp.scope_rows VALUES (?) ON CONFLICT DO "
                                          "NOTHING RETURNING id")));
                for (qint64 id : rows) {
                    insert.reset();
                    insert.bind(1, id).run();
                }
            } catch (...) {
                db.exec(QStringLiteral("ROLLBACK"));
                throw;
            }
            db.exec(QStringLiteral("COMMIT"));
        }
        // A temporary relation comes first in the server's search path, as the temp schema does
        // in the file's; the server's view keeps the row identity that the scans read.
        if (db.dialect() == store::Dialect::Server) {
            const QString schema = db.scalar(QStringLiteral("SELECT current_schema()")).toString();
            db.exec(QStringLiteral("CREATE TEMP VIEW %1 AS SELECT %2, rowid FROM %3.%1 "
                                   "WHERE rowid IN (SELECT id FROM pg_temp.scope_rows)")
                        .arg(kPersons, columns, store::quoted(schema)));
        } else {
            db.exec(QStringLiteral("CREATE TEMP VIEW %1 AS SELECT %2 FROM main.%1 "
                                   "WHERE rowid IN (SELECT id FROM temp.scope_rows)")
                        .arg(kPersons, columns));
        }
        return db.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(kPersons)).toLongLong();
    } catch (...) {
        widenPersons(db);
        throw;
    }
}

void widenPersons(store::Database& db) {
    db.exec(db.sql(QStringLiteral("DROP VIEW IF EXISTS temp.%1"),
                   QStringLiteral("DROP VIEW IF EXISTS pg_temp.%1"))
                .arg(kPersons));
    db.exec(db.sql(QStringLiteral("DROP TABLE IF EXISTS temp.scope_rows"),
                   QStringLiteral("DROP TABLE IF EXISTS pg_temp.scope_rows")));
}

} // namespace records
