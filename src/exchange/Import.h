#pragma once

#include "store/Schema.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <stdexcept>

namespace store {
class Database;
}

namespace exchange {

// Row 2 of the workbook does not match the staging table's column names.
class TitleMismatch : public std::runtime_error {
public:
    explicit TitleMismatch(QString cellText)
        : std::runtime_error("title mismatch"), text_(std::move(cellText)) {}
    const QString& cellText() const { return text_; }

private:
    QString text_;
};

// A cell that could not be staged (a value its column cannot take, or a damaged file).
class CellRejected : public std::runtime_error {
public:
    CellRejected(QString reference, const std::string& why)
        : std::runtime_error(why), reference_(std::move(reference)) {}
    const QString& reference() const { return reference_; }

private:
    QString reference_;
};

// A value its column cannot take.
class ValueRejected : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value a column of the staging or persons table takes for a typed or read text: nothing
// (leave the column unset) for a blank text; "True"/"False" as Yes/No; otherwise the text
// converted by the column's kind: a date, a number, a Yes/No, or the text itself (untrimmed)
// within the column's size. Throws ValueRejected.
std::optional<QVariant> columnValue(const store::TableColumn& column, const QString& text);

inline const QString kStagingChecked = QStringLiteral("检查完毕！请在表中修改，确定无误后导入库中。");

// Checks the workbook's titles against the staging table, then replaces the staging rows with
// the workbook's rows from row 3 down to the first whose column A is blank. Rows read before a
// failing cell stay staged. `progress` gets the number of the row being read (from 1).
// Returns the number of rows staged. Throws TitleMismatch (staging unchanged) or CellRejected.
int stageWorkbook(store::Database& db, const QString& path, const std::function<void(int)>& progress = {});

} // namespace exchange
