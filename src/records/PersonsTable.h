#pragma once

#include "records/EntryRules.h"
#include "records/PersonRecord.h"

#include <functional>
#include <memory>

namespace store {
class Database;
class RecordSet;
} // namespace store

namespace records {

// The persons table wslib: the statements the windows run on it live here.

// The entry window's list: every person by personal number (ties in stored order).
std::unique_ptr<store::RecordSet> openPersonList(store::Database& db);
// The same list narrowed by a category search condition.
std::unique_ptr<store::RecordSet> findPersons(store::Database& db, const Condition& condition);

// Adds a person with only the personal number set; the new row's rowid.
qint64 addNumberedPerson(store::Database& db, const QString& number);
// Writes the entries into one person (all or nothing; see writeRow).
void writePerson(store::Database& db, qint64 rowid, const Entries& entries);
void deletePerson(store::Database& db, qint64 rowid);
qint64 countPersons(store::Database& db);
// Empties the persons table (data initialisation).
void deleteAllPersons(store::Database& db);
// Reports (done, total, text) before each step; false asks to stop.
using IndexProgress = std::function<bool(int done, int total, const QString& text)>;

// The indexes the list, the searches, the conditions and the ID number lookup on 保存 rely on;
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

} // namespace records
