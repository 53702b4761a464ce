#include "records/DataCheckWindow.h"

#include "records/PersonsTable.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_DataCheckWindow.h"

#include <QAbstractTableModel>
#include <QHeaderView>

namespace records {

class FindingsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setReport(const DataCheckReport* report) {
        beginResetModel();
        report_ = report;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !report_ ? 0 : int(report_->findings.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 5; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || role != Qt::DisplayRole)
            return {};
        const Finding& f = report_->findings[std::size_t(index.row())];
        switch (index.column()) {
        case 0:
            return faultName(f.fault);
        case 1:
            return f.number;
        case 2:
            return f.name;
        case 3:
            return f.idNumber;
        default:
            return f.detail;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const QStringList headers = {QStringLiteral("问题"), QStringLiteral("个人编号"),
                                            QStringLiteral("姓名"), QStringLiteral("身份证号码"),
                                            QStringLiteral("说明")};
        if (role == Qt::DisplayRole && orientation == Qt::Horizontal)
            return headers.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    const DataCheckReport* report_ = nullptr;
};

DataCheckWindow::DataCheckWindow(store::Session& session, OpenPerson openPerson, QWidget* parent,
                                 ExportGrid exportGrid)
    : QWidget(parent, Qt::Window), session_(session), openPerson_(std::move(openPerson)),
      exportGrid_(std::move(exportGrid)), ui_(std::make_unique<Ui::DataCheckWindow>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("DataCheck"));
    model_ = new FindingsModel(this);
    ui_->Grid->setModel(model_);
    ui::setUpRecordGrid(*ui_->Grid);
    ui_->Grid->horizontalHeader()->setStretchLastSection(true);
    for (const auto& [column, width] : {std::pair{0, 160}, {1, 70}, {2, 70}, {3, 150}})
        ui_->Grid->setColumnWidth(column, width);
    connect(ui_->Grid, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { openRow(i.row()); });
    connect(ui_->Recheck, &QPushButton::clicked, this, &DataCheckWindow::recheck);
    connect(ui_->ConvertAll, &QPushButton::clicked, this, &DataCheckWindow::convertAll);
    connect(ui_->Export, &QPushButton::clicked, this, &DataCheckWindow::exportReport);
    connect(ui_->Leave, &QPushButton::clicked, this, &QWidget::close);
    ui::placeCentred(*this, {760, 480});
    recheck();
}

DataCheckWindow::~DataCheckWindow() = default;

void DataCheckWindow::recheck() {
    model_->setReport(nullptr);
    report_ = DataCheckReport();
    const QDate today = session_.now().date();
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::ReadOnly;
    setup.cancellable = true;
    setup.show = [this](const store::Progress& p) { ui_->Summary->setText(p.text); };
    bool cancelled = false;
    ui::guard(this, ui::stopWith(QStringLiteral("数据检查没有完成，请检查数据库文件。")),
              {ui::when<store::Cancelled>([&](const store::Cancelled&) {
                  cancelled = true;
                  return ui::silently();
              })},
              [&] {
                  DataCheckReport found;
                  ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                      found = checkData(*db, today, control);
                  });
                  report_ = std::move(found);
              });
    model_->setReport(&report_);
    ui_->Summary->setText(cancelled ? QStringLiteral("检查已取消。")
                                    : QStringLiteral("共检查 %1 人，发现问题 %2 项。")
                                          .arg(report_.persons)
                                          .arg(report_.findings.size()));
    ui_->ConvertAll->setEnabled(report_.count(Fault::OldId) > 0);
    ui_->Export->setEnabled(report_.persons > 0);
}

void DataCheckWindow::convertAll() {
    const int old = report_.count(Fault::OldId);
    if (old == 0)
        return;
    if (!ui::confirm(this, QStringLiteral("将 %1 个15位身份证号码全部转换为18位吗？").arg(old)))
        return;
    const QDate today = session_.now().date();
    ui::JobSetup setup;
    setup.cancellable = true; // one transaction: 取消 rolls it back
    setup.show = [this](const store::Progress& p) { ui_->Summary->setText(p.text); };
    const QString summary = ui_->Summary->text();
    int converted = 0;
    bool cancelled = false;
    const Author author = authorOf(session_);
    const bool done =
        ui::guard(this, ui::stopWithCause(QStringLiteral("转换没有完成，身份证号码都保持原样。")),
                  {ui::when<store::Cancelled>([&](const store::Cancelled&) {
                      cancelled = true;
                      return ui::stopWith(ui::kCancelledNothingChanged, ui::kProgramTitle, ui::Icon::None);
                  })},
                  [&] {
                      ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                          converted = convertOldIdNumbers(*db, today, control);
                          if (converted > 0)
                              recordBulkChange(*db, author, kConvertIdsWhat, converted);
                      });
                  });
    if (cancelled) {
        recheck();
        return;
    }
    if (!done) {
        ui_->Summary->setText(summary);
        return;
    }
    ui::inform(this, QStringLiteral("已将 %1 个身份证号码转换为18位。").arg(converted), ui::kProgramTitle,
               ui::Icon::Information);
    recheck();
}

// Row 1 the unit, the date and the counts, row 2 the grid's headers, then one finding a row.
void DataCheckWindow::exportReport() {
    const QString chosen = ui::dialogs().saveFile(this, QStringLiteral("请输入文件名"),
                                                  session_.filePath(QStringLiteral("数据检查.xlsx")),
                                                  QStringLiteral("EXCEL(*.xlsx)"));
    if (chosen.trimmed().isEmpty() || !exportGrid_)
        return;
    exportGrid_(this, chosen,
                QStringLiteral("%1 数据检查 %2 %3")
                    .arg(session_.state().unitName,
                         session_.now().date().toString(QStringLiteral("yyyy年MM月dd日")),
                         ui_->Summary->text()),
                *model_);
}

void DataCheckWindow::openRow(int row) {
    if (row < 0 || row >= int(report_.findings.size()) || !openPerson_)
        return;
    const qint64 rowid = report_.findings[std::size_t(row)].rowid;
    // The entry window opens here: one that cannot open says so, and this window stays.
    ui::guard(
        this, ui::stopWithCause(QStringLiteral("信息录入没有打开。")), [&] { openPerson_(rowid); },
        QStringLiteral("打开人员"));
}

void tellStagedIdNumbers(QWidget* parent, store::Session& session) {
    IdSummary ids;
    if (ui::guard(parent, ui::silently(),
                  [&] { ids = summariseStagedIds(session.db(), session.now().date()); }) &&
        !ids.isClean())
        ui::inform(parent, ids.message(), ui::kProgramTitle, ui::Icon::Information);
}

void tellSharedIdNumbers(QWidget* parent, store::Session& session) {
    int sharing = 0;
    if (ui::guard(parent, ui::silently(),
                  [&] { sharing = personsSharingIds(session.db(), session.now().date()); }))
        tellSharedIdNumbers(parent, sharing);
}

void tellSharedIdNumbers(QWidget* parent, int sharing) {
    if (sharing > 0)
        ui::inform(
            parent,
            QStringLiteral("合并后共有 %1 人的身份证号码与其他人员相同，可在“人员管理”的“数据检查”中查看。")
                .arg(sharing),
            ui::kProgramTitle, ui::Icon::Information);
}

} // namespace records
