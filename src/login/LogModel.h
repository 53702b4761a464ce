#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <vector>

namespace store {
class Database;
}

namespace login {

// The operator log in stored order, read-only. Its rows are read when it loads (reload throws
// what the read meets), so painting never asks the database.
class LogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LogModel(store::Database& db, QObject* parent = nullptr);
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    store::Database& db_;
    QStringList headers_;
    std::vector<std::array<QString, 3>> rows_;
};

} // namespace login
