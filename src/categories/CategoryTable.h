#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace store {
class Database;
class JobControl;
} // namespace store

namespace categories {

// The category table km: one definition row per persons column (empty kmbz), in column
// order, and value rows (kmbz one value of the category named in kmmc). All comparisons of
// names and values are exact and case-sensitive; values are stored trimmed.

// loadKM: kmmc of every definition row in stored order (Null as empty); a position in this
// list is a column number.
QStringList loadKM(store::Database& db);

// Loadkmmx: kmbz (as stored) of every row whose kmmc equals the trimmed name and whose trimmed
// kmbz is not empty, in stored order.
QStringList Loadkmmx(store::Database& db, const QString& category);

// GetfieldiD: filednum of the first row whose kmmc equals the trimmed name; 0 when none.
int GetfieldiD(store::Database& db, const QString& category);

// The settings window lists kmmc, or km_eng where kmmc is blank.
QStringList settingsList(store::Database& db);

// The settings window's column look-up: definition rows only; -1 when the name is none of
// their kmmc (a blank name listed by its km_eng).
int definitionColumn(store::Database& db, const QString& category);

// The statistics' value list: kmbz as stored of every row whose trimmed kmmc equals the trimmed
// item and whose trimmed kmbz is not empty, in stored order.
QStringList statisticsValues(store::Database& db, const QString& item);

// Every value row as (trimmed kmmc, trimmed kmbz), in stored order: the entry window's pick lists.
std::vector<std::pair<QString, QString>> valueRows(store::Database& db);

// True when km holds any row at all.
bool hasRows(store::Database& db);

enum class AddResult { EmptyValue, Exists, Added, NoTable };

// Appends a value row (kmmc and kmbz trimmed) for the category at `position` of the list.
AddResult addValue(store::Database& db, const QString& category, int position, const QString& value);

// Deletes the first value row of the category whose kmbz equals the trimmed value.
bool deleteValue(store::Database& db, const QString& category, const QString& value);

struct ScanResult {
    QStringList values;    // distinct non-empty values in order of first occurrence
    bool complete = false; // false: more distinct values than the buffer holds, or no persons
};

// The scan keeps room for 10,000 values, as the window always has.
inline constexpr qint64 kScanSlots = 10000;

// "完成" and the share done in percent, as the settings window's progress label reads.
QString percentDone(qint64 done, qint64 total, int decimals);

// Replaces every value row of the category with one row per value, in one transaction, reporting
// "完成12.34%" after each row. A stop asked through `control` rolls it all back (store::Cancelled).
void replaceValues(store::Database& db, const QString& category, int column, const QStringList& values,
                   store::JobControl& control);
void replaceValues(store::Database& db, const QString& category, int column, const QStringList& values);

// Deletes every value row of every category; definition rows stay.
void clearAllValues(store::Database& db);

// Writes the definition rows (one per persons column, named in column order) and the value lists
// that the program is installed with.
void writeShippedCategories(store::Database& db, const QStringList& personsColumns);

} // namespace categories
