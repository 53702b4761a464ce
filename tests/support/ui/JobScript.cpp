#include "ui/JobScript.h"

#include "store/Database.h"
#include "ui/JobRunner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QThread>

#include <sqlite3.h>

namespace ui {

CancelJobAt::CancelJobAt(int statement, QLabel* progress, std::function<void()> meanwhile, QString cancel)
    : statement_(statement), progress_(progress), meanwhile_(std::move(meanwhile)),
      cancel_(std::move(cancel)) {
    setJobConnectionHook([this](store::Database& db) {
        sqlite3_trace_v2(
            db.handle(), SQLITE_TRACE_STMT,
            [](unsigned, void* self, void*, void*) {
                auto* me = static_cast<CancelJobAt*>(self);
                if (++me->statements_ != me->statement_)
                    return 0;
                me->holding_ = true;
                // Held until 取消 was pressed, at most a few seconds.
                for (int i = 0; i < 10000 && !me->released_; ++i)
                    QThread::msleep(1);
                return 0;
            },
            this);
    });
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(5);
}

CancelJobAt::~CancelJobAt() {
    released_ = true;
    setJobConnectionHook({});
}

void CancelJobAt::poll() {
    if (!holding_ || pressed_)
        return;
    if (progress_ && progress_->text().isEmpty())
        return;
    for (QWidget* w : QApplication::allWidgets()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (!button || button->objectName() != cancel_)
            continue;
        if (progress_)
            seen_ = progress_->text();
        if (meanwhile_)
            meanwhile_();
        button->click();
        pressed_ = true;
        released_ = true;
        timer_.stop();
        return;
    }
}

} // namespace ui
