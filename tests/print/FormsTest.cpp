#include "print/InfoSheet.h"
#include "print/Roster.h"
#include "print/Surface.h"
#include "records/PersonColumns.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>

using namespace print;
using Op = RecordingSurface::Op;

namespace {

store::PrintRecord settings() {
    store::PrintRecord s;
    s.rowHeight = 10;
    s.leftMargin = 15;
    s.topMargin = 30;
    s.columns = {20, 40, 52, 74, 134, 159, 181, 241, 267};
    s.titleSize = 18;
    s.bodySize = 10;
    s.titleFont = QStringLiteral("黑体");
    s.bodyFont = QStringLiteral("宋体");
    s.title = QStringLiteral("离退休人员花名册");
    s.unitName = QStringLiteral("示例中心");
    s.location = QStringLiteral("东城");
    s.dateText = QStringLiteral("2008年6月");
    s.note1 = QStringLiteral("一");
    s.note2 = QStringLiteral("二");
    s.note3 = QStringLiteral("三");
    return s;
}

QVariantList person() {
    QVariantList p;
    for (int i = 0; i < records::kColumnCount; ++i)
        p << QVariant();
    p[0] = QStringLiteral("000007");
    p[1] = QStringLiteral("张三");
    p[2] = QStringLiteral("DA0007");
    p[3] = QStringLiteral("101");
    p[5] = QStringLiteral("男");
    p[7] = QStringLiteral("1950-03-15");
    p[24] = 1; // 劳模
    p[25] = 0; // 特困
    p[30] = QVariant();
    p[40] = QStringLiteral("东城区和平路一号院三号楼二单元四〇一室东城区和平路一号院三号楼二单");
    return p;
}

struct Bounds {
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
};

Bounds lineBounds(const RecordingSurface& s) {
    Bounds b;
    for (const auto& l : s.of(Op::Line)) {
        b.minX = std::min({b.minX, l.x1, l.x2});
        b.maxX = std::max({b.maxX, l.x1, l.x2});
        b.minY = std::min({b.minY, l.y1, l.y2});
        b.maxY = std::max({b.maxY, l.y1, l.y2});
    }
    return b;
}

RecordingSurface sheet(int z, const store::PrintRecord& st = settings(), const QVariantList& p = person(),
                       Target target = Target::Preview) {
    RecordingSurface s;
    drawSheet(s, z, st, QStringLiteral("示例中心"), p, target);
    return s;
}

} // namespace

TEST(InfoSheet, FullSizeSpansTheTableAndUsesItsFonts) {
    const RecordingSurface s = sheet(1);
    const auto clear = s.of(Op::Clear);
    ASSERT_EQ(clear.size(), 1);
    EXPECT_EQ(clear[0].x2, 297);
    EXPECT_EQ(clear[0].y2, 210);
    const Bounds b = lineBounds(s);
    EXPECT_EQ(b.minX, 25);
    EXPECT_EQ(b.maxX, 265);
    EXPECT_EQ(b.minY, 40);
    EXPECT_EQ(b.maxY, 180);
    const auto title = s.find(QStringLiteral("示例中心企业Tessaly基本信息表"));
    EXPECT_EQ(title.font, QStringLiteral("黑体"));
    EXPECT_EQ(title.points, 20);
    EXPECT_EQ(title.y1, 20);
    const double w = 11 * 20 * 25.4 / 72 + 7 * 10 * 25.4 / 72; // 11 CJK characters, 7 Latin letters
    EXPECT_NEAR(title.x1, (297 - w) / 2, 1e-9);
    const auto header = s.find(QStringLiteral("个人编号：000007"));
    EXPECT_EQ(header.font, QStringLiteral("宋体"));
    EXPECT_EQ(header.points, 11);
    EXPECT_EQ(header.x1, 25);
    EXPECT_EQ(header.y1, 35);
    EXPECT_EQ(s.find(QStringLiteral("档案编号：DA0007")).x1, 95);
    EXPECT_EQ(s.find(QStringLiteral("自管小组：")).x1, 167);
    EXPECT_EQ(s.find(QStringLiteral("NO：101")).x1, 235);
    EXPECT_EQ(s.find(QStringLiteral("1950-03")).points, 11) << "dates as yyyy-mm";
    EXPECT_TRUE(s.of(Op::End).isEmpty()) << "the preview does not end a document";
}

TEST(InfoSheet, HalfSizeHalvesPageRowsAndFonts) {
    const RecordingSurface s = sheet(2);
    EXPECT_EQ(s.of(Op::Clear)[0].x2, 148);
    EXPECT_EQ(s.of(Op::Clear)[0].y2, 105);
    const SheetGeometry g = sheetGeometry(2, settings());
    EXPECT_EQ(g.rowHeight, 5);
    EXPECT_EQ(g.top, 20);
    EXPECT_EQ(g.left, 12) << "12.5 rounds to the even 12";
    EXPECT_EQ(g.c(37), 30) << "12 + 18.5 rounds to 30";
    EXPECT_EQ(g.c(85), 54) << "12 + 42.5 rounds to 54";
    EXPECT_EQ(s.find(QStringLiteral("示例中心企业Tessaly基本信息表")).points, 10);
    EXPECT_EQ(s.find(QStringLiteral("张三")).points, 5.5);
    const Bounds b = lineBounds(s);
    EXPECT_EQ(b.maxY, 20 + 14 * 5);
}

TEST(InfoSheet, ALeftShiftMovesEveryLineHeaderAndTitle) {
    store::PrintRecord shifted = settings();
    shifted.sheetLeft = 5;
    const RecordingSurface a = sheet(1);
    const RecordingSurface b = sheet(1, shifted);
    ASSERT_EQ(a.items.size(), b.items.size());
    for (qsizetype i = 0; i < a.items.size(); ++i) {
        const auto& x = a.items[i];
        const auto& y = b.items[i];
        if (x.op == Op::Clear)
            continue;
        EXPECT_DOUBLE_EQ(y.x1, x.x1 + 5) << i;
        EXPECT_DOUBLE_EQ(y.y1, x.y1) << i;
        if (x.op == Op::Line || x.op == Op::Rectangle) {
            EXPECT_DOUBLE_EQ(y.x2, x.x2 + 5) << i;
        }
    }
    store::PrintRecord down = settings();
    down.sheetTop = 3;
    EXPECT_EQ(lineBounds(sheet(1, down)).minY, 43);
}

TEST(InfoSheet, CellsFitCentredOrSplitInHalves) {
    const RecordingSurface s = sheet(1);
    const SheetGeometry g = sheetGeometry(1, settings());
    const double em = 11 * 25.4 / 72;
    // The name fits its cell C37 … C52 and is printed once, centred both ways.
    const auto name = s.find(QStringLiteral("张三"));
    EXPECT_DOUBLE_EQ(name.x1, g.c(37) + (15 - 2 * em) / 2);
    EXPECT_DOUBLE_EQ(name.y1, 40 + (10 - em) / 2);
    // The address is too long for C70 … C188: first half above, the rest below.
    const QString address = person()[40].toString();
    const auto [upper, lower] = splitInHalves(address);
    EXPECT_EQ(upper + lower, address);
    EXPECT_EQ(upper.size(), address.size() / 2);
    const auto top = s.find(upper);
    const auto bottom = s.find(lower);
    EXPECT_DOUBLE_EQ(top.y1, g.rule(9) + (10 - em) / 4.3);
    EXPECT_DOUBLE_EQ(bottom.y1, g.rule(9) + (10 - em) / 1.1);
    EXPECT_DOUBLE_EQ(top.x1, g.c(70) + (118 - upper.size() * em) / 2);
    EXPECT_DOUBLE_EQ(bottom.x1, g.c(70) + (118 - lower.size() * em) / 2);
    EXPECT_TRUE(s.find(address).text.isEmpty()) << "never printed whole";
    // Side labels sit at fractional rows.
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("基")).y1, g.rule(0.5) + (10 - em) / 2);
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("配偶情况")).y1, g.rule(10.5) + (10 - em) / 2);
}

TEST(InfoSheet, TickBoxesAndTheLowIncomeField) {
    QVariantList p = person();
    p[26] = QVariant(); // 重病 Null
    for (int z : {1, 2}) {
        RecordingSurface s;
        drawSheet(s, z, settings(), QString(), p, Target::Preview);
        const double em = 11.0 / z * 25.4 / 72;
        const double b = em / 1.2;
        const auto box = [&](const char* label) {
            const auto text = s.find(QString::fromUtf8(label));
            const double bx = text.x1 + QString::fromUtf8(label).size() * em + 2.0 / z;
            for (qsizetype i = 0; i < s.items.size(); ++i) {
                const auto& r = s.items[i];
                if (r.op == Op::Rectangle && std::abs(r.x1 - bx) < 1e-9 && std::abs(r.y1 - text.y1) < 1e-9) {
                    EXPECT_DOUBLE_EQ(r.x2, bx + b);
                    EXPECT_DOUBLE_EQ(r.y2, text.y1 + b);
                    return i;
                }
            }
            ADD_FAILURE() << label << " has no box at z " << z;
            return qsizetype(-1);
        };
        const qsizetype model = box("劳模");
        ASSERT_GE(model, 0);
        ASSERT_LT(model + 2, s.items.size());
        const auto first = s.items[model + 1];
        const auto second = s.items[model + 2];
        ASSERT_EQ(first.op, Op::Line);
        ASSERT_EQ(second.op, Op::Line);
        const double bx = s.items[model].x1, y = s.items[model].y1;
        EXPECT_DOUBLE_EQ(first.x1, bx + 1) << "an absolute millimetre";
        EXPECT_DOUBLE_EQ(first.y1, y + b / 2);
        EXPECT_DOUBLE_EQ(first.x2, bx + b / 2);
        EXPECT_DOUBLE_EQ(first.y2, y + b - 1);
        EXPECT_DOUBLE_EQ(second.x2, bx + b);
        EXPECT_DOUBLE_EQ(second.y2, y);
        for (const char* unticked : {"特困", "重病"}) {
            const qsizetype i = box(unticked);
            ASSERT_GE(i, 0);
            EXPECT_NE(s.items.value(i + 1).op, Op::Line) << unticked;
        }
        EXPECT_EQ(s.of(Op::Rectangle).size(), 18);
        EXPECT_EQ(s.find(QStringLiteral("否")).text, QStringLiteral("否")) << "Null low income prints 否";
        EXPECT_TRUE(s.find(QStringLiteral("是")).text.isEmpty());
    }
    p[30] = 1;
    EXPECT_EQ(sheet(1, settings(), p).find(QStringLiteral("是")).text, QStringLiteral("是"));
}

TEST(InfoSheet, PaperEndsTheDocument) {
    const RecordingSurface s = sheet(1, settings(), person(), Target::Paper);
    EXPECT_TRUE(s.of(Op::Clear).isEmpty());
    ASSERT_FALSE(s.items.isEmpty());
    EXPECT_EQ(s.items.last().op, Op::End);
}

namespace {

RecordingSurface rosterPage(const store::PrintRecord& st, int page, int count,
                            Target target = Target::Preview) {
    RecordingSurface s;
    drawRosterPage(
        s, 1, st, page, count,
        [](int index) {
            QVariantList p = person();
            p[1] = QStringLiteral("人%1").arg(index + 1);
            return p;
        },
        target);
    return s;
}

int namesOnPage(const RecordingSurface& s) {
    int n = 0;
    for (const auto& t : s.texts())
        n += t.text.startsWith(QStringLiteral("人")) ? 1 : 0;
    return n;
}

} // namespace

TEST(Roster, FifteenToAPageNumberedAgainOnEachPage) {
    EXPECT_EQ(rosterPageCount(0), 0);
    EXPECT_EQ(rosterPageCount(15), 1);
    EXPECT_EQ(rosterPageCount(16), 2);
    EXPECT_EQ(namesOnPage(rosterPage(settings(), 1, 15)), 15);
    const RecordingSurface second = rosterPage(settings(), 2, 16);
    EXPECT_EQ(namesOnPage(second), 1);
    EXPECT_EQ(second.find(QStringLiteral("人16")).y1, 30 + 10 + (10 - 10 * 25.4 / 72) / 2) << "row 1";
    const RosterGeometry g = rosterGeometry(1, settings());
    int numbers = 0;
    for (int i = 1; i <= 15; ++i) {
        for (const auto& t : second.texts()) {
            if (t.text == QString::number(i) &&
                std::abs(t.y1 - (g.band(i) + (10 - 10 * 25.4 / 72) / 2)) < 1e-9)
                ++numbers;
        }
    }
    EXPECT_EQ(numbers, 15) << "empty rows stay numbered";
    EXPECT_EQ(second.find(QStringLiteral("第 2 页")).x1, g.x[8]);
    // Frame: the top rule, ten verticals, the header rule and fifteen row rules.
    EXPECT_EQ(second.of(Op::Line).size(), 1 + 10 + 1 + 15);
}

TEST(Roster, BoundariesArePositionsAndHeadersSitWhereTheyShould) {
    store::PrintRecord st = settings();
    st.columns = {10, 40, 50, 74, 134, 159, 181, 241, 267};
    st.rosterLeft = 3;
    st.rosterTop = 2;
    const RosterGeometry g = rosterGeometry(1, st);
    EXPECT_EQ(g.x[0], 18);
    EXPECT_EQ(g.x[1] - g.x[0], 10);
    EXPECT_EQ(g.x[2] - g.x[1], 30);
    EXPECT_EQ(g.x[3] - g.x[2], 10);
    EXPECT_EQ(g.top, 32);
    const RecordingSurface s = rosterPage(st, 1, 3);
    const double H = 10;
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("单位名称：示例中心")).x1, 18 + 18 / 3.0);
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("单位名称：示例中心")).y1, 32 - H / 1.5);
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("所处位置：东城")).x1, g.x[4] + g.x[4] / 5.0);
    EXPECT_EQ(s.find(QStringLiteral("2008年6月")).x1, g.x[7]);
    const auto title = s.find(QStringLiteral("离退休人员花名册"));
    EXPECT_EQ(title.points, 18);
    EXPECT_EQ(title.font, QStringLiteral("黑体"));
    EXPECT_DOUBLE_EQ(title.y1, 32 - 2.2 * H);
    EXPECT_DOUBLE_EQ(title.x1, (297 - (8 + 1) * 18 * 25.4 / 72) / 2 + 3) << "measured with two blanks";
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("备注:一")).y1, 32 + 16 * H + H / 4);
    EXPECT_EQ(s.find(QStringLiteral("备注:一")).x1, g.x[1]);
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("     二")).y1, 32 + 16.5 * H + H / 4);
    EXPECT_DOUBLE_EQ(s.find(QStringLiteral("     三")).y1, 32 + 17 * H + H / 4);
    EXPECT_FALSE(s.find(QStringLiteral("序号")).text.isEmpty());
    EXPECT_EQ(s.find(QStringLiteral("1950-03")).font, QStringLiteral("宋体"));

    const RecordingSurface paper = rosterPage(st, 1, 3, Target::Paper);
    EXPECT_TRUE(paper.find(QStringLiteral("序号")).text.isEmpty());
    // The paper's wider headers split in 10 mm columns.
    EXPECT_FALSE(paper.find(QStringLiteral(" 序 ")).text.isEmpty());
    EXPECT_FALSE(paper.find(QStringLiteral(" 号 ")).text.isEmpty());
    EXPECT_FALSE(paper.find(QStringLiteral(" 别 ")).text.isEmpty());
    EXPECT_EQ(paper.items.last().op, Op::End);
    EXPECT_TRUE(paper.of(Op::Clear).isEmpty());
}

TEST(Roster, NarrowAndNegativeColumnsSplitTheirTexts) {
    store::PrintRecord st = settings();
    st.columns = {20, 22, 12, 74, 134, 159, 181, 241, 267}; // 姓名 2 mm wide, 性别 −10 mm
    const RosterGeometry g = rosterGeometry(1, st);
    const RecordingSurface s = rosterPage(st, 1, 1);
    const double em = 10 * 25.4 / 72;
    // A name of two characters in a 2 mm column: one character above, one below, centred on the span.
    const auto upper = s.find(QStringLiteral("人"));
    const auto lower = s.find(QStringLiteral("1"));
    EXPECT_DOUBLE_EQ(upper.x1, g.x[1] + (2 - em) / 2);
    EXPECT_DOUBLE_EQ(upper.y1, g.band(1) + (10 - em) / 4.2);
    EXPECT_FALSE(lower.text.isEmpty());
    // One character wider than its column: nothing above (an empty text prints nothing), the
    // whole character below, centred on the negative span.
    const auto sex = s.find(QStringLiteral("男"));
    EXPECT_DOUBLE_EQ(sex.x1, g.x[2] + (-10 - em) / 2);
    EXPECT_DOUBLE_EQ(sex.y1, g.band(1) + (10 - em) / 1.2);
}

TEST(Roster, AnEmptyTitlePrintsNothingElseUnchanged) {
    store::PrintRecord st = settings();
    const RecordingSurface with = rosterPage(st, 1, 2);
    st.title.clear();
    const RecordingSurface without = rosterPage(st, 1, 2);
    EXPECT_EQ(without.texts().size(), with.texts().size() - 1);
    EXPECT_EQ(without.of(Op::Line).size(), with.of(Op::Line).size());
    EXPECT_EQ(without.find(QStringLiteral("第 1 页")).x1, with.find(QStringLiteral("第 1 页")).x1);
}

TEST(PrintFaces, EachFormFaceNameGetsItsOwnFaceOnScreenAndInPdf) {
    struct Case {
        const char* name;
        Faces faces;
        const char* face;
    };
    const Case cases[] = {
        {"黑体", Faces::Screen, "Noto Sans CJK SC"},         {"黑体", Faces::Pdf, "WenQuanYi Micro Hei"},
        {" 黑体 ", Faces::Screen, "Noto Sans CJK SC"},       {"楷体_GB2312", Faces::Screen, "AR PL UKai CN"},
        {"楷体_GB2312", Faces::Pdf, "AR PL UKai CN"},        {"楷体", Faces::Pdf, "AR PL UKai CN"},
        {"宋体", Faces::Screen, "Noto Serif CJK SC"},        {"宋体", Faces::Pdf, "AR PL UMing CN"},
        {"仿宋_GB2312", Faces::Screen, "Noto Serif CJK SC"}, {"仿宋", Faces::Pdf, "AR PL UMing CN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFont font;
        font.setFamilies(familiesFor(QString::fromUtf8(c.name), c.faces));
        EXPECT_EQ(QFontInfo(font).family(), QString::fromUtf8(c.face));
    }
    // Every QFont of the program that names a form face, as the start-up maps them.
    substituteFormFaces();
    const QStringList screenFaces = {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Serif CJK SC"),
                                     QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Sans CJK SC")};
    for (int i = 0; i < kFormFaces.size(); ++i)
        EXPECT_EQ(QFontInfo(QFont(kFormFaces.at(i))).family(), screenFaces.at(i))
            << kFormFaces.at(i).toStdString();
}

// Records what a form prints on a real painter, with the real faces' measures.
class PrintedTexts : public PainterSurface {
public:
    using PainterSurface::PainterSurface;
    QStringList printed;

protected:
    void drawText(double x, double y, const QString& text) override {
        printed << text;
        PainterSurface::drawText(x, y, text);
    }
};

TEST(PrintFaces, PaperHeadersStayWholeWithAHeiBody) {
    store::PrintRecord st = settings(); // the shipped columns: 序号 20 mm, 性别 12 mm wide
    st.bodyFont = QStringLiteral("黑体");
    for (Faces faces : {Faces::Screen, Faces::Pdf}) {
        QImage page(1, 1, QImage::Format_RGB32);
        QPainter painter(&page);
        PrintedTexts s(painter, faces);
        drawRosterPage(s, 1, st, 1, 0, {}, Target::Paper);
        EXPECT_TRUE(s.printed.contains(QStringLiteral(" 序  号 "))) << s.printed.join(u'|').toStdString();
        EXPECT_TRUE(s.printed.contains(QStringLiteral(" 性  别 "))) << s.printed.join(u'|').toStdString();
    }
}
