#pragma once

#include "store/Database.h"

#include <functional>
#include <vector>

namespace store {
class ScannedRow;
}

namespace records {

// The reads of the persons table that the age charts, the due list and the statistics make. The
// cursors are prepared statements the caller steps through; their columns are as listed.

// rowid, 出生年月, 性别 and 身份证号码 of every person (the age structure).
store::Statement personsAges(store::Database& db);
// rowid, 出生年月, 身份证号码, 个人编号, 姓名, 性别, 现居住地 and 现居住地电话 of every person
// (the due list).
store::Statement personsDue(store::Database& db);

// Narrows the persons table to `rows` on this connection: a temporary view of the table's name
// over those rows hides the table, so every statement on the connection that reads the persons
// table reads only them, until widenPersons. How many of the rows are still persons.
qint64 narrowPersons(store::Database& db, const std::vector<qint64>& rows);
void widenPersons(store::Database& db);

// What the server groups a column's persons by.
enum class GroupBy {
    Text,  // the text as stored: each case variant is a group of its own
    Year,  // a date's year
    Value, // a number or a yes/no as stored
};
struct GroupedColumn {
    QString name;
    GroupBy by = GroupBy::Value;
};
// The group of one column: the column's place in the list, the row with the group's value at
// `at` (Null for the persons without one) and how many persons it holds.
using PersonsGroup =
    std::function<void(std::size_t column, const store::ScannedRow& row, int at, qint64 persons)>;
// On the server only: the server counts the persons of each group of each column in one pass over
// the persons table and sends only the groups.
void countPersonsGroups(store::Database& db, const std::vector<GroupedColumn>& columns,
                        const PersonsGroup& group);

} // namespace records
