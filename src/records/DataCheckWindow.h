#pragma once

#include "records/DataCheck.h"

#include <QWidget>

class QAbstractItemModel;

#include <functional>
#include <memory>

namespace Ui {
class DataCheckWindow;
}

namespace store {
class Session;
}

namespace records {

class FindingsModel;

// "数据检查": the persons' ID numbers, birth dates, sexes, personal numbers and dates checked
// in one pass and listed; a double-click opens the person in the entry window.
class DataCheckWindow : public QWidget {
    Q_OBJECT
public:
    using OpenPerson = std::function<void(qint64 rowid)>;
    // Writes the grid into the workbook file chosen, after `heading`, and tells the operator.
    using ExportGrid = std::function<void(QWidget* window, const QString& chosen, const QString& heading,
                                          const QAbstractItemModel& grid)>;
    DataCheckWindow(store::Session& session, OpenPerson openPerson, QWidget* parent = nullptr,
                    ExportGrid exportGrid = {});
    ~DataCheckWindow() override;

    void recheck();
    void convertAll();
    // The findings into a workbook the operator names.
    void exportReport();
    void openRow(int row);

    const DataCheckReport& report() const { return report_; }

private:
    store::Session& session_;
    OpenPerson openPerson_;
    ExportGrid exportGrid_;
    std::unique_ptr<Ui::DataCheckWindow> ui_;
    FindingsModel* model_;
    DataCheckReport report_;
};

// After a workbook was staged for import: a separate word on its ID numbers, only when some are
// wrong or repeated. It never stops the import.
void tellStagedIdNumbers(QWidget* parent, store::Session& session);
// After a merge: a separate word on how many persons now share an ID number with another, only
// when some do.
void tellSharedIdNumbers(QWidget* parent, store::Session& session);
// The same for a count already made (by the merge's own job).
void tellSharedIdNumbers(QWidget* parent, int sharing);

} // namespace records
