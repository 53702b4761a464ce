#pragma once

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QCloseEvent;
class QLabel;
class QTimer;

namespace Ui {
class MainWindow;
}
namespace store {
class Session;
}

namespace login {

// What the main window asks of the program around it.
struct MainHooks {
    std::function<void()> quit;    // end the program
    std::function<void()> relogin; // close everything and show the login window again
};

// What the menu items and toolbar buttons run. A new command is one enumerator, its menu item
// or button in the form, its row in the binding table beside MainWindow::bindCommands, and one
// case in MainWindow::dispatch; a command without a case, or a row whose item is not in the form,
// does not build.
enum class Command {
    SystemSettings, // S1, tt1
    Users,          // S2, tt2
    Categories,     // s3, tt3
    Entry,          // W1, tt4
    Query,          // W2, tt5
    Statistics,     // W3, tt6
    WagesMenu,      // w4 (hidden)
    WagesToolbar,   // tt7
    Maintenance,    // Data, tt8
    UploadToServer, // upServer (server mode only)
    Calculator,     // tt9
    ImportExcel,    // INexcel
    ExportExcel,    // OUTexcel
    Upgrade,        // upV
    Merge,          // hebin
    Initialise,     // Datastar
    OperatorLog,    // user
    Help,           // H1
    About,          // H2
    Relogin,        // S5
    EndAtOnce,      // S4
    Leave,          // tt11
    DataCheck,      // DataCheck 数据检查: ID numbers, dates and duplicates over all persons
    ElderlyDue,     // ElderlyDue 高龄提醒: who reaches 70, 80, 90 or 100 soon, birthdays this month
    History,        // History 修改记录: every person's change history, with undo and restore
};

// Toolbar commands skip a failing step; menu commands report it.
enum class From { Menu, Toolbar };

// Form2: the main window, the hub of a logged-in run.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(store::Session& session, MainHooks hooks, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Timer1's tick.
    void refreshStatus();
    void refreshServerPanel();
    void run(Command command, From from);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void dispatch(Command command);
    void bindCommands();
    void addStatusPanels();
    void loadBackground();

    void openEntry();
    void openPerson(qint64 rowid);
    void openResults();
    void leave();
    // False when the operator keeps the entry window on unsaved changes.
    bool entrySettled();
    void initialise();
    void superUserOnly(const std::function<void()>& work);
    void notYetAvailable();

    store::Session& session_;
    MainHooks hooks_;
    std::unique_ptr<Ui::MainWindow> ui_;
    // The form's labels that the commands write to.
    QLabel* image_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* panels_[3] = {};
    QLabel* serverPanel_ = nullptr; // server mode only: the server and how many are connected
    QTimer* timer_ = nullptr;
    QPointer<QWidget> logWindow_;
    QPointer<QWidget> categoryWindow_;
    QPointer<QWidget> entryWindow_;
    QPointer<QWidget> queryWindow_;
    QPointer<QWidget> resultsWindow_;
    QPointer<QWidget> statisticsWindow_;
    QPointer<QWidget> settingsWindow_;
    QPointer<QWidget> usersWindow_;
    QPointer<QWidget> helpWindow_;
    QPointer<QWidget> dataCheckWindow_;
    QPointer<QWidget> elderlyWindow_;
    QPointer<QWidget> importWindow_;
    QPointer<QWidget> maintenanceWindow_;
    QPointer<QWidget> historyWindow_;
};

} // namespace login
