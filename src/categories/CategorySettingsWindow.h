#pragma once

#include "categories/CategoryTable.h"
#include "store/Job.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Ui {
class CategorySettingsWindow;
}
namespace store {
class Database;
class Session;
} // namespace store

namespace categories {

// frmOptions2 "类别设置": maintains the value lists of the categories.
class CategorySettingsWindow : public QWidget {
    Q_OBJECT
public:
    // Lists the distinct values of one persons column; given by the opener, which knows the
    // persons table.
    using ColumnScan = std::function<ScanResult(store::Database&, int column, store::JobControl&)>;

    // The safety copy before 转类别 replaces values; given by the opener. False stops the
    // replacement (the operator was told why).
    using BeforeReplace = std::function<bool(QWidget* window)>;

    CategorySettingsWindow(store::Session& session, ColumnScan scan, QWidget* parent = nullptr,
                           BeforeReplace beforeReplace = {});
    ~CategorySettingsWindow() override;

    void selectCategory(int position);

public slots:
    void addClicked();
    void deleteClicked();
    void scanClicked();
    void replaceClicked();
    void leaveClicked();

private:
    ColumnScan scanColumn_;
    BeforeReplace beforeReplace_;
    QString category() const;
    void reloadValues();
    int selectedColumn();

    store::Session& session_;
    std::unique_ptr<Ui::CategorySettingsWindow> ui_;
    // The form's controls by role.
    QListWidget* categories_;
    QListWidget* values_;
    QLineEdit* value_;
    QPushButton* add_;
    QPushButton* delete_;
    QPushButton* scan_;
    QPushButton* replace_;
    QWidget* progressPanel_;
    QLabel* progress_;
};

} // namespace categories
