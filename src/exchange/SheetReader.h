#pragma once

#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace exchange {

// A cell whose value the file does not hold (its text is empty).
enum class CellProblem {
    FormulaWithoutValue, // a formula saved without its result
    NoSuchSharedText,    // points at a shared text the file does not have
};

// One row of a worksheet that holds at least one cell.
struct SheetRow {
    int number = 0;                                    // from 1
    std::vector<QString> cells;                        // by 0-based column; missing cells are empty texts
    std::vector<std::pair<int, CellProblem>> problems; // by 0-based column, in column order
};

// The cell texts of a workbook's first worksheet, row by row in sheet order, as an operator
// reads them: shared, inline and rich texts; numbers in plain decimal; booleans "True"/"False";
// numbers formatted as dates and date cells as yyyy-mm-dd (with the time of day when there is
// one).
class SheetReader {
public:
    virtual ~SheetReader() = default;
    // The next row; false after the last. Throws WorkbookError.
    virtual bool next(SheetRow& row) = 0;
};

// Opens an .xlsx (read as a stream, so memory does not grow with the sheet) or an older .xls
// workbook, told apart by their first bytes. Only the first `columns` columns are kept.
// Throws WorkbookError, whose kind tells a file that is no workbook from a damaged one.
std::unique_ptr<SheetReader> openSheet(const QString& path, int columns);

} // namespace exchange
