#pragma once

#include "print/InfoSheet.h"
#include "store/PrintRecord.h"

#include <QVariantList>

#include <array>
#include <functional>

namespace print {

class Surface;

inline constexpr int kRosterRows = 15;

// Pages a roster of `records` persons takes: fifteen to a page, rounded up.
int rosterPageCount(int records);

// The roster's geometry from the print settings at zoom divisor z, rounded half to even.
struct RosterGeometry {
    int pageWidth = 0, pageHeight = 0;
    int rowHeight = 0;       // H
    int top = 0;             // T
    std::array<int, 10> x{}; // X0 (left edge) … X9 (right edge)
    double band(int i) const { return top + double(i) * rowHeight; }
};

RosterGeometry rosterGeometry(int z, const store::PrintRecord& settings);

// Person `index` (from 0) of the result, every column by ordinal.
using RowAt = std::function<QVariantList(int index)>;

// Page `page` (from 1) of the roster of `count` persons.
void drawRosterPage(Surface& surface, int z, const store::PrintRecord& settings, int page, int count,
                    const RowAt& rowAt, Target target);

} // namespace print
