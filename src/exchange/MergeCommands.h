#pragma once

class QLabel;
class QWidget;

namespace store {
class Session;
}

namespace exchange {

// The main window's commands hebin and upV; the caller has checked the rights. `progress` is
// the main window's label that shows how far they are (Label1 for the merge, Label2 for the
// upgrade).
void runMerge(QWidget* window, store::Session& session, QLabel* progress);
void runUpgrade(QWidget* window, store::Session& session, QLabel* progress);

} // namespace exchange
