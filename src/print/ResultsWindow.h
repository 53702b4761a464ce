#pragma once

#include "print/Pages.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;
class QTableView;
class QWheelEvent;

namespace Ui {
class ResultsWindow;
}
namespace records {
class PersonListModel;
}
namespace store {
class RecordSet;
class Session;
} // namespace store

namespace print {

// The results window's toolbar buttons.
enum class ResultsCommand {
    PreviousPage,
    NextPage,
    Preview,
    ListView,
    Roster,
    Sheet,
    Print,
    PrintSettings,
    WholePdf,
    Close
};

class PagePicture;
class PageViewport;
class PrintSettingsWindow;

// Form7 "查询结果": the persons that satisfy the pending expression, as a list or as preview
// pages of the roster or the information sheet, which it prints and writes to PDF.
class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    // Laid out for an 800 × 600 screen and scaled to `screen` (the screen it opens on when empty).
    ResultsWindow(store::Session& session, QWidget* parent = nullptr, QSize screen = {});
    ~ResultsWindow() override;

    QString status() const;
    int resultCount() const;
    QAction* action(const QString& key) const;
    store::RecordSet* results() const { return results_.get(); }

    Mode mode() const { return mode_; }
    int page() const { return page_; }
    int person() const { return person_; }
    int zoom() const { return z_; }
    bool pageView() const;
    // The page picture as last drawn.
    const QImage& pageImage() const;
    PrintSettingsWindow* settingsWindow() const;

    // The pages of the current mode, over the result and the session's print settings.
    ResultPages pages() const;

public slots:
    void run(ResultsCommand command);
    void pageClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void load();
    void showPosition(int row);
    void showStatus();
    void disableAll();
    void enable(const char* key, bool on);
    int pageCount() const;
    int current() const { return mode_ == Mode::Roster ? page_ : person_; }

    void previous();
    void next();
    void preview();
    void listView();
    void rosterMode();
    void sheetMode();
    void printPage();
    void printSettings();
    void writeWholePdf();

    void placePage();
    // A wheel step moves the page one scroll step down or up; with Shift, across.
    void wheel(QWheelEvent* event);
    // The page picture at Int(5 / z) mm with both scroll bars at 0.
    void placeAtStart();
    void drawPage();
    void updateScrollRanges();
    // Asks for a PDF file name; empty when the operator cancelled.
    QString askPdfName(const QString& title);

    store::Session& session_;
    std::unique_ptr<Ui::ResultsWindow> ui_;
    std::unique_ptr<store::RecordSet> results_;
    records::PersonListModel* model_;
    QTableView* grid_;
    QFrame* frame_;
    PageViewport* viewport_;
    PagePicture* picture_;
    QScrollBar* hscroll_;
    QScrollBar* vscroll_;
    QLabel* status_;
    QPushButton* export_;
    QList<QAction*> actions_;
    QPointer<PrintSettingsWindow> settingsWindow_;

    Mode mode_ = Mode::Roster;
    int page_ = 0;   // p
    int person_ = 0; // n
    int z_ = 1;
    bool fullSize_ = true; // what a click on the page toggles
    bool drawn_ = false;   // a page has been drawn, so there is something to print
    int wheelTurned_ = 0;  // eighths of a degree not yet made into a step
};

inline const QString kEmptyCondition = QStringLiteral("查询条件不能空！");
inline const QString kBadCondition = QStringLiteral("表达式设置有误。请重来！");
// After what was not understood: the condition stays pending until it is cleared.
inline const QString kClearAndRetry = QStringLiteral("请按“清空条件”后重新设置。");
inline const QString kNoPrinter = QStringLiteral("没有找到可用的打印机。要把这一页存为PDF文件吗？");
inline const QString kPdfFilter = QStringLiteral("PDF文件(*.pdf)");
// The database could not answer a condition that parsed; the cause follows on its own line.
inline const QString kQueryFailed = QStringLiteral("查询没有完成。");

} // namespace print
