#include "login/LogModel.h"

#include "store/Database.h"
#include "store/OperatorLog.h"
#include "store/Schema.h"

namespace login {

LogModel::LogModel(store::Database& db, QObject* parent) : QAbstractTableModel(parent), db_(db) {
    reload();
}

void LogModel::reload() {
    // Read first: a read that fails leaves the grid as it was.
    QStringList headers = db_.columnNames(store::schema::kLog);
    std::vector<std::array<QString, 3>> rows = store::readLogRows(db_);
    beginResetModel();
    headers_ = std::move(headers);
    rows_ = std::move(rows);
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

} // namespace login
