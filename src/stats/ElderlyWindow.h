#pragma once

#include "stats/ElderlyDue.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QSpinBox;
class QStandardItemModel;
class QTableView;

namespace Ui {
class ElderlyWindow;
}
namespace print {
struct ListPages;
}
namespace store {
class Session;
}

namespace stats {

// "高龄提醒": the persons who reach 70, 80, 90 or 100 within the coming days and those whose
// birthday falls in this month, by date; a double-click opens the person in the entry window.
class ElderlyWindow : public QWidget {
    Q_OBJECT
public:
    using OpenPerson = std::function<void(qint64 rowid)>;
    ElderlyWindow(store::Session& session, OpenPerson openPerson, QWidget* parent = nullptr);
    ~ElderlyWindow() override;

    void refresh();
    void printList();
    void savePdf();
    void exportList();
    void openRow(int row);

    const std::vector<DuePerson>& due() const { return due_; }
    QString summary() const;
    // The printed list: the columns of the paper list, in the roster's frame.
    print::ListPages pages() const;

private:
    bool writePdf();

    store::Session& session_;
    OpenPerson openPerson_;
    std::unique_ptr<Ui::ElderlyWindow> ui_;
    QSpinBox* days_;
    QSpinBox* birthdayAge_;
    QTableView* grid_;
    QStandardItemModel* model_;
    QLabel* summary_;
    std::vector<DuePerson> due_;
    QDate today_;
};

} // namespace stats
