#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace store {
class Session;
}

namespace exchange {

// The first line of the message when no safety copy could be made; the cause follows.
inline QString safetyCopyFailedText(const QString& operation) {
    return QStringLiteral("没有做成安全副本，%1没有进行，数据库没有改变。").arg(operation);
}
inline const QString kDailyCopyFailed = QStringLiteral("今天的安全副本没有做成。");

// The one step every bulk change takes before it changes anything: a checked safety copy of
// lib.mdb in backup/auto, made on the job runner with its progress in `progress` (or the
// runner's panel). False when none was made (the operator was told why, or stopped it): the
// change must not go on. `spare` is a copy the change is about to use, which the rotation keeps.
bool safetyCopyBefore(QWidget* window, store::Session& session, const QString& operation,
                      QLabel* progress = nullptr, const QString& spare = {});

// The copy at the first login of a day. One that cannot be made is reported; the run goes on.
void dailySafetyCopy(QWidget* window, store::Session& session);

} // namespace exchange
