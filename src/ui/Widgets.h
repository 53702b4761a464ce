#pragma once

#include <QAction>
#include <QList>
#include <QStyle>
#include <QToolBar>

#include <functional>
#include <initializer_list>

class QAction;
class QLabel;
class QLineEdit;
class QTableView;
class QToolBar;

namespace ui {

// A toolbar button: its key (the object name tests find it by), caption, icon and the typed
// command it runs. A null key stands for a separator.
template <typename Id> struct ToolButton {
    const char* key;
    const char* caption;
    QStyle::StandardPixmap icon;
    Id id{};
};

// One button with its key as object name; icons come out one size and captions on one line.
QAction* addToolButton(QToolBar& bar, const char* key, const char* caption, QStyle::StandardPixmap icon);
// Gives a button of a toolbar laid out in a form its picture, in the same look.
void setToolIcon(QToolBar& bar, QAction& action, QStyle::StandardPixmap icon);

// Adds the buttons; each runs `run(id)`. Dispatch is on the typed id, so a button without a
// command does not build.
template <typename Id>
QList<QAction*> addToolButtons(QToolBar& bar, std::initializer_list<ToolButton<Id>> buttons,
                               std::function<void(Id)> run) {
    QList<QAction*> actions;
    for (const ToolButton<Id>& b : buttons) {
        if (!b.key) {
            bar.addSeparator();
            continue;
        }
        QAction* action = addToolButton(bar, b.key, b.caption, b.icon);
        QObject::connect(action, &QAction::triggered, &bar, [run, id = b.id] { run(id); });
        actions << action;
    }
    return actions;
}
QAction* findAction(const QList<QAction*>& actions, const QString& key);

// A password box that shows "*" for every character, whatever the style's own mask.
void maskWithStars(QLineEdit& box);

// A read-only grid of records, one row selected at a time, rows of one height.
void setUpRecordGrid(QTableView& grid);

// Widens every column whose header would otherwise be clipped.
void fitHeaders(QTableView& grid);

// Shows a progress text; nothing when the text is unchanged, so a loop may call it for every
// row. It repaints with the window's next turn of its event loop (work that wants it seen runs
// on the job runner).
void showProgress(QLabel& label, const QString& text);

} // namespace ui
