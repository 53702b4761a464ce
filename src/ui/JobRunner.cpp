#include "ui/JobRunner.h"

#include "store/Database.h"
#include "store/Session.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <memory>
#include <utility>

namespace ui {

namespace {

// Swallows what the operator types or clicks (and closing windows) while the work runs, except
// on the one 取消 button.
class RefuseInput : public QObject {
public:
    explicit RefuseInput(QAbstractButton* allowed) : allowed_(allowed) { qApp->installEventFilter(this); }
    ~RefuseInput() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return !(allowed_ && receiver == allowed_.data() && allowed_->isEnabled());
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

private:
    QPointer<QAbstractButton> allowed_;
};

// The runner's own 取消 for windows that have none: a small panel over the window that waits.
class CancelPanel : public QWidget {
public:
    explicit CancelPanel(QWidget* parent)
        : QWidget(parent,
                  Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
        setObjectName(QStringLiteral("JobPanel"));
        setWindowTitle(QStringLiteral("请稍候"));
        auto* layout = new QHBoxLayout(this);
        text_ = new QLabel(this);
        text_->setMinimumWidth(220);
        bar_ = new QProgressBar(this);
        bar_->setTextVisible(false);
        button_ = new QPushButton(QStringLiteral("取消"), this);
        button_->setObjectName(QStringLiteral("JobCancel"));
        layout->addWidget(text_);
        layout->addWidget(bar_);
        layout->addWidget(button_);
    }
    QPushButton* button() const { return button_; }
    void showProgress(const store::Progress& progress) {
        text_->setText(progress.text);
        if (progress.total > 0) {
            bar_->setRange(0, 1000);
            bar_->setValue(int(progress.done * 1000 / progress.total));
        } else {
            bar_->setRange(0, 0);
        }
    }

private:
    QLabel* text_;
    QProgressBar* bar_;
    QPushButton* button_;
};

// Marks the session busy with a write for the lifetime of the job.
class WritingMark {
public:
    WritingMark(store::Session& session, bool writes) : session_(session), previous_(session.jobWriting()) {
        if (writes)
            session_.setJobWriting(true);
    }
    ~WritingMark() { session_.setJobWriting(previous_); }
    WritingMark(const WritingMark&) = delete;
    WritingMark& operator=(const WritingMark&) = delete;

private:
    store::Session& session_;
    bool previous_;
};

// Runs `body` on a worker thread and a nested loop on this one until it ends; `tick` runs every
// 50 ms meanwhile. The nested loop is the one place where events are pumped during work.
void runAndWait(const std::function<void()>& body, const std::function<void()>& tick,
                QAbstractButton* allowed) {
    std::exception_ptr failure;
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            body();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { tick(); });
    timer.start(50);
    {
        RefuseInput refuse(allowed);
        thread->start();
        loop.exec(QEventLoop::AllEvents);
        thread->wait();
    }
    tick();
    if (failure)
        std::rethrow_exception(failure);
}

JobConnectionHook& connectionHook() {
    static JobConnectionHook hook;
    return hook;
}

} // namespace

JobConnectionHook setJobConnectionHook(JobConnectionHook hook) {
    return std::exchange(connectionHook(), std::move(hook));
}

bool onWindowThread() {
    return !qApp || QThread::currentThread() == qApp->thread();
}

void runJob(QWidget* parent, store::Session& session, const JobSetup& setup, const JobWork& work) {
    Q_ASSERT(onWindowThread());
    store::JobControl control;
    std::unique_ptr<CancelPanel> panel;
    QAbstractButton* cancel = setup.cancelButton;
    QMetaObject::Connection stop;
    if (setup.cancellable) {
        if (!cancel) {
            panel = std::make_unique<CancelPanel>(parent);
            cancel = panel->button();
        }
        stop = QObject::connect(cancel, &QAbstractButton::clicked, cancel,
                                [&control] { control.requestStop(); });
    }
    const store::DatabaseTarget target = session.target();
    const store::OpenOptions options = session.openOptions();
    const auto connection = setup.connection;
    WritingMark mark(session, connection == JobSetup::Connection::ReadWrite);
    int ticks = 0;
    const JobConnectionHook hook = connectionHook();
    const auto body = [&] {
        std::unique_ptr<store::Database> db;
        if (connection != JobSetup::Connection::None) {
            store::OpenOptions own = options;
            own.readOnly = own.readOnly || connection == JobSetup::Connection::ReadOnly;
            db = target.open(own);
            if (hook)
                hook(*db);
        }
        work(db.get(), control);
    };
    const auto tick = [&] {
        // Work that ends within a moment shows no panel at all.
        if (panel && ++ticks == 6) {
            if (parent)
                panel->move(parent->mapToGlobal(QPoint(20, 20)));
            panel->show();
        }
        if (auto progress = control.takeLatest()) {
            if (setup.show)
                setup.show(*progress);
            if (panel)
                panel->showProgress(*progress);
        }
    };
    try {
        runAndWait(body, tick, cancel);
    } catch (...) {
        QObject::disconnect(stop);
        throw;
    }
    QObject::disconnect(stop);
}

void runJob(QWidget*, const std::function<void()>& work) {
    Q_ASSERT(onWindowThread());
    runAndWait(
        work, [] {}, nullptr);
}

} // namespace ui
