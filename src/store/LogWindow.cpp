#include "store/LogWindow.h"

#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace store {

LogModel::LogModel(Database& db, QObject* parent) : QAbstractTableModel(parent), db_(db) {
    reload();
}

void LogModel::reload() {
    beginResetModel();
    headers_ = db_.columnNames(QStringLiteral("user"));
    rows_ = readLogRows(db_);
    endResetModel();
}

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int LogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return rows_[std::size_t(index.row())][std::size_t(index.column())];
    if (role == Qt::TextAlignmentRole)
        return int((index.column() < 2 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section < headers_.size())
        return headers_.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

LogWindow::LogWindow(Session& session, QWidget* parent) : QWidget(parent, Qt::Window), session_(session) {
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("上机记录"));
    ui::placeCentred(*this, {620, 420});

    ui::writeLog(this, session_, QStringLiteral("查看上机记录"));

    model_ = new LogModel(session_.db(), this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setModel(model_);
    ui::setUpRecordGrid(*grid_);
    grid_->setColumnWidth(0, ui::twipsToPixels(*this, 3000));
    grid_->setColumnWidth(1, ui::twipsToPixels(*this, 1500));
    grid_->setColumnWidth(2, ui::twipsToPixels(*this, 3500));

    auto* clear = new QPushButton(QStringLiteral("清除记录"), this);
    clear->setObjectName(QStringLiteral("Command2"));
    auto* leave = new QPushButton(QStringLiteral("退出"), this);
    leave->setObjectName(QStringLiteral("Command1"));
    connect(clear, &QPushButton::clicked, this, &LogWindow::clearClicked);
    connect(leave, &QPushButton::clicked, this, &LogWindow::leaveClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(leave);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    if (model_->rowCount() > 0)
        grid_->selectRow(0);
}

void LogWindow::clearClicked() {
    if (!session_.state().isSuperUser()) {
        ui::inform(this, QStringLiteral("您不是超级用户，没有此权限！"), QStringLiteral("请记住了！"),
                   ui::Icon::Information);
        return;
    }
    if (!ui::confirm(this, QStringLiteral("真的清除上机记录吗？")))
        return;
    ui::guard(this, ui::stopWithCause(QStringLiteral("上机记录没有清除。")), [&] { session_.log().clear(); });
    ui::guard(this, ui::silently(), [&] { model_->reload(); });
}

void LogWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出查看上机记录"));
    close();
}

} // namespace store
