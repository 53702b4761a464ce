#include "store/Job.h"

namespace store {

void JobControl::report(qint64 done, qint64 total, const QString& text) {
    note(done, total, text);
    checkpoint();
}

void JobControl::note(qint64 done, qint64 total, const QString& text) {
    std::lock_guard lock(mutex_);
    latest_ = Progress{done, total, text};
}

void JobControl::checkpoint() const {
    if (stop_.load())
        throw Cancelled();
}

std::optional<Progress> JobControl::takeLatest() {
    std::lock_guard lock(mutex_);
    return std::exchange(latest_, std::nullopt);
}

JobControl& untracked() {
    // Each thread its own, so one caller's stop never reaches another's work.
    thread_local JobControl control;
    return control;
}

} // namespace store
