#include "stats/ElderlyWindow.h"

#include "exchange/Export.h"
#include "exchange/ExportCommands.h"
#include "exchange/Workbook.h"
#include "print/DueList.h"
#include "print/PrintSettings.h"
#include "print/Printer.h"
#include "print/ResultsWindow.h"
#include "print/Surface.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_ElderlyWindow.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>

namespace stats {

namespace {

// The paper list leaves out the reason column: the due date says it.
constexpr int kReasonColumn = 6;

QStringList withoutReason(QStringList cells) {
    cells.removeAt(kReasonColumn);
    return cells;
}

} // namespace

ElderlyWindow::ElderlyWindow(store::Session& session, OpenPerson openPerson, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), openPerson_(std::move(openPerson)),
      ui_(std::make_unique<Ui::ElderlyWindow>()) {
    ui_->setupUi(this);
    days_ = ui_->Days;
    birthdayAge_ = ui_->BirthdayAge;
    birthdayAge_->setValue(kMilestones[0]);

    model_ = new QStandardItemModel(this);
    model_->setHorizontalHeaderLabels(dueHeaders());
    grid_ = ui_->Grid;
    grid_->setModel(model_);
    ui::setUpRecordGrid(*grid_);
    grid_->horizontalHeader()->setStretchLastSection(true);
    summary_ = ui_->Summary;

    connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { openRow(i.row()); });
    connect(ui_->Refresh, &QPushButton::clicked, this, &ElderlyWindow::refresh);
    connect(ui_->Print, &QPushButton::clicked, this, &ElderlyWindow::printList);
    connect(ui_->SavePdf, &QPushButton::clicked, this, &ElderlyWindow::savePdf);
    connect(ui_->Export, &QPushButton::clicked, this, &ElderlyWindow::exportList);
    connect(ui_->Leave, &QPushButton::clicked, this, &QWidget::close);
    ui::placeCentred(*this, size());
    refresh();
}

ElderlyWindow::~ElderlyWindow() = default;

void ElderlyWindow::refresh() {
    today_ = session_.now().date();
    DueSettings settings;
    settings.today = today_;
    settings.days = days_->value();
    settings.birthdayMinAge = birthdayAge_->value();
    std::vector<DuePerson> found;
    const bool done = ui::guard(this, ui::stopWithCause(QStringLiteral("高龄提醒名单没有列出来。")), [&] {
        ui::JobSetup setup;
        setup.connection = ui::JobSetup::Connection::ReadOnly;
        ui::runJob(this, session_, setup,
                   [&](store::Database* db, store::JobControl&) { found = elderlyDue(*db, settings); });
    });
    due_ = done ? std::move(found) : std::vector<DuePerson>();
    model_->removeRows(0, model_->rowCount());
    for (const DuePerson& p : due_) {
        QList<QStandardItem*> row;
        for (const QString& cell : dueCells(p)) {
            auto* item = new QStandardItem(cell);
            item->setEditable(false);
            row << item;
        }
        model_->appendRow(row);
    }
    ui::fitHeaders(*grid_);
    summary_->setText(summary());
}

QString ElderlyWindow::summary() const {
    int milestones = 0;
    for (const DuePerson& p : due_)
        milestones += p.reason == DuePerson::Reason::Milestone;
    return QStringLiteral("%1至%2年满70、80、90、100岁的 %3 人，本月过生日的 %4 人。")
        .arg(today_.toString(QStringLiteral("yyyy年M月d日")),
             today_.addDays(days_->value()).toString(QStringLiteral("yyyy年M月d日")))
        .arg(milestones)
        .arg(int(due_.size()) - milestones);
}

print::ListPages ElderlyWindow::pages() const {
    print::ListPages pages;
    ui::guard(const_cast<ElderlyWindow*>(this), ui::silently(),
              [&] { pages.settings = print::loadRecord(session_.db()); });
    pages.title = QStringLiteral("高龄人员提醒名单");
    pages.unitName = session_.state().unitName;
    pages.dateLine = QStringLiteral("制表日期：") + today_.toString(QStringLiteral("yyyy年M月d日"));
    pages.headers = withoutReason(dueHeaders());
    pages.widths = {10, 8, 5, 9, 5, 10, 33, 14};
    for (const DuePerson& p : due_)
        pages.rows.push_back(withoutReason(dueCells(p)));
    return pages;
}

bool ElderlyWindow::writePdf() {
    QString path =
        ui::dialogs().saveFile(this, QStringLiteral("存为PDF文件"),
                               session_.filePath(QStringLiteral("高龄提醒.pdf")), print::kPdfFilter);
    if (path.trimmed().isEmpty())
        return false;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    const print::ListPages list = pages();
    return ui::guard(this, ui::stopWithCause(QStringLiteral("PDF文件没有写成。")), [&] {
        print::writeListPdf(path, list);
        ui::inform(this, QStringLiteral("名单已存为PDF文件：%1").arg(QDir::toNativeSeparators(path)),
                   ui::kProgramTitle, ui::Icon::Information);
    });
}

void ElderlyWindow::savePdf() {
    writePdf();
}

void ElderlyWindow::printList() {
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull()) {
        if (ui::ask(this, QStringLiteral("没有找到可用的打印机。要把名单存为PDF文件吗？")))
            writePdf();
        return;
    }
    const print::ListPages list = pages();
    QPrinter device(printer, QPrinter::HighResolution);
    QPainter painter;
    if (!print::startPrinting(this, device, painter))
        return;
    print::PainterSurface surface(painter, print::Faces::Screen);
    for (int page = 1; page <= list.pageCount(); ++page) {
        if (page > 1)
            device.newPage();
        list.draw(surface, page);
    }
    painter.end();
}

// Row 1 the unit, the date and the summary, row 2 the headers, then one person a row.
void ElderlyWindow::exportList() {
    const QString chosen = ui::dialogs().saveFile(this, QStringLiteral("请输入文件名"),
                                                  session_.filePath(QStringLiteral("高龄提醒.xlsx")),
                                                  QStringLiteral("EXCEL(*.xlsx)"));
    if (chosen.trimmed().isEmpty())
        return;
    const bool done = ui::guard(this, ui::stopWithCause(exchange::kExportFailed), [&] {
        exchange::WorkbookWriter book(exchange::workbookFileName(chosen));
        book.setPlain(0, 0, QStringLiteral("%1 高龄提醒 %2").arg(session_.state().unitName, summary()));
        const QStringList headers = dueHeaders();
        for (int c = 0; c < headers.size(); ++c)
            book.setPlain(1, c, headers.at(c));
        for (std::size_t r = 0; r < due_.size(); ++r) {
            const QStringList cells = dueCells(due_[r]);
            for (int c = 0; c < cells.size(); ++c)
                book.setText(int(r) + 2, c, cells.at(c));
        }
        book.save();
    });
    if (done)
        ui::inform(this, exchange::kExportDone);
}

void ElderlyWindow::openRow(int row) {
    if (row < 0 || row >= int(due_.size()) || !openPerson_)
        return;
    openPerson_(due_[std::size_t(row)].rowid);
}

} // namespace stats
