#pragma once

#include "store/Job.h"

#include <QString>

#include <functional>

class QAbstractButton;
class QWidget;

namespace store {
class Database;
class Session;
} // namespace store

namespace ui {

struct JobSetup {
    // The worker's own connection on the session's database: none for work on files alone,
    // read-only for work that only reads.
    enum class Connection { None, ReadOnly, ReadWrite };
    Connection connection = Connection::ReadWrite;
    // Shows the newest progress on the window thread (the window's own progress label).
    std::function<void(const store::Progress&)> show;
    // 取消 is offered only where stopping is safe: all-or-nothing work rolls back, other work
    // stops where it is and keeps what it has done.
    bool cancellable = false;
    // The window's own 取消, when it has one; otherwise the runner shows a small panel with one.
    QAbstractButton* cancelButton = nullptr;
};

using JobWork = std::function<void(store::Database* db, store::JobControl& control)>;

// Runs `work` on a worker thread while the windows keep painting and their timers run; input to
// every window is refused meanwhile except 取消. Returns once the work is done and rethrows what
// it threw: a stop asked through 取消 arrives as store::Cancelled. While the work writes, the
// session says so, and grids serve what they hold instead of waiting on the database.
void runJob(QWidget* parent, store::Session& session, const JobSetup& setup, const JobWork& work);

// The same for work that needs no database and cannot be stopped (writing a file).
void runJob(QWidget* parent, const std::function<void()>& work);

// Called on every job's own connection right after it opens, on the worker thread; tests set
// it to make that connection fail on cue (a pragma, a lock). Returns the hook it replaces.
using JobConnectionHook = std::function<void(store::Database&)>;
JobConnectionHook setJobConnectionHook(JobConnectionHook hook);

// The message after 取消 of all-or-nothing work.
inline const QString kCancelledNothingChanged = QStringLiteral("已取消，数据库没有改变。");

// True on the thread that runs the windows; messages and progress labels assert it.
bool onWindowThread();

} // namespace ui
