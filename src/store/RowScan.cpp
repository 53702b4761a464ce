#include "store/RowScan.h"

#include "store/Database.h"

#include <sqlite3.h>

#include <exception>

namespace store {

namespace {

sqlite3_value* cell(void* const* values, int column) {
    return static_cast<sqlite3_value*>(values[column]);
}

} // namespace

ScannedRow::ScannedRow(const Statement& statement)
    : statement_(&statement), count_(statement.columnCount()) {}

bool ScannedRow::isNull(int column) const {
    if (statement_)
        return statement_->isNull(column);
    return sqlite3_value_type(cell(values_, column)) == SQLITE_NULL;
}

bool ScannedRow::holdsNumber(int column) const {
    if (statement_)
        return statement_->holdsNumber(column);
    const int type = sqlite3_value_type(cell(values_, column));
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

std::string_view ScannedRow::utf8(int column) const {
    if (statement_)
        return statement_->utf8(column);
    // The blob view gives text and blobs as stored and numbers as text, and no pointer for Null
    // or an empty cell: one call fewer per cell than asking the type first.
    sqlite3_value* v = cell(values_, column);
    const auto* data = static_cast<const char*>(sqlite3_value_blob(v));
    return data ? std::string_view(data, std::size_t(sqlite3_value_bytes(v))) : std::string_view();
}

qint64 ScannedRow::integer(int column) const {
    if (statement_)
        return statement_->integer(column);
    return sqlite3_value_int64(cell(values_, column));
}

double ScannedRow::real(int column) const {
    if (statement_)
        return statement_->real(column);
    return sqlite3_value_double(cell(values_, column));
}

QVariant ScannedRow::value(int column) const {
    if (statement_)
        return statement_->value(column);
    sqlite3_value* v = cell(values_, column);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(v));
    case SQLITE_TEXT: {
        const std::string_view bytes = utf8(column);
        return QVariant(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    }
    case SQLITE_BLOB: {
        const std::string_view bytes = utf8(column);
        return QVariant(QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    default:
        return QVariant();
    }
}

namespace {

constexpr const char* kFunction = "tessaly_scan_rows";

// Owned by the engine (freed when the function is removed); `row` is cleared once the scan ends,
// so a call after it fails instead of reaching a callback that is gone.
struct Scan {
    const std::function<void(const ScannedRow&)>* row = nullptr;
    std::exception_ptr error;
};

void step(sqlite3_context* context, int count, sqlite3_value** values) {
    auto* scan = static_cast<Scan*>(sqlite3_user_data(context));
    if (!scan->row) {
        sqlite3_result_error(context, "no scan is running", -1);
        return;
    }
    try {
        (*scan->row)(ScannedRow(reinterpret_cast<void* const*>(values), count));
    } catch (...) {
        scan->error = std::current_exception();
        sqlite3_result_error(context, "the scan was stopped", -1);
    }
}

void finish(sqlite3_context* context) {
    sqlite3_result_null(context);
}

void destroy(void* scan) {
    delete static_cast<Scan*>(scan);
}

} // namespace

void scanRows(Database& db, const QString& columns, const QString& rest,
              const std::function<void(const ScannedRow&)>& row) {
    if (!db.handle()) {
        // The server sends rows whole; they are stepped as any statement's.
        Statement st = db.prepareScan(QStringLiteral("SELECT %1 %2").arg(columns, rest));
        while (st.step())
            row(ScannedRow(st));
        return;
    }
    auto owned = std::make_unique<Scan>();
    Scan* scan = owned.get();
    scan->row = &row;
    // The rows reach `row` as an aggregate's steps: the engine hands over its own cells.
    if (sqlite3_create_function_v2(db.handle(), kFunction, -1, SQLITE_UTF8, owned.release(), nullptr, step,
                                   finish, destroy) != SQLITE_OK)
        throw SqlError(sqlite3_errcode(db.handle()), QString::fromUtf8(sqlite3_errmsg(db.handle())));
    struct Removal {
        sqlite3* handle;
        Scan* scan;
        ~Removal() {
            scan->row = nullptr;
            sqlite3_create_function_v2(handle, kFunction, -1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr,
                                       nullptr);
        }
    } removal{db.handle(), scan};
    try {
        Statement st =
            db.prepare(QStringLiteral("SELECT %1(%2) %3").arg(QLatin1String(kFunction), columns, rest));
        while (st.step()) {
        }
    } catch (const SqlError&) {
        if (scan->error)
            std::rethrow_exception(scan->error);
        throw;
    }
}

} // namespace store
