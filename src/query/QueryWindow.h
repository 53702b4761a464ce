#pragma once

#include "store/Schema.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace Ui {
class QueryWindow;
}

namespace store {
class Session;
}

namespace query {

// Form6 "综合查询": composes a condition from category, relation and value.
class QueryWindow : public QWidget {
    Q_OBJECT
public:
    // `openResults` shows the results window for the pending expression.
    QueryWindow(store::Session& session, std::function<void()> openResults, QWidget* parent = nullptr);
    ~QueryWindow() override;

    void chooseCategory(int position);
    void addCondition();
    void addConnective(int connective); // a query::Connective
    void clearCondition();
    void saveCondition();
    void loadCondition();
    void startQuery();
    void leave();

    QString readableText() const;

private:
    void appendReadable(QString text);
    const store::TableColumn* field(int position) const;

    store::Session& session_;
    std::function<void()> openResults_;
    std::unique_ptr<Ui::QueryWindow> ui_;
    std::vector<store::TableColumn> fields_; // every persons column but the photo
    // The form's controls by their roles.
    QComboBox* categories_;
    QComboBox* relations_;
    QComboBox* values_;
    QPlainTextEdit* readable_;
    QPushButton* add_;
    QWidget* statusPanel_;
    QLabel* status_;
};

} // namespace query
