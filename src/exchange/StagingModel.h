#pragma once

#include "store/RowSource.h"
#include "store/Schema.h"

#include <QAbstractTableModel>

#include <functional>
#include <memory>
#include <vector>

namespace store {
class Database;
class RecordSet;
class Session;
} // namespace store

namespace exchange {

// The review grid over the staging table: values as the workbook writes them, each edit checked
// by its column's rules before it is stored.
class StagingModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `rejected` is told when an edit is refused, with why; `readFailed` when a read for a paint
    // fails (see store::GridReads).
    using Rejected = std::function<void(const std::exception_ptr& why)>;
    StagingModel(store::Database& db, Rejected rejected, store::ReadFailed readFailed = {},
                 QObject* parent = nullptr);
    ~StagingModel() override;

    // Reads the staging table afresh; detach() leaves the grid empty while the table is rewritten.
    void reload();
    void detach();
    // While a job of this session writes, the grid shows the rows it holds (others empty) instead
    // of waiting on the database.
    void followJobs(const store::Session& session) { session_ = &session; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    store::Database& db_;
    Rejected rejected_;
    store::GridReads reads_;
    std::vector<store::TableColumn> columns_;
    std::unique_ptr<store::RecordSet> rows_;
    const store::Session* session_ = nullptr;
};

} // namespace exchange
