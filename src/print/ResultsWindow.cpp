#include "print/ResultsWindow.h"

#include "exchange/ExportCommands.h"
#include "print/PagePicture.h"
#include "print/PrintSettings.h"
#include "print/PrintSettingsWindow.h"
#include "print/Printer.h"
#include "print/Surface.h"
#include "query/ConditionParser.h"
#include "query/QueryBuilder.h"
#include "records/PersonListModel.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/ModelReads.h"
#include "ui/SingleWindow.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_ResultsWindow.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QWheelEvent>

#include <cmath>

namespace print {

ResultsWindow::ResultsWindow(store::Session& session, QWidget* parent, QSize screen)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::ResultsWindow>()) {
    ui_->setupUi(this);
    // The toolbar spans the window's top edge, outside the margins of what is below it.
    layout()->setMenuBar(ui_->Toolbar1);
    using C = ResultsCommand;
    const struct {
        QAction* action;
        QStyle::StandardPixmap icon;
        ResultsCommand command;
    } buttons[] = {{ui_->tt1, QStyle::SP_ArrowLeft, C::PreviousPage},
                   {ui_->tt2, QStyle::SP_ArrowRight, C::NextPage},
                   {ui_->tt3, QStyle::SP_FileDialogContentsView, C::Preview},
                   {ui_->tt4, QStyle::SP_FileDialogDetailedView, C::ListView},
                   {ui_->tt5, QStyle::SP_FileDialogListView, C::Roster},
                   {ui_->tt6, QStyle::SP_FileIcon, C::Sheet},
                   {ui_->tt7, QStyle::SP_DriveHDIcon, C::Print},
                   {ui_->tt9, QStyle::SP_ComputerIcon, C::PrintSettings},
                   {ui_->tt10, QStyle::SP_DialogSaveButton, C::WholePdf},
                   {ui_->tt8, QStyle::SP_DialogCloseButton, C::Close}};
    for (const auto& b : buttons) {
        ui::setToolIcon(*ui_->Toolbar1, *b.action, b.icon);
        connect(b.action, &QAction::triggered, this, [this, c = b.command] { run(c); });
        actions_ << b.action;
    }

    model_ = new records::PersonListModel(session_.db().columnNames(store::schema::kPersons),
                                          ui::tellOncePerBurst(this), this);
    model_->followJobs(session_);
    grid_ = ui_->DBGrid1;
    grid_->setModel(model_);
    ui::setUpRecordGrid(*grid_);
    grid_->setColumnWidth(0, ui::twipsToPixels(*this, 1200));
    grid_->setColumnWidth(1, ui::twipsToPixels(*this, 1000));

    // The page view: a frame exactly over the grid with the viewport and its scroll bars.
    frame_ = ui_->Frame1;
    viewport_ = ui_->Picture2;
    picture_ = ui_->Picture3;
    const auto onWheel = [this](QWheelEvent* event) { wheel(event); };
    viewport_->onWheel = onWheel;
    picture_->onWheel = onWheel;
    picture_->onClick = [this] { pageClicked(); };
    hscroll_ = ui_->HScroll1;
    vscroll_ = ui_->VScroll1;
    connect(hscroll_, &QScrollBar::valueChanged, this, [this] { placePage(); });
    connect(vscroll_, &QScrollBar::valueChanged, this, [this] { placePage(); });

    status_ = ui_->Label1;
    export_ = ui_->Command1;
    connect(export_, &QPushButton::clicked, this, [this] {
        if (results_)
            exchange::exportQueryResult(this, session_, *results_, *status_);
    });
    frame_->hide();

    // Centred on the 800 × 600 screen it was laid out for, then scaled to the real one as the
    // other windows are, so that a larger screen shows more of the page.
    move(0, 20);
    ui::setWindow(*this, screen.isValid() ? screen : ui::screenSize(*this));
    load();
}

ResultsWindow::~ResultsWindow() = default;

QAction* ResultsWindow::action(const QString& key) const {
    return ui::findAction(actions_, key);
}

QString ResultsWindow::status() const {
    return status_->text();
}

int ResultsWindow::resultCount() const {
    return results_ ? results_->count() : 0;
}

bool ResultsWindow::pageView() const {
    return !frame_->isHidden();
}

PrintSettingsWindow* ResultsWindow::settingsWindow() const {
    return settingsWindow_.data();
}

const QImage& ResultsWindow::pageImage() const {
    return picture_->image();
}

void ResultsWindow::disableAll() {
    for (QAction* a : actions_) {
        if (a->objectName() != QLatin1String("tt8"))
            a->setEnabled(false);
    }
}

void ResultsWindow::enable(const char* key, bool on) {
    action(QString::fromLatin1(key))->setEnabled(on);
}

void ResultsWindow::load() {
    disableAll();
    QString& expression = session_.pendingExpression();
    if (expression.trimmed().isEmpty()) {
        grid_->hide();
        export_->hide();
        ui::inform(this, kEmptyCondition);
        return;
    }
    // A condition that does not parse is the operator's to mend; a database that cannot answer
    // says so with its cause. Either way the expression stays pending for the query window.
    const auto badCondition = [](const query::ConditionError& e) {
        return ui::stopWith(kBadCondition + QLatin1Char('\n') + e.reason() + QLatin1Char('\n') +
                                kClearAndRetry,
                            ui::kProgramTitle, ui::Icon::None);
    };
    const bool ran = ui::guard(
        this, ui::stopWithCause(kQueryFailed), {ui::when<query::ConditionError>(badCondition)}, [&] {
            const query::SqlCondition condition =
                query::parseCondition(expression, store::tableColumns(session_.db(), store::schema::kPersons),
                                      session_.db().dialect());
            results_ = std::make_unique<store::RecordSet>(session_.db(), store::schema::kPersons,
                                                          condition.sql, condition.params);
        });
    if (!ran) {
        grid_->hide();
        export_->hide();
        return;
    }
    model_->setList(results_.get());
    expression.clear();
    std::vector<qint64> shown(std::size_t(results_->count()));
    for (int i = 0; i < results_->count(); ++i)
        shown[std::size_t(i)] = results_->rowid(i);
    session_.lastResults() = std::move(shown);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showPosition(current.row()); });
    if (results_->isEmpty()) {
        grid_->hide();
        export_->hide();
        status_->setText(QStringLiteral("满足条件的记录数：0"));
        return;
    }
    grid_->setCurrentIndex(model_->index(0, 0));
    results_->setPosition(0);
    // At opening the count alone; the position joins it when the current record moves.
    status_->setText(QStringLiteral("满足条件的记录数：%1").arg(results_->count()));
    ui::fitHeaders(*grid_);
    for (const char* key : {"tt3", "tt6", "tt10"})
        enable(key, true);
    // Printing waits for a drawn page: with no page number yet there is nothing to print.

    ui::guard(this, ui::silently(), {ui::when<PrintTableError>([](const PrintTableError& e) {
                  return ui::stopWith(e.message(), ui::kProgramTitle, ui::Icon::Exclamation);
              })},
              [&] { session_.printSettings() = loadRecord(session_.db()); });
}

void ResultsWindow::showPosition(int row) {
    if (!results_)
        return;
    results_->setPosition(row);
    showStatus();
}

void ResultsWindow::showStatus() {
    const int count = resultCount();
    if (!pageView()) {
        status_->setText(QStringLiteral("满足条件的记录数：%1           当前记录位置：%2")
                             .arg(count)
                             .arg(results_->position() + 1));
    } else if (mode_ == Mode::Roster) {
        status_->setText(QStringLiteral("满足条件的记录数：%1    共%2页     当前页码：%3")
                             .arg(count)
                             .arg(rosterPageCount(count))
                             .arg(page_));
    } else {
        status_->setText(QStringLiteral("满足条件的记录数：%1    共%2页     当前页码：%3")
                             .arg(count)
                             .arg(count)
                             .arg(person_));
    }
}

ResultPages ResultsWindow::pages() const {
    ResultPages pages;
    pages.mode = mode_;
    pages.settings = session_.printSettings();
    pages.unitName = session_.state().unitName;
    pages.count = resultCount();
    store::RecordSet* set = results_.get();
    pages.rowAt = [set](int index) { return set->row(index); };
    return pages;
}

int ResultsWindow::pageCount() const {
    return mode_ == Mode::Roster ? rosterPageCount(resultCount()) : resultCount();
}

void ResultsWindow::run(ResultsCommand command) {
    if (command == ResultsCommand::Close) {
        close();
        return;
    }
    if (!results_ || results_->isEmpty())
        return;
    // The toolbar's actions go on past a failing drawing; the failure is logged.
    ui::guard(this, ui::silently(), [&] {
        switch (command) {
        case ResultsCommand::PreviousPage:
            previous();
            break;
        case ResultsCommand::NextPage:
            next();
            break;
        case ResultsCommand::Preview:
            preview();
            break;
        case ResultsCommand::ListView:
            listView();
            break;
        case ResultsCommand::Roster:
            rosterMode();
            break;
        case ResultsCommand::Sheet:
            sheetMode();
            break;
        case ResultsCommand::Print:
            printPage();
            break;
        case ResultsCommand::PrintSettings:
            printSettings();
            break;
        case ResultsCommand::WholePdf:
            writeWholePdf();
            break;
        case ResultsCommand::Close:
            break;
        }
    });
}

void ResultsWindow::previous() {
    enable("tt2", true);
    if (mode_ == Mode::Roster) {
        --page_;
        drawPage();
        enable("tt1", page_ > 1);
    } else {
        --person_;
        drawPage();
        enable("tt1", person_ > 1);
    }
}

void ResultsWindow::next() {
    enable("tt1", true);
    if (mode_ == Mode::Roster) {
        ++page_;
        drawPage();
        enable("tt2", page_ < pageCount());
    } else {
        ++person_;
        drawPage();
        enable("tt2", person_ < resultCount());
    }
}

void ResultsWindow::preview() {
    if (mode_ == Mode::Roster)
        page_ = 1;
    else
        person_ = 1;
    enable("tt3", false);
    enable("tt4", true);
    enable("tt9", mode_ == Mode::Roster);
    frame_->show();
    frame_->raise();
    enable("tt2", pageCount() > 1);
    // Back at the first page there is no page before it.
    enable("tt1", false);
    placeAtStart();
    drawPage();
}

void ResultsWindow::listView() {
    frame_->hide();
    for (const char* key : {"tt4", "tt1", "tt2", "tt9"})
        enable(key, false);
    enable("tt3", true);
    showPosition(qMax(0, grid_->currentIndex().row()));
}

void ResultsWindow::rosterMode() {
    mode_ = Mode::Roster;
    enable("tt9", true);
    enable("tt2", rosterPageCount(resultCount()) > 1);
    page_ = 1;
    enable("tt1", false);
    enable("tt6", true);
    enable("tt5", false);
    placeAtStart();
    drawPage();
}

void ResultsWindow::sheetMode() {
    mode_ = Mode::Sheet;
    enable("tt9", true);
    enable("tt2", resultCount() > 1);
    person_ = 1;
    enable("tt1", false);
    enable("tt5", true);
    enable("tt6", false);
    placeAtStart();
    drawPage();
}

void ResultsWindow::drawPage() {
    if (mode_ == Mode::Sheet && person_ >= 1 && person_ <= resultCount())
        results_->setPosition(person_ - 1);
    picture_->setImage(previewImage(pages(), current(), z_, logicalDpiX()));
    drawn_ = true;
    enable("tt7", true);
    updateScrollRanges();
    showStatus();
}

void ResultsWindow::placePage() {
    const double perMm = logicalDpiX() / 25.4;
    const double left = (5.0 - 20.0 * hscroll_->value()) / z_;
    const double top = (5.0 - 30.0 * vscroll_->value()) / z_;
    picture_->move(qRound(left * perMm), qRound(top * perMm));
}

void ResultsWindow::wheel(QWheelEvent* event) {
    event->accept();
    const QPoint turned = event->angleDelta();
    // Some systems report a wheel turned with Shift as a sideways turn already.
    const bool across = event->modifiers().testFlag(Qt::ShiftModifier) || turned.y() == 0;
    wheelTurned_ += turned.y() != 0 ? turned.y() : turned.x();
    // One notch (15 degrees) is one step; finer wheels and touch pads add up to one.
    const int steps = wheelTurned_ / QWheelEvent::DefaultDeltasPerStep;
    wheelTurned_ -= steps * QWheelEvent::DefaultDeltasPerStep;
    QScrollBar* bar = across ? hscroll_ : vscroll_;
    bar->setValue(bar->value() - steps);
}

void ResultsWindow::updateScrollRanges() {
    const double perMm = logicalDpiX() / 25.4;
    const QSize page = picture_->image().size();
    // Enough steps to bring the page's far edge into the viewport.
    const auto steps = [&](int pagePx, int viewPx, double step) {
        const double needed = (5.0 - z_ * (viewPx - pagePx) / perMm) / step;
        return qMax(0, int(std::ceil(needed)));
    };
    hscroll_->setRange(0, steps(page.width(), viewport_->width(), 20.0));
    vscroll_->setRange(0, steps(page.height(), viewport_->height(), 30.0));
}

void ResultsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (drawn_)
        updateScrollRanges();
}

void ResultsWindow::pageClicked() {
    if (fullSize_) {
        z_ = 2;
        fullSize_ = false;
    } else {
        z_ = 1;
        fullSize_ = true;
    }
    placeAtStart();
    if (current() >= 1)
        ui::guard(this, ui::silently(), [&] { drawPage(); });
}

void ResultsWindow::placeAtStart() {
    const QSignalBlocker h(hscroll_);
    const QSignalBlocker v(vscroll_);
    hscroll_->setValue(0);
    vscroll_->setValue(0);
    const int start = qRound(int(5 / z_) * logicalDpiX() / 25.4);
    picture_->move(start, start);
}

QString ResultsWindow::askPdfName(const QString& title) {
    QString path = ui::dialogs().saveFile(this, title, session_.programFolder(), kPdfFilter).trimmed();
    if (!path.isEmpty() && !path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    return path;
}

void ResultsWindow::printPage() {
    if (!drawn_ || current() < 1)
        return;
    const ResultPages shown = pages();
    const int page = current();
    // The printer always draws at full size; printing the sheet leaves the window at full size
    // without redrawing (the next click on the page then keeps it so).
    if (mode_ == Mode::Sheet)
        z_ = 1;
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull()) {
        if (!ui::ask(this, kNoPrinter))
            return;
        const QString path = askPdfName(QStringLiteral("存为PDF文件"));
        if (path.isEmpty())
            return;
        ui::guard(this, ui::stopWithCause(QStringLiteral("PDF文件没有写成。")), [&] {
            writePdf(path, shown, page, page);
            ui::inform(this, QStringLiteral("这一页已存为PDF文件：%1").arg(QDir::toNativeSeparators(path)));
        });
        return;
    }
    QPrinter device(printer, QPrinter::HighResolution);
    QPainter painter;
    if (!print::startPrinting(this, device, painter))
        return;
    PainterSurface surface(painter, Faces::Screen, [&] { painter.end(); });
    shown.draw(surface, page, 1, Target::Paper);
    if (painter.isActive())
        painter.end();
}

void ResultsWindow::printSettings() {
    // The settings window belongs to the owner of this window (the main window), not to it: closing
    // the results, or a new query replacing them, leaves it open with what was typed there.
    QWidget* owner = parentWidget() ? parentWidget() : this;
    if (!settingsWindow_) {
        for (PrintSettingsWindow* open :
             owner->findChildren<PrintSettingsWindow*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!open->isHidden())
                settingsWindow_ = open;
        }
    }
    ui::showSingle(settingsWindow_, [&] { return new PrintSettingsWindow(session_, owner); });
}

void ResultsWindow::writeWholePdf() {
    const QString path = askPdfName(QStringLiteral("输出PDF"));
    if (path.isEmpty())
        return;
    const ResultPages shown = pages();
    const int total = shown.pageCount();
    std::vector<qint64> rowids;
    rowids.reserve(std::size_t(resultCount()));
    for (int i = 0; i < resultCount(); ++i)
        rowids.push_back(results_->rowid(i));
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::ReadOnly;
    setup.cancellable = true;
    bool written = false;
    // 取消: the unfinished file is gone; an earlier file of that name is as it was.
    ui::guard(this, ui::stopWithCause(QStringLiteral("PDF文件没有写成。")),
              {ui::when<store::Cancelled>(ui::silently())}, [&] {
                  ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                      // The rows come from the job's own connection, not from the window's record set.
                      ResultPages own = shown;
                      own.rowAt = personRows(*db, rowids);
                      written = writePdf(path, own, 1, total, [&](int done, int all) {
                          control.report(done, all, QStringLiteral("正在输出PDF……"));
                          return true;
                      });
                  });
              });
    if (written)
        ui::inform(
            this,
            QStringLiteral("已输出PDF文件：%1（共%2页）").arg(QDir::toNativeSeparators(path)).arg(total));
}

} // namespace print
