#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <string_view>

namespace store {

class Database;
class Statement;

// One row of a scan, its cells read where the engine holds them: valid only during the call
// that receives it.
class ScannedRow {
public:
    // `values` are the embedded engine's cells (sqlite3_value*).
    ScannedRow(void* const* values, int count) : values_(values), count_(count) {}
    // A row of a statement, where the engine cannot hand over its cells.
    explicit ScannedRow(const Statement& statement);
    int count() const { return count_; }
    bool isNull(int column) const;
    bool holdsNumber(int column) const;
    // The cell's bytes (text and blobs as stored, numbers as text); empty for Null.
    std::string_view utf8(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    // As Statement::value reads it.
    QVariant value(int column) const;

private:
    void* const* values_ = nullptr;
    const Statement* statement_ = nullptr;
    int count_;
};

// Runs "SELECT <columns> <rest>" and hands each row to `row`. Unlike stepping a statement, no
// cell is copied or terminated on the way: a million rows of twenty columns cost about two thirds.
// An exception from `row` ends the scan and is thrown again here; SqlError otherwise.
void scanRows(Database& db, const QString& columns, const QString& rest,
              const std::function<void(const ScannedRow&)>& row);

} // namespace store
