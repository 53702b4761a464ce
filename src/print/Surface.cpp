#include "print/Surface.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace print {

namespace {

// Text is measured and laid out at 1200 dpi whatever the device.
constexpr double kMeasureDpi = 1200.0;
constexpr double kMeasurePerMm = kMeasureDpi / 25.4;

const QPaintDevice& measuringDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = int(kMeasureDpi / 0.0254 + 0.5);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

// Distance from the top of the em box to the baseline, in ems.
constexpr double kBaseline = 0.86;

// Lines are thin on paper and never thinner than one device pixel on screen.
constexpr double kLineWidthMm = 0.2;

} // namespace

QStringList familiesFor(const QString& name, Faces faces) {
    // The names are compared as the Chinese text they are (QLatin1String would read their UTF-8
    // bytes as Latin-1 letters, and no name would ever match).
    const QString n = name.trimmed();
    const bool pdf = faces == Faces::Pdf;
    if (n == QStringLiteral("黑体"))
        return pdf ? QStringList{QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("AR PL UMing CN")}
                   : QStringList{QStringLiteral("Noto Sans CJK SC")};
    if (n == QStringLiteral("楷体_GB2312") || n == QStringLiteral("楷体"))
        return {QStringLiteral("AR PL UKai CN")};
    // 宋体, 仿宋_GB2312 and any other name: a serif face.
    const QStringList serif =
        pdf ? QStringList{QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UKai CN")}
            : QStringList{QStringLiteral("Noto Serif CJK SC")};
    if (n == QStringLiteral("宋体") || n == QStringLiteral("仿宋_GB2312") || n == QStringLiteral("仿宋") ||
        n.isEmpty())
        return serif;
    return QStringList{n} + serif;
}

void substituteFormFaces() {
    for (const QString& name : kFormFaces)
        QFont::insertSubstitutions(name, familiesFor(name, Faces::Screen));
}

PainterSurface::PainterSurface(QPainter& painter, Faces faces, std::function<void()> onEnd)
    : painter_(painter), faces_(faces), onEnd_(std::move(onEnd)),
      pixelsPerMm_(painter.device()->logicalDpiX() / 25.4) {
    painter_.setTransform(QTransform::fromScale(pixelsPerMm_, pixelsPerMm_));
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setRenderHint(QPainter::TextAntialiasing);
    QPen pen(Qt::black, std::max(kLineWidthMm, 1.0 / pixelsPerMm_));
    pen.setCapStyle(Qt::SquareCap);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    setFont(QStringLiteral("宋体"), 11);
}

void PainterSurface::setFont(const QString& name, double points) {
    font_ = QFont();
    font_.setFamilies(familiesFor(name, faces_));
    font_.setHintingPreference(QFont::PreferNoHinting);
    // A size of 0 or less cannot be drawn; the smallest readable size stands in.
    font_.setPointSizeF(std::max(points, 1.0));
    metrics_.emplace(font_, &measuringDevice());
    // In measuring pixels on the device, so that the glyphs match the measured widths.
    drawFont_ = font_;
    drawFont_.setPointSizeF(font_.pointSizeF() * kMeasureDpi / painter_.device()->logicalDpiY());
}

double PainterSurface::textWidth(const QString& text) {
    return metrics_->horizontalAdvance(text) / kMeasurePerMm;
}

// The height of a line is the em, as the forms' Windows faces measure it; the CJK faces here add
// much leading, which would push the two lines of a split cell over each other.
double PainterSurface::textHeight(const QString&) {
    return font_.pointSizeF() * 25.4 / 72.0;
}

void PainterSurface::drawText(double x, double y, const QString& text) {
    painter_.save();
    painter_.translate(x, y);
    painter_.scale(1.0 / kMeasurePerMm, 1.0 / kMeasurePerMm);
    painter_.setFont(drawFont_);
    // The baseline sits where it sits in the em box of those faces.
    painter_.drawText(QPointF(0, kBaseline * font_.pointSizeF() * kMeasureDpi / 72.0), text);
    painter_.restore();
}

void PainterSurface::line(double x1, double y1, double x2, double y2) {
    painter_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void PainterSurface::rectangle(double x1, double y1, double x2, double y2) {
    painter_.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void PainterSurface::clear(double width, double height) {
    painter_.fillRect(QRectF(0, 0, width, height), Qt::white);
}

void PainterSurface::endDocument() {
    if (onEnd_)
        onEnd_();
}

namespace {

bool fullWidth(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFF60) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

} // namespace

void RecordingSurface::setFont(const QString& name, double points) {
    font_ = name;
    points_ = points;
}

double RecordingSurface::textWidth(const QString& text) {
    double w = 0;
    for (char32_t c : text.toUcs4())
        w += fullWidth(c) ? 1.0 : 0.5;
    return w * em();
}

double RecordingSurface::textHeight(const QString&) {
    return em();
}

void RecordingSurface::drawText(double x, double y, const QString& text) {
    items.append({Op::Text, x, y, 0, 0, text, font_, points_});
}

void RecordingSurface::line(double x1, double y1, double x2, double y2) {
    items.append({Op::Line, x1, y1, x2, y2, {}, {}, 0});
}

void RecordingSurface::rectangle(double x1, double y1, double x2, double y2) {
    items.append({Op::Rectangle, x1, y1, x2, y2, {}, {}, 0});
}

void RecordingSurface::clear(double width, double height) {
    items.append({Op::Clear, 0, 0, width, height, {}, {}, 0});
}

void RecordingSurface::endDocument() {
    items.append({Op::End, 0, 0, 0, 0, {}, {}, 0});
}

QList<RecordingSurface::Item> RecordingSurface::of(Op op) const {
    QList<Item> found;
    for (const Item& i : items) {
        if (i.op == op)
            found.append(i);
    }
    return found;
}

RecordingSurface::Item RecordingSurface::find(const QString& text) const {
    for (const Item& i : items) {
        if (i.op == Op::Text && i.text == text)
            return i;
    }
    return {Op::Text, 0, 0, 0, 0, {}, {}, 0};
}

} // namespace print
