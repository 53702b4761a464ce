// The server engine: PostgreSQL through libpq.
//
// Statements keep the embedded dialect's `?` parameters; they are numbered ($1, $2, ...) here.
// Results come in text form and are turned into the same values the embedded file gives:
// integers and Yes/No as qint64, Single as double, dates as "YYYY-MM-DD" text, blobs as bytes.

#include "store/Engine.h"

#include <QByteArray>
#include <QDate>

#include <libpq-fe.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace store::engine {

namespace {

// Type identities of the built-in types (pg_type.h).
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

// The bookkeeping columns every server table carries after its own columns; reflection hides them.
constexpr const char* kHiddenColumns[] = {"rowid", "rowversion"};

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// The server's SQLSTATE in the embedded engine's numbering, so callers see one kind of refusal.
SqlFailure failureOf(const char* state) {
    const QByteArray s(state ? state : "");
    if (s == "P0001")
        return SqlFailure::RuleRefused; // RAISE in a trigger
    if (s.startsWith("23") || s.startsWith("22"))
        return SqlFailure::Constraint; // integrity and data exceptions (too long, bad date)
    if (s == "25006")
        return SqlFailure::ReadOnly;
    if (s == "55P03" || s == "40P01" || s == "40001")
        return SqlFailure::Busy;
    if (s == "53100")
        return SqlFailure::Full;
    if (s == "XX001" || s == "XX002")
        return SqlFailure::Corrupt;
    if (s == "57014")
        return SqlFailure::Interrupted;
    if (s.startsWith("08") || s.startsWith("58"))
        return SqlFailure::IoError;
    return SqlFailure::Other;
}

// `?` parameters as $1, $2, ...; quoted text, quoted names, comments and dollar quotes are kept.
QByteArray numberParameters(const QString& sql, int* count) {
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    int n = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c == '\'' || c == '"') {
            const qsizetype end = in.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? in.size() : end + 1;
            out += in.mid(i, stop - i);
            i = stop - 1;
        } else if (c == '-' && i + 1 < in.size() && in.at(i + 1) == '-') {
            const qsizetype end = in.indexOf('\n', i);
            const qsizetype stop = end < 0 ? in.size() : end + 1;
            out += in.mid(i, stop - i);
            i = stop - 1;
        } else if (c == '/' && i + 1 < in.size() && in.at(i + 1) == '*') {
            const qsizetype end = in.indexOf("*/", i + 2);
            const qsizetype stop = end < 0 ? in.size() : end + 2;
            out += in.mid(i, stop - i);
            i = stop - 1;
        } else if (c == '$' && (i == 0 || !std::isalnum(static_cast<unsigned char>(in.at(i - 1))))) {
            qsizetype t = i + 1;
            while (t < in.size() && (std::isalnum(static_cast<unsigned char>(in.at(t))) || in.at(t) == '_'))
                ++t;
            if (t < in.size() && in.at(t) == '$' && !std::isdigit(static_cast<unsigned char>(in.at(i + 1)))) {
                const QByteArray tag = in.mid(i, t - i + 1);
                const qsizetype end = in.indexOf(tag, t + 1);
                const qsizetype stop = end < 0 ? in.size() : end + tag.size();
                out += in.mid(i, stop - i);
                i = stop - 1;
            } else {
                out += c;
            }
        } else if (c == '?') {
            out += '$' + QByteArray::number(++n);
        } else {
            out += c;
        }
    }
    *count = n;
    return out;
}

bool startsWithWord(const QByteArray& sql, const char* word) {
    const QByteArray t = sql.trimmed();
    const qsizetype n = qsizetype(std::strlen(word));
    return t.size() >= n && qstrnicmp(t.constData(), word, n) == 0 &&
           (t.size() == n || !std::isalnum(static_cast<unsigned char>(t.at(n))));
}

void logNotice(void*, const char* message) {
    qCDebug(lcStore) << "server:" << message;
}

class PgConnection;

class PgCursor final : public Cursor {
public:
    // A batched cursor reads its rows a few thousand at a time through a server-side cursor, so a
    // scan of a million rows never holds them all in memory.
    PgCursor(PgConnection& connection, const QString& sql, bool batched = false);
    PgCursor(const PgCursor&) = delete;
    PgCursor& operator=(const PgCursor&) = delete;
    ~PgCursor() override { closeScan(); }

    void bind(int position, const QVariant& value) override {
        if (position < 1 || position > int(params_.size()))
            throw SqlError(25 /* SQLITE_RANGE */, QStringLiteral("parameter %1 out of range").arg(position));
        Param& p = params_[std::size_t(position - 1)];
        p = Param{};
        if (value.isNull() || !value.isValid())
            return;
        p.isNull = false;
        switch (value.typeId()) {
        case QMetaType::Bool:
            p.bytes = value.toBool() ? "1" : "0";
            p.type = kInt8;
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
            p.bytes = QByteArray::number(value.toLongLong());
            p.type = kInt8;
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            p.bytes = QByteArray::number(value.toDouble(), 'g', 17);
            p.type = kFloat8;
            break;
        case QMetaType::QByteArray:
            p.bytes = value.toByteArray();
            p.type = kBytea;
            p.binary = true;
            break;
        default:
            // Text goes untyped, so the server reads it as the column it meets: case-blind text, a
            // date, a number.
            p.bytes = value.toString().toUtf8();
        }
    }

    bool step() override;

    void reset() override {
        closeScan();
        result_.reset();
        row_ = -1;
        rows_ = 0;
        for (Param& p : params_)
            p = Param{};
    }

    int columnCount() const override { return result_ ? PQnfields(result_.get()) : 0; }
    QString columnName(int column) const override {
        return result_ ? QString::fromUtf8(PQfname(result_.get(), column)) : QString();
    }

    QVariant value(int column) const override {
        if (isNull(column))
            return QVariant();
        switch (type(column)) {
        case kBool:
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
            return QVariant(integer(column));
        case kFloat4:
        case kFloat8:
            return QVariant(real(column));
        case kNumeric: {
            const std::string_view v = raw(column);
            if (v.find_first_of(".eEN") == std::string_view::npos && v.size() < 19)
                return QVariant(integer(column));
            return QVariant(real(column));
        }
        case kBytea:
            return QVariant(bytes(column));
        default:
            return QVariant(text(column));
        }
    }

    QString text(int column) const override {
        if (isNull(column))
            return QString();
        if (type(column) == kBytea)
            return QString::fromUtf8(bytes(column));
        const std::string_view v = utf8(column);
        return QString::fromUtf8(v.data(), qsizetype(v.size()));
    }

    qint64 integer(int column) const override {
        if (isNull(column))
            return 0;
        const std::string_view v = raw(column);
        switch (type(column)) {
        case kBool:
            return v == "t" ? 1 : 0;
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return qint64(std::strtod(v.data(), nullptr));
        default:
            return std::strtoll(v.data(), nullptr, 10);
        }
    }

    bool isNull(int column) const override { return !result_ || PQgetisnull(result_.get(), row_, column); }

    std::string_view utf8(int column) const override {
        if (isNull(column))
            return {};
        if (type(column) == kBool)
            return raw(column) == "t" ? std::string_view("1") : std::string_view("0");
        return raw(column);
    }

    bool holdsNumber(int column) const override {
        if (isNull(column))
            return false;
        switch (type(column)) {
        case kBool:
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return true;
        default:
            return false;
        }
    }

    double real(int column) const override {
        if (isNull(column))
            return 0;
        if (type(column) == kBool)
            return raw(column) == "t" ? 1 : 0;
        return std::strtod(raw(column).data(), nullptr);
    }

private:
    struct Param {
        QByteArray bytes;
        Oid type = 0;
        bool binary = false;
        bool isNull = true;
    };

    Result run(const QByteArray& sql);
    bool stepScan();
    void closeScan() noexcept;

    Oid type(int column) const { return PQftype(result_.get(), column); }
    std::string_view raw(int column) const {
        return {PQgetvalue(result_.get(), row_, column),
                std::size_t(PQgetlength(result_.get(), row_, column))};
    }
    QByteArray bytes(int column) const {
        const std::string_view v = raw(column);
        if (v.size() >= 2 && v[0] == '\\' && v[1] == 'x')
            return QByteArray::fromHex(QByteArray::fromRawData(v.data() + 2, qsizetype(v.size() - 2)));
        return QByteArray(v.data(), qsizetype(v.size()));
    }

    PgConnection& connection_;
    QByteArray sql_;
    bool returnsRowId_ = false;
    bool batched_ = false;
    QByteArray cursor_; // the server-side cursor while one is open
    bool lastBatch_ = false;
    std::vector<Param> params_;
    Result result_;
    int row_ = -1;
    int rows_ = 0;
};

class PgConnection final : public Connection {
public:
    PgConnection(const QString& conninfo, const OpenOptions& options) {
        conn_ = PQconnectdb(conninfo.toUtf8().constData());
        if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
            const QString message =
                conn_ ? QString::fromUtf8(PQerrorMessage(conn_)).trimmed() : QStringLiteral("out of memory");
            const bool password =
                conn_ && (PQconnectionNeedsPassword(conn_) || PQconnectionUsedPassword(conn_));
            PQfinish(conn_);
            conn_ = nullptr;
            OpenFailure kind = OpenFailure::NotADatabase;
            if (password || message.contains(QLatin1String("authentication failed")))
                kind = OpenFailure::WrongPassword;
            else if (message.contains(QLatin1String("does not exist")))
                kind = OpenFailure::Missing;
            throw OpenError(kind, withoutPassword(conninfo), message);
        }
        PQsetNoticeProcessor(conn_, &logNotice, nullptr);
        try {
            PQsetClientEncoding(conn_, "UTF8");
            if (qstrcmp(PQparameterStatus(conn_, "server_encoding"), "UTF8") != 0)
                throw OpenError(OpenFailure::NotADatabase, withoutPassword(conninfo),
                                QStringLiteral("the server database is not in UTF8"));
            exec("SET DateStyle = ISO, YMD");
            exec(QByteArray("SET lock_timeout = ") + QByteArray::number(options.busyTimeoutMs));
            if (options.readOnly)
                exec("SET default_transaction_read_only = on");
            readOnly_ = options.readOnly || qstrcmp(PQparameterStatus(conn_, "in_hot_standby"), "on") == 0;
        } catch (const SqlError& e) {
            PQfinish(conn_);
            throw OpenError(OpenFailure::NotADatabase, withoutPassword(conninfo),
                            QString::fromUtf8(e.what()));
        } catch (...) {
            PQfinish(conn_);
            throw;
        }
    }
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection() override { PQfinish(conn_); }

    // Runs one statement; throws SqlError. While a stop check is set, the wait polls it and asks
    // the server to cancel once it says so.
    Result run(const QByteArray& sql, const std::vector<const char*>& values = {},
               const std::vector<Oid>& types = {}, const std::vector<int>& lengths = {},
               const std::vector<int>& formats = {}) {
        if (!PQsendQueryParams(
                conn_, sql.constData(), int(values.size()), types.empty() ? nullptr : types.data(),
                values.empty() ? nullptr : values.data(), lengths.empty() ? nullptr : lengths.data(),
                formats.empty() ? nullptr : formats.data(), 0))
            throw SqlError(SqlFailure::IoError, QString::fromUtf8(PQerrorMessage(conn_)));
        bool cancelled = false;
        while (true) {
            if (!PQconsumeInput(conn_))
                throw SqlError(SqlFailure::IoError, QString::fromUtf8(PQerrorMessage(conn_)));
            if (!PQisBusy(conn_))
                break;
            pollfd wait{PQsocket(conn_), POLLIN, 0};
            ::poll(&wait, 1, stop_ ? 100 : -1);
            if (stop_ && !cancelled && stop_()) {
                cancelled = true;
                if (PGcancel* cancel = PQgetCancel(conn_)) {
                    char error[256];
                    PQcancel(cancel, error, sizeof error);
                    PQfreeCancel(cancel);
                }
            }
        }
        Result kept;
        Result failed;
        while (PGresult* r = PQgetResult(conn_)) {
            Result next(r);
            const ExecStatusType status = PQresultStatus(r);
            if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE ||
                status == PGRES_NONFATAL_ERROR) {
                if (!failed)
                    failed = std::move(next);
            } else {
                kept = std::move(next);
            }
        }
        if (failed) {
            const QString message = QString::fromUtf8(PQresultErrorMessage(failed.get())).trimmed();
            throw SqlError(failureOf(PQresultErrorField(failed.get(), PG_DIAG_SQLSTATE)),
                           message + QLatin1String(" in: ") + QString::fromUtf8(sql));
        }
        if (kept) {
            const char* status = PQcmdStatus(kept.get());
            if (startsWithWord(status, "INSERT") || startsWithWord(status, "UPDATE") ||
                startsWithWord(status, "DELETE"))
                changes_ = std::atoi(PQcmdTuples(kept.get()));
        }
        return kept;
    }

    void exec(const QByteArray& sql) { run(sql); }

    void noteInsertedRow(qint64 rowid) { lastInsertRowId_ = rowid; }

    Dialect dialect() const override { return Dialect::Server; }
    std::unique_ptr<Cursor> prepare(const QString& sql) override {
        return std::make_unique<PgCursor>(*this, sql);
    }
    std::unique_ptr<Cursor> prepareScan(const QString& sql) override {
        return std::make_unique<PgCursor>(*this, sql, true);
    }
    QByteArray newCursorName() { return "tessaly_scan_" + QByteArray::number(++cursors_); }
    bool inFailedTransaction() const { return PQtransactionStatus(conn_) == PQTRANS_INERROR; }
    qint64 lastInsertRowId() const override { return lastInsertRowId_; }
    int changes() const override { return changes_; }
    bool isReadOnly() const override { return readOnly_; }

    bool hasTable(const QString& name) override {
        const QByteArray n = name.toUtf8();
        const Result r =
            run("SELECT count(*) FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace s ON "
                "s.oid = c.relnamespace WHERE c.relkind IN ('r', 'p') AND s.nspname = current_schema() "
                "AND lower(c.relname) = lower($1)",
                {n.constData()});
        return std::atoll(PQgetvalue(r.get(), 0, 0)) > 0;
    }

    QList<DeclaredColumn> columns(const QString& table) override {
        const QByteArray n = table.toUtf8();
        // A column's Jet type is the name of the domain it was created with ("TEXT(50)", "LONG").
        const Result r = run(
            "SELECT a.attname, CASE WHEN t.typtype = 'd' THEN t.typname ELSE format_type(a.atttypid, "
            "a.atttypmod) END FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class c ON c.oid = "
            "a.attrelid "
            "JOIN pg_catalog.pg_namespace s ON s.oid = c.relnamespace JOIN pg_catalog.pg_type t ON t.oid = "
            "a.atttypid WHERE c.relkind IN ('r', 'p', 'v') AND s.nspname = current_schema() AND "
            "lower(c.relname) = lower($1) AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
            {n.constData()});
        QList<DeclaredColumn> columns;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            const char* name = PQgetvalue(r.get(), i, 0);
            if (std::any_of(std::begin(kHiddenColumns), std::end(kHiddenColumns),
                            [&](const char* hidden) { return qstrcmp(name, hidden) == 0; }))
                continue;
            columns.append({QString::fromUtf8(name), QString::fromUtf8(PQgetvalue(r.get(), i, 1))});
        }
        return columns;
    }

    QString cipherVersion() override { return {}; }

    void begin() override { exec("BEGIN"); }
    void commit() override { exec("COMMIT"); }
    void rollback() override { exec("ROLLBACK"); }

    // A savepoint outside a transaction opens one, as the embedded engine does.
    void savepoint() override {
        const bool own = PQtransactionStatus(conn_) == PQTRANS_IDLE;
        if (own)
            exec("BEGIN");
        ownsTransaction_.push_back(own);
        exec("SAVEPOINT sp");
    }
    void release() override {
        const bool own = popSavepoint();
        exec(own ? "COMMIT" : "RELEASE sp");
    }
    void rollbackToSavepoint() override {
        if (popSavepoint()) {
            exec("ROLLBACK");
        } else {
            exec("ROLLBACK TO sp");
            exec("RELEASE sp");
        }
    }

    void setStopCheck(std::function<bool()> stop) override { stop_ = std::move(stop); }

    std::unique_ptr<Appender> append(const QString& table, const QStringList& columns) override;
    PGconn* handle() const { return conn_; }

private:
    bool popSavepoint() {
        if (ownsTransaction_.empty())
            return false;
        const bool own = ownsTransaction_.back();
        ownsTransaction_.pop_back();
        return own;
    }

    PGconn* conn_ = nullptr;
    bool readOnly_ = false;
    int changes_ = 0;
    qint64 lastInsertRowId_ = 0;
    std::vector<bool> ownsTransaction_;
    std::function<bool()> stop_;
    qint64 cursors_ = 0;
};

PgCursor::PgCursor(PgConnection& connection, const QString& sql, bool batched)
    : connection_(connection), batched_(batched) {
    int count = 0;
    sql_ = numberParameters(sql, &count);
    params_.resize(std::size_t(count));
    // Every server table carries the row identity, so an insert reports the row it made.
    if (startsWithWord(sql_, "INSERT") && !sql_.contains("RETURNING") && !sql_.contains("returning") &&
        !sql_.contains(" SELECT ") && !sql_.contains(" select ")) {
        sql_ += " RETURNING rowid";
        returnsRowId_ = true;
    }
}

Result PgCursor::run(const QByteArray& sql) {
    std::vector<const char*> values;
    std::vector<Oid> types;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const Param& p : params_) {
        values.push_back(p.isNull ? nullptr : p.bytes.constData());
        types.push_back(p.type);
        lengths.push_back(int(p.bytes.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    return connection_.run(sql, values, types, lengths, formats);
}

bool PgCursor::stepScan() {
    constexpr int kBatch = 5000;
    if (cursor_.isEmpty()) {
        const QByteArray name = connection_.newCursorName();
        // WITH HOLD: the cursor outlives the statement's own transaction when there is none around.
        run("DECLARE " + name + " NO SCROLL CURSOR WITH HOLD FOR " + sql_);
        cursor_ = name;
        lastBatch_ = false;
        rows_ = 0;
        row_ = -1;
    }
    while (row_ + 1 >= rows_) {
        if (lastBatch_) {
            row_ = rows_;
            return false;
        }
        result_ = connection_.run("FETCH FORWARD " + QByteArray::number(kBatch) + " FROM " + cursor_);
        rows_ = result_ ? PQntuples(result_.get()) : 0;
        row_ = -1;
        lastBatch_ = rows_ < kBatch;
    }
    ++row_;
    return true;
}

void PgCursor::closeScan() noexcept {
    if (cursor_.isEmpty())
        return;
    const QByteArray name = std::exchange(cursor_, QByteArray());
    // A failed transaction refuses every statement; its rollback drops a cursor it made.
    if (connection_.inFailedTransaction())
        return;
    try {
        // The cursor is gone when the transaction that made it was rolled back; closing it then
        // would fail the transaction around.
        const Result open =
            connection_.run("SELECT count(*) FROM pg_catalog.pg_cursors WHERE name = $1", {name.constData()});
        if (open && std::atoi(PQgetvalue(open.get(), 0, 0)) > 0)
            connection_.run("CLOSE " + name);
    } catch (const std::exception& e) {
        qCWarning(lcStore) << "scan cursor not closed:" << e.what();
    }
}

bool PgCursor::step() {
    if (batched_)
        return stepScan();
    if (!result_) {
        result_ = run(sql_);
        rows_ = result_ ? PQntuples(result_.get()) : 0;
        row_ = -1;
        if (returnsRowId_) {
            if (rows_ > 0)
                connection_.noteInsertedRow(std::atoll(PQgetvalue(result_.get(), rows_ - 1, 0)));
            rows_ = 0;
        }
    }
    if (row_ + 1 >= rows_) {
        row_ = rows_;
        return false;
    }
    ++row_;
    return true;
}

// One COPY … FROM STDIN in text form: a row costs the server a line to read instead of a statement
// to parse, plan and answer.
class PgAppender final : public Appender {
public:
    PgAppender(PgConnection& connection, const QString& table, const QStringList& columns)
        : connection_(connection) {
        QStringList names;
        for (const QString& c : columns)
            names << quoted(c);
        const QByteArray sql = QStringLiteral("COPY %1 (%2) FROM STDIN")
                                   .arg(quoted(table), names.join(QStringLiteral(", ")))
                                   .toUtf8();
        // Not through run(): a COPY waits for its rows rather than answering.
        const Result started(PQexec(connection_.handle(), sql.constData()));
        if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
            const QString message = QString::fromUtf8(PQerrorMessage(connection_.handle())).trimmed();
            const SqlFailure kind = failureOf(PQresultErrorField(started.get(), PG_DIAG_SQLSTATE));
            while (PGresult* r = PQgetResult(connection_.handle()))
                PQclear(r);
            throw SqlError(kind, message + QLatin1String(" in: ") + QString::fromUtf8(sql));
        }
        open_ = true;
    }
    PgAppender(const PgAppender&) = delete;
    PgAppender& operator=(const PgAppender&) = delete;
    ~PgAppender() override {
        if (open_)
            end("abandoned");
    }

    void add(const QVariantList& values) override {
        for (int i = 0; i < values.size(); ++i) {
            if (i > 0)
                buffer_ += '\t';
            field(values.at(i));
        }
        buffer_ += '\n';
        if (buffer_.size() >= 256 * 1024)
            flush();
    }

    void finish() override {
        flush();
        end(nullptr);
    }

private:
    void field(const QVariant& value) {
        if (value.isNull() || !value.isValid()) {
            buffer_ += "\\N";
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            buffer_ += value.toBool() ? '1' : '0';
            return;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
            buffer_ += QByteArray::number(value.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            buffer_ += QByteArray::number(value.toDouble(), 'g', 17);
            return;
        case QMetaType::QByteArray:
            buffer_ += "\\\\x";
            buffer_ += value.toByteArray().toHex();
            return;
        default:
            break;
        }
        const QByteArray text = value.toString().toUtf8();
        for (const char c : text) {
            switch (c) {
            case '\\':
                buffer_ += "\\\\";
                break;
            case '\t':
                buffer_ += "\\t";
                break;
            case '\n':
                buffer_ += "\\n";
                break;
            case '\r':
                buffer_ += "\\r";
                break;
            default:
                buffer_ += c;
            }
        }
    }

    void flush() {
        if (buffer_.isEmpty())
            return;
        if (PQputCopyData(connection_.handle(), buffer_.constData(), int(buffer_.size())) != 1)
            throw SqlError(SqlFailure::IoError, QString::fromUtf8(PQerrorMessage(connection_.handle())));
        buffer_.clear();
    }

    // Ends the COPY (with `error`, the server throws the rows away) and reads the server's answer.
    void end(const char* error) {
        open_ = false;
        PGconn* conn = connection_.handle();
        PQputCopyEnd(conn, error);
        QString failure;
        SqlFailure kind = SqlFailure::Other;
        while (PGresult* r = PQgetResult(conn)) {
            const Result result(r);
            if (PQresultStatus(r) == PGRES_FATAL_ERROR && failure.isEmpty()) {
                failure = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
                kind = failureOf(PQresultErrorField(r, PG_DIAG_SQLSTATE));
            }
        }
        if (!error && !failure.isEmpty())
            throw SqlError(kind, failure);
    }

    PgConnection& connection_;
    QByteArray buffer_;
    bool open_ = false;
};

std::unique_ptr<Appender> PgConnection::append(const QString& table, const QStringList& columns) {
    return std::make_unique<PgAppender>(*this, table, columns);
}

} // namespace

std::unique_ptr<Connection> connectPostgres(const QString& conninfo, const OpenOptions& options) {
    return std::make_unique<PgConnection>(conninfo, options);
}

QString withoutPassword(const QString& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return QStringLiteral("(connection string not readable)");
    }
    QStringList shown;
    for (const PQconninfoOption* o = options; o->keyword; ++o) {
        if (o->val && qstrcmp(o->keyword, "password") != 0)
            shown << QStringLiteral("%1=%2").arg(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    return shown.join(QLatin1Char(' '));
}

} // namespace store::engine
