#include "login/MainWindow.h"

#include "categories/CategorySettingsWindow.h"
#include "categories/CategoryTable.h"
#include "exchange/ExportCommands.h"
#include "exchange/ImportWindow.h"
#include "exchange/MaintenanceWindow.h"
#include "exchange/MergeCommands.h"
#include "help/HelpWindow.h"
#include "login/LogWindow.h"
#include "login/MainCommands.h"
#include "print/ResultsWindow.h"
#include "query/QueryWindow.h"
#include "records/DataCheckWindow.h"
#include "records/EntryWindow.h"
#include "settings/SystemSettingsWindow.h"
#include "settings/UsersWindow.h"
#include "stats/ElderlyWindow.h"
#include "stats/StatisticsWindow.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Programs.h"
#include "ui/SingleWindow.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace login {

MainWindow::MainWindow(store::Session& session, MainHooks hooks, QWidget* parent)
    : QMainWindow(parent), session_(session), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(ui::kProgramTitle);
    buildMenus();
    buildToolbar();
    buildWorkArea();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(2000);
    connect(timer_, &QTimer::timeout, this, &MainWindow::refreshStatus);
    timer_->start();

    resize(800, 600);
    ui::setWindow(*this, ui::screenSize(*this));
    // Scaled to the whole screen it would reach under a panel or off the top edge: it opens
    // maximised, within the screen's free area, title bar visible.
    ui::fitToScreen(*this, size());
    setWindowState(windowState() | Qt::WindowMaximized);
    loadBackground();
    if (!QFileInfo::exists(session_.filePath(QStringLiteral("help.files"))))
        ui::startCompanion(session_.programFolder(), QStringLiteral("helppic.exe"));
}

void MainWindow::buildMenus() {
    struct Item {
        const char* key; // nullptr: a separator
        const char* caption;
        Command command;
        QKeySequence shortcut = {};
    };
    auto addMenu = [this](const char* key, const char* caption, std::initializer_list<Item> items) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(key));
        for (const Item& item : items) {
            if (!item.key) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.caption));
            action->setObjectName(QString::fromLatin1(item.key));
            action->setShortcut(item.shortcut);
            connect(action, &QAction::triggered, this, [this, c = item.command] { run(c, From::Menu); });
        }
    };
    const auto keys = [](const char* k) { return QKeySequence(QString::fromLatin1(k)); };
    addMenu("S0", "系统管理(&s)",
            {{"S1", "系统设置(&T)", Command::SystemSettings},
             {"S2", "用户设置(&U)", Command::Users},
             {"S5", "重新登录(&R)", Command::Relogin},
             {"s3", "类别设置(&L)", Command::Categories, keys("Ctrl+L")},
             {nullptr, nullptr, {}},
             {"S4", "退出系统(&X)", Command::EndAtOnce}});
    // Wage processing is not part of the system; its menu entry stays hidden.
    addMenu("W0", "人员管理(&W)",
            {{"W1", "信息录入(&D)", Command::Entry, keys("Ctrl+E")},
             {"W2", "综合查询(&F)", Command::Query, keys("Ctrl+F")},
             {"W3", "数据统计(&Z)", Command::Statistics},
             {"w4", "工资处理(&S)", Command::WagesMenu, keys("Ctrl+G")},
             {nullptr, nullptr, {}},
             {"ElderlyDue", "高龄提醒", Command::ElderlyDue},
             {"DataCheck", "数据检查", Command::DataCheck}});
    findChild<QAction*>(QStringLiteral("w4"))->setVisible(false);
    addMenu("D0", "数据库(&D)",
            {{"Data", "数据库维护(&K)", Command::Maintenance},
             {"INexcel", "导入EXCEL文件(&O)", Command::ImportExcel},
             {"OUTexcel", "导出EXCEL文件(&I)", Command::ExportExcel},
             {"upV", "升级以前版本(&U)", Command::Upgrade},
             {"hebin", "数据库合并(&H)", Command::Merge},
             {"Datastar", "数据初始化(&B)", Command::Initialise},
             {"user", "上机记录(&R)", Command::OperatorLog}});
    addMenu("H0", "帮助(&H)", {{"H1", "帮助主题(&M)", Command::Help}, {"H2", "关于(&A)", Command::About}});
}

void MainWindow::buildToolbar() {
    QToolBar* bar = addToolBar(QStringLiteral("Toolbar1"));
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setMovable(false);
    ui::addToolButtons<Command>(*bar,
                                {{"tt1", "系统", QStyle::SP_ComputerIcon, Command::SystemSettings},
                                 {"tt2", "用户", QStyle::SP_DirHomeIcon, Command::Users},
                                 {"tt3", "类别", QStyle::SP_FileDialogDetailedView, Command::Categories},
                                 {nullptr, nullptr, {}},
                                 {"tt4", "录入", QStyle::SP_FileDialogNewFolder, Command::Entry},
                                 {"tt5", "查询", QStyle::SP_FileDialogContentsView, Command::Query},
                                 {"tt6", "统计", QStyle::SP_FileDialogListView, Command::Statistics},
                                 {"tt7", "工资", QStyle::SP_DriveFDIcon, Command::WagesToolbar},
                                 {nullptr, nullptr, {}},
                                 {"tt8", "库维护", QStyle::SP_DriveHDIcon, Command::Maintenance},
                                 {"tt9", "计算器", QStyle::SP_DesktopIcon, Command::Calculator},
                                 {nullptr, nullptr, {}},
                                 {"tt11", "退出", QStyle::SP_DialogCloseButton, Command::Leave}},
                                [this](Command c) { run(c, From::Toolbar); });
}

void MainWindow::buildWorkArea() {
    auto* picture = new QWidget(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setProperty("pictureBox", true);
    auto* layout = new QVBoxLayout(picture);
    layout->setContentsMargins(0, 0, 0, 0);
    image_ = new QLabel(picture);
    image_->setObjectName(QStringLiteral("Image1"));
    image_->setScaledContents(true);
    image_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(image_);
    label1_ = new QLabel(image_);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(20, 20, 420, 24);
    label2_ = new QLabel(image_);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(20, 50, 420, 24);
    label2_->hide();
    setCentralWidget(picture);

    QStatusBar* status = statusBar();
    status->setObjectName(QStringLiteral("StatusBar1"));
    const int widths[3] = {300, 200, 260};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(status);
        panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panels_[i]->setProperty("statusPanel", true);
        panels_[i]->setFixedWidth(widths[i]);
        status->addWidget(panels_[i]);
    }
}

void MainWindow::loadBackground() {
    // A picture that cannot be loaded keeps the one shown (none at opening: the area stays plain).
    const QPixmap picture(session_.filePath(session_.state().backgroundPicture));
    if (!picture.isNull())
        image_->setPixmap(picture);
}

// Windows opened from here stay open when the frame's close box closes the main window: it
// waits hidden, so that what they call back into stays alive, and the program ends with the
// last window.
void MainWindow::closeEvent(QCloseEvent* event) {
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() && child->isVisible()) {
            event->ignore();
            hide();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::refreshStatus() {
    panels_[0]->setText(session_.state().unitName);
    panels_[1]->setText(QStringLiteral("操作员：") + session_.state().currentUser);
    panels_[2]->setText(statusClockText(session_.now()));
}

// The command table. Rights are checked by the commands themselves; nothing is greyed out.
void MainWindow::dispatch(Command command) {
    switch (command) {
    case Command::SystemSettings:
        ui::showSingle(settingsWindow_, [this] {
            return new settings::SystemSettingsWindow(
                session_, [this] { loadBackground(); }, this);
        });
        return;
    case Command::Users:
        ui::showSingle(usersWindow_, [this] { return new settings::UsersWindow(session_, this); });
        return;
    case Command::Categories:
        ui::showSingle(categoryWindow_,
                       [this] { return new categories::CategorySettingsWindow(session_, this); });
        return;
    case Command::Entry:
        return openEntry();
    case Command::Query:
        ui::showSingle(queryWindow_, [this] {
            return new query::QueryWindow(
                session_, [this] { openResults(); }, this);
        });
        return;
    case Command::Statistics:
        ui::showSingle(statisticsWindow_, [this] { return new stats::StatisticsWindow(session_, this); });
        return;
    case Command::WagesMenu:
        return ui::inform(this, QStringLiteral("此功能暂时不能使用！"), QStringLiteral("抱歉！"),
                          ui::Icon::Information);
    case Command::WagesToolbar:
        return ui::inform(this, QStringLiteral("此功能暂时不能使用"), QStringLiteral("抱歉！"),
                          ui::Icon::Information);
    case Command::Maintenance:
        ui::showSingle(maintenanceWindow_, [this] {
            return new exchange::MaintenanceWindow(
                session_, [this] { hooks_.quit(); }, this);
        });
        return;
    case Command::Calculator:
        ui::startCalculator(session_.programFolder());
        return;
    case Command::ImportExcel:
        return superUserOnly([this] {
            ui::showSingle(importWindow_, [this] { return new exchange::ImportWindow(session_, this); });
        });
    case Command::ExportExcel:
        return superUserOnly([this] { exchange::exportAllPersons(this, session_, *label2_); });
    case Command::Upgrade:
        return superUserOnly([this] { exchange::runUpgrade(this, session_, label2_); });
    case Command::Merge:
        return superUserOnly([this] { exchange::runMerge(this, session_, label1_); });
    case Command::Initialise:
        return initialise();
    case Command::OperatorLog:
        ui::showSingle(logWindow_, [this] { return new login::LogWindow(session_, this); });
        return;
    case Command::Help:
        ui::showSingle(helpWindow_, [this] { return new help::HelpWindow(session_.programFolder(), this); });
        return;
    case Command::About: {
        help::AboutBox about(session_, this);
        about.exec();
        return;
    }
    case Command::Relogin:
        return hooks_.relogin();
    case Command::EndAtOnce:
        return hooks_.quit();
    case Command::Leave:
        return leave();
    case Command::DataCheck:
        ui::showSingle(dataCheckWindow_, [this] {
            return new records::DataCheckWindow(
                session_, [this](qint64 rowid) { openPerson(rowid); }, this);
        });
        return;
    case Command::ElderlyDue:
        ui::showSingle(elderlyWindow_, [this] {
            return new stats::ElderlyWindow(
                session_, [this](qint64 rowid) { openPerson(rowid); }, this);
        });
        return;
    }
}

void MainWindow::run(Command command, From from) {
    // Toolbar commands skip a failing step; menu commands report it with its cause.
    const ui::OnFailure onFailure = from == From::Menu
                                        ? ui::stopWithCause(QStringLiteral("操作失败，请检查数据库文件。"))
                                        : ui::silently();
    ui::guard(this, onFailure, [&] { dispatch(command); });
}

void MainWindow::openEntry() {
    QApplication::processEvents();
    label1_->setText(QStringLiteral("正在进入信息录入,请等待..."));
    const auto clearLabel = qScopeGuard([this] { label1_->clear(); }); // also when the window fails
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ui::showSingle(entryWindow_, [this] {
        return new records::EntryWindow(
            session_, [this] { run(Command::Categories, From::Menu); }, this);
    });
}

void MainWindow::openPerson(qint64 rowid) {
    openEntry();
    if (auto* entry = qobject_cast<records::EntryWindow*>(entryWindow_.data()))
        entry->showPerson(rowid);
}

// Each query shows its own result: a results window still open from the last one closes.
void MainWindow::openResults() {
    if (resultsWindow_)
        resultsWindow_->close();
    delete resultsWindow_.data();
    ui::showSingle(resultsWindow_, [this] { return new print::ResultsWindow(session_, this); });
}

void MainWindow::leave() {
    if (!ui::ask(this, QStringLiteral("真的退出吗？")))
        return;
    // Leaving never fails on the log.
    ui::guard(this, ui::silently(), [&] { session_.log().write(QStringLiteral("退出系统")); });
    hooks_.quit();
}

void MainWindow::superUserOnly(const std::function<void()>& work) {
    if (!session_.state().isSuperUser()) {
        ui::inform(this, kNotSuperUser);
        return;
    }
    work();
}

void MainWindow::initialise() {
    // Compared without trimming, unlike the other rights checks.
    if (session_.state().currentUser != store::kSuperUser) {
        ui::inform(this, kNotSuperUserInit);
        return;
    }
    if (!ui::confirm(this,
                     QStringLiteral("初始化将会清空所有数据！你确定吗？（建议初始化前请先备份数据！）")))
        return;
    ui::guard(this,
              ui::stopWith(QStringLiteral("出错了!"), QStringLiteral("请联系软件编写人！"), ui::Icon::None),
              [&] {
                  session_.db().reopen();
                  const bool clearCategories = categories::hasRows(session_.db()) &&
                                               ui::confirm(this, QStringLiteral("清空类别库所有数据吗？"));
                  initialiseData(session_.db(), clearCategories);
              });
}

void MainWindow::notYetAvailable() {
    ui::inform(this, QStringLiteral("此功能正在建设中，暂时不能使用。"), ui::kProgramTitle,
               ui::Icon::Information);
}

} // namespace login
