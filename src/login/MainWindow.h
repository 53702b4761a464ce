#pragma once

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>

class QLabel;
class QTimer;

namespace store {
class Session;
}

namespace login {

// What the main window asks of the program around it.
struct MainHooks {
    std::function<void()> quit;    // end the program
    std::function<void()> relogin; // close everything and show the login window again
};

// Form2: the main window, the hub of a logged-in run.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(store::Session& session, MainHooks hooks, QWidget* parent = nullptr);

    // Timer1's tick.
    void refreshStatus();
    // Runs a command by its menu item or toolbar key ("Datastar", "tt11", ...).
    void run(const QString& key);

private:
    void buildCommands();
    void buildMenus();
    void buildToolbar();
    void buildWorkArea();
    void loadBackground();

    void openEntry();
    void openResults();
    void leave();
    void initialise();
    void superUserOnly(const std::function<void()>& work);
    void notYetAvailable();

    store::Session& session_;
    MainHooks hooks_;
    QLabel* image_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* panels_[3] = {};
    QTimer* timer_ = nullptr;
    std::map<QString, std::function<void()>> commands_;
    QPointer<QWidget> logWindow_;
    QPointer<QWidget> categoryWindow_;
    QPointer<QWidget> entryWindow_;
    QPointer<QWidget> queryWindow_;
    QPointer<QWidget> resultsWindow_;
    QPointer<QWidget> statisticsWindow_;
    QPointer<QWidget> settingsWindow_;
    QPointer<QWidget> usersWindow_;
    QPointer<QWidget> helpWindow_;
};

} // namespace login
