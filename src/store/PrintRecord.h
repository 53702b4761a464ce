#pragma once

#include <QString>

#include <array>

namespace store {

// The print settings that every page drawing reads: filled from the third row of the Print
// table when the results window opens and whenever the print settings window saves.
struct PrintRecord {
    QString title, unitName, location, dateText, note1, note2, note3;
    std::array<qint16, 9> columns{}; // right border of roster column k, from the roster's left edge, mm
    qint16 rowHeight = 0, topMargin = 0, leftMargin = 0;
    qint16 pageLong = 297, pageShort = 210; // A4 landscape whatever the page choice holds
    qint16 titleSize = 0, bodySize = 0;     // points
    QString titleFont, bodyFont;
    qint16 sheetLeft = 0, sheetTop = 0, rosterLeft = 0, rosterTop = 0; // shifts, mm
};

} // namespace store
