#pragma once

#include <QColor>
#include <QSize>

class QWidget;

namespace ui {

// Windows are laid out for 800 × 600 and scaled to the screen when they open. Picture boxes
// (widgets with the property "pictureBox") move and grow with the window; the status bar's
// panels (property "statusPanel") widen by the horizontal factor.
void setWindow(QWidget& window, QSize screen);
QSize screenSize(const QWidget& window);

// Sizes a window to `size`, or to the screen's free area where that is smaller.
void fitToScreen(QWidget& window, QSize size);
// Sizes it so and centres it: the vertical offset is the free height divided by `verticalDivisor`.
void placeCentred(QWidget& window, QSize size, int verticalDivisor = 2);

// 1/1440 inch at the widget's logical DPI.
int twipsToPixels(const QWidget& widget, int twips);

// Colours are stored as Windows RGB values (red in the low byte).
QColor colourFromWin(qint32 value);
qint32 winFromColour(const QColor& colour);

} // namespace ui
