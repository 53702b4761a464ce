#include "ui/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QToolBar>

namespace ui {

QList<QAction*> addToolButtons(QToolBar& bar, std::initializer_list<ToolButton> buttons,
                               const std::function<void(const QString&)>& run) {
    bar.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QList<QAction*> actions;
    for (const ToolButton& b : buttons) {
        if (!b.key) {
            bar.addSeparator();
            continue;
        }
        QAction* action = bar.addAction(bar.style()->standardIcon(b.icon), QString::fromUtf8(b.caption));
        const QString key = QString::fromLatin1(b.key);
        action->setObjectName(key);
        QObject::connect(action, &QAction::triggered, &bar, [run, key] { run(key); });
        actions << action;
    }
    return actions;
}

QAction* findAction(const QList<QAction*>& actions, const QString& key) {
    for (QAction* a : actions) {
        if (a->objectName() == key)
            return a;
    }
    return nullptr;
}

void setUpRecordGrid(QTableView& grid) {
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.verticalHeader()->setDefaultSectionSize(22);
}

void showProgress(QLabel& label, const QString& text) {
    if (label.text() == text)
        return;
    label.setText(text);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace ui
