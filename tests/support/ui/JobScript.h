#pragma once

#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>

class QLabel;

namespace ui {

// Stops the next job part way, the same way on every run: its own connection holds before its
// `statement`-th statement until the window thread has pressed the job's 取消 (by object name,
// the runner's own "JobCancel" by default). When `progress` is given, the press waits until that
// label shows a progress text, so the test knows progress arrived; `meanwhile` runs on the window
// thread just before the press (to try input that must be refused).
class CancelJobAt {
public:
    explicit CancelJobAt(int statement, QLabel* progress = nullptr, std::function<void()> meanwhile = {},
                         QString cancel = QStringLiteral("JobCancel"));
    ~CancelJobAt();
    CancelJobAt(const CancelJobAt&) = delete;
    CancelJobAt& operator=(const CancelJobAt&) = delete;

    bool pressed() const { return pressed_; }
    // The progress label's text when 取消 was pressed.
    const QString& progressSeen() const { return seen_; }

private:
    void poll();

    int statement_;
    QLabel* progress_;
    std::function<void()> meanwhile_;
    QString cancel_;
    QTimer timer_;
    std::atomic<int> statements_{0};
    std::atomic<bool> holding_{false};
    std::atomic<bool> released_{false};
    bool pressed_ = false;
    QString seen_;
};

} // namespace ui
