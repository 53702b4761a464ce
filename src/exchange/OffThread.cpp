#include "exchange/OffThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <exception>

namespace exchange {

namespace {

// Swallows what the operator types or clicks (and closing windows) while the work runs.
class RefuseInput : public QObject {
public:
    RefuseInput() {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->installEventFilter(this);
    }
    ~RefuseInput() override {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void runOffThread(const std::function<void()>& work, const std::function<void()>& tick) {
    std::exception_ptr failure;
    QEventLoop loop;
    QThread* thread = QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    std::unique_ptr<QThread> owner(thread);
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer timer;
    if (tick) {
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] { tick(); });
        timer.start(100);
    }
    {
        RefuseInput refuse;
        thread->start();
        if (!thread->isFinished())
            loop.exec();
        thread->wait();
    }
    if (tick)
        tick();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace exchange
