#pragma once

#include <QString>

#include <atomic>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace store {

// How far a piece of long work has come, in the words the operator sees.
struct Progress {
    qint64 done = 0;
    qint64 total = 0;
    QString text;
};

// Thrown by JobControl::report once the operator asked to stop; all-or-nothing work lets it unwind
// through its transaction, which then rolls back.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("cancelled") {}
};

// The one channel between long work and the window that waits for it: the work reports its
// progress and asks whether to go on; the window reads the newest report and may ask it to stop.
// Safe to use from the worker and the window thread at once.
class JobControl {
public:
    // Records the progress; throws Cancelled when a stop was asked for.
    void report(qint64 done, qint64 total, const QString& text);
    void report(const QString& text) { report(0, 0, text); }
    // Records the progress without ever throwing, for work that stops on its own terms
    // (keeping what it already wrote).
    void note(qint64 done, qint64 total, const QString& text);

    bool stopRequested() const { return stop_.load(); }
    void requestStop() { stop_.store(true); }
    // Throws Cancelled when a stop was asked for.
    void checkpoint() const;

    // The newest report since the last call, if any.
    std::optional<Progress> takeLatest();

private:
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::optional<Progress> latest_;
};

// Work that takes no notice of progress or stopping (tests, short calls).
JobControl& untracked();

} // namespace store
