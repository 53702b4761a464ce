#include "PrintFixture.h"

#include "print/Pages.h"
#include "print/PrintSettings.h"
#include "print/PrintSettingsWindow.h"
#include "print/ResultsWindow.h"
#include "print/Surface.h"
#include "store/RecordSet.h"
#include "ui/JobScript.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace print;

namespace {

const QString kEveryone = QStringLiteral("姓名 like '*'");

struct Fixture {
    explicit Fixture(int persons, QSize screen = {}) : session(folder.session()) {
        testing_support::addPersons(session->db(), persons);
        session->pendingExpression() = kEveryone;
        window = std::make_unique<ResultsWindow>(*session, nullptr, screen);
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
    QWidget* picture() const { return window->findChild<QWidget*>(QStringLiteral("Picture3")); }
    QScrollBar* bar(const char* name) const {
        return window->findChild<QScrollBar*>(QString::fromLatin1(name));
    }
    // One turn of the wheel over the page, in eighths of a degree (120 a notch; negative: towards
    // the operator, down the page).
    void wheel(int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWheelEvent event(QPointF(5, 5), picture()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(picture(), &event);
    }
    // Where the page picture sits in the viewport, in mm from its corner.
    QPoint at(double x, double y) const {
        const double k = window->logicalDpiX() / 25.4;
        return {qRound(x * k), qRound(y * k)};
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

// Whatever the operator had under that name before stays as it was, and nothing is left beside it.
void expectOnly(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
    EXPECT_EQ(QFileInfo(path).dir().entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
}

QByteArray writeEarlier(const QString& path) {
    const QByteArray earlier("%PDF-1.4 the operator's earlier file");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(earlier);
    return earlier;
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
    Fixture f(2, QSize(400, 300));
    f.press("tt3");
    const int dpi = f.window->logicalDpiX();
    EXPECT_EQ(f.window->pageImage().width(), qRound(297 * dpi / 25.4));
    auto* picture = f.window->findChild<QWidget*>(QStringLiteral("Picture3"));
    EXPECT_EQ(picture->pos(), QPoint(qRound(5 * dpi / 25.4), qRound(5 * dpi / 25.4)));
    f.clickPage();
    EXPECT_EQ(f.window->zoom(), 2);
    EXPECT_EQ(f.window->pageImage().width(), qRound(148 * dpi / 25.4));
    EXPECT_EQ(picture->pos(), QPoint(qRound(2 * dpi / 25.4), qRound(2 * dpi / 25.4))) << "Int(5 / 2)";
    // The window is small enough that even the half-size page scrolls both ways.
    QScrollBar* vertical = f.bar("VScroll1");
    ASSERT_GT(vertical->maximum(), 0);
    ASSERT_GT(f.bar("HScroll1")->maximum(), 0);
    vertical->setValue(1);
    EXPECT_EQ(picture->pos(), f.at(5 / 2.0, (5 - 30) / 2.0));
    f.bar("HScroll1")->setValue(2);
    EXPECT_EQ(picture->pos(), f.at((5 - 40) / 2.0, (5 - 30) / 2.0));
    f.clickPage();
    EXPECT_EQ(f.window->zoom(), 1);
    EXPECT_EQ(vertical->value(), 0);
    EXPECT_EQ(f.bar("HScroll1")->value(), 0);

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

TEST(ResultsWindowPages, ScaledToTheScreenAndScrolledByTheWheelFromTheTopLeftOfEachMode) {
    Fixture large(2, QSize(1280, 1024));
    EXPECT_EQ(large.window->geometry(), QRect(0, 34, 1280, 956)) << "800 × 560 at (0, 20), scaled";
    large.press("tt3");
    EXPECT_EQ(large.bar("HScroll1")->maximum(), 0) << "the page's whole width shows";

    Fixture f(2);
    f.press("tt3");
    QScrollBar* vertical = f.bar("VScroll1");
    QScrollBar* horizontal = f.bar("HScroll1");
    ASSERT_GE(vertical->maximum(), 2);
    ASSERT_GT(horizontal->maximum(), 0);
    f.wheel(-120);
    EXPECT_EQ(vertical->value(), 1);
    f.wheel(-60);
    f.wheel(-60); // half notches add up to one step
    EXPECT_EQ(vertical->value(), 2);
    f.wheel(120);
    EXPECT_EQ(vertical->value(), 1);
    f.wheel(-120, Qt::ShiftModifier);
    EXPECT_EQ(horizontal->value(), 1);
    EXPECT_EQ(vertical->value(), 1);
    EXPECT_EQ(f.picture()->pos(), f.at(5 - 20, 5 - 30));

    for (const char* mode : {"tt6", "tt5"}) {
        SCOPED_TRACE(mode);
        f.press(mode);
        EXPECT_EQ(vertical->value(), 0);
        EXPECT_EQ(horizontal->value(), 0);
        EXPECT_EQ(f.picture()->pos(), f.at(5, 5));
        f.wheel(-120);
        f.wheel(-120, Qt::ShiftModifier);
    }
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
    const QString faces = fonts.join(QLatin1Char('\n'));
    EXPECT_TRUE(faces.contains(QLatin1String("WenQuanYiMicroHei"))) << "the title in the face for 黑体";
    EXPECT_TRUE(faces.contains(QLatin1String("UMing"))) << "the body in the face for 宋体";

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
    EXPECT_TRUE(tool(QStringLiteral("pdffonts"), {sheets + QStringLiteral(".pdf")})
                    .contains(QLatin1String("WenQuanYiMicroHei")))
        << "the title in the face for 黑体";
}

TEST(ResultsWindowPages, CancellingTheWholePdfKeepsAnEarlierFileOfThatName) {
    Fixture f(16);
    f.press("tt6");
    const QString path = f.folder.file(QStringLiteral("pdf/取消.pdf"));
    QDir().mkpath(QFileInfo(path).path());
    const QByteArray earlier = writeEarlier(path);
    f.dialogs.files.enqueue(path);
    f.dialogs.clear();
    // 取消 while the pages are written on the job's own connection, a few pages in.
    ui::CancelJobAt cancel(5);
    f.press("tt10");
    EXPECT_TRUE(cancel.pressed());
    expectOnly(path, earlier);
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

TEST(ResultsWindowPages, PrintSettingsStayOpenWithWhatWasTypedWhenTheResultsClose) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session();
    testing_support::addPersons(session->db(), 3);
    QWidget owner; // the main window, which opens the results
    const auto openResults = [&] {
        session->pendingExpression() = kEveryone;
        auto* results = new ResultsWindow(*session, &owner);
        results->show();
        results->action(QStringLiteral("tt3"))->trigger();
        results->action(QStringLiteral("tt9"))->trigger();
        return results;
    };
    ResultsWindow* first = openResults();
    const QPointer<PrintSettingsWindow> settings = first->settingsWindow();
    ASSERT_FALSE(settings.isNull());
    settings->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("还没保存的标题"));
    first->action(QStringLiteral("tt8"))->trigger();
    delete first; // as a new query replaces it
    ASSERT_FALSE(settings.isNull());
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(),
              QStringLiteral("还没保存的标题"));
    EXPECT_EQ(openResults()->settingsWindow(), settings.data()) << "the open one comes forward";
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

    const QString path = folder.file(QStringLiteral("pdf/stopped.pdf"));
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_THROW(writePdf(path, pages, 1, 1), std::runtime_error);
    EXPECT_FALSE(QFile::exists(path)) << "a PDF that stops part way is no file";
    const QByteArray earlier = writeEarlier(path);
    EXPECT_THROW(writePdf(path, pages, 1, 1), std::runtime_error);
    expectOnly(path, earlier);

    pages.mode = Mode::Sheet;
    const QImage beyond = previewImage(pages, 4, 1, 96);
    EXPECT_EQ(beyond.size(), QSize(1123, 794));
    EXPECT_EQ(inkIn(beyond, 96, -1, -1, 298, 211), 0) << "a person beyond the result draws nothing";
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
