#include "stats/PersonsScope.h"

#include "store/Database.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStats)

namespace stats {

PersonsScope::PersonsScope(store::Database& db, const std::vector<qint64>& rows) : db_(db) {
    // The temporary schema takes writes on a read-only connection too.
    db_.exec(QStringLiteral("CREATE TEMP TABLE scope_rows(id INTEGER PRIMARY KEY)"));
    try {
        {
            // Deferred, unlike store::Transaction: only the temporary schema is written, and a
            // read-only connection cannot take the main file's write lock.
            db_.exec(QStringLiteral("BEGIN"));
            try {
                store::Statement insert =
                    db_.prepare(QStringLiteral("INSERT OR IGNORE INTO temp.scope_rows VALUES (?)"));
                for (qint64 id : rows) {
                    insert.reset();
                    insert.bind(1, id).run();
                }
            } catch (...) {
                db_.exec(QStringLiteral("ROLLBACK"));
                throw;
            }
            db_.exec(QStringLiteral("COMMIT"));
        }
        db_.exec(QStringLiteral("CREATE TEMP VIEW wslib AS SELECT * FROM main.wslib "
                                "WHERE rowid IN (SELECT id FROM temp.scope_rows)"));
        persons_ = db_.scalar(QStringLiteral("SELECT count(*) FROM wslib")).toLongLong();
    } catch (...) {
        db_.exec(QStringLiteral("DROP TABLE IF EXISTS temp.scope_rows"));
        throw;
    }
}

PersonsScope::~PersonsScope() {
    try {
        db_.exec(QStringLiteral("DROP VIEW IF EXISTS temp.wslib"));
        db_.exec(QStringLiteral("DROP TABLE IF EXISTS temp.scope_rows"));
    } catch (const std::exception& e) {
        qCWarning(lcStats) << "the narrowed persons table stays on its connection:" << e.what();
    }
}

} // namespace stats
