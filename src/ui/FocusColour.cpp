#include "ui/FocusColour.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QWidget>

namespace ui {

namespace {

void paint(QWidget* box, const QColor& colour) {
    QPalette p = box->palette();
    p.setColor(QPalette::Base, colour);
    box->setPalette(p);
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
        combo->lineEdit()->setPalette(p);
}

} // namespace

FocusColour::FocusColour(QWidget* box, Source inputColour)
    : QObject(box), inputColour_(std::move(inputColour)) {}

void FocusColour::attach(QWidget* box, Source inputColour) {
    auto* filter = new FocusColour(box, std::move(inputColour)); // owned by the box
    box->installEventFilter(filter);
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(filter);
}

bool FocusColour::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QWidget*>(parent());
    if (event->type() == QEvent::FocusIn)
        paint(box, inputColour_());
    else if (event->type() == QEvent::FocusOut)
        paint(box, QApplication::palette(box).color(QPalette::Base));
    return QObject::eventFilter(watched, event);
}

} // namespace ui
