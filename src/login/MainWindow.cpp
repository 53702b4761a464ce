#include "login/MainWindow.h"

#include "categories/CategorySettingsWindow.h"
#include "categories/CategoryTable.h"
#include "exchange/ExportCommands.h"
#include "exchange/GridExport.h"
#include "exchange/ImportWindow.h"
#include "exchange/MaintenanceWindow.h"
#include "exchange/MergeCommands.h"
#include "exchange/SafetyCopies.h"
#include "exchange/SafetyCopyStep.h"
#include "exchange/UploadCommands.h"
#include "help/HelpWindow.h"
#include "login/LogWindow.h"
#include "login/MainCommands.h"
#include "print/ResultsWindow.h"
#include "query/QueryWindow.h"
#include "records/CategoryScan.h"
#include "records/DataCheckWindow.h"
#include "records/EntryWindow.h"
#include "records/HistoryWindow.h"
#include "records/PersonsTable.h"
#include "settings/SystemSettingsWindow.h"
#include "settings/UsersWindow.h"
#include "stats/ElderlyWindow.h"
#include "stats/StatisticsWindow.h"
#include "store/ServerConfig.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Programs.h"
#include "ui/SingleWindow.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui/WorkLock.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace login {

MainWindow::MainWindow(store::Session& session, MainHooks hooks, QWidget* parent)
    : QMainWindow(parent), session_(session), hooks_(std::move(hooks)),
      ui_(std::make_unique<Ui::MainWindow>()) {
    ui_->setupUi(this);
    image_ = ui_->Image1;
    label1_ = ui_->Label1;
    label2_ = ui_->Label2;
    bindCommands();
    addStatusPanels();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(2000);
    connect(timer_, &QTimer::timeout, this, &MainWindow::refreshStatus);
    timer_->start();

    ui::setWindow(*this, ui::screenSize(*this));
    // Scaled to the whole screen it would reach under a panel or off the top edge: it opens
    // maximised, within the screen's free area, title bar visible.
    ui::fitToScreen(*this, size());
    setWindowState(windowState() | Qt::WindowMaximized);
    loadBackground();
    if (!QFileInfo::exists(session_.filePath(QStringLiteral("help.files"))))
        ui::startCompanion(session_.programFolder(), QStringLiteral("helppic.exe"));
}

MainWindow::~MainWindow() = default;

namespace {

// The one place that says which command each menu item and toolbar button of the form runs.
struct Binding {
    QAction* Ui::MainWindow::*action;
    Command command;
    From from;
    QStyle::StandardPixmap icon = {}; // toolbar buttons only
};

const Binding kBindings[] = {
    {&Ui::MainWindow::S1, Command::SystemSettings, From::Menu},
    {&Ui::MainWindow::S2, Command::Users, From::Menu},
    {&Ui::MainWindow::S5, Command::Relogin, From::Menu},
    {&Ui::MainWindow::s3, Command::Categories, From::Menu},
    {&Ui::MainWindow::S4, Command::EndAtOnce, From::Menu},
    {&Ui::MainWindow::W1, Command::Entry, From::Menu},
    {&Ui::MainWindow::W2, Command::Query, From::Menu},
    {&Ui::MainWindow::W3, Command::Statistics, From::Menu},
    // Wage processing is not part of the system; its menu item stays hidden.
    {&Ui::MainWindow::w4, Command::WagesMenu, From::Menu},
    {&Ui::MainWindow::ElderlyDue, Command::ElderlyDue, From::Menu},
    {&Ui::MainWindow::DataCheck, Command::DataCheck, From::Menu},
    {&Ui::MainWindow::History, Command::History, From::Menu},
    {&Ui::MainWindow::Data, Command::Maintenance, From::Menu},
    {&Ui::MainWindow::upServer, Command::UploadToServer, From::Menu},
    {&Ui::MainWindow::INexcel, Command::ImportExcel, From::Menu},
    {&Ui::MainWindow::OUTexcel, Command::ExportExcel, From::Menu},
    {&Ui::MainWindow::upV, Command::Upgrade, From::Menu},
    {&Ui::MainWindow::hebin, Command::Merge, From::Menu},
    {&Ui::MainWindow::Datastar, Command::Initialise, From::Menu},
    {&Ui::MainWindow::user, Command::OperatorLog, From::Menu},
    {&Ui::MainWindow::H1, Command::Help, From::Menu},
    {&Ui::MainWindow::H2, Command::About, From::Menu},
    {&Ui::MainWindow::tt1, Command::SystemSettings, From::Toolbar, QStyle::SP_ComputerIcon},
    {&Ui::MainWindow::tt2, Command::Users, From::Toolbar, QStyle::SP_DirHomeIcon},
    {&Ui::MainWindow::tt3, Command::Categories, From::Toolbar, QStyle::SP_FileDialogDetailedView},
    {&Ui::MainWindow::tt4, Command::Entry, From::Toolbar, QStyle::SP_FileDialogNewFolder},
    {&Ui::MainWindow::tt5, Command::Query, From::Toolbar, QStyle::SP_FileDialogContentsView},
    {&Ui::MainWindow::tt6, Command::Statistics, From::Toolbar, QStyle::SP_FileDialogListView},
    {&Ui::MainWindow::tt7, Command::WagesToolbar, From::Toolbar, QStyle::SP_DriveFDIcon},
    {&Ui::MainWindow::tt8, Command::Maintenance, From::Toolbar, QStyle::SP_DriveHDIcon},
    {&Ui::MainWindow::tt9, Command::Calculator, From::Toolbar, QStyle::SP_DesktopIcon},
    {&Ui::MainWindow::tt11, Command::Leave, From::Toolbar, QStyle::SP_DialogCloseButton},
};

} // namespace

void MainWindow::bindCommands() {
    for (const Binding& b : kBindings) {
        QAction* action = ui_.get()->*b.action;
        if (b.from == From::Toolbar)
            ui::setToolIcon(*ui_->Toolbar1, *action, b.icon);
        connect(action, &QAction::triggered, this, [this, b] { run(b.command, b.from); });
    }
}

// A status bar's panels cannot be laid out in a form.
void MainWindow::addStatusPanels() {
    const int widths[3] = {300, 200, 260};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(ui_->StatusBar1);
        panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panels_[i]->setProperty("statusPanel", true);
        panels_[i]->setFixedWidth(widths[i]);
        ui_->StatusBar1->addWidget(panels_[i]);
    }
    ui_->upServer->setVisible(session_.onServer());
    if (session_.onServer()) {
        serverPanel_ = new QLabel(ui_->StatusBar1);
        serverPanel_->setObjectName(QStringLiteral("ServerPanel"));
        // What the three panels leave, however wide the screen; the whole text as a tip.
        ui_->StatusBar1->addWidget(serverPanel_, 1);
        refreshServerPanel();
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
    refreshServerPanel();
}

void MainWindow::refreshServerPanel() {
    if (serverPanel_) {
        qint64 connected = 0;
        // A count that cannot be read (connection lost meanwhile) only leaves the panel without it.
        ui::guard(this, ui::silently(), [&] { connected = store::connectedSessions(session_.db()); });
        serverPanel_->setText(serverStatusText(session_.serverDescription(), connected));
        serverPanel_->setToolTip(serverPanel_->text());
    }
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
        ui::showSingle(categoryWindow_, [this] {
            return new categories::CategorySettingsWindow(
                session_, records::scanDistinct, this, [this](QWidget* w) {
                    return exchange::safetyCopyBefore(w, session_, exchange::kCopyBeforeCategoryReplace);
                });
        });
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
    case Command::UploadToServer:
        return superUserOnly([this] { exchange::uploadCommand(this, session_); });
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
        if (entrySettled())
            hooks_.relogin();
        return;
    case Command::EndAtOnce:
        if (entrySettled())
            hooks_.quit();
        return;
    case Command::Leave:
        return leave();
    case Command::DataCheck:
        ui::showSingle(dataCheckWindow_, [this] {
            return new records::DataCheckWindow(
                session_, [this](qint64 rowid) { openPerson(rowid); }, this, exchange::exportGrid);
        });
        return;
    case Command::History:
        ui::showSingle(historyWindow_, [this] {
            return new records::HistoryWindow(
                session_, std::nullopt,
                [this](qint64 rowid) {
                    if (auto* entry = qobject_cast<records::EntryWindow*>(entryWindow_.data()))
                        entry->historyChanged(rowid);
                },
                this);
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

namespace {
const QString kEnteringEntry = QStringLiteral("正在进入信息录入,请等待...");
} // namespace

void MainWindow::run(Command command, From from) {
    // Toolbar commands skip a failing step; menu commands report it with its cause.
    const ui::OnFailure onFailure = from == From::Menu
                                        ? ui::stopWithCause(QStringLiteral("操作失败，请检查数据库文件。"))
                                        : ui::silently();
    if (command == Command::Entry) {
        // The label is painted before the entry window, which takes a moment to build, opens.
        label1_->setText(kEnteringEntry);
        QTimer::singleShot(0, this,
                           [this, onFailure] { ui::guard(this, onFailure, [this] { openEntry(); }); });
        return;
    }
    ui::guard(this, onFailure, [&] { dispatch(command); });
}

void MainWindow::openEntry() {
    label1_->setText(kEnteringEntry);
    const auto clearLabel = qScopeGuard([this] { label1_->clear(); }); // also when the window fails
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
    if (!ui::ask(this, QStringLiteral("真的退出吗？")) || !entrySettled())
        return;
    // Leaving never fails on the log.
    ui::guard(this, ui::silently(), [&] { session_.log().write(QStringLiteral("退出系统")); });
    hooks_.quit();
}

// Ending the program or the session would drop what the entry window holds unsaved.
bool MainWindow::entrySettled() {
    auto* entry = qobject_cast<records::EntryWindow*>(entryWindow_.data());
    return !entry || entry->mayLeavePerson();
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
    const auto takeLock = [this] {
        return ui::takeBulkLock(this, session_, store::BulkWork::Initialise, ui::kProgramTitle);
    };
    std::optional<store::BulkLock> lock = takeLock();
    if (!lock)
        return;
    if (!ui::confirm(this,
                     QStringLiteral("初始化将会清空所有数据！你确定吗？（建议初始化前请先备份数据！）")))
        return;
    ui::guard(this,
              ui::stopWith(QStringLiteral("出错了!"), QStringLiteral("请联系软件编写人！"), ui::Icon::None),
              [&] {
                  // The lock lives on the connection that the reopening replaces: taken again.
                  lock.reset();
                  session_.db().reopen();
                  lock = takeLock();
                  if (!lock)
                      return;
                  // Asked before the work starts; the answer takes effect inside its transaction.
                  const bool clearCategories = categories::hasRows(session_.db()) &&
                                               ui::confirm(this, QStringLiteral("清空类别库所有数据吗？"));
                  if (!exchange::safetyCopyBefore(this, session_, exchange::kCopyBeforeInitialise))
                      return;
                  ui::runJob(this, session_, {},
                             [clearCategories, author = records::authorOf(session_)](store::Database* db,
                                                                                     store::JobControl&) {
                                 const qint64 persons = records::countPersons(*db);
                                 initialiseData(*db, clearCategories);
                                 records::recordBulkChange(*db, author, records::kInitialiseWhat, persons);
                             });
              });
}

void MainWindow::notYetAvailable() {
    ui::inform(this, QStringLiteral("此功能正在建设中，暂时不能使用。"), ui::kProgramTitle,
               ui::Icon::Information);
}

} // namespace login
