#pragma once

#include "records/PersonHistory.h"
#include "records/PersonRecord.h"

namespace store {
class Database;
}

namespace records {

// The entry template is the first row of the staging table wslib0.

// Writes the entries into the template row, never its column 0; creates the row when the
// table is empty. All or nothing: throws WriteError and leaves wslib0 as it was.
void saveTemplate(store::Database& db, Entries entries);

// Every column of the template row; empty when there is none.
QVariantList readTemplate(store::Database& db);

// Copies the template's values into person `rowid` exactly as stored (a date keeps its day),
// all but the personal number and the photo. False when there is no template. Throws WriteError
// when the persons table refuses a value.
bool applyTemplate(store::Database& db, qint64 rowid, const Author& author);

} // namespace records
