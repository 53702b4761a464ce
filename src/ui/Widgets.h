#pragma once

#include <QList>
#include <QStyle>

#include <functional>
#include <initializer_list>

class QAction;
class QLabel;
class QTableView;
class QToolBar;

namespace ui {

// A toolbar button by its key; a null key stands for a separator.
struct ToolButton {
    const char* key;
    const char* caption;
    QStyle::StandardPixmap icon;
};

// Adds the buttons with their keys as object names; each runs `run(key)`.
QList<QAction*> addToolButtons(QToolBar& bar, std::initializer_list<ToolButton> buttons,
                               const std::function<void(const QString&)>& run);
QAction* findAction(const QList<QAction*>& actions, const QString& key);

// A read-only grid of records, one row selected at a time, rows of one height.
void setUpRecordGrid(QTableView& grid);

// Shows a progress text and lets the window repaint; nothing when the text is unchanged, so a
// loop may call it for every row.
void showProgress(QLabel& label, const QString& text);

} // namespace ui
