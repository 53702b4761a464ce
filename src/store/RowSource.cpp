#include "store/RowSource.h"

#include "store/Database.h"
#include "store/RecordSet.h"

#include <QTimer>

namespace store {

RowRead readCells(RecordSet& rows, int index) noexcept {
    RowRead read;
    try {
        read.cells = rows.cells(index);
    } catch (...) {
        read.error = std::current_exception();
    }
    return read;
}

GridReads::GridReads(QObject* model, ReadFailed failed) : model_(model), failed_(std::move(failed)) {}

QVariantList GridReads::cells(RecordSet& rows, int index) const noexcept {
    if (*held_)
        return {};
    RowRead read = readCells(rows, index);
    if (read.ok())
        return std::move(read.cells);
    fail(read.error);
    return {};
}

void GridReads::fail(const std::exception_ptr& error) const noexcept {
    *held_ = true;
    // The flag is shared: a resume that comes after the model is gone does no harm.
    auto resume = [held = held_] { *held = false; };
    try {
        if (failed_) {
            failed_(error, resume);
            return;
        }
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            qCWarning(lcStore) << "a grid's read failed:" << e.what();
        }
    } catch (...) {
        qCWarning(lcStore) << "a grid's read failed";
    }
    if (model_)
        QTimer::singleShot(0, model_.data(), resume);
    else
        resume();
}

} // namespace store
