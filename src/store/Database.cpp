#include "store/Database.h"

#include "store/JetLike.h"
#include "store/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include "store/Engine.h"

Q_LOGGING_CATEGORY(lcStore, "tessaly.store")

namespace store {

const char* const Database::kPassword = "Tkvmqrwplzne";

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

QString quoted(const QString& identifier) {
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// ---- Statement ----

Statement::Statement(std::unique_ptr<engine::Cursor> cursor) : cursor_(std::move(cursor)) {}
Statement::Statement(Statement&& other) noexcept = default;
Statement& Statement::operator=(Statement&& other) noexcept = default;
Statement::~Statement() = default;

Statement& Statement::bind(int position, const QVariant& value) {
    cursor_->bind(position, value);
    return *this;
}

Statement& Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
    return *this;
}

bool Statement::step() {
    return cursor_->step();
}

void Statement::reset() {
    cursor_->reset();
}

void Statement::run() {
    while (step()) {
    }
}

int Statement::columnCount() const {
    return cursor_->columnCount();
}

QString Statement::columnName(int column) const {
    return cursor_->columnName(column);
}

QVariant Statement::value(int column) const {
    return cursor_->value(column);
}

QString Statement::text(int column) const {
    return cursor_->text(column);
}

qint64 Statement::integer(int column) const {
    return cursor_->integer(column);
}

bool Statement::isNull(int column) const {
    return cursor_->isNull(column);
}

std::string_view Statement::utf8(int column) const {
    return cursor_->utf8(column);
}

bool Statement::holdsNumber(int column) const {
    return cursor_->holdsNumber(column);
}

double Statement::real(int column) const {
    return cursor_->real(column);
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

Database::Database(QString path, QString password, CreateTag)
    : path_(std::move(path)), password_(std::move(password)) {
    openConnection(true);
}

Database::Database(QString conninfo, OpenOptions options, Dialect server)
    : path_(engine::withoutPassword(conninfo)), conninfo_(std::move(conninfo)), options_(options),
      dialect_(server) {
    openConnection(false);
}

std::unique_ptr<Database> Database::create(const QString& path, const QString& password) {
    if (QFileInfo::exists(path))
        throw OpenError(OpenFailure::NotADatabase, path, QStringLiteral("file exists"));
    return std::unique_ptr<Database>(new Database(path, password, CreateTag{}));
}

std::unique_ptr<Database> Database::connect(const QString& conninfo, OpenOptions options) {
    return std::unique_ptr<Database>(new Database(conninfo, options, Dialect::Server));
}

Database::~Database() {
    close();
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

std::unique_ptr<Database> openProgramDatabase(const QString& path, const QString& password,
                                              OpenOptions options) {
    auto db = std::make_unique<Database>(path, password, options);
    db->checkTables();
    return db;
}

void Database::close() {
    conn_.reset();
}

void Database::reopen() {
    close();
    if (dialect_ == Dialect::Embedded && !QFileInfo(path_).isFile())
        throw OpenError(OpenFailure::Missing, path_, QStringLiteral("file not found"));
    openConnection(false);
    if (programTables_)
        checkTables();
}

void Database::openConnection(bool create) {
    conn_ = dialect_ == Dialect::Server ? engine::connectPostgres(conninfo_, options_)
                                        : engine::openSqlCipher(path_, password_, options_, create);
}

engine::Connection& Database::connection() const {
    // Maintenance closes the connection while it works on the file.
    if (!conn_)
        throw SqlError(21 /* misuse */, QStringLiteral("the database connection is closed"));
    return *conn_;
}

Statement Database::prepare(const QString& sql) {
    return Statement(connection().prepare(sql));
}

Statement Database::prepareScan(const QString& sql) {
    return Statement(connection().prepareScan(sql));
}

void Database::exec(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    st.run();
}

namespace engine {

namespace {

class InsertAppender final : public Appender {
public:
    InsertAppender(Connection& connection, const QString& table, const QStringList& columns) {
        QStringList names;
        QStringList marks;
        for (const QString& c : columns) {
            names << quoted(c);
            marks << QStringLiteral("?");
        }
        insert_ = connection.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(quoted(table), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    }
    void add(const QVariantList& values) override {
        insert_->reset(); // also after a refused row
        for (int i = 0; i < values.size(); ++i)
            insert_->bind(i + 1, values.at(i));
        while (insert_->step()) {
        }
    }
    void finish() override {}

private:
    std::unique_ptr<Cursor> insert_;
};

} // namespace

std::unique_ptr<Appender> Connection::append(const QString& table, const QStringList& columns) {
    return std::make_unique<InsertAppender>(*this, table, columns);
}

} // namespace engine

RowAppender::RowAppender(std::unique_ptr<engine::Appender> appender) : appender_(std::move(appender)) {}
RowAppender::RowAppender(RowAppender&&) noexcept = default;
RowAppender& RowAppender::operator=(RowAppender&&) noexcept = default;
RowAppender::~RowAppender() = default;

void RowAppender::add(const QVariantList& values) {
    appender_->add(values);
}

void RowAppender::finish() {
    appender_->finish();
}

RowAppender Database::appendRows(const QString& table, const QStringList& columns) {
    return RowAppender(connection().append(table, columns));
}

QVariant Database::scalar(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    return st.step() ? st.value(0) : QVariant();
}

qint64 Database::lastInsertRowId() const {
    return connection().lastInsertRowId();
}

int Database::changes() const {
    return connection().changes();
}

bool Database::isReadOnly() const {
    return conn_ && conn_->isReadOnly();
}

bool Database::hasTable(const QString& name) {
    return connection().hasTable(name);
}

QString Database::cipherVersion() {
    return connection().cipherVersion();
}

QList<QPair<QString, QString>> Database::declaredColumns(const QString& table) {
    return connection().columns(table);
}

QStringList Database::columnNames(const QString& table) {
    QStringList names;
    for (const auto& c : declaredColumns(table))
        names << c.first;
    return names;
}

Database::StopCheck::StopCheck(Database& db, std::function<bool()> stop) : db_(db) {
    db_.connection().setStopCheck(std::move(stop));
}

Database::StopCheck::~StopCheck() {
    if (db_.conn_)
        db_.conn_->setStopCheck({});
}

qint64 Database::fileSize() {
    return connection().fileSize();
}

bool Database::readFile(qint64 offset, char* data, int size) {
    return connection().readFile(offset, data, size);
}

sqlite3* Database::handle() const {
    return conn_ ? conn_->sqliteHandle() : nullptr;
}

// ---- Transaction ----

Transaction::Transaction(Database& db) : db_(db) {
    db_.connection().begin();
}

Transaction::~Transaction() {
    if (!done_) {
        try {
            db_.connection().rollback();
        } catch (...) {
        }
    }
}

void Transaction::commit() {
    db_.connection().commit();
    done_ = true;
}

// ---- Savepoint ----

Savepoint::Savepoint(Database& db) : db_(db) {
    db_.connection().savepoint();
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
    db_.connection().release();
    done_ = true;
}

void Savepoint::rollback() {
    done_ = true;
    db_.connection().rollbackToSavepoint();
}

} // namespace store
