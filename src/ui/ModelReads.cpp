#include "ui/ModelReads.h"

#include "ui/Guard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace ui {

namespace {
constexpr qint64 kBurstGapMs = 10000;
} // namespace

store::ReadFailed tellOncePerBurst(QWidget* window) {
    auto lastFailure = std::make_shared<QElapsedTimer>();
    return [window = QPointer<QWidget>(window), hadWindow = bool(window),
            lastFailure](const std::exception_ptr& error, std::function<void()> resume) {
        QString cause;
        guard(
            window, silently(), {when<std::exception>([&](const std::exception& e) {
                cause = causeOf(e);
                return silently();
            })},
            [&] { std::rethrow_exception(error); }, QStringLiteral("grid read"));
        const bool first = !lastFailure->isValid() || lastFailure->elapsed() > kBurstGapMs;
        lastFailure->start();
        // After the paint: a message box must not open inside one.
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [window, hadWindow, first, lastFailure, cause, resume = std::move(resume)] {
                               if (first && (window || !hadWindow)) {
                                   inform(window, kGridUnreadable + QLatin1Char('\n') + cause, kProgramTitle,
                                          Icon::Exclamation);
                                   // The burst goes on from when the operator closed the message.
                                   lastFailure->start();
                               }
                               resume();
                           });
    };
}

} // namespace ui
