#include "records/PersonHistory.h"

#include "records/PersonColumns.h"
#include "records/PersonRecord.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/ProgramState.h"
#include "store/Session.h"

#include <QLocale>
#include <QStringList>

#include <map>
#include <set>

namespace records {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// The grid's filters find their rows through these: a person's rows by identity, number or name,
// newest first.
const char* const kHistoryIndexes[][2] = {
    {"history_person", "person, id"},
    {"history_number", "number, id"},
    {"history_name", "name, id"},
};

QString table() {
    return store::quoted(kHistoryTable);
}

} // namespace

Author authorOf(const store::Session& session) {
    return Author(session.state().currentUser, session.now());
}

bool hasHistoryTable(store::Database& db) {
    return db.hasTable(kHistoryTable);
}

bool ensureHistoryTable(store::Database& db) {
    if (hasHistoryTable(db))
        return true;
    if (db.isReadOnly())
        return false;
    store::Savepoint sp(db);
    // Values keep the type the persons table stored (text, number, picture bytes): no affinity.
    db.exec(QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, change_id INTEGER NOT NULL, "
                           "changed_at TEXT NOT NULL, operator TEXT, person INTEGER, number TEXT, "
                           "name TEXT, kind TEXT NOT NULL, field TEXT, old_value, new_value)")
                .arg(table()));
    for (const auto& index : kHistoryIndexes)
        db.exec(QStringLiteral("CREATE INDEX %1 ON %2(%3)")
                    .arg(QString::fromLatin1(index[0]), table(), QString::fromLatin1(index[1])));
    sp.release();
    return true;
}

bool sameStoredValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    const int ta = a.typeId();
    const int tb = b.typeId();
    if (ta == QMetaType::QByteArray || tb == QMetaType::QByteArray)
        return ta == tb && a.toByteArray() == b.toByteArray();
    const auto numeric = [](int t) {
        return t == QMetaType::LongLong || t == QMetaType::Double || t == QMetaType::Int ||
               t == QMetaType::Bool;
    };
    if (numeric(ta) && numeric(tb))
        return a.toDouble() == b.toDouble();
    return numeric(ta) == numeric(tb) && a.toString() == b.toString();
}

// ---- writing ----

HistoryWriter::HistoryWriter(store::Database& db, const Author& author, QString kind)
    : db_(db), time_(author.time.toString(kTimeFormat)), operator_(author.name), kind_(std::move(kind)) {
    ensureHistoryTable(db_);
    // The first row's id: the largest id is read from the key, whatever the size of the table.
    change_ = db_.scalar(QStringLiteral("SELECT coalesce(max(id), 0) + 1 FROM %1").arg(table())).toLongLong();
}

void HistoryWriter::person(qint64 rowid, const QVariant& number, const QVariant& name) {
    rowid_ = rowid;
    number_ = number;
    name_ = name;
}

void HistoryWriter::add(const QString& field, const QVariant& oldValue, const QVariant& newValue) {
    db_.exec(QStringLiteral("INSERT INTO %1 (change_id, changed_at, operator, person, number, name, kind, "
                            "field, old_value, new_value) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                 .arg(table()),
             {change_, time_, operator_, rowid_, number_, name_, kind_, field, oldValue, newValue});
}

// ---- reading ----

namespace {

// A picture is never read for the grid: its size stands for it.
const QString kSelectRow =
    QStringLiteral("SELECT id, change_id, changed_at, operator, person, number, name, kind, field, "
                   "CASE WHEN typeof(old_value) = 'blob' THEN NULL ELSE old_value END, "
                   "CASE WHEN typeof(new_value) = 'blob' THEN NULL ELSE new_value END, "
                   "CASE WHEN typeof(old_value) = 'blob' THEN length(old_value) ELSE -1 END, "
                   "CASE WHEN typeof(new_value) = 'blob' THEN length(new_value) ELSE -1 END FROM ");

HistoryRow rowFrom(const store::Statement& st) {
    HistoryRow r;
    r.id = st.integer(0);
    r.change = st.integer(1);
    r.time = st.text(2);
    r.operatorName = st.text(3);
    r.person = st.isNull(4) ? -1 : st.integer(4);
    r.number = st.text(5);
    r.name = st.text(6);
    r.kind = st.text(7);
    r.field = st.text(8);
    r.oldValue = st.value(9);
    r.newValue = st.value(10);
    r.oldBytes = st.integer(11);
    r.newBytes = st.integer(12);
    if (r.field == personColumn(kPhoto).columnName() && r.newBytes < 0 && !r.newValue.isNull()) {
        r.newBytes = r.newValue.toLongLong(); // a stored photo's new value is its size
        r.newValue = QVariant();
    }
    return r;
}

} // namespace

std::vector<HistoryRow> readHistory(store::Database& db, const HistoryFilter& filter, int limit) {
    std::vector<HistoryRow> rows;
    if (!hasHistoryTable(db))
        return rows;
    QStringList where;
    QVariantList params;
    if (filter.person) {
        where << QStringLiteral("person = ?");
        params << *filter.person;
    }
    const QString who = filter.personText.trimmed();
    if (!who.isEmpty()) {
        where << QStringLiteral("(number = ? OR name = ?)");
        params << who << who;
    }
    if (!filter.operatorName.trimmed().isEmpty()) {
        where << QStringLiteral("operator = ?");
        params << filter.operatorName.trimmed();
    }
    if (filter.from.isValid()) {
        where << QStringLiteral("changed_at >= ?");
        params << filter.from.toString(Qt::ISODate);
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("changed_at < ?");
        params << filter.to.addDays(1).toString(Qt::ISODate);
    }
    if (!filter.kind.isEmpty()) {
        where << QStringLiteral("kind = ?");
        params << filter.kind;
    }
    params << limit;
    store::Statement st = db.prepare(
        kSelectRow + table() +
        (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "))) +
        QStringLiteral(" ORDER BY id DESC LIMIT ?"));
    st.bindAll(params);
    while (st.step())
        rows.push_back(rowFrom(st));
    return rows;
}

std::optional<HistoryRow> historyRow(store::Database& db, qint64 id) {
    if (!hasHistoryTable(db))
        return std::nullopt;
    store::Statement st = db.prepare(kSelectRow + table() + QStringLiteral(" WHERE id = ?"));
    st.bind(1, id);
    if (!st.step())
        return std::nullopt;
    HistoryRow r = rowFrom(st);
    store::Statement whole = db.prepare(QStringLiteral("SELECT old_value FROM %1 WHERE id = ?").arg(table()));
    whole.bind(1, id);
    if (whole.step())
        r.oldValue = whole.value(0);
    return r;
}

QString shownHistoryValue(const QString& field, const QVariant& value, qint64 bytes) {
    if (bytes >= 0)
        return QStringLiteral("相片 %1 KB").arg(QLocale::c().toString(double(bytes) / 1024.0, 'f', 1));
    if (value.isNull())
        return QString();
    for (const PersonColumn& c : personColumns()) {
        if (c.columnName() != field)
            continue;
        if (c.kind == Kind::YesNo)
            return value.toLongLong() != 0 ? QStringLiteral("是") : QStringLiteral("否");
        if (c.kind == Kind::Number && value.typeId() == QMetaType::Double)
            return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
        break;
    }
    return value.toString();
}

// ---- undo and restore ----

namespace {

int ordinalOf(const QString& field) {
    for (const PersonColumn& c : personColumns()) {
        if (c.columnName() == field)
            return c.ordinal;
    }
    return -1;
}

void checkRights(const HistoryRow& row, const Author& author) {
    if (author.name.trimmed() != store::kSuperUser && row.operatorName != author.name)
        throw HistoryRefused(kUndoOthersRefused);
}

} // namespace

std::vector<qint64> undoChanges(store::Database& db, const std::vector<qint64>& ids, const Author& author) {
    std::vector<HistoryRow> rows;
    for (const qint64 id : std::set<qint64>(ids.begin(), ids.end())) { // oldest first
        std::optional<HistoryRow> row = historyRow(db, id);
        if (!row)
            continue;
        if (row->kind != kHistoryChanged)
            throw HistoryRefused(kUndoOnlyChanges);
        if (ordinalOf(row->field) < 0)
            throw HistoryRefused(kUndoUnknownColumn.arg(row->field));
        checkRights(*row, author);
        rows.push_back(std::move(*row));
    }
    // Per person, the oldest selected change of a column gives the value put back.
    std::map<qint64, StoredValues> byPerson;
    for (const HistoryRow& row : rows)
        byPerson[row.person].emplace(ordinalOf(row.field), row.oldValue);
    store::Transaction tx(db);
    std::vector<qint64> persons;
    for (auto& [person, values] : byPerson) {
        const auto photo = values.find(kPhoto);
        if (photo != values.end()) {
            const QByteArray bytes = photo->second.toByteArray();
            values.erase(photo);
            if (!personExists(db, person))
                throw RecordMissing();
            storePhoto(db, person, bytes, author);
        }
        writeStoredPerson(db, person, values, author);
        persons.push_back(person);
    }
    tx.commit();
    return persons;
}

Restored restorePerson(store::Database& db, qint64 id, const Author& author) {
    const std::optional<HistoryRow> chosen = historyRow(db, id);
    if (!chosen || chosen->kind != kHistoryDeleted)
        throw HistoryRefused(kRestoreOnlyDeleted);
    checkRights(*chosen, author);
    StoredValues values;
    store::Statement st = db.prepare(
        QStringLiteral("SELECT field, old_value FROM %1 WHERE change_id = ? AND kind = ?").arg(table()));
    st.bind(1, chosen->change).bind(2, kHistoryDeleted);
    while (st.step()) {
        const int ordinal = ordinalOf(st.text(0));
        if (ordinal >= 0)
            values[ordinal] = st.value(1);
    }
    Restored restored;
    restored.originalNumber = values[kPersonalNumber].toString();
    restored.number = restored.originalNumber;
    store::Transaction tx(db);
    if (personalNumberTaken(db, restored.number))
        restored.number = numberForNewPerson(db);
    values[kPersonalNumber] = restored.number;
    restored.rowid = addPersonWith(db, values, author, chosen->person);
    tx.commit();
    return restored;
}

} // namespace records
