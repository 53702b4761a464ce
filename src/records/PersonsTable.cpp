#include "records/PersonsTable.h"

#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/Schema.h"

namespace records {

namespace {
const QString kByNumber = QStringLiteral("\"个人编号\", rowid");
} // namespace

std::unique_ptr<store::RecordSet> openPersonList(store::Database& db) {
    return std::make_unique<store::RecordSet>(db, store::schema::kPersons, QString(), QVariantList(),
                                              kByNumber);
}

std::unique_ptr<store::RecordSet> findPersons(store::Database& db, const Condition& condition) {
    return std::make_unique<store::RecordSet>(db, store::schema::kPersons, condition.sql, condition.params,
                                              kByNumber);
}

qint64 addNumberedPerson(store::Database& db, const QString& number) {
    db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\") VALUES (?)"), {number});
    return db.lastInsertRowId();
}

void writePerson(store::Database& db, qint64 rowid, const Entries& entries) {
    writeRow(db, store::schema::kPersons, rowid, entries);
}

void deletePerson(store::Database& db, qint64 rowid) {
    db.exec(QStringLiteral("DELETE FROM wslib WHERE rowid = ?"), {rowid});
}

void deleteAllPersons(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM wslib"));
}

void addPersonIndexes(store::Database& db) {
    db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS wslib_number ON wslib(\"个人编号\")"));
    // The ID number lookup compares upper(trim(...)): SQLite's upper folds ASCII only, as NOCASE
    // does, and this SQLite cannot match an expression index through a COLLATE.
    db.exec(
        QStringLiteral("CREATE INDEX IF NOT EXISTS wslib_id_number ON wslib(upper(trim(\"身份证号码\")))"));
}

void dropIdNumberIndex(store::Database& db) {
    db.exec(QStringLiteral("DROP INDEX IF EXISTS wslib_id_number"));
}

qint64 countPersons(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM wslib")).toLongLong();
}

} // namespace records
