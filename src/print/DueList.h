#pragma once

#include "store/PrintRecord.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace print {

class Surface;

// A plain list of persons on A4 landscape in the roster's frame (title, unit line, ruled table,
// fifteen rows a page), with columns of its own.
struct ListPages {
    store::PrintRecord settings; // the roster's margins, shifts, row height and fonts
    QString title;
    QString unitName;
    QString dateLine; // printed where the roster prints its date text
    QStringList headers;
    std::vector<double> widths; // shares of the table's width, one per header
    std::vector<QStringList> rows;

    int pageCount() const;
    // Page `page` (from 1); nothing is sized or ended here, so one painter takes every page.
    void draw(Surface& surface, int page) const;
};

// Every page into one PDF file (A4 landscape, fonts embedded), written whole or not at all.
// Throws std::runtime_error when the file cannot be written.
void writeListPdf(const QString& path, const ListPages& pages);

} // namespace print
