#include "ui/Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace ui {

namespace {

QRect scaled(const QRect& r, float sx, float sy) {
    return QRect(int(std::lround(r.x() * sx)), int(std::lround(r.y() * sy)), int(std::lround(r.width() * sx)),
                 int(std::lround(r.height() * sy)));
}

} // namespace

void setWindow(QWidget& window, QSize screen) {
    const float sx = float(screen.width()) / 800.0f;
    const float sy = float(screen.height()) / 600.0f;
    if (sx == 1.0f && sy == 1.0f)
        return;
    window.setGeometry(scaled(window.geometry(), sx, sy));
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (child->property("pictureBox").toBool()) {
            child->setGeometry(scaled(child->geometry(), sx, sy));
        } else if (child->property("statusPanel").toBool()) {
            child->setFixedWidth(int(std::lround(child->width() * sx)));
        }
    }
}

QSize screenSize(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(800, 600);
}

namespace {

QRect freeArea(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

} // namespace

void fitToScreen(QWidget& window, QSize size) {
    window.resize(size.boundedTo(freeArea(window).size()));
}

void placeCentred(QWidget& window, QSize size, int verticalDivisor) {
    fitToScreen(window, size);
    const QRect area = freeArea(window);
    const QSize frame = window.frameGeometry().size();
    window.move(area.x() + std::max(0, (area.width() - frame.width()) / 2),
                area.y() + std::max(0, (area.height() - frame.height()) / verticalDivisor));
}

int twipsToPixels(const QWidget& widget, int twips) {
    return int(std::lround(twips * widget.logicalDpiX() / 1440.0));
}

QColor colourFromWin(qint32 value) {
    const quint32 v = quint32(value);
    return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
}

qint32 winFromColour(const QColor& colour) {
    return qint32(quint32(colour.red()) | (quint32(colour.green()) << 8) | (quint32(colour.blue()) << 16));
}

} // namespace ui
