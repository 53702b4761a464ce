#include "print/InfoSheet.h"

#include "print/Surface.h"
#include "records/PersonColumns.h"
#include "records/PersonRecord.h"
#include "store/JetValues.h"

namespace print {

namespace {

qint64 rounded(double v) {
    return store::roundHalfEven(v);
}

// A field's text: Null empty, dates "yyyy-mm", numbers as written.
QString field(const QVariantList& person, int ordinal) {
    return records::shownValue(records::personColumn(ordinal), person.value(ordinal)).text;
}

bool ticked(const QVariantList& person, int ordinal) {
    const QVariant v = person.value(ordinal);
    return !v.isNull() && v.toLongLong() != 0;
}

class Sheet {
public:
    Sheet(Surface& s, const SheetGeometry& g) : s_(s), g_(g) {}

    // Centred in row r between x1 and x2, or split over two lines when it does not fit.
    void cell(double r, int x1, int x2, const QString& text) {
        const double w = s_.textWidth(text);
        const double h = s_.textHeight(text);
        const double band = g_.rule(r - 1);
        const double span = x2 - x1;
        if (w < span) {
            s_.print(x1 + (span - w) / 2, band + (g_.rowHeight - h) / 2, text);
            return;
        }
        const auto [first, second] = splitInHalves(text);
        s_.print(x1 + (span - s_.textWidth(first)) / 2, band + (g_.rowHeight - h) / 4.3, first);
        s_.print(x1 + (span - s_.textWidth(second)) / 2, band + (g_.rowHeight - h) / 1.1, second);
    }

    // A label followed by a box, ticked when v is true.
    void tick(double r, double x, const QString& label, bool v) {
        const double w = s_.textWidth(label);
        const double b = s_.textHeight(label) / 1.2;
        const double y = g_.rule(r - 1) + (g_.rowHeight - b) / 2;
        s_.print(x, y, label);
        const double bx = x + w + 2.0 / g_.z;
        s_.rectangle(bx, y, bx + b, y + b);
        if (v) {
            // The 1 is an absolute millimetre, whatever the zoom.
            s_.line(bx + 1, y + b / 2, bx + b / 2, y + b - 1);
            s_.line(bx + b / 2, y + b - 1, bx + b, y);
        }
    }

    void rule(int k, int fromX) { s_.line(fromX, g_.rule(k), g_.c(240), g_.rule(k)); }
    void vertical(int x, int fromRule, int toRule) { s_.line(x, g_.rule(fromRule), x, g_.rule(toRule)); }

private:
    Surface& s_;
    const SheetGeometry& g_;
};

struct Span {
    int n; // column offset, 0 for L
    std::initializer_list<std::pair<int, int>> rules;
};

} // namespace

int SheetGeometry::c(int n) const {
    return int(rounded(left + double(n) / z));
}

std::pair<QString, QString> splitInHalves(const QString& text) {
    const QList<uint> chars = text.toUcs4();
    const qsizetype half = chars.size() / 2;
    const auto part = [&](qsizetype from, qsizetype n) {
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData() + from), n);
    };
    return {part(0, half), part(half, chars.size() - half)};
}

SheetGeometry sheetGeometry(int z, const store::PrintRecord& settings) {
    SheetGeometry g;
    g.z = z;
    g.pageWidth = 297 / z;
    g.pageHeight = 210 / z;
    g.rowHeight = int(rounded(10.0 / z));
    g.top = int(rounded((40.0 + settings.sheetTop) / z));
    g.headerLine = int(rounded(g.top - 5.0 / z));
    g.titleLine = int(rounded(g.top - 20.0 / z));
    g.left = int(rounded((25.0 + settings.sheetLeft) / z));
    return g;
}

void drawSheet(Surface& s, int z, const store::PrintRecord& settings, const QString& unitName,
               const QVariantList& p, Target target) {
    const SheetGeometry g = sheetGeometry(z, settings);
    if (target == Target::Preview)
        s.clear(g.pageWidth, g.pageHeight);
    const auto C = [&](int n) { return g.c(n); };
    Sheet sheet(s, g);

    // Title.
    s.setFont(QStringLiteral("黑体"), 20.0 / z);
    const QString title = unitName + kSheetTitle;
    s.print((g.pageWidth - s.textWidth(title)) / 2 + double(settings.sheetLeft) / z, g.titleLine, title);

    // Header line.
    s.setFont(QStringLiteral("宋体"), 11.0 / z);
    s.print(g.left, g.headerLine, QStringLiteral("个人编号：") + field(p, 0));
    s.print(C(70), g.headerLine, QStringLiteral("档案编号：") + field(p, 2));
    s.print(C(142), g.headerLine, QStringLiteral("自管小组：") + field(p, 4));
    s.print(C(210), g.headerLine, QStringLiteral("NO：") + field(p, 3));

    // Horizontal rules.
    for (int k : {0, 5, 7, 14})
        sheet.rule(k, g.left);
    for (int k : {1, 2, 3, 4, 6, 10, 12})
        sheet.rule(k, C(12));
    for (int k : {8, 9, 11, 13})
        sheet.rule(k, C(37));

    // Vertical rules.
    for (int x : {g.left, C(12), C(37), C(240)})
        sheet.vertical(x, 0, 14);
    const Span spans[] = {
        {52, {{0, 1}, {6, 7}, {10, 12}}},
        {61, {{0, 1}}},
        {70, {{0, 1}, {2, 3}, {8, 11}, {12, 14}}},
        {79, {{0, 1}}},
        {85, {{6, 7}, {10, 11}, {12, 14}}},
        {91, {{0, 1}, {2, 3}, {5, 6}}},
        {106, {{0, 1}, {10, 11}}},
        {122, {{10, 11}}},
        {125, {{0, 2}, {5, 6}}},
        {137, {{12, 14}}},
        {140, {{0, 2}}},
        {142, {{6, 7}, {10, 12}}},
        {155, {{1, 3}}},
        {162, {{6, 7}, {12, 14}}},
        {173, {{0, 3}, {10, 12}}},
        {188, {{0, 2}, {5, 6}, {8, 10}}},
        {210, {{0, 2}, {5, 6}, {8, 10}}},
        {225, {{0, 1}}},
    };
    for (const Span& span : spans) {
        for (const auto& [from, to] : span.rules)
            sheet.vertical(C(span.n), from, to);
    }

    // Cells: a fixed caption (ordinal -1) or a field.
    struct Cell {
        double row;
        int from, to;
        const char* caption;
        int ordinal;
    };
    static const Cell cells[] = {
        {1, 12, 37, "姓名", -1},
        {1, 37, 52, nullptr, 1},
        {1, 52, 61, "性别", -1},
        {1, 61, 70, nullptr, 5},
        {1, 70, 79, "民族", -1},
        {1, 79, 91, nullptr, 6},
        {1, 91, 106, "出生年月", -1},
        {1, 106, 125, nullptr, 7},
        {1, 125, 140, "身份证号", -1},
        {1, 140, 173, nullptr, 8},
        {1, 173, 188, "政治面貌", -1},
        {1, 188, 210, nullptr, 9},
        {1, 210, 225, "健康状况", -1},
        {1, 225, 240, nullptr, 10},
        {2, 12, 37, "原工作单位", -1},
        {2, 37, 125, nullptr, 11},
        {2, 125, 140, "原任职务", -1},
        {2, 140, 155, nullptr, 12},
        {2, 155, 173, "退休年月", -1},
        {2, 173, 188, nullptr, 13},
        {2, 188, 210, "档案存放地点", -1},
        {2, 210, 240, nullptr, 14},
        {3, 12, 37, "文化程度", -1},
        {3, 37, 70, nullptr, 15},
        {3, 70, 91, "特长技能", -1},
        {3, 91, 155, nullptr, 16},
        {3, 155, 173, "兴趣及爱好", -1},
        {3, 173, 240, nullptr, 17},
        {4, 12, 37, "发挥作用情况", -1},
        {5, 12, 37, "特殊人员情况", -1},
        {6, 12, 37, "基本养老金", -1},
        {6, 37, 91, nullptr, 27},
        {6, 91, 125, "医疗保险号码", -1},
        {6, 125, 188, nullptr, 28},
        {6, 188, 210, "工伤等级", -1},
        {6, 210, 240, nullptr, 29},
        {7, 12, 37, "是否享受低保", -1},
        {7, 37, 52, nullptr, 30},
        {7, 52, 85, "社会保险关系所在地", -1},
        {7, 85, 142, nullptr, 31},
        {7, 142, 162, "参保情况", -1},
        {9, 12, 37, "居住情况", -1},
        {9, 37, 70, "户口所在地", -1},
        {9, 70, 188, nullptr, 38},
        {9, 188, 210, "电话", -1},
        {9, 210, 240, nullptr, 39},
        {10, 37, 70, "现居住地", -1},
        {10, 70, 188, nullptr, 40},
        {10, 188, 210, "电话", -1},
        {10, 210, 240, nullptr, 41},
        {11, 37, 52, "姓名", -1},
        {11, 52, 70, nullptr, 42},
        {11, 70, 85, "出生年月", -1},
        {11, 85, 106, nullptr, 43},
        {11, 106, 122, "联系电话", -1},
        {11, 122, 142, nullptr, 44},
        {11, 142, 173, "原（现工作单位）", -1},
        {11, 173, 240, nullptr, 45},
        {12, 37, 52, "目前状况", -1},
        {12, 142, 173, "健康状况", -1},
        {12, 173, 240, nullptr, 49},
        {13, 12, 37, "家庭其他", -1},
        {14, 12, 37, "联 系 人", -1},
        {13, 37, 70, "姓名", -1},
        {14, 37, 70, nullptr, 50},
        {13, 70, 85, "关系", -1},
        {14, 70, 85, nullptr, 51},
        {13, 85, 137, "工作单位", -1},
        {14, 85, 137, nullptr, 52},
        {13, 137, 162, "联系电话", -1},
        {14, 137, 162, nullptr, 53},
        {13, 162, 240, "详细地址及邮政编码", -1},
        {14, 162, 240, nullptr, 54},
        {11.5, 12, 37, "配偶情况", -1},
    };
    for (const Cell& c : cells) {
        QString text;
        if (c.caption)
            text = QString::fromUtf8(c.caption);
        else if (c.ordinal == 30)
            text = ticked(p, 30) ? QStringLiteral("是") : QStringLiteral("否");
        else
            text = field(p, c.ordinal);
        sheet.cell(c.row, C(c.from), C(c.to), text);
    }

    // Side labels in the column L … C12.
    struct Side {
        const char* text;
        double row;
    };
    static const Side sides[] = {{"基", 1.5},   {"本", 2.5},   {"情", 3.5},   {"况", 4.5},
                                 {"社会", 5.9}, {"保障", 6.5}, {"情况", 7.1}, {"家", 9},
                                 {"庭", 10.3},  {"情", 11.6},  {"况", 12.9}};
    for (const Side& side : sides)
        sheet.cell(side.row, g.left, C(12), QString::fromUtf8(side.text));

    // Tick items: row, left x, label, field.
    const auto at = [&](int n, double offset) { return double(rounded(C(n) + offset / z)); };
    struct Tick {
        double row;
        double x;
        const char* label;
        int ordinal;
    };
    const Tick ticks[] = {
        {4, double(C(70)), "从事专业技术服务", 18},
        {4, double(C(125)), "创办经济实体", 19},
        {4, double(C(173)), "从事社会公益活动", 20},
        {5, double(C(52)), "建国前参加工作", 21},
        {5, at(91, 6), "七十以上高龄", 22},
        {5, double(C(137)), "孤寡老人", 23},
        {5, at(162, 2), "劳模", 24},
        {5, double(C(188)), "特困", 25},
        {5, double(C(210)), "重病", 26},
        {7, at(173, -2), "养老", 32},
        {7, at(188, 7), "医疗", 33},
        {7, at(210, 10), "工伤", 34},
        {8, at(91, 6), "本地人员", 35},
        {8, at(125, 5), "异地人员", 36},
        {8, double(C(162)), "出国定居", 37},
        {12, double(C(61)), "在职", 46},
        {12, double(C(85)), "无职业", 47},
        {12, at(106, 6), "离退休", 48},
    };
    for (const Tick& t : ticks)
        sheet.tick(t.row, t.x, QString::fromUtf8(t.label), ticked(p, t.ordinal));

    if (target == Target::Paper)
        s.endDocument();
}

} // namespace print
