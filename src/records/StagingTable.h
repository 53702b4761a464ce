#pragma once

#include "store/Schema.h"

#include <QVariantList>

#include <memory>
#include <vector>

namespace store {
class Database;
class Statement;
} // namespace store

namespace records {

// The staging table wslib0: the rows an import reviews before they replace the persons, whose
// first row is also the entry template. Every statement on it lives here.

// The staging table's columns, in order.
std::vector<store::TableColumn> stagingColumns(store::Database& db);

// Appends staging rows; a null value leaves its column unset. On the server the rows travel
// together and a refusal is known only at finish(); rows not finished are not kept.
class StagingAppender {
public:
    explicit StagingAppender(store::Database& db);
    ~StagingAppender();
    StagingAppender(const StagingAppender&) = delete;
    StagingAppender& operator=(const StagingAppender&) = delete;
    void append(const QVariantList& values);
    // Throws store::SqlError when the database refused a row.
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

void clearStaging(store::Database& db);
qint64 countStaging(store::Database& db);
// One staging value, written as the review grid edits it.
void setStagingValue(store::Database& db, qint64 rowid, const QString& column, const QVariant& value);

// The rowid of the first staging row (the template); Null when the table is empty.
QVariant firstStagingRow(store::Database& db);
// Appends a staging row with every column unset; its rowid.
qint64 addEmptyStagingRow(store::Database& db);

// Every staging row's 身份证号码 (column 0), in stored order.
store::Statement stagedIdNumbers(store::Database& db);

// ---- Reads for the preview before an import replaces the persons ----

// Every staging row, all its columns, in stored order (the order an import takes them).
store::Statement stagingRowsInStoredOrder(store::Database& db);

} // namespace records
