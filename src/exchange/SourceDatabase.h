#pragma once

#include "store/Database.h"
#include "store/Schema.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace exchange {

// Why another database file cannot be read.
enum class SourceFailure { Missing, NotADatabase, WrongPassword, MissingTable, MissingColumn, Unreadable };

class SourceError : public std::runtime_error {
public:
    // Missing, NotADatabase and WrongPassword are also the open failures of the same name.
    SourceError(SourceFailure kind, const QString& path, const QString& detail, QString table = {});
    // The file did not open, for the reason the store gives.
    SourceError(store::OpenFailure failure, const QString& path, const QString& detail);
    SourceFailure kind() const { return kind_; }
    const QString& path() const { return path_; }
    // The table concerned, when there is one.
    const QString& table() const { return table_; }
    // Why the file did not open; empty when it opened and failed later.
    std::optional<store::OpenFailure> openFailure() const { return openFailure_; }

private:
    SourceFailure kind_;
    QString path_;
    QString table_;
    std::optional<store::OpenFailure> openFailure_;
};

struct SourceColumn {
    QString name;
    store::JetType type;
    int size; // characters for text, 0 for the other kinds
};

// One table of another database, read once from the first row to the last in stored order.
// Values come in this program's kinds: bool for Yes/No, qint64 for whole numbers, double for
// Single and other numbers, "YYYY-MM-DD" text for dates, QString for text and memo, QByteArray
// for long binary; a null QVariant for Null (an empty text stays an empty QString).
class SourceTable {
public:
    virtual ~SourceTable() = default;
    const QString& name() const { return name_; }
    const std::vector<SourceColumn>& columns() const { return columns_; }
    // Column position by name, without regard to letter case as Jet names go; -1 when absent.
    int columnIndex(const QString& name) const;
    // Rows the table holds, for progress.
    virtual qint64 rowCount() = 0;
    // The next row's values in column order; false after the last row. Throws SourceError.
    virtual bool next(QVariantList& row) = 0;

protected:
    QString name_;
    std::vector<SourceColumn> columns_;
};

// Another database file: a copy of this program's lib.mdb (SQLCipher) or the previous
// version's Jet 3 / Jet 4 file. The kind is read from the file's first bytes, not its name;
// the file must carry the given database password.
class SourceDatabase {
public:
    enum class Kind { OwnCopy, Jet3, Jet4 };

    // Throws SourceError (Missing, NotADatabase, WrongPassword).
    static std::unique_ptr<SourceDatabase> open(const QString& path, const QString& password);
    virtual ~SourceDatabase() = default;

    virtual Kind kind() const = 0;
    virtual bool hasTable(const QString& name) = 0;
    // Throws SourceError(MissingTable) when the file has no such table (names without regard
    // to case).
    virtual std::unique_ptr<SourceTable> table(const QString& name) = 0;
};

} // namespace exchange
