#include "print/ResultsWindow.h"

#include "exchange/ExportCommands.h"
#include "query/ConditionParser.h"
#include "query/QueryBuilder.h"
#include "records/PersonListModel.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace print {

ResultsWindow::ResultsWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("查询结果"));

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("Toolbar1"));
    using C = ResultsCommand;
    actions_ = ui::addToolButtons<C>(*bar,
                                     {{"tt1", "上一页", QStyle::SP_ArrowLeft, C::PreviousPage},
                                      {"tt2", "下一页", QStyle::SP_ArrowRight, C::NextPage},
                                      {"tt3", "打印预览", QStyle::SP_FileDialogContentsView, C::Preview},
                                      {"tt4", "记录显示", QStyle::SP_FileDialogDetailedView, C::ListView},
                                      {"tt5", "多人一页", QStyle::SP_FileDialogListView, C::Roster},
                                      {"tt6", "单人一页", QStyle::SP_FileIcon, C::Sheet},
                                      {"tt7", "打印", QStyle::SP_DriveHDIcon, C::Print},
                                      {"tt9", "打印设置", QStyle::SP_ComputerIcon, C::PrintSettings},
                                      {"tt8", "返回", QStyle::SP_DialogCloseButton, C::Close}},
                                     [this](C c) { run(c); });

    model_ = new records::PersonListModel(session_.db().columnNames(store::schema::kPersons), this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setModel(model_);
    ui::setUpRecordGrid(*grid_);
    grid_->setColumnWidth(0, ui::twipsToPixels(*this, 1200));
    grid_->setColumnWidth(1, ui::twipsToPixels(*this, 1000));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Label1"));
    export_ = new QPushButton(QStringLiteral("导出查询结果"), this);
    export_->setObjectName(QStringLiteral("Command1"));
    connect(export_, &QPushButton::clicked, this, [this] {
        if (results_)
            exchange::exportQueryResult(this, session_, *results_, *status_);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addWidget(grid_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(export_);
    layout->addLayout(bottom);

    ui::placeCentred(*this, {800, 560});
    load();
}

ResultsWindow::~ResultsWindow() = default;

void ResultsWindow::run(ResultsCommand command) {
    switch (command) {
    case ResultsCommand::Close:
        close();
        return;
    // The preview and printing arrive with the print subsystem.
    case ResultsCommand::PreviousPage:
    case ResultsCommand::NextPage:
    case ResultsCommand::Preview:
    case ResultsCommand::ListView:
    case ResultsCommand::Roster:
    case ResultsCommand::Sheet:
    case ResultsCommand::Print:
    case ResultsCommand::PrintSettings:
        return;
    }
}

QAction* ResultsWindow::action(const QString& key) const {
    return ui::findAction(actions_, key);
}

QString ResultsWindow::status() const {
    return status_->text();
}

int ResultsWindow::resultCount() const {
    return results_ ? results_->count() : 0;
}

void ResultsWindow::disableAll() {
    for (QAction* a : actions_) {
        if (a->objectName() != QLatin1String("tt8"))
            a->setEnabled(false);
    }
}

void ResultsWindow::load() {
    disableAll(); // preview and printing arrive with the printing windows
    QString& expression = session_.pendingExpression();
    if (expression.trimmed().isEmpty()) {
        grid_->hide();
        export_->hide();
        ui::inform(this, kEmptyCondition);
        return;
    }
    try {
        const query::SqlCondition condition =
            query::parseCondition(expression, store::tableColumns(session_.db(), store::schema::kPersons));
        results_ = std::make_unique<store::RecordSet>(session_.db(), store::schema::kPersons, condition.sql,
                                                      condition.params);
    } catch (const std::exception&) {
        // The expression stays pending so that the operator can mend it in the query window.
        grid_->hide();
        export_->hide();
        ui::inform(this, kBadCondition);
        return;
    }
    model_->setList(results_.get());
    expression.clear();
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showPosition(current.row()); });
    if (results_->isEmpty()) {
        grid_->hide();
        export_->hide();
        status_->setText(QStringLiteral("满足条件的记录数：0"));
        return;
    }
    grid_->setCurrentIndex(model_->index(0, 0));
    showPosition(0);
}

void ResultsWindow::showPosition(int row) {
    if (!results_)
        return;
    results_->setPosition(row);
    status_->setText(QStringLiteral("满足条件的记录数：%1           当前记录位置：%2")
                         .arg(results_->count())
                         .arg(row + 1));
}

} // namespace print
