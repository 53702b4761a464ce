#pragma once

#include <QPointer>
#include <QVariantList>

#include <exception>
#include <functional>
#include <memory>

class QObject;

namespace store {

class RecordSet;

// One row's cells as a grid reads them: the values, or the error the read met, handed back
// instead of thrown so that a model's data() never throws.
struct RowRead {
    QVariantList cells;
    std::exception_ptr error; // null when the row was read
    bool ok() const { return !error; }
};

// The row at `index` of `rows`, its block of rows read when the cache does not hold it.
RowRead readCells(RecordSet& rows, int index) noexcept;

// Told of a grid's failed read, inside the paint that met it, so no window may open there.
// The grid reads nothing more until `resume` is called; a paint thus waits on a locked file once,
// not once per cell.
using ReadFailed = std::function<void(const std::exception_ptr& error, std::function<void()> resume)>;

// A grid model's reads while views paint. A read that fails shows its cells empty, is passed to
// `failed` and holds further reads until `failed` resumes them; with no one to tell, the failure
// is logged and reads resume once the event loop turns again.
class GridReads {
public:
    GridReads(QObject* model, ReadFailed failed);
    // The cells of the row at `index`; empty when the read failed or reads are held.
    QVariantList cells(RecordSet& rows, int index) const noexcept;

private:
    void fail(const std::exception_ptr& error) const noexcept;

    QPointer<QObject> model_;
    ReadFailed failed_;
    std::shared_ptr<bool> held_ = std::make_shared<bool>(false);
};

} // namespace store
