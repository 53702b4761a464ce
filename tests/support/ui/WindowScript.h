#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>

namespace ui {

// Answers a modal window the way an operator does: once a window titled `title` shows (its own
// event loop runs this poll), notes the texts of its labels and the rows of its lists, then
// clicks its button named `button`. Every such window that shows is answered the same way.
class PressWhenShown {
public:
    PressWhenShown(QString title, QString button);
    ~PressWhenShown();
    PressWhenShown(const PressWhenShown&) = delete;
    PressWhenShown& operator=(const PressWhenShown&) = delete;

    int pressed() const { return pressed_; }
    // Of the last window answered: its labels' texts by object name order, and each list row's
    // columns joined by " | ".
    QString label(const QString& name) const;
    const QStringList& rows() const { return rows_; }

private:
    void poll();

    QString title_;
    QString button_;
    QTimer timer_;
    int pressed_ = 0;
    QStringList labelNames_;
    QStringList labelTexts_;
    QStringList rows_;
};

} // namespace ui
