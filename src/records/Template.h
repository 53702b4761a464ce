#pragma once

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

} // namespace records
