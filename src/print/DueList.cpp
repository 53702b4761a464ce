#include "print/DueList.h"

#include "print/Roster.h"
#include "print/Surface.h"

#include "print/Pages.h"

#include <QPainter>

#include <numeric>
#include <optional>
#include <stdexcept>

namespace print {

namespace {

// Centred in its cell, or split over two lines when it does not fit, as the roster does.
void cell(Surface& s, double top, double height, double x1, double x2, const QString& text) {
    const double w = s.textWidth(text);
    const double h = s.textHeight(text);
    const double span = x2 - x1;
    if (w < span || text.size() < 2) {
        s.print(x1 + (span - w) / 2, top + (height - h) / 2, text);
        return;
    }
    const qsizetype half = text.size() / 2;
    const QString first = text.left(half);
    const QString second = text.mid(half);
    s.print(x1 + (span - s.textWidth(first)) / 2, top + (height - h) / 4.2, first);
    s.print(x1 + (span - s.textWidth(second)) / 2, top + (height - h) / 1.2, second);
}

} // namespace

int ListPages::pageCount() const {
    return std::max(1, int((rows.size() + kRosterRows - 1) / kRosterRows));
}

void ListPages::draw(Surface& s, int page) const {
    const RosterGeometry g = rosterGeometry(1, settings);
    const double H = g.rowHeight;
    const double T = g.top;
    const double left = g.x[0];
    const double right = g.x[9];
    const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
    std::vector<double> x{left};
    for (double w : widths)
        x.push_back(x.back() + (total > 0 ? w / total : 0) * (right - left));

    s.setFont(settings.titleFont, settings.titleSize);
    s.print((g.pageWidth - s.textWidth(title + QStringLiteral("  "))) / 2 + settings.rosterLeft, T - 2.2 * H,
            title);

    s.setFont(settings.bodyFont, settings.bodySize);
    const double headerY = T - H / 1.5;
    s.print(left, headerY, QStringLiteral("单位名称：") + unitName);
    s.print(left + (right - left) * 0.45, headerY, dateLine);
    const QString pageText = QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pageCount());
    s.print(right - s.textWidth(pageText), headerY, pageText);

    s.line(left, T, right, T);
    for (double at : x)
        s.line(at, T, at, T + (kRosterRows + 1) * H);
    for (qsizetype k = 0; k < headers.size() && k + 1 < qsizetype(x.size()); ++k)
        cell(s, T, H, x[std::size_t(k)], x[std::size_t(k) + 1], headers.at(k));
    const std::size_t first = std::size_t(page - 1) * kRosterRows;
    for (int i = 1; i <= kRosterRows; ++i) {
        s.line(left, T + (i + 1) * H, right, T + (i + 1) * H);
        const std::size_t index = first + std::size_t(i) - 1;
        if (page < 1 || index >= rows.size())
            continue;
        const QStringList& row = rows[index];
        for (qsizetype k = 0; k < row.size() && k + 1 < qsizetype(x.size()); ++k)
            cell(s, T + i * H, H, x[std::size_t(k)], x[std::size_t(k) + 1], row.at(k));
    }
    s.line(left, T + H, right, T + H);
}

void writeListPdf(const QString& path, const ListPages& pages) {
    std::optional<PainterSurface> surface;
    writePdfPages(path, pages.pageCount(), [&](QPainter& painter, int page) {
        if (!surface)
            surface.emplace(painter, Faces::Pdf);
        pages.draw(*surface, page);
    });
}

} // namespace print
