#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include <array>
#include <vector>

class QTableView;

namespace store {

class Database;
class Session;

// The operator log in stored order, read-only.
class LogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LogModel(Database& db, QObject* parent = nullptr);
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    Database& db_;
    QStringList headers_;
    std::vector<std::array<QString, 3>> rows_;
};

// Form11 "上机记录".
class LogWindow : public QWidget {
    Q_OBJECT
public:
    LogWindow(Session& session, QWidget* parent = nullptr);
    LogModel& model() { return *model_; }

public slots:
    void clearClicked();
    void leaveClicked();

private:
    Session& session_;
    LogModel* model_;
    QTableView* grid_;
};

} // namespace store
