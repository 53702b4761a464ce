#include "exchange/ImportWindow.h"

#include "ui_ImportWindow.h"

#include "exchange/Import.h"
#include "exchange/Preview.h"
#include "exchange/PreviewWindow.h"
#include "exchange/SafetyCopies.h"
#include "exchange/SafetyCopyStep.h"
#include "exchange/StagingModel.h"
#include "exchange/Workbook.h"
#include "records/DataCheckWindow.h"
#include "records/PersonRecord.h"
#include "records/PersonsBulk.h"
#include "records/PersonsTable.h"
#include "records/StagingTable.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/ModelReads.h"
#include "ui/Window.h"
#include "ui/WorkLock.h"

#include <QFileInfo>
#include <QHeaderView>

namespace exchange {

namespace {

QString cellMessage(const QString& reference) {
    return QStringLiteral("出错！请检查EXCEL文件“") + reference + QStringLiteral("”单元格数据。");
}

// The cell message, and on its own line why: what the column takes, what the cell holds, or
// the cause of a database failure (a value the table refuses needs none).
QString rejectedMessage(const CellRejected& e) {
    QString text = cellMessage(e.reference());
    if (const auto& database = e.databaseError()) {
        if (!database->isConstraint())
            text += QStringLiteral("\n") + ui::causeOf(*database);
    } else if (!e.detail().isEmpty()) {
        text += QStringLiteral("\n") + e.detail();
    }
    return text;
}

QString unreadableMessage(const WorkbookError& e, const QString& file) {
    const QString name = QFileInfo(file).fileName();
    switch (e.kind()) {
    case WorkbookError::Kind::NotAWorkbook:
        return QStringLiteral("文件“%1”不是EXCEL文件，不能导入。").arg(name);
    case WorkbookError::Kind::CannotOpen:
        return QStringLiteral("文件“%1”打不开，不能导入。").arg(name);
    case WorkbookError::Kind::Damaged:
        break;
    }
    return QStringLiteral("EXCEL文件“%1”已损坏，不能读出。").arg(name);
}

} // namespace

ImportWindow::ImportWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::Form13>()) {
    ui_->setupUi(this);
    model_ = new StagingModel(
        session_.db(),
        [this](const std::exception_ptr& why) {
            ui::guard(
                this, ui::stopWith(records::kWriteFailed, ui::kProgramTitle, ui::Icon::None),
                [&] { std::rethrow_exception(why); }, QStringLiteral("修改表格"));
        },
        ui::tellOncePerBurst(this), this);
    model_->followJobs(session_);
    ui_->DBGrid1->setModel(model_);
    ui_->DBGrid1->verticalHeader()->setDefaultSectionSize(22);
    ui_->DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed);
    connect(ui_->Command1, &QPushButton::clicked, this, &ImportWindow::openWorkbook);
    connect(ui_->Command4, &QPushButton::clicked, this, &ImportWindow::reviewAgain);
    connect(ui_->Command2, &QPushButton::clicked, this, &ImportWindow::importStaging);
    connect(ui_->Command3, &QPushButton::clicked, this, &QWidget::close);
    ui::placeCentred(*this, size());
    ui::guard(this, ui::silently(), [this] { model_->reload(); });
}

ImportWindow::~ImportWindow() = default;

void ImportWindow::showProgress(const store::Progress& progress) {
    ui_->Label1->setText(progress.text);
}

void ImportWindow::openWorkbook() {
    // The staging table is shared on a server: filling it is bulk work too.
    const auto lock = ui::takeBulkLock(this, session_, store::BulkWork::ImportExcel, ui::kProgramTitle);
    if (!lock)
        return;
    ui_->Command2->setEnabled(false);
    const QString file =
        ui::dialogs().openFile(this, QStringLiteral("请选择要导入的文件！"), session_.programFolder(),
                               QStringLiteral("EXCEL(*.xlsx *.xls)"));
    ui_->Text1->setText(file);
    if (file.isEmpty())
        return;
    model_->detach();
    int row = 0;
    UnreadRows unread;
    ui::JobSetup setup;
    setup.cancellable = true;
    setup.show = [this](const store::Progress& p) { showProgress(p); };
    // The staging table is shown again, whatever happened, before the message says how it went.
    bool settled = false;
    const auto settle = [&] {
        if (settled)
            return;
        settled = true;
        ui::guard(this, ui::silently(), [this] { model_->reload(); });
        ui_->Label1->clear();
    };
    const auto refuse = [&](const QString& text) {
        settle();
        return ui::stopWith(text, ui::kProgramTitle, ui::Icon::None);
    };
    const bool staged = ui::guard(
        this, ui::silently(),
        {ui::when<store::Cancelled>(
             [&](const store::Cancelled&) { return refuse(ui::kCancelledNothingChanged); }),
         ui::when<TitleMismatch>([&](const TitleMismatch& e) {
             return refuse(QStringLiteral("文件格式不符合！请查列标题“") + e.cellText() +
                           QStringLiteral("”"));
         }),
         ui::when<CellRejected>([&](const CellRejected& e) {
             qCWarning(lcWindow) << "reading the workbook failed at" << e.reference() << ":" << e.what();
             return refuse(rejectedMessage(e));
         }),
         ui::when<WorkbookError>([&](const WorkbookError& e) { return refuse(unreadableMessage(e, file)); }),
         ui::when<std::exception>([&](const std::exception& e) {
             return refuse(cellMessage(QStringLiteral("A%1").arg(row + 3)) + QStringLiteral("\n") +
                           ui::causeOf(e));
         })},
        [&] {
            ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                stageWorkbook(
                    *db, file,
                    [&](int n) {
                        row = n;
                        control.report(n, 0,
                                       QStringLiteral("正在检查EXCEL文件记录完整性！第%1条记录。").arg(n));
                    },
                    &unread);
            });
        });
    settle();
    if (!staged)
        return;
    // Rows left below a blank column A would be dropped by the import without a word.
    ui::inform(this, unread.count > 0 ? kStagingChecked + QStringLiteral("\n") + unreadRowsText(unread)
                                      : kStagingChecked);
    records::tellStagedIdNumbers(this, session_);
    ui_->Command2->setEnabled(true);
}

void ImportWindow::reviewAgain() {
    if (ui::guard(this, ui::silently(), [this] { model_->reload(); }))
        ui_->Command2->setEnabled(true);
}

void ImportWindow::importStaging() {
    const auto lock = ui::takeBulkLock(this, session_, store::BulkWork::ImportExcel, ui::kProgramTitle);
    if (!lock)
        return;
    // How many persons go and how many come, so that a short staging table is noticed in time.
    QString question = kImportQuestion;
    qint64 persons = 0;
    qint64 staged = 0;
    // Counting 100,000 rows takes a while: a job of its own, so that the windows keep painting.
    ui::JobSetup counting;
    counting.connection = ui::JobSetup::Connection::ReadOnly;
    if (ui::guard(this, ui::silently(), [&] {
            ui::runJob(this, session_, counting, [&](store::Database* db, store::JobControl&) {
                persons = records::countPersons(*db);
                staged = records::countStaging(*db);
            });
        }))
        question += QStringLiteral("\r\n") + replacementText(persons, staged);
    if (!ui::confirm(this, question))
        return;
    // What the replacement would change, counted before anything is written.
    ReplacementPreview preview;
    ui::JobSetup previewing = counting;
    previewing.cancellable = true;
    previewing.show = [this](const store::Progress& p) { showProgress(p); };
    const bool previewed = ui::guard(this, ui::stopWithCause(kImportFailed), {ui::whenCancelled()}, [&] {
        ui::runJob(this, session_, previewing, [&](store::Database* db, store::JobControl& control) {
            preview = previewImport(*db, control);
        });
    });
    ui_->Label1->clear();
    if (!previewed || !confirmPreview(this, PreviewOf::Import, preview) ||
        !safetyCopyBefore(this, session_, kCopyBeforeImport, ui_->Label1))
        return;
    records::Replacement result;
    ui::JobSetup setup;
    setup.cancellable = true;
    setup.show = [this](const store::Progress& p) { showProgress(p); };
    const records::Author author = records::authorOf(session_);
    const bool done =
        ui::guard(this, ui::stopWith(kImportFailed, ui::kProgramTitle, ui::Icon::None),
                  {ui::when<store::Cancelled>([this](const store::Cancelled&) {
                      // The progress line goes before the message comes.
                      ui_->Label1->clear();
                      return ui::stopWith(ui::kCancelledNothingChanged, ui::kProgramTitle, ui::Icon::None);
                  })},
                  [&] {
                      ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                          result = records::replacePersons(*db, [&](qint64 n) {
                              control.report(n, staged, QStringLiteral("正在导入第%1条记录。").arg(n));
                          });
                          records::recordBulkChange(*db, author, records::kImportWhat, result.persons);
                      });
                  });
    ui_->Label1->clear();
    if (!done)
        return;
    ui::inform(this, QStringLiteral("导入完毕！共导入%1条记录！").arg(result.persons));
    ui_->Label1->setText(QStringLiteral("已保留原有相片%1张。").arg(result.photosKept));
}

} // namespace exchange
