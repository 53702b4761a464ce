#include "records/PersonsStats.h"

#include "records/PersonColumns.h"
#include "store/RowScan.h"
#include "store/Schema.h"

#include <algorithm>

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

namespace {

// The planner sorts for the grouping sets whose hash tables it expects to outgrow work_mem, and a
// million persons sorted for each set took five times as long as hashing every set in one
// pass (measured): for the statement only, every set is hashed.
class HashedGroups {
public:
    explicit HashedGroups(store::Database& db) : db_(db) {
        db_.exec(QStringLiteral("SET work_mem = '64MB'"));
        db_.exec(QStringLiteral("SET enable_sort = off"));
    }
    HashedGroups(const HashedGroups&) = delete;
    HashedGroups& operator=(const HashedGroups&) = delete;
    ~HashedGroups() {
        try {
            db_.exec(QStringLiteral("RESET enable_sort"));
            db_.exec(QStringLiteral("RESET work_mem"));
        } catch (const std::exception&) {
            // An aborted transaction undoes the settings with itself.
        }
    }

private:
    store::Database& db_;
};

QString groupExpression(const GroupedColumn& c) {
    const QString name = store::quoted(c.name);
    switch (c.by) {
    case GroupBy::Text: // bytes hash faster than citext's folded copies; the caller folds
        return name + QStringLiteral("::text");
    case GroupBy::Year:
        return QStringLiteral("date_part('year', %1)::integer").arg(name);
    case GroupBy::Value:
        break;
    }
    return name;
}

} // namespace

void countPersonsGroups(store::Database& db, const std::vector<GroupedColumn>& columns,
                        const PersonsGroup& group) {
    // GROUPING() takes at most 31 expressions; more columns take more statements.
    constexpr std::size_t kPerStatement = 31;
    const HashedGroups hashed(db);
    for (std::size_t first = 0; first < columns.size(); first += kPerStatement) {
        const std::size_t n = std::min(kPerStatement, columns.size() - first);
        QStringList expressions, sets;
        for (std::size_t i = first; i < first + n; ++i) {
            expressions << groupExpression(columns[i]);
            sets << QLatin1Char('(') + expressions.last() + QLatin1Char(')');
        }
        const QString list = expressions.join(QStringLiteral(", "));
        store::Statement st =
            db.prepare(QStringLiteral("SELECT GROUPING(%1), %1, count(*) FROM %2 GROUP BY GROUPING SETS (%3)")
                           .arg(list, kPersons, sets.join(QStringLiteral(", "))));
        while (st.step()) {
            const store::ScannedRow row(st);
            // A row groups one column: its bit is the clear one, the last column's the lowest.
            const qint64 others = st.integer(0);
            std::size_t i = 0;
            while (i < n && ((others >> (n - 1 - i)) & 1) != 0)
                ++i;
            if (i < n)
                group(first + i, row, int(i) + 1, st.integer(int(n) + 1));
        }
    }
}

} // namespace records
