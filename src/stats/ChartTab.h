#pragma once

#include "stats/AgeBands.h"
#include "stats/ChartData.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QChart;
class QChartView;
class QDateEdit;
class QLabel;
class QListWidget;
class QPainter;
class QPushButton;

namespace Ui {
class ChartTab;
}
namespace store {
class Session;
}

namespace stats {

// What one chart shows, counted before it is drawn; the same content draws the chart on
// screen, in a picture file and on paper.
struct ChartContent {
    enum class Kind { None, Bars, Pyramid };
    Kind kind = Kind::None;
    QString title;
    QString note;          // the line under the chart
    std::vector<Bar> bars; // Bars
    AgeStructure ages;     // Pyramid
};

// A chart of the content, ready for a view or a scene.
std::unique_ptr<QChart> makeChart(const ChartContent& content);
// The chart drawn into `target` of a painter, its text scaled with it.
void renderChart(const ChartContent& content, QPainter& painter, const QRectF& target);
// The chart as a picture of `size` pixels.
QImage chartImage(const ChartContent& content, QSize size);

inline const QSize kChartPictureSize{1600, 1000};

// The statistics window's "图表" tab: one chart at a time, chosen from a list: the age pyramid,
// retirements per year and a bar chart for every coded category.
class ChartTab : public QWidget {
    Q_OBJECT
public:
    // `scope` names the rows to count (a query result) or nothing for every person.
    using Scope = std::function<std::optional<std::vector<qint64>>()>;
    ChartTab(store::Session& session, Scope scope, QWidget* parent = nullptr);
    ~ChartTab() override;

    // The list's entries: "年龄金字塔", "每年退休人数", then the coded categories.
    QStringList chartNames() const;
    // Counts the chart of list row `row` afresh and shows it.
    void showChart(int row);
    // Counts the shown chart again (the scope or the date changed).
    void refresh();
    void savePicture();
    void printChart();
    void savePdf();

    const ChartContent& content() const { return content_; }
    QChart* chart() const;

private:
    ChartContent count(int row);
    bool writePdf(const QString& path);

    store::Session& session_;
    Scope scope_;
    std::unique_ptr<Ui::ChartTab> ui_;
    QListWidget* list_;
    QDateEdit* date_;
    QChartView* view_;
    QLabel* note_;
    QPushButton* picture_;
    QPushButton* print_;
    QPushButton* pdf_;
    ChartContent content_;
};

} // namespace stats
