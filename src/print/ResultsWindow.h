#pragma once

#include <QWidget>

#include <memory>

class QAction;
class QLabel;
class QPushButton;
class QTableView;

namespace records {
class PersonListModel;
}
namespace store {
class RecordSet;
class Session;
} // namespace store

namespace print {

// The results window's toolbar buttons.
enum class ResultsCommand {
    PreviousPage,
    NextPage,
    Preview,
    ListView,
    Roster,
    Sheet,
    Print,
    PrintSettings,
    Close
};

// Form7 "查询结果": the persons that satisfy the pending expression, with their count.
class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    ResultsWindow(store::Session& session, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    QString status() const;
    int resultCount() const;
    QAction* action(const QString& key) const;
    store::RecordSet* results() const { return results_.get(); }

private:
    void run(ResultsCommand command);
    void load();
    void showPosition(int row);
    void disableAll();

    store::Session& session_;
    std::unique_ptr<store::RecordSet> results_;
    records::PersonListModel* model_;
    QTableView* grid_;
    QLabel* status_;
    QPushButton* export_;
    QList<QAction*> actions_;
};

inline const QString kEmptyCondition = QStringLiteral("查询条件不能空！");
inline const QString kBadCondition = QStringLiteral("表达式设置有误。请重来！");

} // namespace print
