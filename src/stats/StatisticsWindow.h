#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace Ui {
class StatisticsWindow;
}
namespace store {
class Session;
}

namespace stats {

class ChartTab;

// Form8 "资料统计": counts, shares, year counts and aggregates as a text report.
class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsWindow(store::Session& session, QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    void addItem();
    void removeItem();
    void buildReport();
    void output();
    void leave();

    QString report() const;
    // Puts the window at the top left of the screen's free area, below the menu of a maximised
    // main window, as large as the area allows.
    void placeAtTopLeft();
    // Opens the written report; the desktop's text editor by default.
    // Opens the report in the desktop's text editor; false when none could be started.
    std::function<bool(const QString& path)> openInEditor;

    // The rows to count when "按查询结果统计" is ticked and a query has run; nothing otherwise.
    std::optional<std::vector<qint64>> scope() const;
    ChartTab* charts() const { return charts_; }

private:
    store::Session& session_;
    std::unique_ptr<Ui::StatisticsWindow> ui_;
    qint64 persons_ = 0;
    // The form's controls the handlers use.
    QListWidget* categories_;
    QListWidget* items_;
    QPushButton* add_;
    QPushButton* remove_;
    QPlainTextEdit* result_;
    QWidget* progressPanel_;
    QLabel* progress_;

    void addChartsAndScope();
    void scopeChanged(bool byResults);
    QCheckBox* byResults_ = nullptr;
    QLabel* resultsNote_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    ChartTab* charts_ = nullptr;
};

inline const QString kNoQueryResult =
    QStringLiteral("还没有查询结果。请先在“综合查询”中查询，再勾选“按查询结果统计”。");

} // namespace stats
