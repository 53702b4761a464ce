#include "exchange/ExchangeTables.h"

#include "records/PersonsTable.h"
#include "store/Database.h"

#include <QStringList>

namespace exchange {

namespace {

const QString kPersons = store::schema::kPersons;
const QString kStaging = store::schema::kStaging;

QString columnList(const std::vector<store::TableColumn>& columns, const QString& prefix = {}) {
    QStringList names;
    for (const store::TableColumn& c : columns)
        names << prefix + store::quoted(c.name);
    return names.join(QStringLiteral(", "));
}

} // namespace

std::vector<store::TableColumn> personsColumns(store::Database& db) {
    std::vector<store::TableColumn> columns = store::tableColumns(db, kPersons);
    if (!columns.empty())
        columns.pop_back();
    return columns;
}

std::vector<store::TableColumn> stagingColumns(store::Database& db) {
    return store::tableColumns(db, kStaging);
}

void forEachPerson(store::Database& db, const std::function<void(const store::Statement&)>& row) {
    store::Statement st = db.prepare(QStringLiteral("SELECT %1 FROM wslib ORDER BY \"个人编号\", rowid")
                                         .arg(columnList(personsColumns(db))));
    while (st.step())
        row(st);
}

void forEachPersonOf(store::Database& db, const std::vector<qint64>& rowids,
                     const std::function<void(const store::Statement&)>& row) {
    store::Statement st = db.prepare(
        QStringLiteral("SELECT %1 FROM wslib WHERE rowid = ?").arg(columnList(personsColumns(db))));
    for (qint64 id : rowids) {
        st.reset();
        st.bind(1, id);
        if (st.step())
            row(st);
    }
}

struct StagingAppender::Impl {
    store::Statement insert;
    int columns;
};

StagingAppender::StagingAppender(store::Database& db) {
    const std::vector<store::TableColumn> columns = stagingColumns(db);
    QStringList marks;
    for (std::size_t i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    d_ = std::make_unique<Impl>(
        Impl{db.prepare(QStringLiteral("INSERT INTO wslib0 (%1) VALUES (%2)")
                            .arg(columnList(columns), marks.join(QStringLiteral(", ")))),
             int(columns.size())});
}

StagingAppender::~StagingAppender() = default;

void StagingAppender::append(const QVariantList& values) {
    d_->insert.reset();
    for (int i = 0; i < d_->columns; ++i)
        d_->insert.bind(i + 1, i < values.size() ? values.at(i) : QVariant());
    d_->insert.run();
}

void clearStaging(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM wslib0"));
}

qint64 countStaging(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM wslib0")).toLongLong();
}

void setStagingValue(store::Database& db, qint64 rowid, const QString& column, const QVariant& value) {
    db.exec(QStringLiteral("UPDATE wslib0 SET %1 = ? WHERE rowid = ?").arg(store::quoted(column)),
            {value, rowid});
}

Replacement replacePersons(store::Database& db, const std::function<void(qint64)>& progress) {
    const std::vector<store::TableColumn> persons = personsColumns(db);
    const std::vector<store::TableColumn> staging = stagingColumns(db);
    Replacement result;
    store::Transaction tx(db);
    // A hundred thousand rows go in and out: making the search indexes once at the end is
    // cheaper than keeping them up row by row. The rollback of a failure restores them.
    records::dropSearchIndexes(db);
    // The new rows go in after the old ones, so that photos can be matched before the old rows go.
    const qint64 lastOld =
        db.scalar(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM wslib")).toLongLong();
    QStringList marks;
    for (std::size_t i = 0; i < persons.size(); ++i)
        marks << QStringLiteral("?");
    store::Statement insert = db.prepare(QStringLiteral("INSERT INTO wslib (%1) VALUES (%2)")
                                             .arg(columnList(persons), marks.join(QStringLiteral(", "))));
    store::Statement rows =
        db.prepare(QStringLiteral("SELECT %1 FROM wslib0 ORDER BY rowid").arg(columnList(staging)));
    // The first old person with exactly the same number and name gives the photo; the number's
    // index (which ignores case) finds the candidates.
    store::Statement firstOld = db.prepare(QStringLiteral(
        "SELECT rowid, \"相片\" IS NOT NULL FROM wslib WHERE rowid <= ?1 AND \"个人编号\" = ?2"
        " AND \"个人编号\" = ?2 COLLATE BINARY AND \"姓名\" = ?3 COLLATE BINARY ORDER BY rowid LIMIT 1"));
    store::Statement copyPhoto = db.prepare(QStringLiteral(
        "UPDATE wslib SET \"相片\" = (SELECT \"相片\" FROM wslib WHERE rowid = ?) WHERE rowid = ?"));
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
    db.exec(QStringLiteral("DELETE FROM wslib WHERE rowid <= ?"), {lastOld});
    // Each index takes a while at a million persons: the progress shows the work goes on.
    records::addPersonIndexes(db, [&](int, int, const QString&) {
        if (progress)
            progress(result.persons);
        return true;
    });
    tx.commit();
    return result;
}

} // namespace exchange
