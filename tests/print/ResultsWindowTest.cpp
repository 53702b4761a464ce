#include "PrintFixture.h"

#include "print/Pages.h"
#include "print/PrintSettings.h"
#include "print/PrintSettingsWindow.h"
#include "print/ResultsWindow.h"
#include "print/Surface.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace print;

namespace {

const QString kEveryone = QStringLiteral("姓名 like '*'");

struct Fixture {
    explicit Fixture(int persons, const QString& condition = kEveryone) : session(folder.session()) {
        testing_support::addPersons(session->db(), persons);
        session->pendingExpression() = condition;
        window = std::make_unique<ResultsWindow>(*session);
        window->show();
    }
    // The keys of the enabled toolbar buttons, in toolbar order.
    QString enabled() const {
        QStringList keys;
        for (const char* key : {"tt1", "tt2", "tt3", "tt4", "tt5", "tt6", "tt7", "tt9", "tt10", "tt8"}) {
            if (window->action(QString::fromLatin1(key))->isEnabled())
                keys << QString::fromLatin1(key);
        }
        return keys.join(QLatin1Char(' '));
    }
    void press(const char* key) { window->action(QString::fromLatin1(key))->trigger(); }
    void clickPage() {
        QTest::mouseClick(window->findChild<QWidget*>(QStringLiteral("Picture3")), Qt::LeftButton);
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<ResultsWindow> window;
};

QString tool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    const QString info = tool(QStringLiteral("pdfinfo"), {path});
    for (const QString& line : info.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

// Dark pixels inside a rectangle given in millimetres (1 mm inside its rules).
int inkIn(const QImage& image, double dpi, double x1, double y1, double x2, double y2) {
    const double k = dpi / 25.4;
    int dark = 0;
    for (int y = int((y1 + 1) * k); y < int((y2 - 1) * k); ++y) {
        for (int x = int((x1 + 1) * k); x < int((x2 - 1) * k); ++x)
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    return dark;
}

} // namespace

TEST(ResultsWindowPages, ButtonStatesThroughTheToolbar) {
    {
        Fixture f(0);
        EXPECT_EQ(f.enabled(), QStringLiteral("tt8"));
        EXPECT_TRUE(f.window->findChild<QPushButton*>(QStringLiteral("Command1"))->isHidden());
        EXPECT_TRUE(f.window->findChild<QWidget*>(QStringLiteral("DBGrid1"))->isHidden());
    }
    for (int count : {1, 15, 16}) {
        SCOPED_TRACE(count);
        Fixture f(count);
        const QString more = count > 1 ? QStringLiteral("tt2 ") : QString();
        const QString pages = count > 15 ? QStringLiteral("tt2 ") : QString();
        EXPECT_EQ(f.enabled(), QStringLiteral("tt3 tt6 tt10 tt8")) << "printing waits for a page";
        EXPECT_FALSE(f.window->pageView());
        EXPECT_EQ(f.window->status(), QStringLiteral("满足条件的记录数：%1").arg(count))
            << "the count at opening";

        f.press("tt3");
        EXPECT_TRUE(f.window->pageView());
        EXPECT_EQ(f.window->page(), 1);
        EXPECT_EQ(f.enabled(), pages + QStringLiteral("tt4 tt6 tt7 tt9 tt10 tt8"));
        EXPECT_EQ(f.window->status(), QStringLiteral("满足条件的记录数：%1    共%2页     当前页码：1")
                                          .arg(count)
                                          .arg(count > 15 ? 2 : 1));
        if (count > 15) {
            f.press("tt2");
            EXPECT_EQ(f.window->page(), 2);
            EXPECT_EQ(f.enabled(), QStringLiteral("tt1 tt4 tt6 tt7 tt9 tt10 tt8"));
            EXPECT_EQ(f.window->status(), QStringLiteral("满足条件的记录数：16    共2页     当前页码：2"));
            f.press("tt1");
            EXPECT_EQ(f.window->page(), 1);
            EXPECT_EQ(f.enabled(), QStringLiteral("tt2 tt4 tt6 tt7 tt9 tt10 tt8"));
        }

        f.press("tt6");
        EXPECT_EQ(f.window->mode(), Mode::Sheet);
        EXPECT_EQ(f.window->person(), 1);
        EXPECT_EQ(f.enabled(), more + QStringLiteral("tt4 tt5 tt7 tt9 tt10 tt8"));
        EXPECT_EQ(f.window->status(),
                  QStringLiteral("满足条件的记录数：%1    共%1页     当前页码：1").arg(count));
        if (count > 1) {
            for (int n = 2; n <= count; ++n)
                f.press("tt2");
            EXPECT_EQ(f.window->person(), count);
            EXPECT_EQ(f.window->results()->position(), count - 1);
            EXPECT_EQ(f.enabled(), QStringLiteral("tt1 tt4 tt5 tt7 tt9 tt10 tt8"));
            f.press("tt1");
            EXPECT_EQ(f.window->person(), count - 1);
            EXPECT_EQ(f.enabled(), QStringLiteral("tt1 tt2 tt4 tt5 tt7 tt9 tt10 tt8"));
        }

        f.press("tt5");
        EXPECT_EQ(f.window->mode(), Mode::Roster);
        EXPECT_EQ(f.window->page(), 1);
        EXPECT_EQ(f.enabled(), pages + QStringLiteral("tt4 tt6 tt7 tt9 tt10 tt8"))
            << "back on page 1 there is no page before it";

        f.press("tt4");
        EXPECT_FALSE(f.window->pageView());
        EXPECT_EQ(f.enabled(), QStringLiteral("tt3 tt6 tt7 tt10 tt8"));
        EXPECT_TRUE(f.window->status().contains(QStringLiteral("当前记录位置：")));

        f.press("tt6"); // from the list: the sheet is drawn, the list stays
        EXPECT_FALSE(f.window->pageView());
        f.press("tt3");
        EXPECT_TRUE(f.window->pageView());
        EXPECT_EQ(f.window->mode(), Mode::Sheet);
        EXPECT_EQ(f.enabled(), more + QStringLiteral("tt4 tt5 tt7 tt10 tt8")) << "打印设置 off in sheet mode";
    }
}

TEST(ResultsWindowPages, ZoomTogglesAndPrintingTheSheetResetsItWithoutRedrawing) {
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a printer is installed; this test would print";
    Fixture f(2);
    f.press("tt3");
    const int dpi = f.window->logicalDpiX();
    EXPECT_EQ(f.window->pageImage().width(), qRound(297 * dpi / 25.4));
    auto* picture = f.window->findChild<QWidget*>(QStringLiteral("Picture3"));
    EXPECT_EQ(picture->pos(), QPoint(qRound(5 * dpi / 25.4), qRound(5 * dpi / 25.4)));
    f.clickPage();
    EXPECT_EQ(f.window->zoom(), 2);
    EXPECT_EQ(f.window->pageImage().width(), qRound(148 * dpi / 25.4));
    EXPECT_EQ(picture->pos(), QPoint(qRound(2 * dpi / 25.4), qRound(2 * dpi / 25.4))) << "Int(5 / 2)";
    auto* vertical = f.window->findChild<QScrollBar*>(QStringLiteral("VScroll1"));
    if (vertical->maximum() > 0) {
        vertical->setValue(1);
        EXPECT_EQ(picture->y(), qRound((5 - 30) / 2.0 * dpi / 25.4));
    }
    f.clickPage();
    EXPECT_EQ(f.window->zoom(), 1);
    EXPECT_EQ(vertical->value(), 0);

    f.press("tt6");
    f.clickPage();
    ASSERT_EQ(f.window->zoom(), 2);
    const QImage halfSize = f.window->pageImage();
    f.press("tt7"); // no printer: declined
    EXPECT_EQ(f.dialogs.last().text, kNoPrinter);
    EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::Question);
    EXPECT_EQ(f.window->zoom(), 1);
    EXPECT_EQ(f.window->pageImage(), halfSize) << "not redrawn";
    f.clickPage();
    EXPECT_EQ(f.window->zoom(), 1) << "the next click leaves full size";
    f.clickPage();
    EXPECT_EQ(f.window->zoom(), 2);
}

TEST(ResultsWindowPages, TheRosterPageHasInkInNameCellsOnly) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    testing_support::addPersons(session->db(), 1);
    store::RecordSet set(session->db(), QStringLiteral("wslib"));
    ResultPages pages;
    pages.settings = print::loadRecord(session->db());
    pages.count = set.count();
    pages.rowAt = [&](int i) { return set.row(i); };
    const QImage image = previewImage(pages, 1, 1, 96);
    EXPECT_EQ(image.size(), QSize(1123, 794));
    const RosterGeometry g = rosterGeometry(1, pages.settings);
    EXPECT_GT(inkIn(image, 96, g.x[1], g.band(1), g.x[2], g.band(2)), 20) << "马文高";
    EXPECT_EQ(inkIn(image, 96, g.x[1], g.band(2), g.x[2], g.band(3)), 0) << "an empty row";
    EXPECT_GT(inkIn(image, 96, g.x[0], g.band(2), g.x[1], g.band(3)), 0) << "its number";
}

TEST(ResultsWindowPages, PrintingWithoutAPrinterOffersAPdf) {
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a printer is installed; this test would print";
    Fixture f(16);
    f.press("tt3");
    f.press("tt2");
    f.dialogs.answer({true});
    const QString path = f.folder.file(QStringLiteral("第二页"));
    f.dialogs.files.enqueue(path);
    f.press("tt7");
    ASSERT_GE(f.dialogs.shown.size(), 3);
    const auto& question = f.dialogs.shown.at(f.dialogs.shown.size() - 3);
    EXPECT_EQ(question.text, kNoPrinter);
    EXPECT_EQ(f.dialogs.shown.at(f.dialogs.shown.size() - 2).text, QStringLiteral("存为PDF文件"));
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("这一页已存为PDF文件：%1.pdf").arg(QDir::toNativeSeparators(path)));
    ASSERT_TRUE(QFile::exists(path + QStringLiteral(".pdf")));
    EXPECT_EQ(pdfPages(path + QStringLiteral(".pdf")), 1);
    const QString text =
        tool(QStringLiteral("pdftotext"), {path + QStringLiteral(".pdf"), QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("陈十六"))) << "page 2 holds person 16";
    EXPECT_TRUE(text.contains(QStringLiteral("第 2 页")));
    EXPECT_EQ(f.window->zoom(), 1);

    f.dialogs.answer({true});
    f.press("tt7"); // the save dialog cancelled: nothing written, nothing said
    EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::SaveFile);
}

TEST(ResultsWindowPages, WholeResultPdfHasEveryPageEmbeddedFontsAndTheRightText) {
    Fixture f(16);
    f.press("tt3");
    const QImage shown = f.window->pageImage();
    const QString roster = f.folder.file(QStringLiteral("花名册.pdf"));
    f.dialogs.files.enqueue(roster);
    f.press("tt10");
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("已输出PDF文件：%1（共2页）").arg(QDir::toNativeSeparators(roster)));
    EXPECT_EQ(f.window->page(), 1);
    EXPECT_EQ(f.window->pageImage(), shown) << "the page shown is unchanged";
    ASSERT_EQ(pdfPages(roster), 2);

    const QStringList fonts = tool(QStringLiteral("pdffonts"), {roster}).split(QLatin1Char('\n'));
    int listed = 0;
    for (const QString& line : fonts.mid(2)) {
        if (line.trimmed().isEmpty())
            continue;
        ++listed;
        const QStringList cols = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        EXPECT_TRUE(cols.size() >= 5 && cols.at(cols.size() - 5) == QLatin1String("yes"))
            << line.toStdString();
    }
    EXPECT_GT(listed, 0);

    const QString text = tool(QStringLiteral("pdftotext"), {roster, QStringLiteral("-")});
    for (const QString& name : testing_support::printNames())
        EXPECT_TRUE(text.contains(name)) << name.toStdString();
    EXPECT_FALSE(text.contains(QChar(0x2EE2))) << "马 is not a radical";

    // Page 1 rendered: ink in the name cells of rows 1 and 15.
    const QString prefix = f.folder.file(QStringLiteral("page"));
    tool(QStringLiteral("pdftoppm"),
         {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-f"), QStringLiteral("1"),
          QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"), roster, prefix});
    const QImage page(prefix + QStringLiteral("-1.png"));
    ASSERT_FALSE(page.isNull());
    const RosterGeometry g = rosterGeometry(1, f.session->printSettings());
    EXPECT_GT(inkIn(page, 100, g.x[1], g.band(1), g.x[2], g.band(2)), 5);
    EXPECT_GT(inkIn(page, 100, g.x[1], g.band(15), g.x[2], g.band(16)), 5);

    // One sheet per person, with the header's letters and digits as text.
    f.press("tt6");
    const QString sheets = f.folder.file(QStringLiteral("基本信息表"));
    f.dialogs.files.enqueue(sheets);
    f.press("tt10");
    ASSERT_EQ(pdfPages(sheets + QStringLiteral(".pdf")), 16);
    const QString sheetText =
        tool(QStringLiteral("pdftotext"), {sheets + QStringLiteral(".pdf"), QStringLiteral("-")});
    EXPECT_TRUE(sheetText.contains(QStringLiteral("DA0007")));
    EXPECT_TRUE(sheetText.contains(QStringLiteral("NO：101")));
    EXPECT_TRUE(sheetText.contains(QStringLiteral("马文高")));
    EXPECT_TRUE(sheetText.contains(f.session->state().unitName + kSheetTitle)) << "the title's face too";
}

TEST(ResultsWindowPages, CancellingTheWholePdfLeavesNoFile) {
    Fixture f(16);
    f.press("tt6");
    const QString path = f.folder.file(QStringLiteral("取消.pdf"));
    f.dialogs.files.enqueue(path);
    f.dialogs.clear();
    QTimer::singleShot(0, f.window.get(), [&] {
        if (auto* progress = f.window->findChild<QProgressDialog*>(QStringLiteral("pdfProgress")))
            progress->cancel();
    });
    f.press("tt10");
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::SaveFile);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("输出PDF"));
}

TEST(ResultsWindowPages, PrintSettingsOpenBesideAndTheNextPageFollows) {
    Fixture f(3);
    f.press("tt3");
    f.press("tt9");
    PrintSettingsWindow* settings = f.window->settingsWindow();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(settings->isModal());
    settings->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("新的标题"));
    settings->findChild<QLineEdit*>(QStringLiteral("Text9_1"))->setText(QStringLiteral("60"));
    QTest::mouseClick(settings->findChild<QPushButton*>(QStringLiteral("Command4")), Qt::LeftButton);
    EXPECT_EQ(f.dialogs.last().text, kSaved);

    RecordingSurface next;
    f.window->pages().draw(next, 1, 1, Target::Preview);
    EXPECT_FALSE(next.find(QStringLiteral("新的标题")).text.isEmpty());
    EXPECT_EQ(rosterGeometry(1, f.window->pages().settings).x[2], 15 + 60);
    f.press("tt9");
    EXPECT_EQ(f.window->settingsWindow(), settings) << "opened once";
}

TEST(ResultsWindowPages, AFailingDrawingKeepsWhatWasDrawnAndAFailedPdfLeavesNoFile) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    testing_support::addPersons(session->db(), 1);
    store::RecordSet set(session->db(), QStringLiteral("wslib"));
    ResultPages pages;
    pages.settings = print::loadRecord(session->db());
    pages.count = 3;
    pages.rowAt = [&](int i) {
        if (i > 0)
            throw std::runtime_error("a row that cannot be read");
        return set.row(i);
    };
    const QImage image = previewImage(pages, 1, 1, 96);
    const RosterGeometry g = rosterGeometry(1, pages.settings);
    EXPECT_GT(inkIn(image, 96, g.x[1], g.band(1), g.x[2], g.band(2)), 20) << "drawn before the failure";
    EXPECT_EQ(inkIn(image, 96, g.x[0], g.band(3), g.x[1], g.band(4)), 0) << "nothing after it";

    const QString path = folder.file(QStringLiteral("stopped.pdf"));
    EXPECT_THROW(writePdf(path, pages, 1, 1), std::runtime_error);
    EXPECT_FALSE(QFile::exists(path)) << "a PDF that stops part way is removed";

    pages.mode = Mode::Sheet;
    EXPECT_FALSE(previewImage(pages, 4, 1, 96).isNull()) << "a person beyond the result draws nothing";
}

TEST(ResultsWindowPages, AShortPrintTableIsReportedWhenTheWindowOpens) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session();
    testing_support::addPersons(session->db(), 2);
    session->db().exec(
        QStringLiteral("DELETE FROM \"Print\" WHERE rowid = (SELECT max(rowid) FROM \"Print\")"));
    session->pendingExpression() = kEveryone;
    ResultsWindow window(*session);
    EXPECT_EQ(dialogs.last().text, kPrintRowsMissing);
    EXPECT_EQ(window.resultCount(), 2) << "the result is still shown";
    window.action(QStringLiteral("tt3"))->trigger();
    EXPECT_TRUE(window.pageView());
}
