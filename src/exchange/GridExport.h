#pragma once

#include <QString>

class QAbstractItemModel;
class QWidget;

namespace store {
class Session;
}

namespace exchange {

// A grid's rows into the workbook the operator chose: row 1 `heading`, row 2 the column titles,
// then one row per grid row, every cell as text. Says "导出完毕！" or "出错！请重新来。".
void exportGrid(QWidget* parent, const QString& chosen, const QString& heading,
                const QAbstractItemModel& grid);

} // namespace exchange
