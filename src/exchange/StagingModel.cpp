#include "exchange/StagingModel.h"

#include "exchange/Import.h"
#include "exchange/Workbook.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"
#include "store/RecordSet.h"
#include "store/Session.h"

namespace exchange {

StagingModel::StagingModel(store::Database& db, Rejected rejected, store::ReadFailed readFailed,
                           QObject* parent)
    : QAbstractTableModel(parent), db_(db), rejected_(std::move(rejected)),
      reads_(this, std::move(readFailed)) {}

StagingModel::~StagingModel() = default;

void StagingModel::reload() {
    beginResetModel();
    rows_.reset();
    columns_ = records::stagingColumns(db_);
    rows_ = std::make_unique<store::RecordSet>(db_, store::schema::kStaging);
    endResetModel();
}

void StagingModel::detach() {
    beginResetModel();
    rows_.reset();
    endResetModel();
}

int StagingModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !rows_ ? 0 : rows_->count();
}

int StagingModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

// A cell the database cannot give shows empty; the operator hears of it once.
QVariant StagingModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !rows_ || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    QVariantList row;
    if (session_ && session_->jobWriting()) {
        if (const std::optional<QVariantList> held = rows_->cached(index.row()))
            row = *held;
    } else {
        row = reads_.cells(*rows_, index.row());
    }
    if (index.column() >= row.size())
        return {};
    return exchangeText(columns_[std::size_t(index.column())].type, row.at(index.column()));
}

QVariant StagingModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section < int(columns_.size()))
        return columns_[std::size_t(section)].name;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags StagingModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool StagingModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !rows_ || role != Qt::EditRole)
        return false;
    const store::TableColumn& column = columns_[std::size_t(index.column())];
    const qint64 rowid = rows_->rowid(index.row());
    try {
        const std::optional<QVariant> v = columnValue(column, value.toString());
        records::setStagingValue(db_, rowid, column.name, v ? *v : QVariant());
    } catch (...) {
        if (rejected_)
            rejected_(std::current_exception());
        return false;
    }
    rows_->forget(rowid);
    emit dataChanged(index, index);
    return true;
}

} // namespace exchange
