#pragma once

#include "records/DataCheck.h"

#include <QWidget>

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
    DataCheckWindow(store::Session& session, OpenPerson openPerson, QWidget* parent = nullptr);
    ~DataCheckWindow() override;

    void recheck();
    void convertAll();
    void exportReport();
    void openRow(int row);

    const DataCheckReport& report() const { return report_; }
    // The export file: beside tongji.txt in the program folder.
    QString exportPath() const;
    // How the exported file is shown; tests replace it.
    std::function<void(const QString& path)> openInEditor;

private:
    store::Session& session_;
    OpenPerson openPerson_;
    std::unique_ptr<Ui::DataCheckWindow> ui_;
    FindingsModel* model_;
    DataCheckReport report_;
};

} // namespace records
