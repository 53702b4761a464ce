#pragma once

#include <QObject>

#include <functional>

class QColor;
class QWidget;

namespace ui {

// The input box that has the focus takes the input colour; it returns to the normal base
// colour when it loses the focus. The colour is read at each focus change, so a new choice
// applies at once.
class FocusColour : public QObject {
    Q_OBJECT
public:
    using Source = std::function<QColor()>;
    static void attach(QWidget* box, Source inputColour);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FocusColour(QWidget* box, Source inputColour);
    Source inputColour_;
};

} // namespace ui
