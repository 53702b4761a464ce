#pragma once

#include "print/Roster.h"
#include "store/PrintRecord.h"

#include <QImage>
#include <QPageLayout>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

namespace store {
class Database;
}

namespace print {

class Surface;

// A4 landscape without margins, in millimetres: the page of every form, list and chart.
QPageLayout a4Landscape();

// Writes `pageCount` pages into one PDF file on that page, each drawn by `draw(painter, page)` (page
// from 1); the file is written beside `path` and replaces it only once it is whole. `progress(done,
// total)` runs after each page and returns false to cancel. Returns false when cancelled; throws
// std::runtime_error when the file cannot be written. Either way an earlier file at `path` stays.
bool writePdfPages(const QString& path, int pageCount, const std::function<void(QPainter&, int page)>& draw,
                   const std::function<bool(int done, int total)>& progress = {});

// Rosters of fifteen persons to a page, or one information sheet per person.
enum class Mode { Roster, Sheet };

// The pages of one query result in one mode.
struct ResultPages {
    Mode mode = Mode::Roster;
    store::PrintRecord settings;
    QString unitName;
    int count = 0; // persons
    RowAt rowAt;

    int pageCount() const;
    // Page from 1 (a roster page, or the sheet of person `page`).
    void draw(Surface& surface, int page, int z, Target target) const;
    // The page picture's size in mm at zoom divisor z.
    QSize pageSize(int z) const;
};

// Persons by rowid, in this order, read on `db` as the pages ask for them: a row source for
// pages drawn by a job on its own connection. The photo is not read.
RowAt personRows(store::Database& db, std::vector<qint64> rowids);

// The page drawn on a preview picture at `dpi`, sized as the page picture.
QImage previewImage(const ResultPages& pages, int page, int z, double dpi);

// Writes pages `first` … `last` (from 1) into one PDF file, A4 landscape, fonts embedded; pages are
// streamed to a file beside it, which replaces `path` only once it is whole. `progress(done,
// total)` runs after each page and returns false to cancel. Returns false when cancelled; throws
// std::runtime_error when the file cannot be written. Either way an earlier file at `path` stays.
bool writePdf(const QString& path, const ResultPages& pages, int first, int last,
              const std::function<bool(int done, int total)>& progress = {});

} // namespace print
