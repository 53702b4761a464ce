#pragma once

#include "store/PrintRecord.h"

#include <QString>
#include <QVariantList>

namespace print {

class Surface;

// Whether a page goes to the preview picture or to paper (printer or PDF).
enum class Target { Preview, Paper };

// The information sheet's geometry at zoom divisor z, every length rounded half to even.
struct SheetGeometry {
    int z = 1;
    int pageWidth = 0, pageHeight = 0;
    int rowHeight = 0; // H
    int top = 0;       // T, rule 0
    int headerLine = 0;
    int titleLine = 0;
    int left = 0; // L
    // Column line C n (n one of the sheet's column offsets, 12 … 240).
    int c(int n) const;
    double rule(double k) const { return top + k * rowHeight; }
};

SheetGeometry sheetGeometry(int z, const store::PrintRecord& settings);

// The basic information sheet of one person (a row of wslib, every column by ordinal).
// A failure part way (an exception) leaves what was drawn so far.
void drawSheet(Surface& surface, int z, const store::PrintRecord& settings, const QString& unitName,
               const QVariantList& person, Target target);

inline const QString kSheetTitle = QStringLiteral("企业Tessaly基本信息表");

// Splits a text that does not fit its cell by characters: the first half, then the rest.
std::pair<QString, QString> splitInHalves(const QString& text);

} // namespace print
