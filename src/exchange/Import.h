#pragma once

#include "store/Database.h"
#include "store/Schema.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <stdexcept>

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

// A cell that could not be staged: a value its column cannot take, a cell without a readable
// value, or a database failure while its row was written.
class CellRejected : public std::runtime_error {
public:
    // `detail` says why for the operator (what the column takes, what the cell holds).
    CellRejected(QString reference, const std::string& why, QString detail = {})
        : std::runtime_error(why), reference_(std::move(reference)), detail_(std::move(detail)) {}
    CellRejected(QString reference, const store::SqlError& database)
        : std::runtime_error(database.what()), reference_(std::move(reference)), database_(database) {}
    const QString& reference() const { return reference_; }
    const QString& detail() const { return detail_; }
    // The database's own failure, when that was the cause.
    const std::optional<store::SqlError>& databaseError() const { return database_; }

private:
    QString reference_;
    QString detail_;
    std::optional<store::SqlError> database_;
};

// A value its column cannot take; `takes` says what the column does take.
class ValueRejected : public std::runtime_error {
public:
    ValueRejected(const std::string& why, QString takes)
        : std::runtime_error(why), takes_(std::move(takes)) {}
    const QString& takes() const { return takes_; }

private:
    QString takes_;
};

// The value a column of the staging or persons table takes for a typed or read text: nothing
// (leave the column unset) for a blank text; "True"/"False" as Yes/No; otherwise the text
// converted by the column's kind: a date, a number, a Yes/No (also "是"/"否"), or the text itself
// (untrimmed) within the column's size in characters. Throws ValueRejected.
std::optional<QVariant> columnValue(const store::TableColumn& column, const QString& text);

inline const QString kStagingChecked = QStringLiteral("检查完毕！请在表中修改，确定无误后导入库中。");

// Rows below the row where reading stopped that still hold something.
struct UnreadRows {
    int stoppedAt = 0; // the row (from 1) whose column A was blank or that was missing
    int count = 0;     // rows from that one on with at least one cell that is not blank
};

// "第5行的A列为空，…": the word added to the staging message when rows were left unread.
QString unreadRowsText(const UnreadRows& unread);

// Checks the workbook's titles against the staging table, then replaces the staging rows with
// the workbook's rows from row 3 down to the first whose column A is blank. Rows read before a
// failing cell stay staged; a store::Cancelled thrown by `progress` leaves the staging table as it was.
// `progress` gets the number of the row being read (from 1); `unread`, when given, what lies below the row
// where reading stopped. Returns the number of rows staged. Throws TitleMismatch (staging unchanged),
// CellRejected (also for database failures, with the cell being processed) or WorkbookError (a file that is
// no workbook or is damaged).
int stageWorkbook(store::Database& db, const QString& path, const std::function<void(int)>& progress = {},
                  UnreadRows* unread = nullptr);

} // namespace exchange
