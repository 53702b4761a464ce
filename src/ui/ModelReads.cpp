#include "ui/ModelReads.h"

#include <QTimer>
#include <QWidget>

namespace ui {

namespace {

constexpr qint64 kBurstGapMs = 10000;

QWidget* windowOf(const QPointer<QObject>& model) {
    return model ? qobject_cast<QWidget*>(model->parent()) : nullptr;
}

} // namespace

ModelReads::ModelReads(QObject* model)
    : model_(model),
      command_(QStringLiteral("grid read (%1)").arg(QString::fromLatin1(model->metaObject()->className()))),
      failed_{when<std::exception>([this](const std::exception& e) {
          cause_ = causeOf(e);
          return silently();
      })} {}

bool ModelReads::run(const std::function<void()>& read) const {
    if (held_)
        return false;
    if (guard(windowOf(model_), silently(), failed_, read, command_))
        return true;
    if (!model_)
        return false;
    const bool first = !lastFailure_.isValid() || lastFailure_.elapsed() > kBurstGapMs;
    lastFailure_.start();
    held_ = true;
    QTimer::singleShot(0, model_.data(), [this, first, cause = cause_] {
        // After the paint: a message box must not open inside one.
        if (first) {
            inform(windowOf(model_), kGridUnreadable + QLatin1Char('\n') + cause, kProgramTitle,
                   Icon::Exclamation);
            lastFailure_.start(); // the burst goes on from when the operator closed the message
        }
        held_ = false;
    });
    return false;
}

} // namespace ui
