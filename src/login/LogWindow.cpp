#include "login/LogWindow.h"

#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_LogWindow.h"

namespace login {

LogWindow::LogWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::LogWindow>()) {
    ui_->setupUi(this);
    ui::placeCentred(*this, {620, 420});

    ui::writeLog(this, session_, QStringLiteral("查看上机记录"));

    model_ = new LogModel(session_.db(), this);
    QTableView* grid = ui_->DBGrid1;
    grid->setModel(model_);
    ui::setUpRecordGrid(*grid);
    grid->setColumnWidth(0, ui::twipsToPixels(*this, 3000));
    grid->setColumnWidth(1, ui::twipsToPixels(*this, 1500));
    grid->setColumnWidth(2, ui::twipsToPixels(*this, 3500));
    connect(ui_->Command2, &QPushButton::clicked, this, &LogWindow::clearClicked);
    connect(ui_->Command1, &QPushButton::clicked, this, &LogWindow::leaveClicked);
    if (model_->rowCount() > 0)
        grid->selectRow(0);
}

LogWindow::~LogWindow() = default;

void LogWindow::clearClicked() {
    if (!session_.state().isSuperUser()) {
        ui::inform(this, QStringLiteral("您不是超级用户，没有此权限！"), QStringLiteral("请记住了！"),
                   ui::Icon::Information);
        return;
    }
    if (!ui::confirm(this, QStringLiteral("真的清除上机记录吗？")))
        return;
    ui::guard(
        this, ui::stopWithCause(QStringLiteral("上机记录没有清除。")), [&] { session_.log().clear(); },
        QStringLiteral("清除记录"));
    ui::guard(
        this, ui::silently(), [&] { model_->reload(); }, QStringLiteral("清除记录"));
}

void LogWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出查看上机记录"));
    close();
}

} // namespace login
