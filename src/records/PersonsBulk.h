#pragma once

#include "store/Database.h"
#include "store/Schema.h"

#include <QStringList>
#include <QVariantList>

#include <functional>
#include <vector>

namespace records {

// The statements that read or write the whole persons table wslib at once (its row-by-row
// statements are in records/PersonsTable, the staging table's in records/StagingTable). The
// cursors are prepared statements the caller steps through; their columns are as listed.

// The persons table's columns but the last (the photo), as the file declares them.
std::vector<store::TableColumn> personsColumns(store::Database& db);

// Every person in ascending 个人编号, all columns but the photo; `row` reads the statement.
void forEachPerson(store::Database& db, const std::function<void(const store::Statement&)>& row);
// The persons with these rowids, in this order, all columns but the photo.
void forEachPersonOf(store::Database& db, const std::vector<qint64>& rowids,
                     const std::function<void(const store::Statement&)>& row);

struct Replacement {
    qint64 persons = 0;
    qint64 photosKept = 0;
};

// Replaces every person with the staging rows, in their stored order, in one transaction: on any
// failure the persons table stays exactly as it was. A new person whose 个人编号 and 姓名 both
// equal those of a replaced person keeps that person's photo (the first such in stored order).
// `progress` gets the count of rows copied so far. Throws store::SqlError.
Replacement replacePersons(store::Database& db, const std::function<void(qint64)>& progress = {});

// rowid, 个人编号 and 姓名 of every person in stored order (the merge's key index).
store::Statement personsKeysInStoredOrder(store::Database& db);

// Writes whole persons by the first `columns` columns of the table (the merge), its update and
// insert prepared once. `value(ordinal)` gives a column's value. Throws store::SqlError; a
// statement that fails is reset, so a probe may follow within the same transaction.
class PersonWriter {
public:
    using Values = std::function<const QVariant&(int ordinal)>;

    PersonWriter(store::Database& db, int columns);

    // Columns 2 on of the person `rowid`: its 个人编号 and 姓名, and their index, stay untouched.
    void update(qint64 rowid, const Values& value);
    // A new person; returns its rowid.
    qint64 insert(const Values& value);
    // The first column whose value the table refuses on its own, -1 if none: as the new person's
    // only value (rowid < 0), or as the one change to the person `rowid` (columns 2 on). Each try
    // runs in a savepoint that is always rolled back; `why` gets the refusal.
    int refusedColumn(qint64 rowid, const Values& value, store::SqlError* why);

private:
    store::Database& db_;
    int columns_;
    QStringList names_; // quoted, in ordinal order
    store::Statement update_;
    store::Statement insert_;
};

// rowid and 身份证号码 of the persons whose trimmed ID number has 15 or more characters.
store::Statement personsWithLongIdNumbers(store::Database& db);
// Writes one 身份证号码: bind the number (1) and the rowid (2), then run.
store::Statement idNumberWriter(store::Database& db);
// The 身份证号码 of every person who has one that is not blank.
store::Statement personsIdNumbers(store::Database& db);

// One column's values in stored order (the category scan).
store::Statement personsColumnInStoredOrder(store::Database& db, const QString& column);

// ---- Reads for the previews before a merge or an import replaces persons ----

// One person's columns but the photo, in ordinal order: bind the rowid as 1.
store::Statement personReader(store::Database& db);

} // namespace records
