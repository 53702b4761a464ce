#include "records/PersonsBulk.h"

#include "records/PersonColumns.h"
#include "records/PersonsTable.h"
#include "records/StagingTable.h"
#include "store/Database.h"

#include <QStringList>

#include <optional>

namespace records {

namespace {

const QString kPersons = store::schema::kPersons;
const QString kStaging = store::schema::kStaging;

} // namespace

std::vector<store::TableColumn> personsColumns(store::Database& db) {
    std::vector<store::TableColumn> columns = store::tableColumns(db, kPersons);
    if (!columns.empty())
        columns.pop_back();
    return columns;
}

void forEachPerson(store::Database& db, const std::function<void(const store::Statement&)>& row) {
    store::Statement st =
        db.prepareScan(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3, rowid")
                           .arg(store::columnList(personsColumns(db)), kPersons, sqlName(kPersonalNumber)));
    while (st.step())
        row(st);
}

void forEachPersonOf(store::Database& db, const std::vector<qint64>& rowids,
                     const std::function<void(const store::Statement&)>& row) {
    store::Statement st = db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                         .arg(store::columnList(personsColumns(db)), kPersons));
    for (qint64 id : rowids) {
        st.reset();
        st.bind(1, id);
        if (st.step())
            row(st);
    }
}

namespace {
void replaceRowByRow(store::Database& db, const std::vector<store::TableColumn>& persons,
                     const std::vector<store::TableColumn>& staging, qint64 lastOld, Replacement& result,
                     const std::function<void(qint64)>& progress);
void replaceOnServer(store::Database& db, const std::vector<store::TableColumn>& persons,
                     const std::vector<store::TableColumn>& staging, qint64 lastOld, Replacement& result);
} // namespace

Replacement replacePersons(store::Database& db, const std::function<void(qint64)>& progress) {
    const std::vector<store::TableColumn> persons = personsColumns(db);
    const std::vector<store::TableColumn> staging = stagingColumns(db);
    Replacement result;
    store::Transaction tx(db);
    // A hundred thousand rows go in and out: making the search indexes once at the end is
    // cheaper than keeping them up row by row. The rollback of a failure restores them.
    dropSearchIndexes(db);
    // The new rows go in after the old ones, so that photos can be matched before the old rows go.
    const qint64 lastOld =
        db.scalar(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM %1").arg(kPersons)).toLongLong();
    if (db.dialect() == store::Dialect::Server) {
        replaceOnServer(db, persons, staging, lastOld, result);
    } else {
        replaceRowByRow(db, persons, staging, lastOld, result, progress);
    }
    db.exec(QStringLiteral("DELETE FROM %1 WHERE rowid <= ?").arg(kPersons), {lastOld});
    // Each index takes a while at a million persons: the progress shows the work goes on.
    addPersonIndexes(db, [&](int, int, const QString&) {
        if (progress)
            progress(result.persons);
        return true;
    });
    tx.commit();
    return result;
}

namespace {

void replaceRowByRow(store::Database& db, const std::vector<store::TableColumn>& persons,
                     const std::vector<store::TableColumn>& staging, qint64 lastOld, Replacement& result,
                     const std::function<void(qint64)>& progress) {
    QStringList marks;
    for (std::size_t i = 0; i < persons.size(); ++i)
        marks << QStringLiteral("?");
    store::Statement insert =
        db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(kPersons, store::columnList(persons), marks.join(QStringLiteral(", "))));
    store::Statement rows = db.prepare(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(store::columnList(staging), kStaging));
    // The first old person with exactly the same number and name gives the photo; the number's
    // index (which ignores case) finds the candidates.
    store::Statement firstOld = db.prepare(
        db.sql(
              QStringLiteral("SELECT rowid, %2 IS NOT NULL FROM %1 WHERE rowid <= ?1 AND %3 = ?2"
                             " AND %3 = ?2 COLLATE BINARY AND %4 = ?3 COLLATE BINARY ORDER BY rowid LIMIT 1"),
              QStringLiteral(
                  "SELECT p.rowid, p.%2 IS NOT NULL FROM %1 p, (SELECT ?::bigint AS last, ?::text AS "
                  "num, ?::text AS name) k WHERE p.rowid <= k.last AND p.%3 = k.num::citext AND "
                  "p.%3::text = k.num AND p.%4::text = k.name ORDER BY p.rowid LIMIT 1"))
            .arg(kPersons, sqlName(kPhoto), sqlName(kPersonalNumber), sqlName(kPersonName)));
    store::Statement copyPhoto =
        db.prepare(QStringLiteral("UPDATE %1 SET %2 = (SELECT %2 FROM %1 WHERE rowid = ?) WHERE rowid = ?")
                       .arg(kPersons, sqlName(kPhoto)));
    const int n = int(std::min(persons.size(), staging.size()));
    while (rows.step()) {
        insert.reset();
        for (int j = 0; j < n; ++j)
            insert.bind(j + 1, rows.value(j));
        for (int j = n; j < int(persons.size()); ++j)
            insert.bind(j + 1, QVariant());
        insert.run();
        const qint64 added = db.lastInsertRowId();
        if (!rows.isNull(0) && !rows.isNull(1)) {
            firstOld.reset();
            firstOld.bind(1, lastOld).bind(2, rows.value(0)).bind(3, rows.value(1));
            if (firstOld.step() && firstOld.integer(1)) {
                const qint64 source = firstOld.integer(0);
                copyPhoto.reset();
                copyPhoto.bind(1, source).bind(2, added);
                copyPhoto.run();
                ++result.photosKept;
            }
        }
        ++result.persons;
        if (progress)
            progress(result.persons);
    }
}

// The same in two statements: on a server every row would otherwise cost round trips. The new
// rows take their identities in the staging order; each gets the photo of the first old person
// with exactly its number and name, when that person has one.
void replaceOnServer(store::Database& db, const std::vector<store::TableColumn>& persons,
                     const std::vector<store::TableColumn>& staging, qint64 lastOld, Replacement& result) {
    const std::size_t n = std::min(persons.size(), staging.size());
    QStringList into;
    QStringList from;
    for (std::size_t j = 0; j < n; ++j) {
        into << store::quoted(persons[j].name);
        from << store::quoted(staging[j].name);
    }
    db.exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 ORDER BY rowid")
                .arg(kPersons, into.join(QStringLiteral(", ")), from.join(QStringLiteral(", ")), kStaging));
    result.persons = db.changes();
    const QString number = sqlName(kPersonalNumber);
    const QString name = sqlName(kPersonName);
    db.exec(QStringLiteral("UPDATE %1 n SET %2 = o.%2 FROM %1 o WHERE n.rowid > ?1 AND o.%2 IS NOT NULL AND "
                           "o.rowid = (SELECT min(p.rowid) FROM %1 p WHERE p.rowid <= ?1 AND p.%3 = n.%3 AND "
                           "p.%3::text = n.%3::text AND p.%4::text = n.%4::text)")
                .arg(kPersons, sqlName(kPhoto), number, name)
                .replace(QLatin1String("?1"), QString::number(lastOld)));
    result.photosKept = db.changes();
}

} // namespace

store::Statement personsKeysInStoredOrder(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT rowid, %2, %3 FROM %1 ORDER BY rowid")
                          .arg(kPersons, sqlName(kPersonalNumber), sqlName(kPersonName)));
}

namespace {

QStringList quotedNames(int columns) {
    QStringList names;
    for (int i = 0; i < columns; ++i)
        names << sqlName(i);
    return names;
}

store::Statement prepareUpdate(store::Database& db, const QStringList& names) {
    QStringList sets;
    for (qsizetype i = 2; i < names.size(); ++i)
        sets << names[i] + QStringLiteral(" = ?");
    return db.prepare(
        QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(kPersons, sets.join(QStringLiteral(", "))));
}

store::Statement prepareInsert(store::Database& db, const QStringList& names) {
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    return db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(kPersons, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
}

// Runs a write; on failure resets it, so that nothing of it stays pending. A refused statement
// aborts the server's whole transaction, so there each write has a savepoint of its own.
void runOrReset(store::Database& db, store::Statement& st) {
    std::optional<store::Savepoint> one;
    if (db.dialect() == store::Dialect::Server)
        one.emplace(db);
    try {
        st.run();
    } catch (...) {
        st.reset();
        throw;
    }
    if (one)
        one->release();
}

} // namespace

PersonWriter::PersonWriter(store::Database& db, int columns)
    : db_(db), columns_(columns), names_(quotedNames(columns)), update_(prepareUpdate(db, names_)),
      insert_(prepareInsert(db, names_)) {}

void PersonWriter::update(qint64 rowid, const Values& value) {
    update_.reset();
    for (int i = 2; i < columns_; ++i)
        update_.bind(i - 1, value(i));
    update_.bind(columns_ - 1, rowid);
    runOrReset(db_, update_);
}

qint64 PersonWriter::insert(const Values& value) {
    insert_.reset();
    for (int i = 0; i < columns_; ++i)
        insert_.bind(i + 1, value(i));
    runOrReset(db_, insert_);
    return db_.lastInsertRowId();
}

int PersonWriter::refusedColumn(qint64 rowid, const Values& value, store::SqlError* why) {
    for (int i = rowid < 0 ? 0 : 2; i < columns_; ++i) {
        store::Savepoint probe(db_);
        bool refused = false;
        try {
            if (rowid < 0)
                db_.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(kPersons, names_[i]),
                         {value(i)});
            else
                db_.exec(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?").arg(kPersons, names_[i]),
                         {value(i), rowid});
        } catch (const store::SqlError& e) {
            if (!e.isConstraint())
                throw;
            refused = true;
            *why = e;
        }
        probe.rollback();
        if (refused)
            return i;
    }
    return -1;
}

store::Statement personsWithLongIdNumbers(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT rowid, %2 FROM %1 WHERE length(trim(%2)) >= 15")
                          .arg(kPersons, sqlName(kIdNumber)));
}

store::Statement idNumberWriter(store::Database& db) {
    return db.prepare(
        QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?").arg(kPersons, sqlName(kIdNumber)));
}

store::Statement personsIdNumbers(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT %2 FROM %1 WHERE trim(coalesce(%2, '')) <> ''")
                          .arg(kPersons, sqlName(kIdNumber)));
}

store::Statement personsColumnInStoredOrder(store::Database& db, const QString& column) {
    return db.prepare(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(store::quoted(column), kPersons));
}

// ---- Reads for the previews before a merge or an import replaces persons ----

store::Statement personReader(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                          .arg(store::columnList(personsColumns(db)), kPersons));
}

} // namespace records
