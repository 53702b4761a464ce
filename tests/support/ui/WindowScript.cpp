#include "ui/WindowScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTreeWidget>
#include <QWidget>

namespace ui {

PressWhenShown::PressWhenShown(QString title, QString button)
    : title_(std::move(title)), button_(std::move(button)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(5);
}

PressWhenShown::~PressWhenShown() = default;

QString PressWhenShown::label(const QString& name) const {
    const qsizetype at = labelNames_.indexOf(name);
    return at < 0 ? QString() : labelTexts_.at(at);
}

void PressWhenShown::poll() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || window->windowTitle() != title_)
            continue;
        auto* button = window->findChild<QAbstractButton*>(button_);
        if (!button)
            continue;
        labelNames_.clear();
        labelTexts_.clear();
        rows_.clear();
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            labelNames_ << label->objectName();
            labelTexts_ << label->text();
        }
        for (const QTreeWidget* list : window->findChildren<QTreeWidget*>()) {
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                QStringList columns;
                for (int c = 0; c < list->columnCount(); ++c)
                    columns << list->topLevelItem(i)->text(c);
                rows_ << columns.join(QStringLiteral(" | "));
            }
        }
        ++pressed_;
        button->click();
        return;
    }
}

} // namespace ui
