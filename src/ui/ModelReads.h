#pragma once

#include "store/RowSource.h"

#include <QString>

class QWidget;

namespace ui {

// What the operator is told when a grid cannot read its rows (the cause follows on its own line).
inline const QString kGridUnreadable = QStringLiteral("表格中的数据暂时读不出来，先显示为空。");

// How a grid in `window` answers reads that fail while it paints: each failure is logged; the
// first of a burst (failures less than ten seconds apart) is told to the operator once the paint
// is over. The grid reads again after that, or after the paint when nothing is told.
store::ReadFailed tellOncePerBurst(QWidget* window);

} // namespace ui
