#include "print/Roster.h"

#include "print/Surface.h"
#include "records/PersonColumns.h"
#include "records/PersonRecord.h"
#include "store/JetValues.h"

namespace print {

namespace {

int rounded(double v) {
    return int(store::roundHalfEven(v));
}

// Centred in band i between x1 and x2, or split over two lines when it does not fit.
void cell(Surface& s, const RosterGeometry& g, int i, int x1, int x2, const QString& text) {
    const double w = s.textWidth(text);
    const double h = s.textHeight(text);
    const double span = x2 - x1;
    if (w < span) {
        s.print(x1 + (span - w) / 2, g.band(i) + (g.rowHeight - h) / 2, text);
        return;
    }
    const auto [first, second] = splitInHalves(text);
    s.print(x1 + (span - s.textWidth(first)) / 2, g.band(i) + (g.rowHeight - h) / 4.2, first);
    s.print(x1 + (span - s.textWidth(second)) / 2, g.band(i) + (g.rowHeight - h) / 1.2, second);
}

// Column headers: on the preview, and the printer's variant with wider spacing.
const char* const kPreviewHeaders[] = {"序号", "姓  名",   "性别",     "出生年月", "居住地详细地址",
                                       "电话", "退休情况", "特殊情况", "档案份数"};
const char* const kPaperHeaders[] = {" 序  号 ", "姓  名",   " 性  别 ", "出生年月", "居住地详细地址",
                                     "电话",     "退休情况", "特殊情况", "档案份数"};

// Fields of columns 2 to 9.
constexpr int kFields[] = {1, 5, 7, 40, 41, 55, 56, 57};

} // namespace

int rosterPageCount(int records) {
    return (records + kRosterRows - 1) / kRosterRows;
}

RosterGeometry rosterGeometry(int z, const store::PrintRecord& st) {
    RosterGeometry g;
    g.pageWidth = st.pageLong / z;
    g.pageHeight = st.pageShort / z;
    g.rowHeight = rounded(double(st.rowHeight) / z);
    g.top = rounded(double(st.topMargin + st.rosterTop) / z);
    g.x[0] = rounded(double(st.leftMargin + st.rosterLeft) / z);
    for (std::size_t k = 1; k <= 9; ++k)
        g.x[k] = rounded(g.x[0] + double(st.columns[k - 1]) / z);
    return g;
}

void drawRosterPage(Surface& s, int z, const store::PrintRecord& st, int page, int count, const RowAt& rowAt,
                    Target target) {
    const RosterGeometry g = rosterGeometry(z, st);
    const auto& X = g.x;
    const double H = g.rowHeight;
    const double T = g.top;
    if (target == Target::Preview)
        s.clear(g.pageWidth, g.pageHeight);

    // Title.
    s.setFont(st.titleFont, double(st.titleSize) / z);
    s.print((g.pageWidth - s.textWidth(st.title + QStringLiteral("  "))) / 2 + double(st.rosterLeft) / z,
            T - 2.2 * H, st.title);

    // Frame.
    s.line(X[0], T, X[9], T);
    for (int x : X)
        s.line(x, T, x, T + 16 * H);

    // Header lines.
    s.setFont(st.bodyFont, double(st.bodySize) / z);
    const double headerY = T - H / 1.5;
    s.print(X[0] + X[0] / 3.0, headerY, QStringLiteral("单位名称：") + st.unitName);
    s.print(X[4] + X[4] / 5.0, headerY, QStringLiteral("所处位置：") + st.location);
    s.print(X[7], headerY, st.dateText);
    s.print(X[8], headerY, QStringLiteral("第 %1 页").arg(page));

    // Column headers in band 0.
    const char* const* headers = target == Target::Preview ? kPreviewHeaders : kPaperHeaders;
    for (std::size_t k = 0; k < 9; ++k)
        cell(s, g, 0, X[k], X[k + 1], QString::fromUtf8(headers[k]));
    s.line(X[0], T + H, X[9], T + H);

    // Fifteen numbered rows; the ones past the last person stay empty.
    const int first = (page - 1) * kRosterRows;
    for (int i = 1; i <= kRosterRows; ++i) {
        const QString number = QString::number(i);
        s.print(X[0] + ((X[1] - X[0]) - s.textWidth(number)) / 2, T + i * H + (H - s.textHeight(number)) / 2,
                number);
        s.line(X[0], T + (i + 1) * H, X[9], T + (i + 1) * H);
        const int index = first + i - 1;
        if (index < 0 || index >= count)
            continue;
        const QVariantList person = rowAt(index);
        for (std::size_t k = 0; k < std::size(kFields); ++k) {
            const int ordinal = kFields[k];
            const QString text =
                records::shownValue(records::personColumn(ordinal), person.value(ordinal)).text;
            cell(s, g, i, X[k + 1], X[k + 2], text);
        }
    }

    // Notes.
    s.print(X[1], T + 16 * H + H / 4, QStringLiteral("备注:") + st.note1);
    s.print(X[1], T + 16.5 * H + H / 4, QStringLiteral("     ") + st.note2);
    s.print(X[1], T + 17 * H + H / 4, QStringLiteral("     ") + st.note3);

    if (target == Target::Paper)
        s.endDocument();
}

} // namespace print
