#include "records/PersonListModel.h"

#include "records/PersonColumns.h"
#include "store/RecordSet.h"
#include "store/Session.h"

namespace records {

PersonListModel::PersonListModel(QStringList headers, store::ReadFailed readFailed, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)), reads_(this, std::move(readFailed)) {
    headers_ = headers_.mid(0, kPhoto);
}

void PersonListModel::setList(store::RecordSet* list) {
    beginResetModel();
    list_ = list;
    endResetModel();
}

void PersonListModel::refresh() {
    beginResetModel();
    endResetModel();
}

void PersonListModel::append(qint64 rowid) {
    const int row = list_->count();
    beginInsertRows({}, row, row);
    list_->append(rowid);
    endInsertRows();
}

void PersonListModel::removeCurrent() {
    const int row = list_->position();
    if (list_->currentRowid() < 0)
        return;
    beginRemoveRows({}, row, row);
    list_->removeCurrent();
    endRemoveRows();
}

void PersonListModel::rowChanged(int row) {
    if (row < 0 || row >= list_->count())
        return;
    list_->forget(list_->rowid(row));
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int PersonListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !list_ ? 0 : list_->count();
}

int PersonListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(headers_.size());
}

QVariant PersonListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !list_)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    // A row on a damaged page shows as empty cells; painting must not fail.
    QVariantList row;
    if (session_ && session_->jobWriting()) {
        if (const std::optional<QVariantList> held = list_->cached(index.row()))
            row = *held;
    } else {
        row = reads_.cells(*list_, index.row());
    }
    if (index.column() >= row.size())
        return {};
    const QVariant& v = row.at(index.column());
    const PersonColumn& column = personColumn(index.column());
    if (column.kind == Kind::YesNo)
        return v.isNull() ? QVariant()
                          : QVariant(v.toLongLong() ? QStringLiteral("是") : QStringLiteral("否"));
    if (column.kind == Kind::Memo)
        return v.toString().section(QLatin1Char('\n'), 0, 0);
    return v;
}

QVariant PersonListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section < headers_.size())
        return headers_.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace records
