#pragma once

#include "ui/Guard.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <functional>

class QObject;

namespace ui {

// What the operator is told when a grid cannot read its rows (the cause follows on its own line).
inline const QString kGridUnreadable = QStringLiteral("表格中的数据暂时读不出来，先显示为空。");

// A model's reads of the database while views paint: data() must never throw. A read that fails
// leaves its cells empty; the first failure of a burst (failures less than ten seconds apart) is
// logged and, once the paint is over, told to the operator once. Until then the model reads
// nothing more, so a paint waits on a locked file once, not once per cell.
class ModelReads {
public:
    explicit ModelReads(QObject* model);
    ModelReads(const ModelReads&) = delete;
    ModelReads& operator=(const ModelReads&) = delete;
    // Runs `read`; false when it failed or reads are held back.
    bool run(const std::function<void()>& read) const;

private:
    QPointer<QObject> model_;
    QString command_; // names the grid in the log
    Mappings failed_; // keeps the cause of a failed read
    mutable QString cause_;
    mutable QElapsedTimer lastFailure_;
    mutable bool held_ = false; // no reads until the paint is over
};

} // namespace ui
