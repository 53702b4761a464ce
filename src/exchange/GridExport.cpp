#include "exchange/GridExport.h"

#include "exchange/Export.h"
#include "exchange/ExportCommands.h"
#include "exchange/Workbook.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"

#include <QAbstractItemModel>

namespace exchange {

void exportGrid(QWidget* parent, const QString& chosen, const QString& heading,
                const QAbstractItemModel& grid) {
    const bool done = ui::guard(parent, ui::stopWithCause(kExportFailed), [&] {
        WorkbookWriter book(workbookFileName(chosen));
        book.setPlain(0, 0, heading);
        const int columns = grid.columnCount();
        for (int c = 0; c < columns; ++c)
            book.setPlain(1, c, grid.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        for (int r = 0; r < grid.rowCount(); ++r) {
            for (int c = 0; c < columns; ++c)
                book.setText(r + 2, c, grid.index(r, c).data().toString());
        }
        book.save();
    });
    if (done)
        ui::inform(parent, kExportDone);
}

} // namespace exchange
