#include "stats/ChartTab.h"

#include "print/Printer.h"
#include "print/ResultsWindow.h"
#include "print/Surface.h"
#include "records/PersonsTable.h"
#include "stats/PersonsScope.h"
#include "stats/Report.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui_ChartTab.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QDir>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHorizontalStackedBarSeries>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QSignalBlocker>
#include <QValueAxis>

#include <cmath>
#include <stdexcept>

namespace stats {

namespace {

// The chart's text in the program's sans face (the forms' 黑体).
QFont chartFont(double points, bool bold = false) {
    QFont font;
    font.setFamilies(print::familiesFor(QStringLiteral("黑体"), print::Faces::Screen));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// A round step for an axis: 1, 2 or 5 times a power of ten, at least `value`.
qint64 roundUp(qint64 value) {
    if (value <= 1)
        return 1;
    qint64 power = 1;
    while (power * 10 <= value)
        power *= 10;
    for (qint64 step : {1, 2, 5, 10}) {
        if (step * power >= value)
            return step * power;
    }
    return 10 * power;
}

void addBars(QChart& chart, const ChartContent& content) {
    auto* set = new QBarSet(content.title);
    QStringList labels;
    qint64 highest = 0;
    for (const Bar& bar : content.bars) {
        *set << double(bar.count);
        labels << bar.label;
        highest = std::max(highest, bar.count);
    }
    // An axis takes each label once; repeated values keep the report's numbering to stay apart.
    if (QSet<QString>(labels.begin(), labels.end()).size() != labels.size()) {
        for (qsizetype i = 0; i < labels.size(); ++i)
            labels[i] = QString::number(i + 1) + QLatin1Char('.') + labels[i];
    }
    auto* series = new QBarSeries;
    series->append(set);
    // Numbers over the bars while they fit; beyond that the axis gives them.
    series->setLabelsVisible(labels.size() <= 40);
    set->setLabelColor(Qt::black);
    set->setLabelFont(chartFont(labels.size() > 20 ? 7 : 9));
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart.addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(labels);
    x->setLabelsFont(chartFont(labels.size() > 24 ? 7 : 9));
    if (labels.size() > 16)
        x->setLabelsAngle(-90);
    x->setTruncateLabels(false);
    auto* y = new QValueAxis;
    // Four or five steps of a round size, room above the highest bar for its label.
    const qint64 step = roundUp((highest + highest / 10 + 4) / 4);
    y->setRange(0, double(step * ((highest + highest / 10) / step + 1)));
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(double(step));
    y->setLabelFormat(QStringLiteral("%d"));
    y->setLabelsFont(chartFont(9));
    y->setTitleText(QStringLiteral("人数"));
    chart.addAxis(x, Qt::AlignBottom);
    chart.addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    chart.legend()->hide();
}

// Men to the left, women and persons of unknown sex to the right, the youngest band at the foot.
void addPyramid(QChart& chart, const AgeStructure& ages) {
    auto* male = new QBarSet(sexName(Sex::Male));
    auto* female = new QBarSet(sexName(Sex::Female));
    auto* unknown = new QBarSet(sexName(Sex::Unknown));
    QStringList labels;
    qint64 widest = 0;
    for (int b = 0; b < int(AgeBand::Unknown); ++b) {
        const auto band = AgeBand(b);
        const qint64 m = ages.count(band, Sex::Male);
        const qint64 f = ages.count(band, Sex::Female);
        const qint64 u = ages.count(band, Sex::Unknown);
        *male << -double(m);
        *female << double(f);
        *unknown << double(u);
        widest = std::max({widest, m, f + u});
        QString label = bandName(band) + QStringLiteral("（男%1 女%2").arg(m).arg(f);
        if (u > 0)
            label += QStringLiteral(" 未知%1").arg(u);
        labels << label + QStringLiteral("）");
    }
    auto* series = new QHorizontalStackedBarSeries;
    series->append(male);
    series->append(female);
    series->append(unknown);
    series->setBarWidth(0.9);
    chart.addSeries(series);
    auto* y = new QBarCategoryAxis;
    y->append(labels);
    y->setLabelsFont(chartFont(9));
    // Both halves count persons: the left labels read without a sign (and, being an axis's own
    // labels, must differ from the right ones, hence the thin space).
    const qint64 edge = 4 * roundUp((widest + 3) / 4);
    auto* x = new QCategoryAxis;
    x->setRange(-double(edge), double(edge));
    x->setStartValue(-double(edge));
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int i = -4; i <= 4; ++i) {
        const qint64 v = edge * i / 4;
        x->append(i < 0 ? QString::number(-v) + QChar(0x2009) : QString::number(v), double(v));
    }
    x->setLabelsFont(chartFont(9));
    x->setTitleText(QStringLiteral("人数"));
    chart.addAxis(y, Qt::AlignLeft);
    chart.addAxis(x, Qt::AlignBottom);
    series->attachAxis(y);
    series->attachAxis(x);
    chart.legend()->setAlignment(Qt::AlignBottom);
    chart.legend()->setFont(chartFont(9));
}

// The chart on an A4 landscape page, 15 mm from every edge.
void drawPage(const ChartContent& content, QPainter& painter, const QPaintDevice& device) {
    const double perMm = device.logicalDpiX() / 25.4;
    renderChart(content, painter, QRectF(15 * perMm, 15 * perMm, 267 * perMm, 180 * perMm));
}

const QString kPictureFilter = QStringLiteral("PNG图片(*.png)");

} // namespace

std::unique_ptr<QChart> makeChart(const ChartContent& content) {
    auto chart = std::make_unique<QChart>();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setTitle(content.title);
    chart->setTitleFont(chartFont(14, true));
    chart->setBackgroundRoundness(0);
    if (content.kind == ChartContent::Kind::Bars)
        addBars(*chart, content);
    else if (content.kind == ChartContent::Kind::Pyramid)
        addPyramid(*chart, content.ages);
    return chart;
}

void renderChart(const ChartContent& content, QPainter& painter, const QRectF& target) {
    QGraphicsScene scene;
    QChart* chart = makeChart(content).release();
    scene.addItem(chart); // the scene owns it from here
    // Laid out at a screen-like size and scaled to the target, so text keeps its proportion.
    const QSizeF size(960, 960 * target.height() / std::max(1.0, target.width()));
    chart->resize(size);
    chart->layout()->activate();
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene.render(&painter, target, scene.sceneRect());
    painter.restore();
}

QImage chartImage(const ChartContent& content, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderChart(content, painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

ChartTab::ChartTab(store::Session& session, Scope scope, QWidget* parent)
    : QWidget(parent), session_(session), scope_(std::move(scope)), ui_(std::make_unique<Ui::ChartTab>()) {
    ui_->setupUi(this);
    list_ = ui_->ChartList;
    date_ = ui_->AgeDate;
    date_->setDate(session_.now().date());
    view_ = ui_->ChartView;
    view_->setRenderHint(QPainter::Antialiasing);
    note_ = ui_->ChartNote;
    picture_ = ui_->SavePicture;
    print_ = ui_->PrintChart;
    pdf_ = ui_->SavePdf;

    list_->addItems({QStringLiteral("年龄金字塔"), QStringLiteral("每年退休人数")});
    ui::guard(this, ui::silently(), [&] { list_->addItems(codedCategories(session_.db())); });
    connect(list_, &QListWidget::currentRowChanged, this, &ChartTab::showChart);
    connect(date_, &QDateEdit::dateChanged, this, [this] {
        if (content_.kind == ChartContent::Kind::Pyramid)
            refresh();
    });
    connect(picture_, &QPushButton::clicked, this, &ChartTab::savePicture);
    connect(print_, &QPushButton::clicked, this, &ChartTab::printChart);
    connect(pdf_, &QPushButton::clicked, this, &ChartTab::savePdf);
    for (QPushButton* b : {picture_, print_, pdf_})
        b->setEnabled(false);
}

ChartTab::~ChartTab() = default;

QStringList ChartTab::chartNames() const {
    QStringList names;
    for (int i = 0; i < list_->count(); ++i)
        names << list_->item(i)->text();
    return names;
}

QChart* ChartTab::chart() const {
    return view_->chart();
}

ChartContent ChartTab::count(int row) {
    const QString name = list_->item(row)->text();
    const std::optional<std::vector<qint64>> rows = scope_ ? scope_() : std::nullopt;
    const QDate on = date_->date();
    const int lastYear = session_.now().date().year();
    ChartContent content;
    // Counted on a connection of the job's own, narrowed there to the query result when asked.
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::ReadOnly;
    ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl&) {
        std::optional<PersonsScope> scope;
        if (rows)
            scope.emplace(*db, *rows);
        const qint64 persons = scope ? scope->persons() : records::countPersons(*db);
        const QString among = rows ? QStringLiteral("（查询结果 %1 人）").arg(persons) : QString();
        if (row == 0) {
            content.kind = ChartContent::Kind::Pyramid;
            content.ages = ageStructure(*db, on);
            content.title =
                QStringLiteral("年龄金字塔（%1）").arg(on.toString(QStringLiteral("yyyy年M月d日"))) + among;
            content.note = content.ages.summary();
            return;
        }
        const QString item = row == 1 ? kRetirementItem : name;
        const ItemBars bars = itemBars(*db, item, persons, lastYear);
        content.kind = ChartContent::Kind::Bars;
        content.bars = bars.bars;
        content.title = (row == 1 ? name : item + QStringLiteral(" 统计图")) + among;
        content.note = bars.counted ? QStringLiteral("共 %1 人。").arg(persons) : kNotCounted;
    });
    return content;
}

void ChartTab::showChart(int row) {
    if (row < 0 || row >= list_->count())
        return;
    if (list_->currentRow() != row) {
        const QSignalBlocker quiet(list_);
        list_->setCurrentRow(row);
    }
    ChartContent counted;
    const bool done = ui::guard(this, ui::stopWithCause(QStringLiteral("图表没有统计出来。")),
                                [&] { counted = count(row); });
    content_ = done ? std::move(counted) : ChartContent();
    QChart* old = view_->chart();
    view_->setChart(makeChart(content_).release());
    delete old;
    note_->setText(content_.note);
    for (QPushButton* b : {picture_, print_, pdf_})
        b->setEnabled(content_.kind != ChartContent::Kind::None);
}

void ChartTab::refresh() {
    showChart(list_->currentRow());
}

void ChartTab::savePicture() {
    if (content_.kind == ChartContent::Kind::None)
        return;
    QString path = ui::dialogs().saveFile(
        this, QStringLiteral("存为图片"),
        QDir(session_.programFolder()).filePath(content_.title + QStringLiteral(".png")), kPictureFilter);
    if (path.trimmed().isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         chartImage(content_, kChartPictureSize).save(&file, "PNG") && file.commit();
    if (!written) {
        ui::inform(this, QStringLiteral("图片没有存成：%1").arg(QDir::toNativeSeparators(path)),
                   ui::kProgramTitle, ui::Icon::Exclamation);
        return;
    }
    ui::inform(this, QStringLiteral("图表已存为图片：%1").arg(QDir::toNativeSeparators(path)),
               ui::kProgramTitle, ui::Icon::Information);
}

bool ChartTab::writePdf(const QString& path) {
    try {
        return print::writePdfPages(
            path, 1, [&](QPainter& painter, int) { drawPage(content_, painter, *painter.device()); });
    } catch (const std::exception& e) {
        qWarning() << "chart PDF not written:" << e.what();
        return false;
    }
}

void ChartTab::savePdf() {
    if (content_.kind == ChartContent::Kind::None)
        return;
    QString path = ui::dialogs().saveFile(
        this, QStringLiteral("存为PDF文件"),
        QDir(session_.programFolder()).filePath(content_.title + QStringLiteral(".pdf")), print::kPdfFilter);
    if (path.trimmed().isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    if (!writePdf(path)) {
        ui::inform(this, QStringLiteral("PDF文件没有写成。"), ui::kProgramTitle, ui::Icon::Exclamation);
        return;
    }
    ui::inform(this, QStringLiteral("图表已存为PDF文件：%1").arg(QDir::toNativeSeparators(path)),
               ui::kProgramTitle, ui::Icon::Information);
}

void ChartTab::printChart() {
    if (content_.kind == ChartContent::Kind::None)
        return;
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull()) {
        if (ui::ask(this, print::kNoPrinter))
            savePdf();
        return;
    }
    QPrinter device(printer, QPrinter::HighResolution);
    QPainter painter;
    if (!print::startPrinting(this, device, painter))
        return;
    drawPage(content_, painter, device);
    painter.end();
}

} // namespace stats
