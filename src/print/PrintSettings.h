#pragma once

#include "store/PrintRecord.h"

#include <QString>

#include <array>
#include <optional>
#include <stdexcept>

namespace store {
class Database;
}

namespace print {

// Row positions of the Print table in its stored order: factory defaults (never written) and
// the current settings.
inline constexpr int kDefaultsRow = 0;
inline constexpr int kCurrentRow = 2;

// The print settings as the settings window shows them: every value as text.
struct PrintFields {
    QString rowHeight, left, top; // hang1, left, ding
    std::array<QString, 9> columns;
    QString titleSize, bodySize;   // fontsize1, fontsize2
    QString titleFont, bodyFont;   // fonts1, fonts2
    int pageChoice = 1;            // biaopagesize as stored (1, 2 or anything else)
    std::array<QString, 7> notes;  // bz1 … bz7: title, unit, location, date, notes 1 to 3
    std::array<QString, 4> shifts; // sheet left, sheet top, roster left, roster top
};

// The Print table lacks the row asked for (fewer than three rows) or holds a value the record
// cannot take; the text is the operator's message.
class PrintTableError : public std::runtime_error {
public:
    explicit PrintTableError(const QString& message);
    const QString& message() const { return message_; }

private:
    QString message_;
};

inline const QString kPrintRowsMissing =
    QStringLiteral("打印设置表不完整（应有三行设置），打印设置无法读取或保存。");

// Reads row position `row` of the Print table. Throws PrintTableError or store::SqlError.
PrintFields loadFields(store::Database& db, int row);

// The refusal message when a number does not fit the 16-bit record, else nothing.
std::optional<QString> checkFields(const PrintFields& fields);

// Writes the fields into row position 2: numbers as the numeric prefix of their text, texts
// trimmed. Row 0 is never written. Throws PrintTableError or store::SqlError.
void saveFields(store::Database& db, const PrintFields& fields);

// The record the window's values give: texts trimmed, numbers rounded half to even, font names
// as shown, page 297 × 210.
store::PrintRecord recordFromFields(const PrintFields& fields);

// Row position 2 as the record (a stored Null reads as empty text or 0). Throws PrintTableError
// or store::SqlError.
store::PrintRecord loadRecord(store::Database& db);

// Writes the three rows that the program is installed with.
void writeShippedPrintRows(store::Database& db);

} // namespace print
