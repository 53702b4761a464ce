#pragma once

#include <QVariantList>

#include <vector>

namespace store {
class Database;
}

namespace testing_support {

// Persons that cover every kind of value the exchange must carry: Null, empty text, ID numbers
// with leading zeros and an X, a memo with line breaks, dates with days, fractions, Yes/No.
// Every third person has a photo. Returns nothing; the rows go straight into wslib.
void addSamplePersons(store::Database& db, int count);

// Every column but the photo of each person, in ascending 个人编号 (the order of an export).
std::vector<QVariantList> personsInExportOrder(store::Database& db);
// The same in stored order (the order of an import).
std::vector<QVariantList> personsInStoredOrder(store::Database& db);

} // namespace testing_support
