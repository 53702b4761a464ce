#include "store/BulkLock.h"

#include <QByteArray>
#include <QStringList>

#include <utility>

namespace store {

namespace {

// The advisory key of bulk work; the upload uses 2207 inside its own transaction.
constexpr int kBulkKey = 2208;
const QString kNamePrefix = QStringLiteral("tessaly-bulk:");
// The server keeps 63 bytes of an application name and only printable ASCII: the operator's name
// travels as base64 of at most this many UTF-8 bytes.
constexpr int kNameBytes = 36;

QString encodedHolder(const QString& operatorName, BulkWork work) {
    QString name = operatorName;
    while (name.toUtf8().size() > kNameBytes)
        name.chop(1);
    return kNamePrefix + QString::number(int(work)) + QLatin1Char(':') +
           QString::fromLatin1(name.toUtf8().toBase64(QByteArray::Base64UrlEncoding));
}

// The operator and work an application name carries; false when it is not one of ours.
bool decodeHolder(const QString& appName, QString& name, BulkWork& work) {
    if (!appName.startsWith(kNamePrefix))
        return false;
    const QStringList parts = appName.mid(kNamePrefix.size()).split(QLatin1Char(':'));
    bool ok = false;
    const int kind = parts.value(0).toInt(&ok);
    if (parts.size() != 2 || !ok || kind < 0 || kind > int(BulkWork::Restore))
        return false;
    work = BulkWork(kind);
    name = QString::fromUtf8(QByteArray::fromBase64(parts.at(1).toLatin1(), QByteArray::Base64UrlEncoding));
    return true;
}

bool tryLock(Database& db) {
    return db.scalar(QStringLiteral("SELECT pg_try_advisory_lock(%1)::int").arg(kBulkKey)).toInt() == 1;
}

void setApplicationName(Database& db, const QString& name) {
    db.scalar(QStringLiteral("SELECT set_config('application_name', ?::text, false)"), {name});
}

// Who holds the lock on another connection: the operator and work its name carries, else its
// login role. False when nobody does (any more).
bool readHolder(Database& db, QString& name, BulkWork& work) {
    Statement st = db.prepare(
        QStringLiteral(
            "SELECT a.application_name::text, a.usename::text FROM pg_catalog.pg_locks l "
            "JOIN pg_catalog.pg_stat_activity a ON a.pid = l.pid WHERE l.locktype = 'advisory' AND "
            "l.granted AND l.database = (SELECT oid FROM pg_catalog.pg_database WHERE datname = "
            "current_database()) AND l.classid = 0 AND l.objid = %1 AND l.objsubid = 1 AND "
            "l.pid <> pg_backend_pid() LIMIT 1")
            .arg(kBulkKey));
    if (!st.step())
        return false;
    if (!decodeHolder(st.text(0), name, work))
        name = st.text(1);
    return true;
}

} // namespace

QString bulkWorkText(BulkWork work) {
    switch (work) {
    case BulkWork::ImportExcel:
        return QStringLiteral("导入Excel数据");
    case BulkWork::Merge:
        return QStringLiteral("合并数据");
    case BulkWork::CategoryReplace:
        return QStringLiteral("转类别");
    case BulkWork::Upgrade:
        return QStringLiteral("升级数据");
    case BulkWork::Initialise:
        return QStringLiteral("初始化数据");
    case BulkWork::Restore:
        return QStringLiteral("恢复数据");
    }
    return {};
}

BulkLockRefused::BulkLockRefused(QString holder, BulkWork work)
    : std::runtime_error("bulk work held by another operator"), holder_(std::move(holder)), work_(work) {}

QString BulkLockRefused::message() const {
    return QStringLiteral("操作员“%1”正在%2，请稍后再试。").arg(holder_, bulkWorkText(work_));
}

BulkLock::BulkLock(Database& db, const QString& operatorName, BulkWork work) {
    if (db.dialect() != Dialect::Server)
        return;
    const QString previous =
        db.scalar(QStringLiteral("SELECT current_setting('application_name')")).toString();
    // Named before it is held, so whoever is refused can always read who holds it.
    setApplicationName(db, encodedHolder(operatorName, work));
    QString holder;
    BulkWork holderWork = work;
    // The holder may finish between the refusal and the reading: then try again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (tryLock(db)) {
            db_ = &db;
            previous_ = previous;
            return;
        }
        if (readHolder(db, holder, holderWork))
            break;
    }
    setApplicationName(db, previous);
    throw BulkLockRefused(holder, holderWork);
}

BulkLock::BulkLock(BulkLock&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), previous_(std::move(other.previous_)) {}

BulkLock& BulkLock::operator=(BulkLock&& other) noexcept {
    if (this != &other) {
        release();
        db_ = std::exchange(other.db_, nullptr);
        previous_ = std::move(other.previous_);
    }
    return *this;
}

BulkLock::~BulkLock() {
    release();
}

void BulkLock::release() noexcept {
    Database* db = std::exchange(db_, nullptr);
    if (!db || !db->isOpen())
        return;
    // A connection that died took the lock with it; the name goes back for the status of others.
    try {
        db->scalar(QStringLiteral("SELECT pg_advisory_unlock(%1)::int").arg(kBulkKey));
        setApplicationName(*db, previous_);
    } catch (const std::exception& e) {
        qCWarning(lcStore) << "bulk lock not released (the server releases it with the connection):"
                           << e.what();
    }
}

} // namespace store
