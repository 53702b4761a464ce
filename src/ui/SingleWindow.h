#pragma once

#include <QPointer>
#include <QWidget>

namespace ui {

// Opens a modeless window once: a second request brings the same window forward. The window
// deletes itself when closed, and its parent deletes it at the latest.
template <class W, class Make> W* showSingle(QPointer<W>& slot, Make make) {
    if (!slot) {
        slot = make();
        slot->setAttribute(Qt::WA_DeleteOnClose);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot.data();
}

} // namespace ui
