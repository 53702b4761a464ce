#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace exchange {

// One row of a worksheet that holds at least one cell.
struct SheetRow {
    int number = 0;             // from 1
    std::vector<QString> cells; // by 0-based column; missing cells are empty texts
};

// The cell texts of a workbook's first worksheet, row by row in sheet order, as an operator
// reads them: shared, inline and rich texts; numbers in plain decimal; booleans "True"/"False";
// numbers formatted as dates as yyyy-mm-dd (with the time of day when there is one).
class SheetReader {
public:
    virtual ~SheetReader() = default;
    // The next row; false after the last. Throws WorkbookError.
    virtual bool next(SheetRow& row) = 0;
};

// Opens an .xlsx (read as a stream, so memory does not grow with the sheet) or an older .xls
// workbook, told apart by their first bytes. Only the first `columns` columns are kept.
// Throws WorkbookError.
std::unique_ptr<SheetReader> openSheet(const QString& path, int columns);

} // namespace exchange
