#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace store {
class Database;
}

namespace exchange {

class WorkbookWriter;

// Persons written so far and in all.
using ExportProgress = std::function<void(qint64 done, qint64 total)>;

// The exchange workbook: A1 the unit name, row 2 the names of every persons column but the
// photo, then one person per row in ascending 个人编号, every value a text cell.
void writePersons(WorkbookWriter& book, store::Database& db, const QString& unitName,
                  const ExportProgress& progress = {});

// A query result: row 1 the column names but the photo's, then the persons with these rowids.
void writeResults(WorkbookWriter& book, store::Database& db, const std::vector<qint64>& rowids,
                  const ExportProgress& progress = {});

// The chosen name, trimmed, with ".xlsx" appended only when it does not end so already.
QString workbookFileName(const QString& chosen);

// "正在导出！" followed by the share done ("##.0") and "%".
QString exportProgressText(qint64 done, qint64 total);

} // namespace exchange
