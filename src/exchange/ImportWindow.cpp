#include "exchange/ImportWindow.h"

#include "ui_ImportWindow.h"

#include "exchange/ExchangeTables.h"
#include "exchange/Import.h"
#include "exchange/StagingModel.h"
#include "records/DataCheckWindow.h"
#include "records/PersonRecord.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QHeaderView>

namespace exchange {

ImportWindow::ImportWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::Form13>()) {
    ui_->setupUi(this);
    model_ = new StagingModel(
        session_.db(), [this] { ui::inform(this, records::kWriteFailed); }, this);
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

void ImportWindow::progress(const QString& text, bool last) {
    if (!last && shown_.isValid() && shown_.elapsed() < 100)
        return;
    ui::showProgress(*ui_->Label1, text);
    shown_.restart();
}

void ImportWindow::openWorkbook() {
    ui_->Command2->setEnabled(false);
    const QString file =
        ui::dialogs().openFile(this, QStringLiteral("请选择要导入的文件！"), session_.programFolder(),
                               QStringLiteral("EXCEL(*.xlsx *.xls)"));
    ui_->Text1->setText(file);
    if (file.isEmpty())
        return;
    model_->detach();
    int row = 0;
    bool staged = false;
    QString failure;
    try {
        shown_.invalidate();
        stageWorkbook(session_.db(), file, [this, &row](int n) {
            row = n;
            progress(QStringLiteral("正在检查EXCEL文件记录完整性！第%1条记录。").arg(n));
        });
        staged = true;
    } catch (const TitleMismatch& e) {
        failure = QStringLiteral("文件格式不符合！请查列标题“") + e.cellText() + QStringLiteral("”");
    } catch (const CellRejected& e) {
        failure = QStringLiteral("出错！请检查EXCEL文件“") + e.reference() + QStringLiteral("”单元格数据。");
    } catch (const std::exception& e) {
        qCWarning(lcWindow) << "reading the workbook failed:" << e.what();
        failure = QStringLiteral("出错！请检查EXCEL文件“A%1”单元格数据。").arg(row + 3);
    }
    ui::guard(this, ui::silently(), [this] { model_->reload(); });
    ui_->Label1->clear();
    if (!staged) {
        ui::inform(this, failure);
        return;
    }
    ui::inform(this, kStagingChecked);
    records::tellStagedIdNumbers(this, session_);
    ui_->Command2->setEnabled(true);
}

void ImportWindow::reviewAgain() {
    if (ui::guard(this, ui::silently(), [this] { model_->reload(); }))
        ui_->Command2->setEnabled(true);
}

void ImportWindow::importStaging() {
    if (!ui::confirm(this, kImportQuestion))
        return;
    Replacement result;
    shown_.invalidate();
    const bool done = ui::guard(this, ui::stopWith(kImportFailed, ui::kProgramTitle, ui::Icon::None), [&] {
        result = replacePersons(
            session_.db(), [this](qint64 n) { progress(QStringLiteral("正在导入第%1条记录。").arg(n)); });
    });
    ui_->Label1->clear();
    if (!done)
        return;
    ui::inform(this, QStringLiteral("导入完毕！共导入%1条记录！").arg(result.persons));
    ui_->Label1->setText(QStringLiteral("已保留原有相片%1张。").arg(result.photosKept));
}

} // namespace exchange
