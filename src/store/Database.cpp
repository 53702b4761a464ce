#include "store/Database.h"

#include "store/JetLike.h"
#include "store/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <sqlite3.h>

Q_LOGGING_CATEGORY(lcStore, "tessaly.store")

namespace store {

const char* const Database::kPassword = "Tkvmqrwplzne";

namespace {

constexpr int kPageSize = 4096;
constexpr int kCacheKiB = 64 * 1024;

QString lastMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// An encrypted file with a key we do not hold looks like random bytes in whole pages;
// anything else that SQLCipher refuses is not one of our databases at all.
bool looksEncrypted(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(16);
    const qint64 size = f.size();
    return size > 0 && size % 1024 == 0 && !head.startsWith("SQLite format 3");
}

} // namespace

QString openFailureCause(OpenFailure kind) {
    switch (kind) {
    case OpenFailure::Missing:
        return QStringLiteral("不存在。");
    case OpenFailure::NotAFile:
        return QStringLiteral("是一个文件夹（或设备），不是数据库文件。");
    case OpenFailure::Locked:
        return QStringLiteral("正被其他程序占用，现在打不开。");
    case OpenFailure::WrongPassword:
        // An encrypted file we cannot read may have another password or damaged pages: we cannot tell.
        return QStringLiteral("无法打开：它可能已损坏，也可能是用别的密码加密的（不是本系统的数据库）。");
    case OpenFailure::MissingTables:
        return QStringLiteral("缺少本系统的数据表，不是本系统的数据库。");
    case OpenFailure::NotADatabase:
        break;
    }
    return QStringLiteral("已损坏或不是数据库文件，无法打开。");
}

OpenError::OpenError(OpenFailure kind, const QString& path, const QString& detail)
    : std::runtime_error(detail.toStdString()), kind_(kind), path_(path) {}

SqlError::SqlError(int code, const QString& message)
    : std::runtime_error(message.toStdString()), code_(code) {}

bool SqlError::isConstraint() const {
    return (code_ & 0xff) == SQLITE_CONSTRAINT;
}

QString quoted(const QString& identifier) {
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// ---- Statement ----

Statement::Statement(sqlite3* db, const QString& sql) : db_(db) {
    // Maintenance closes the connection while it works on the file.
    if (!db)
        throw SqlError(SQLITE_MISUSE, QStringLiteral("the database connection is closed"));
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        stmt_ = nullptr;
        throw SqlError(rc, lastMessage(db) + QLatin1String(" in: ") + sql);
    }
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
    other.stmt_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = other.stmt_;
        other.stmt_ = nullptr;
    }
    return *this;
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int position, const QVariant& value) {
    int rc = SQLITE_OK;
    if (value.isNull() || !value.isValid()) {
        rc = sqlite3_bind_null(stmt_, position);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(stmt_, position, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
            rc = sqlite3_bind_int64(stmt_, position, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, position, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(stmt_, position, bytes.constData(), sqlite3_uint64(bytes.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text64(stmt_, position, utf8.constData(), sqlite3_uint64(utf8.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        }
    }
    if (rc != SQLITE_OK)
        throw SqlError(rc, lastMessage(db_));
    return *this;
}

Statement& Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString message = lastMessage(db_);
    sqlite3_reset(stmt_);
    throw SqlError(sqlite3_extended_errcode(db_), message);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void Statement::run() {
    while (step()) {
    }
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

QVariant Statement::value(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt_, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt_, column));
    case SQLITE_TEXT:
        return QVariant(text(column));
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(stmt_, column)));
    }
    default:
        return QVariant();
    }
}

QString Statement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return data ? QString::fromUtf8(data, sqlite3_column_bytes(stmt_, column)) : QString();
}

qint64 Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string_view Statement::utf8(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return data ? std::string_view(data, std::size_t(sqlite3_column_bytes(stmt_, column)))
                : std::string_view();
}

bool Statement::holdsNumber(int column) const {
    const int type = sqlite3_column_type(stmt_, column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

// ---- Database ----

Database::Database(QString path, QString password, OpenOptions options)
    : path_(std::move(path)), password_(std::move(password)), options_(options) {
    const QFileInfo file(path_);
    if (!file.exists())
        throw OpenError(OpenFailure::Missing, path_, QStringLiteral("file not found"));
    if (!file.isFile())
        throw OpenError(OpenFailure::NotAFile, path_, QStringLiteral("not a regular file"));
    openConnection(false);
}

void Database::checkTables() {
    programTables_ = true;
    for (const QString& table : schema::tableNames()) {
        if (!hasTable(table)) {
            close();
            throw OpenError(OpenFailure::MissingTables, path_, QStringLiteral("table %1 missing").arg(table));
        }
    }
}

Database::Database(QString path, QString password, CreateTag)
    : path_(std::move(path)), password_(std::move(password)) {
    openConnection(true);
}

std::unique_ptr<Database> Database::create(const QString& path, const QString& password) {
    if (QFileInfo::exists(path))
        throw OpenError(OpenFailure::NotADatabase, path, QStringLiteral("file exists"));
    return std::unique_ptr<Database>(new Database(path, password, CreateTag{}));
}

Database::~Database() {
    close();
}

void Database::close() {
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Database::reopen() {
    close();
    if (!QFileInfo(path_).isFile())
        throw OpenError(OpenFailure::Missing, path_, QStringLiteral("file not found"));
    openConnection(false);
    if (programTables_)
        checkTables();
}

std::unique_ptr<Database> openProgramDatabase(const QString& path, const QString& password,
                                              OpenOptions options) {
    auto db = std::make_unique<Database>(path, password, options);
    db->checkTables();
    return db;
}

void Database::openConnection(bool create) {
    const int flags = options_.readOnly && !create
                          ? SQLITE_OPEN_READONLY
                          : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const QByteArray file = path_.toUtf8();
    int rc = sqlite3_open_v2(file.constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db_ ? lastMessage(db_) : QStringLiteral("cannot open");
        close();
        throw OpenError(QFileInfo::exists(path_) ? OpenFailure::NotADatabase : OpenFailure::Missing, path_,
                        message);
    }
    sqlite3_busy_timeout(db_, options_.busyTimeoutMs);
    try {
        // Without a password the file is a plain SQLite database.
        if (!password_.isEmpty()) {
            QString escaped = password_;
            escaped.replace(QLatin1Char('\''), QLatin1String("''"));
            exec(QStringLiteral("PRAGMA key = '%1'").arg(escaped));
            exec(QStringLiteral("PRAGMA cipher_page_size = %1").arg(kPageSize));
        }
        // Without a cipher the key pragma is silently ignored: refuse to run unencrypted.
        if (cipherVersion().isEmpty())
            throw OpenError(OpenFailure::NotADatabase, path_, QStringLiteral("SQLCipher is not active"));
        // The first real read is where a wrong key shows up.
        scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
        exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
        registerJetLike(db_);
    } catch (const SqlError& e) {
        close();
        qCWarning(lcStore) << "cannot open" << path_ << e.what();
        const int primary = e.code() & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
            throw OpenError(OpenFailure::Locked, path_, QString::fromUtf8(e.what()));
        const bool wrongKey = (e.code() & 0xff) == SQLITE_NOTADB && looksEncrypted(path_);
        throw OpenError(wrongKey ? OpenFailure::WrongPassword : OpenFailure::NotADatabase, path_,
                        QString::fromUtf8(e.what()));
    } catch (...) {
        close();
        throw;
    }
}

Statement Database::prepare(const QString& sql) {
    return Statement(db_, sql);
}

void Database::exec(const QString& sql, const QVariantList& params) {
    Statement st(db_, sql);
    st.bindAll(params);
    st.run();
}

QVariant Database::scalar(const QString& sql, const QVariantList& params) {
    Statement st(db_, sql);
    st.bindAll(params);
    return st.step() ? st.value(0) : QVariant();
}

qint64 Database::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const {
    return sqlite3_changes(db_);
}

bool Database::isReadOnly() const {
    return db_ && sqlite3_db_readonly(db_, "main") == 1;
}

bool Database::hasTable(const QString& name) {
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name = ? "
                                 "COLLATE NOCASE"),
                  {name})
               .toLongLong() > 0;
}

QString Database::cipherVersion() {
    return scalar(QStringLiteral("PRAGMA cipher_version")).toString();
}

QStringList Database::columnNames(const QString& table) {
    QStringList names;
    for (const TableColumn& c : tableColumns(*this, table))
        names << c.name;
    return names;
}

// ---- Transaction ----

Transaction::Transaction(Database& db) : db_(db) {
    db_.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction() {
    if (!done_) {
        try {
            db_.exec(QStringLiteral("ROLLBACK"));
        } catch (...) {
        }
    }
}

void Transaction::commit() {
    db_.exec(QStringLiteral("COMMIT"));
    done_ = true;
}

// ---- Savepoint ----

Savepoint::Savepoint(Database& db) : db_(db) {
    db_.exec(QStringLiteral("SAVEPOINT sp"));
}

Savepoint::~Savepoint() {
    if (!done_) {
        try {
            rollback();
        } catch (...) {
        }
    }
}

void Savepoint::release() {
    db_.exec(QStringLiteral("RELEASE sp"));
    done_ = true;
}

void Savepoint::rollback() {
    done_ = true;
    db_.exec(QStringLiteral("ROLLBACK TO sp"));
    db_.exec(QStringLiteral("RELEASE sp"));
}

} // namespace store
