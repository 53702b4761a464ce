#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include <array>
#include <memory>
#include <vector>

namespace Ui {
class LogWindow;
}
namespace store {
class Database;
class Session;
} // namespace store

namespace login {

// The operator log in stored order, read-only.
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

// Form11 "上机记录": the operator log, which the super user may clear.
class LogWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogWindow(store::Session& session, QWidget* parent = nullptr);
    ~LogWindow() override;
    LogModel& model() { return *model_; }

public slots:
    void clearClicked();
    void leaveClicked();

private:
    store::Session& session_;
    std::unique_ptr<Ui::LogWindow> ui_;
    LogModel* model_;
};

} // namespace login
