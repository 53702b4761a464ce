#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>

#include <memory>
#include <stdexcept>

#include "store/Schema.h"

namespace exchange {

// A workbook that could not be written or read.
class WorkbookError : public std::runtime_error {
public:
    // Why a file could not be read, for the operator: it is no workbook at all, it is a workbook
    // whose contents are damaged, or it could not be opened.
    enum class Kind { Damaged, NotAWorkbook, CannotOpen };
    explicit WorkbookError(const QString& why, Kind kind = Kind::Damaged)
        : std::runtime_error(why.toStdString()), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// Column letters of a 0-based column: A to Z, then AA to AZ, BA to BZ and on in the usual scheme.
QString columnLetters(int column);
// "H5" for column 7, row 5 (rows count from 1).
QString cellReference(int column, int row);
// The 0-based column and 1-based row of a reference such as "AB12"; false when it is none.
bool parseReference(QStringView reference, int& column, int& row);

// A number in plain decimal form with the fewest digits that read back as the same value:
// 2345.5, never 2.3455E3.
QString plainNumber(double value);

// The text a stored value of a column of `type` takes in an exchange workbook: dates
// yyyy-mm-dd, Yes/No "True" or "False", numbers in plain decimal, Null as an empty text.
QString exchangeText(store::JetType type, const QVariant& value);

// An .xlsx workbook of one worksheet written row by row in constant memory. It is written
// beside the target under a temporary name and takes the target's name only when saved, so a
// failure never leaves a partly written file behind. A new file gets the mode the umask gives
// any new file; a file it replaces keeps its mode.
class WorkbookWriter {
public:
    explicit WorkbookWriter(const QString& target);
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // Rows and columns count from 0 here; rows must be written in ascending order.
    // A cell in the default format (titles).
    void setPlain(int row, int column, const QString& text);
    // A cell formatted "@" (text), so that Excel keeps ID numbers and leading zeros.
    void setText(int row, int column, const QString& text);

    // The closing step: assembles the file and gives it the target's name. Throws WorkbookError.
    void save();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace exchange
