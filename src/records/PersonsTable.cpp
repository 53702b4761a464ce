#include "records/PersonsTable.h"

#include "records/PersonColumns.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/RowScan.h"
#include "store/Schema.h"

#include <functional>

namespace records {

namespace {

const QString kPersons = store::schema::kPersons;

QString byNumber() {
    return sqlName(kPersonalNumber) + QStringLiteral(", rowid");
}

} // namespace

std::unique_ptr<store::RecordSet> openPersonList(store::Database& db) {
    return std::make_unique<store::RecordSet>(db, kPersons, QString(), QVariantList(), byNumber());
}

std::unique_ptr<store::RecordSet> findPersons(store::Database& db, const Condition& condition) {
    return std::make_unique<store::RecordSet>(db, kPersons, condition.sql, condition.params, byNumber());
}

qint64 addNumberedPerson(store::Database& db, const QString& number, const Author& author) {
    store::Savepoint sp(db);
    db.exec(QStringLiteral("INSERT INTO %1(%2) VALUES (?)").arg(kPersons, sqlName(kPersonalNumber)),
            {number});
    const qint64 rowid = db.lastInsertRowId();
    HistoryWriter history(db, author, kHistoryAdded);
    history.person(rowid, number, QVariant());
    history.add(personColumn(kPersonalNumber).columnName(), QVariant(), number);
    sp.release();
    return rowid;
}

void writePerson(store::Database& db, qint64 rowid, const Entries& entries, const Author& author) {
    StoredValues values;
    for (const auto& [ordinal, entry] : entries)
        values[ordinal] = storedValue(personColumn(ordinal), entry);
    writeStoredPerson(db, rowid, values, author);
}

namespace {

QVariantList readColumns(store::Database& db, qint64 rowid, const std::vector<int>& ordinals) {
    QStringList names;
    for (const int ordinal : ordinals)
        names << sqlName(ordinal);
    store::Statement st = db.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(names.join(QStringLiteral(", ")), kPersons));
    st.bind(1, rowid);
    QVariantList row;
    if (st.step()) {
        for (int i = 0; i < int(ordinals.size()); ++i)
            row << st.value(i);
    }
    return row;
}

// A photo's old bytes are kept; its new value is only their size, the bytes being in the table.
void addColumn(HistoryWriter& history, int ordinal, const QVariant& before, const QVariant& after) {
    const bool photo = ordinal == kPhoto;
    history.add(personColumn(ordinal).columnName(), before,
                photo && !after.isNull() ? QVariant(qint64(after.toByteArray().size())) : after);
}

} // namespace

void writeStoredPerson(store::Database& db, qint64 rowid, const StoredValues& values, const Author& author,
                       const QString& kind) {
    std::vector<int> ordinals = {kPersonalNumber, kPersonName};
    for (const auto& [ordinal, value] : values)
        ordinals.push_back(ordinal);
    store::Savepoint sp(db);
    const QVariantList before = readColumns(db, rowid, ordinals);
    writeStoredRow(db, kPersons, rowid, values);
    const QVariantList after = readColumns(db, rowid, ordinals);
    std::optional<HistoryWriter> history;
    for (std::size_t i = 2; i < ordinals.size() && after.size() == before.size(); ++i) {
        if (sameStoredValue(before.at(int(i)), after.at(int(i))))
            continue;
        if (!history) {
            history.emplace(db, author, kind);
            history->person(rowid, after.at(0), after.at(1));
        }
        addColumn(*history, ordinals[i], before.at(int(i)), after.at(int(i)));
    }
    sp.release();
}

void deletePerson(store::Database& db, qint64 rowid, const Author& author) {
    std::vector<int> ordinals;
    for (const PersonColumn& c : personColumns())
        ordinals.push_back(c.ordinal);
    store::Savepoint sp(db);
    const QVariantList row = readColumns(db, rowid, ordinals);
    // The deletion first: a file that refuses it says why before the history is touched.
    db.exec(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(kPersons), {rowid});
    if (!row.isEmpty()) {
        // Every value the person had, so that the person can be put back whole.
        HistoryWriter history(db, author, kHistoryDeleted);
        history.person(rowid, row.at(kPersonalNumber), row.at(kPersonName));
        for (const int ordinal : ordinals) {
            if (ordinal == kPersonalNumber || !row.at(ordinal).isNull())
                history.add(personColumn(ordinal).columnName(), row.at(ordinal), QVariant());
        }
    }
    sp.release();
}

namespace {

// The row's version, on the server locked until the transaction ends, so that nobody writes
// between the comparison and the write; nothing when the row is gone.
std::optional<RowVersion> lockedVersion(store::Database& db, qint64 rowid) {
    static const QString embedded = QStringLiteral("SELECT 0 FROM %1 WHERE rowid = ?").arg(kPersons);
    static const QString server =
        QStringLiteral("SELECT rowversion FROM %1 WHERE rowid = ? FOR UPDATE").arg(kPersons);
    const QVariant version = db.scalar(db.sql(embedded, server), {rowid});
    if (version.isNull())
        return std::nullopt;
    return version.toLongLong();
}

bool stale(RowVersion seen, RowVersion now) {
    return seen != kAnyVersion && seen != now;
}

} // namespace

ShownPerson readPersonWithVersion(store::Database& db, qint64 rowid) {
    static const QString columns = [] {
        QStringList names;
        for (const PersonColumn& c : personColumns())
            names << sqlName(c.ordinal);
        return names.join(QStringLiteral(", "));
    }();
    static const QString embedded =
        QStringLiteral("SELECT 0, %1 FROM %2 WHERE rowid = ?").arg(columns, kPersons);
    static const QString server =
        QStringLiteral("SELECT rowversion, %1 FROM %2 WHERE rowid = ?").arg(columns, kPersons);
    store::Statement st = db.prepare(db.sql(embedded, server));
    st.bind(1, rowid);
    ShownPerson person;
    if (st.step()) {
        person.version = st.integer(0);
        for (int i = 1; i < st.columnCount(); ++i)
            person.row << st.value(i);
    }
    return person;
}

namespace {

// `write` done only while the row still has `version`, the row locked from the comparison on;
// `after` reads the version the write leaves.
GuardedWrite ifUnchanged(store::Database& db, qint64 rowid, RowVersion version,
                         const std::function<void()>& write,
                         const std::function<RowVersion(RowVersion before)>& after) {
    store::Savepoint sp(db);
    const std::optional<RowVersion> now = lockedVersion(db, rowid);
    if (!now)
        return {WriteOutcome::Deleted, kAnyVersion};
    if (stale(version, *now))
        return {WriteOutcome::Changed, *now};
    write();
    const RowVersion left = after(*now);
    sp.release();
    return {WriteOutcome::Saved, left};
}

} // namespace

GuardedWrite writePersonIfUnchanged(store::Database& db, qint64 rowid, RowVersion version,
                                    const Entries& entries, const Author& author) {
    return ifUnchanged(
        db, rowid, version, [&] { writePerson(db, rowid, entries, author); },
        [&](RowVersion) { return lockedVersion(db, rowid).value_or(kAnyVersion); });
}

GuardedWrite deletePersonIfUnchanged(store::Database& db, qint64 rowid, RowVersion version,
                                     const Author& author) {
    return ifUnchanged(
        db, rowid, version, [&] { deletePerson(db, rowid, author); },
        [](RowVersion before) { return before; });
}

bool personExists(store::Database& db, qint64 rowid) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE rowid = ?").arg(kPersons), {rowid})
               .toLongLong() > 0;
}

bool personalNumberTaken(store::Database& db, const QString& number) {
    return db
        .scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE %2 = ?)")
                    .arg(kPersons, sqlName(kPersonalNumber)),
                {number})
        .toBool();
}

QString numberForNewPerson(store::Database& db) {
    const QVariant last = db.scalar(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1 DESC, rowid DESC LIMIT 1")
                                        .arg(sqlName(kPersonalNumber), kPersons));
    return last.isNull() && countPersons(db) == 0 ? QStringLiteral("000001")
                                                  : nextPersonalNumber(last.toString());
}

qint64 addPersonWith(store::Database& db, const StoredValues& values, const Author& author, qint64 rowid) {
    QStringList names;
    QVariantList params;
    if (rowid > 0 && !personExists(db, rowid)) {
        names << QStringLiteral("rowid");
        params << rowid;
    }
    for (const auto& [ordinal, value] : values) {
        names << sqlName(ordinal);
        params << value;
    }
    store::Savepoint sp(db);
    db.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(kPersons, names.join(QStringLiteral(", ")),
                     QStringList(params.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
            params);
    const qint64 added = db.lastInsertRowId();
    HistoryWriter history(db, author, kHistoryAdded);
    const auto value = [&](int ordinal) {
        const auto it = values.find(ordinal);
        return it == values.end() ? QVariant() : it->second;
    };
    history.person(added, value(kPersonalNumber), value(kPersonName));
    for (const auto& [ordinal, v] : values) {
        if (!v.isNull())
            addColumn(history, ordinal, QVariant(), v);
    }
    sp.release();
    return added;
}

void recordBulkChange(store::Database& db, const Author& author, const QString& what, qint64 count) {
    HistoryWriter history(db, author, kHistoryBulk);
    history.add(what, QVariant(), count);
}

void deleteAllPersons(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM %1").arg(kPersons));
}

namespace {

// `columns` spells the index's columns with %1 and %2 for the columns of `first` and `second`.
struct PersonIndex {
    const char* name;
    const char* columns;
    int first;
    int second = -1;
};

QString columnsOf(const PersonIndex& index) {
    const QString form = QString::fromLatin1(index.columns);
    return index.second < 0 ? form.arg(sqlName(index.first))
                            : form.arg(sqlName(index.first), sqlName(index.second));
}

// Lists come ordered by personal number, so a searched column carries it: the list is read from
// the index alone, without visiting each found person's row. Each index costs its share of every
// save, import and merge, file size and a table scan to make, so only the searches measured to
// need one have it: the person look-ups (name, ID number) and the largest and most selective
// category searches; an equality on any other column compiles to the same SQL and is answered
// from the table.
const PersonIndex kIndexes[] = {
    {"wslib_number", "%1", kPersonalNumber},
    // The ID number lookup compares upper(trim(...)): SQLite's upper folds ASCII only, as NOCASE
    // does, and this SQLite cannot match an expression index through a COLLATE.
    {"wslib_id_number", "upper(trim(%1))", kIdNumber},
    {"wslib_id", "%1, %2", kIdNumber, kPersonalNumber},
    {"wslib_name", "%1, %2", kPersonName, kPersonalNumber},
    {"wslib_c5", "%1, %2", kSex, kPersonalNumber},
    {"wslib_c6", "%1, %2", kNation, kPersonalNumber},
};

// Keeping the search indexes up row by row costs several times what making them costs per person
// (Merge100k, 100,000 into 100,000: 6.6 s of CPU kept up, 4.7 s made anew): past a quarter of the
// table, making them anew is taken to win; a few persons into a large table keep them.
constexpr qint64 kRebuildShare = 4;

struct IndexToMake {
    QString name;
    QString columns;
};

std::vector<IndexToMake> allIndexes();

std::vector<IndexToMake> missingIndexes(store::Database& db) {
    std::vector<IndexToMake> missing;
    for (IndexToMake& index : allIndexes()) {
        if (!store::hasIndex(db, index.name))
            missing.push_back(std::move(index));
    }
    return missing;
}

} // namespace

// --- The statistics' covering index ---

namespace {

// The table is read from disk page by page, each page decrypted, and a whole-table report needs
// a few dozen of its 65 columns: an index holding just those is a fraction of the table's pages,
// and SQLite scans it instead of the table when it covers every column a statement names: the
// report's items (the coded columns, the dates, 基本养老金) and the data check's columns. At a
// million persons it is 290 MB beside the table's 790 MB; the report and the data check take
// about a third less, the ten-condition query half (the planner skips along its first column),
// for a sixth to a third more on an import or merge of 100,000 and nothing measurable per save.
QString coveringColumns() {
    std::vector<int> ordinals;
    for (const PersonColumn& c : personColumns()) {
        if (c.kind == Kind::Coded || c.kind == Kind::Date)
            ordinals.push_back(c.ordinal);
    }
    ordinals.insert(ordinals.end(), {ordinalOf(u"基本养老金"), kPersonalNumber, kPersonName, kIdNumber});
    QStringList names;
    for (const int ordinal : ordinals)
        names << sqlName(ordinal);
    return names.join(QStringLiteral(", "));
}

std::vector<IndexToMake> allIndexes() {
    std::vector<IndexToMake> all;
    for (const PersonIndex& index : kIndexes)
        all.push_back({QString::fromLatin1(index.name), columnsOf(index)});
    all.push_back({QStringLiteral("wslib_report"), coveringColumns()});
    return all;
}

} // namespace

int missingPersonIndexes(store::Database& db) {
    return int(missingIndexes(db).size());
}

namespace {

// The planner's figures (rows per value of each index) tell 民族 = … from 性别 = … when a
// condition names both; they are gathered again once the table has grown to twice its size.
// An empty table has none to gather.
bool statisticsWanted(store::Database& db, bool indexesMade) {
    const qint64 last =
        db.scalar(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM %1").arg(kPersons)).toLongLong();
    if (last == 0)
        return false;
    if (indexesMade)
        return true;
    const qint64 rows = store::analyzedRows(db, kPersons, QStringLiteral("wslib_number"));
    return rows <= 0 || last > 2 * rows;
}

} // namespace

int personIndexSteps(store::Database& db) {
    if (db.isReadOnly())
        return 0;
    const int missing = missingPersonIndexes(db);
    return missing + (statisticsWanted(db, missing > 0) ? 1 : 0);
}

bool addPersonIndexes(store::Database& db, const IndexProgress& progress) {
    if (db.isReadOnly())
        return true;
    const std::vector<IndexToMake> missing = missingIndexes(db);
    const bool statistics = statisticsWanted(db, !missing.empty());
    const int total = int(missing.size()) + (statistics ? 1 : 0);
    for (int done = 0; done < total; ++done) {
        if (done == int(missing.size())) {
            if (progress && !progress(done, total, QStringLiteral("ANALYZE")))
                return false;
            store::analyze(db, kPersons);
            continue;
        }
        const IndexToMake& index = missing[std::size_t(done)];
        if (progress && !progress(done, total, index.columns))
            return false;
        // An embedded index carries the row identity after its columns; a server index gets it
        // named, so a list in (column, rowid) order is read from the index alone there too.
        db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3%4)")
                    .arg(index.name, kPersons, index.columns, db.sql(QString(), QStringLiteral(", rowid"))));
    }
    if (progress && total > 0)
        progress(total, total, QString());
    return true;
}

void dropSearchIndexes(store::Database& db) {
    for (const IndexToMake& index : allIndexes()) {
        if (index.name != QLatin1String("wslib_number"))
            db.exec(QStringLiteral("DROP INDEX IF EXISTS %1").arg(index.name));
    }
}

bool dropSearchIndexesFor(store::Database& db, qint64 incoming) {
    if (incoming * kRebuildShare < countPersons(db))
        return false;
    dropSearchIndexes(db);
    return true;
}

qint64 countPersons(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(kPersons)).toLongLong();
}

QByteArray readPhoto(store::Database& db, qint64 rowid) {
    return db
        .scalar(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(sqlName(kPhoto), kPersons), {rowid})
        .toByteArray();
}

void storePhotoInBulk(store::Database& db, qint64 rowid, const QByteArray& bytes) {
    db.exec(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?").arg(kPersons, sqlName(kPhoto)),
            {bytes.isEmpty() ? QVariant() : QVariant(bytes), rowid});
}

void storePhoto(store::Database& db, qint64 rowid, const QByteArray& bytes, const Author& author) {
    const std::vector<int> ordinals = {kPersonalNumber, kPersonName, kPhoto};
    store::Savepoint sp(db);
    const QVariantList before = readColumns(db, rowid, ordinals);
    storePhotoInBulk(db, rowid, bytes);
    const QVariant after = bytes.isEmpty() ? QVariant() : QVariant(bytes);
    if (!before.isEmpty() && !sameStoredValue(before.at(2), after)) {
        HistoryWriter history(db, author, kHistoryChanged);
        history.person(rowid, before.at(0), before.at(1));
        addColumn(history, kPhoto, before.at(2), after);
    }
    sp.release();
}

void clearPhoto(store::Database& db, qint64 rowid, const Author& author) {
    storePhoto(db, rowid, QByteArray(), author);
}

store::Statement numberAndPhotoReader(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT %1, %2 FROM %3 WHERE rowid = ?")
                          .arg(sqlName(kPersonalNumber), sqlName(kPhoto), kPersons));
}

store::Statement numberReader(store::Database& db) {
    return db.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(sqlName(kPersonalNumber), kPersons));
}

std::optional<PersonRef> firstPersonWithIdNumber(store::Database& db, const QStringList& forms,
                                                 qint64 exceptRowid) {
    QVariantList params;
    for (const QString& f : forms)
        params << f;
    params << exceptRowid;
    store::Statement st = db.prepare(
        QStringLiteral(
            "SELECT %1, %2 FROM %3 WHERE upper(trim(%4)) IN (%5) AND rowid <> ? ORDER BY %1, rowid LIMIT 1")
            .arg(sqlName(kPersonalNumber), sqlName(kPersonName), kPersons, sqlName(kIdNumber),
                 QStringList(forms.size(), QStringLiteral("upper(?)")).join(QLatin1Char(','))));
    st.bindAll(params);
    if (!st.step())
        return std::nullopt;
    return PersonRef{st.text(0), st.text(1)};
}

// --- Whole-table scans (statistics) ---

void scanPersonsColumns(store::Database& db, const QStringList& columns,
                        const std::function<void(const store::ScannedRow&)>& row) {
    QStringList quoted;
    for (const QString& c : columns)
        quoted << store::quoted(c);
    store::scanRows(db, quoted.join(QStringLiteral(", ")), QStringLiteral("FROM %1").arg(kPersons), row);
}

void scanPersonsForCheck(store::Database& db, const std::function<void(const store::ScannedRow&)>& row) {
    store::scanRows(db,
                    QStringLiteral("rowid, %1, %2, %3, %4, %5, %6")
                        .arg(sqlName(kPersonalNumber), sqlName(kPersonName), sqlName(kSex), sqlName(kBirth),
                             sqlName(kIdNumber), sqlName(kRetired)),
                    QStringLiteral("FROM %1").arg(kPersons), row);
}

namespace {

QList<store::schema::ColumnSpec> personsColumnSpecs(bool withPhoto) {
    QList<store::schema::ColumnSpec> cols;
    for (const PersonColumn& c : personColumns()) {
        if (c.kind == Kind::Photo && !withPhoto)
            continue;
        cols.append({c.columnName(), declaredType(c), c.size});
    }
    return cols;
}

} // namespace

void createTables(store::Database& db) {
    store::schema::createTable(db, store::schema::kPersons, personsColumnSpecs(true));
    store::schema::createTable(db, store::schema::kStaging, personsColumnSpecs(false));
    store::schema::createSmallTables(db);
    addPersonIndexes(db);
}

} // namespace records
