#pragma once

#include "records/EntryRules.h"
#include "records/PersonHistory.h"
#include "records/PersonRecord.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace store {
class Database;
class RecordSet;
class ScannedRow;
class Statement;
} // namespace store

namespace records {

// The persons table wslib: the statements on it live here (the lists, searches and row
// statements) and in records/PersonsBulk (whole-table reads and writes).

// The entry window's list: every person by personal number (ties in stored order).
std::unique_ptr<store::RecordSet> openPersonList(store::Database& db);
// The same list narrowed by a category search condition.
std::unique_ptr<store::RecordSet> findPersons(store::Database& db, const Condition& condition);

// The writes of single persons record each changed column in the change history (records/
// PersonHistory) in the same transaction: a write that fails leaves neither.

// Adds a person with only the personal number set; the new row's rowid.
qint64 addNumberedPerson(store::Database& db, const QString& number, const Author& author);
// Writes the entries into one person (all or nothing; see writeRow).
void writePerson(store::Database& db, qint64 rowid, const Entries& entries, const Author& author);
void deletePerson(store::Database& db, qint64 rowid, const Author& author);
qint64 countPersons(store::Database& db);

// --- Several operators at once ---

// A person's row version, read together with the values shown. On the server every write moves
// the row's version on; on the embedded file, where one operator works behind the lock file,
// there is nobody to conflict with, so it is always kAnyVersion and nothing is compared.
using RowVersion = qint64;
inline constexpr RowVersion kAnyVersion = 0;

struct ShownPerson {
    QVariantList row; // every column in column order, the photo included; empty when gone
    RowVersion version = kAnyVersion;
};
ShownPerson readPersonWithVersion(store::Database& db, qint64 rowid);

// What a write guarded by the version the operator saw did. Changed and Deleted wrote nothing.
enum class WriteOutcome { Saved, Changed, Deleted };
struct GuardedWrite {
    WriteOutcome outcome = WriteOutcome::Deleted;
    // Saved: the row's version after the write; Changed: its version now, which an overwrite the
    // operator asked for passes back.
    RowVersion version = kAnyVersion;
};
// writePerson and deletePerson, done only while the row still has `version` (kAnyVersion: whatever
// it has). The row stays locked from the comparison to the end of the write, so two operators
// saving from the same version cannot both succeed. Throws as writePerson does.
GuardedWrite writePersonIfUnchanged(store::Database& db, qint64 rowid, RowVersion version,
                                    const Entries& entries, const Author& author);
GuardedWrite deletePersonIfUnchanged(store::Database& db, qint64 rowid, RowVersion version,
                                     const Author& author);

// The photo of a person: the bytes of an image file as they were in the file, no header, no
// conversion; empty when the person has none.
QByteArray readPhoto(store::Database& db, qint64 rowid);
// Replaces the photo by `bytes` in one statement (empty bytes store Null). Throws store::SqlError.
void storePhoto(store::Database& db, qint64 rowid, const QByteArray& bytes, const Author& author);
void clearPhoto(store::Database& db, qint64 rowid, const Author& author);
// The same for the photo import of a whole folder, which writes one summary row for all.
void storePhotoInBulk(store::Database& db, qint64 rowid, const QByteArray& bytes);
// Look-ups of one person by rowid (bind it as 1) for the photo export and import: the first
// reads 个人编号 and 相片, the second 个人编号 alone.
store::Statement numberAndPhotoReader(store::Database& db);
store::Statement numberReader(store::Database& db);

struct PersonRef {
    QString number;
    QString name;
};
// The first person (by personal number) but `exceptRowid` whose stored ID number, trimmed,
// equals one of `forms` (compared in upper case).
std::optional<PersonRef> firstPersonWithIdNumber(store::Database& db, const QStringList& forms,
                                                 qint64 exceptRowid);
// Empties the persons table (data initialisation).
void deleteAllPersons(store::Database& db);
// Reports (done, total, text) before each step; false asks to stop.
using IndexProgress = std::function<bool(int done, int total, const QString& text)>;

// The indexes the list, the searches, the conditions, the ID number lookup on 保存 and the
// whole-table scans (statistics, data check) rely on;
// a database made by an earlier version (or restored from one) gets them at the next start.
// Only the missing ones are made, one whole index per step, so a stop leaves the file usable and
// the next call goes on. Nothing is made on a read-only file. False when stopped.
bool addPersonIndexes(store::Database& db, const IndexProgress& progress = {});
// How many of those indexes the file lacks.
int missingPersonIndexes(store::Database& db);
// How many steps addPersonIndexes would take now (the missing indexes and the planner's figures);
// 0 when there is nothing to do or the file is read-only.
int personIndexSteps(store::Database& db);
// For a bulk replacement, which makes them again with addPersonIndexes at its end: every index
// but the personal number's, which the replacement itself uses.
void dropSearchIndexes(store::Database& db);
// The same before adding or changing `incoming` persons, when they are many against the table's:
// then making the indexes again at the end (addPersonIndexes) costs less than keeping them up row
// by row. True when they were dropped.
bool dropSearchIndexesFor(store::Database& db, qint64 incoming);

// --- Whole-table scans (statistics) ---

// These columns of every person, in this order, each row handed to `row` with its cells where the
// engine holds them (valid only during the call). Rows come in no set order: columns an index
// covers are read from the index, a fraction of the table.
void scanPersonsColumns(store::Database& db, const QStringList& columns,
                        const std::function<void(const store::ScannedRow&)>& row);

// The data check's columns of every person, in this order (rowid first), each row handed to
// `row` as scanPersonsColumns hands it.
enum CheckColumn { kCheckRowid, kCheckNumber, kCheckName, kCheckSex, kCheckBirth, kCheckId, kCheckRetired };
void scanPersonsForCheck(store::Database& db, const std::function<void(const store::ScannedRow&)>& row);

// Creates all seven tables and their indexes in an empty database: the persons and staging
// tables from the column table, the small tables from store/Schema.
void createTables(store::Database& db);

// ---- Change history: the writes the history window puts back, and the bulk operations' row ----

// Stored values into one person, recorded as `kind` (all or nothing; see writeStoredRow).
void writeStoredPerson(store::Database& db, qint64 rowid, const StoredValues& values, const Author& author,
                       const QString& kind = kHistoryChanged);
bool personExists(store::Database& db, qint64 rowid);
// Whether a person has this personal number (compared as the list compares it).
bool personalNumberTaken(store::Database& db, const QString& number);
// The number 新增 gives on the whole list: the one after the last person's.
QString numberForNewPerson(store::Database& db);
// A person with these values (a deleted one put back), with the row identity `rowid` when that is
// free; the new row's rowid. Recorded as 新增.
qint64 addPersonWith(store::Database& db, const StoredValues& values, const Author& author,
                     qint64 rowid = -1);
// One summary row (kind 批量) for an operation on many persons: what was done and to how many.
void recordBulkChange(store::Database& db, const Author& author, const QString& what, qint64 count);

} // namespace records
