#include "records/HistoryWindow.h"

#include "records/PersonRecord.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_HistoryWindow.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace records {

namespace {

enum Column { Time, Operator, Number, Name, KindColumn, Field, Old, New, ColumnCount };

const char* const kHeaders[ColumnCount] = {"时间", "操作员", "个人编号", "姓名",
                                           "类别", "项目",   "原值",     "新值"};

} // namespace

void HistoryModel::setRows(std::vector<HistoryRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const HistoryRow& r = at(index.row());
    switch (index.column()) {
    case Time:
        return r.time;
    case Operator:
        return r.operatorName;
    case Number:
        return r.number;
    case Name:
        return r.name;
    case KindColumn:
        return r.kind;
    case Field:
        return r.field;
    case Old:
        return shownHistoryValue(r.field, r.oldValue, r.oldBytes);
    case New:
        return shownHistoryValue(r.field, r.newValue, r.newBytes);
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < ColumnCount)
        return QString::fromUtf8(kHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

HistoryWindow::HistoryWindow(store::Session& session, std::optional<Person> person,
                             std::function<void(qint64)> changed, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::HistoryWindow>()),
      person_(std::move(person)), changed_(std::move(changed)) {
    ui_->setupUi(this);
    ui::placeCentred(*this, {900, 520});
    model_ = new HistoryModel(this);
    QTableView* grid = ui_->HistoryGrid;
    grid->setModel(model_);
    ui::setUpRecordGrid(*grid);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->horizontalHeader()->setStretchLastSection(true);
    // The time to the second, without an ellipsis.
    grid->setColumnWidth(Time,
                         grid->fontMetrics().horizontalAdvance(QStringLiteral("2026-12-07 00:00:00")) + 16);
    const QDate today = session_.now().date();
    ui_->DateFrom->setDate(today.addMonths(-1));
    ui_->DateTo->setDate(today);
    if (person_) {
        ui_->PersonFilter->setText(person_->number);
        setWindowTitle(windowTitle() + QStringLiteral(" - ") + person_->number + QLatin1Char(' ') +
                       person_->name);
    }
    connect(ui_->Search, &QPushButton::clicked, this, &HistoryWindow::search);
    connect(ui_->PersonFilter, &QLineEdit::returnPressed, this, &HistoryWindow::search);
    connect(ui_->Undo, &QPushButton::clicked, this, &HistoryWindow::undoSelected);
    connect(ui_->Restore, &QPushButton::clicked, this, &HistoryWindow::restoreSelected);
    connect(ui_->Leave, &QPushButton::clicked, this, &QWidget::close);

    // A file from before gets the table now; a read-only one has none to show.
    ui::guard(this, ui::silently(), [&] { available_ = ensureHistoryTable(session_.db()); });
    if (!available_) {
        for (QWidget* w : {static_cast<QWidget*>(ui_->Search), static_cast<QWidget*>(ui_->Undo),
                           static_cast<QWidget*>(ui_->Restore)})
            w->setEnabled(false);
        setStatus(kHistoryUnavailable);
        return;
    }
    search();
    ui::fitHeaders(*grid);
}

HistoryWindow::~HistoryWindow() = default;

QString HistoryWindow::statusText() const {
    return ui_->Status->text();
}

void HistoryWindow::setStatus(const QString& text) {
    ui_->Status->setText(text);
}

HistoryFilter HistoryWindow::filter() const {
    HistoryFilter f;
    const QString who = ui_->PersonFilter->text().trimmed();
    // Opened for a person, the window follows that person's row identity until another is asked for.
    if (person_ && who == person_->number)
        f.person = person_->rowid;
    else
        f.personText = who;
    f.operatorName = ui_->OperatorFilter->text().trimmed();
    if (ui_->DateFilter->isChecked()) {
        f.from = ui_->DateFrom->date();
        f.to = ui_->DateTo->date();
    }
    if (ui_->KindFilter->currentIndex() > 0)
        f.kind = ui_->KindFilter->currentText();
    return f;
}

void HistoryWindow::search() {
    const HistoryFilter f = filter();
    std::vector<HistoryRow> rows;
    const bool read = ui::guard(
        this, ui::stopWithCause(kHistoryUnreadable),
        [&] {
            // One person's rows come through an index at once; any other filter may read the
            // whole history, which waits on the runner.
            if (f.narrowsToPerson()) {
                rows = readHistory(session_.db(), f, kRowLimit);
                return;
            }
            ui::JobSetup setup;
            setup.connection = ui::JobSetup::Connection::ReadOnly;
            setup.cancellable = true;
            ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                control.note(0, 0, QStringLiteral("正在读取修改记录……"));
                rows = readHistory(*db, f, kRowLimit);
            });
        },
        ui_->Search->text());
    if (!read)
        return;
    const int count = int(rows.size());
    model_->setRows(std::move(rows));
    setStatus(count >= kRowLimit ? kHistoryLimited.arg(kRowLimit) : kHistoryCount.arg(count));
}

void HistoryWindow::select(const QList<int>& rows) {
    QItemSelectionModel* selection = ui_->HistoryGrid->selectionModel();
    selection->clearSelection();
    for (const int row : rows)
        selection->select(model_->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!rows.isEmpty())
        selection->setCurrentIndex(model_->index(rows.constFirst(), 0), QItemSelectionModel::NoUpdate);
}

std::vector<qint64> HistoryWindow::selectedIds() const {
    std::vector<qint64> ids;
    for (const QModelIndex& index : ui_->HistoryGrid->selectionModel()->selectedRows())
        ids.push_back(model_->at(index.row()).id);
    return ids;
}

namespace {

ui::Mappings refusals() {
    return {ui::when<HistoryRefused>([](const HistoryRefused& e) {
                return ui::stopWith(e.message(), ui::kProgramTitle, ui::Icon::Exclamation);
            }),
            ui::when<RecordMissing>(ui::stopWith(kUndoPersonGone, ui::kProgramTitle, ui::Icon::Exclamation)),
            ui::when<WriteError>(ui::stopWith(kWriteFailed, ui::kProgramTitle, ui::Icon::None))};
}

} // namespace

void HistoryWindow::undoSelected() {
    const std::vector<qint64> ids = selectedIds();
    if (ids.empty()) {
        ui::inform(this, kNothingChosen, ui::kProgramTitle, ui::Icon::Information);
        return;
    }
    std::vector<qint64> persons;
    if (!ui::guard(
            this, ui::stopWithCause(kUndoFailed), refusals(),
            [&] { persons = undoChanges(session_.db(), ids, authorOf(session_)); }, ui_->Undo->text()))
        return;
    for (const qint64 rowid : persons) {
        if (changed_)
            changed_(rowid);
    }
    search();
    setStatus(kUndone);
}

void HistoryWindow::restoreSelected() {
    const std::vector<qint64> ids = selectedIds();
    if (ids.empty()) {
        ui::inform(this, kNothingChosen, ui::kProgramTitle, ui::Icon::Information);
        return;
    }
    Restored restored;
    if (!ui::guard(
            this, ui::stopWithCause(kRestoreFailed), refusals(),
            [&] { restored = restorePerson(session_.db(), ids.front(), authorOf(session_)); },
            ui_->Restore->text()))
        return;
    if (changed_)
        changed_(restored.rowid);
    search();
    if (restored.number != restored.originalNumber)
        ui::inform(this, kRestoredNumberTaken.arg(restored.originalNumber, restored.number),
                   ui::kProgramTitle, ui::Icon::Information);
    setStatus(kRestoredAs.arg(restored.number));
}

} // namespace records
