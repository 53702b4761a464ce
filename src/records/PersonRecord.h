#pragma once

#include "records/PersonColumns.h"

#include <QVariant>

#include <map>
#include <stdexcept>

namespace store {
class Database;
}

namespace records {

// A value that its column cannot take: too long for the declared size, or a date text that is
// not a date. Windows show "有误！请检查输入的内容是否太长或格式不对！".
class WriteError : public std::runtime_error {
public:
    WriteError(int ordinal, const QString& why);
    int ordinal() const { return ordinal_; }

private:
    int ordinal_;
};

// The row to be written is no longer in the table (deleted behind the window).
class RecordMissing : public std::runtime_error {
public:
    RecordMissing() : std::runtime_error("the row is no longer in the table") {}
};

inline const QString kWriteFailed = QStringLiteral("有误！请检查输入的内容是否太长或格式不对！");

// What an entry control holds: the text of a box or pick list, or the state of a check box.
struct EntryValue {
    QString text;
    bool checked = false;
};

// The value stored for an entry: text trimmed, blank date Null, yes/no from the check state,
// number from the numeric prefix. Throws WriteError.
QVariant storedValue(const PersonColumn& column, const EntryValue& entry);

// What a control shows for a stored value: text (Null as empty), dates "yyyy-mm", numbers in plain decimal
// with all their digits, yes/no checked only when true.
EntryValue shownValue(const PersonColumn& column, const QVariant& stored);

// The number after `last`: the last six characters of "0000000" followed by its value + 1.
QString nextPersonalNumber(const QString& last);

using Entries = std::map<int, EntryValue>; // by ordinal

// Writes the entries into one row of `table` (wslib or wslib0) in a single statement: every
// value is checked first, so the row keeps its previous values when any of them fails. Columns
// without an entry keep their values.
// Throws WriteError, RecordMissing when the row is gone, or store::SqlError when the database
// refuses the row.
void writeRow(store::Database& db, const QString& table, qint64 rowid, const Entries& entries);

using StoredValues = std::map<int, QVariant>; // by ordinal, as the table stores them

// The same for values as stored (no entry rules): a template row copied into a person.
void writeStoredRow(store::Database& db, const QString& table, qint64 rowid, const StoredValues& values);

// Reads every column of one row, in ordinal order.
QVariantList readRow(store::Database& db, const QString& table, qint64 rowid);

} // namespace records
