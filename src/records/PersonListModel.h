#pragma once

#include "store/RowSource.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace store {
class RecordSet;
class Session;
} // namespace store

namespace records {

// The entry window's list grid: every column but the photo, rows read on demand.
class PersonListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `readFailed` is told when a read for a paint fails (see store::GridReads).
    explicit PersonListModel(QStringList headers, store::ReadFailed readFailed = {},
                             QObject* parent = nullptr);
    void setList(store::RecordSet* list);
    // While a job of this session writes, the grid shows the rows it holds (others empty) instead
    // of waiting on the database.
    void followJobs(const store::Session& session) { session_ = &session; }
    void refresh();
    // Changes of the list made through the model, so that views keep their current row.
    void append(qint64 rowid);
    void removeCurrent();
    void rowChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList headers_;
    store::GridReads reads_;
    store::RecordSet* list_ = nullptr;
    const store::Session* session_ = nullptr;
};

} // namespace records
