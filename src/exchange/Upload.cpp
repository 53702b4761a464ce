#include "exchange/Upload.h"

#include "exchange/JetFile.h"
#include "exchange/SourceDatabase.h"
#include "exchange/TableCopy.h"
#include "exchange/Upgrade.h"
#include "login/ShippedDatabase.h"
#include "records/PersonHistory.h"
#include "store/Database.h"
#include "store/Job.h"
#include "store/Schema.h"

#include <QFile>
#include <QTemporaryDir>

namespace exchange {

using store::Database;

namespace {

// A previous version's Jet file goes up through the upgrade: into a new lib.mdb of this program
// in a folder of its own, which is then uploaded like any other.
class UpgradedCopy {
public:
    UpgradedCopy(const QString& file, store::JobControl& control) {
        if (!isJetFile(file)) {
            path_ = file;
            return;
        }
        if (!dir_.isValid())
            throw store::SqlError(
                store::SqlFailure::IoError,
                QStringLiteral("no temporary folder for the upgrade: %1").arg(dir_.errorString()));
        path_ = dir_.filePath(QStringLiteral("lib.mdb"));
        login::writeShippedDatabase(path_);
        const auto old = SourceDatabase::open(file, QString::fromLatin1(Database::kPassword));
        const auto target = store::openProgramDatabase(path_);
        upgradeFrom(*target, *old, control);
    }
    const QString& path() const { return path_; }

private:
    static bool isJetFile(const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) && readJetHeader(in.read(4096)).has_value();
    }

    QTemporaryDir dir_;
    QString path_;
};

} // namespace

QString uploadProgressText(const QString& table, qint64 done, qint64 total) {
    return QStringLiteral("正在上传“%1”表…… %2 / %3").arg(table).arg(done).arg(total);
}

bool serverIsEmpty(Database& server) {
    for (const QString& table : store::schema::tableNames()) {
        if (server.hasTable(table))
            return false;
    }
    return true;
}

void uploadToServer(const QString& file, Database& server, store::JobControl& control) {
    const UpgradedCopy copy(file, control);
    const auto source =
        store::openProgramDatabase(copy.path(), QString::fromLatin1(Database::kPassword), {true});
    const QStringList tables = carriedTables(*source);
    const qint64 total = carriedRows(*source, tables);

    store::Transaction tx(server);
    // Two copies uploading at once: the second waits here and then finds the tables.
    server.exec(QStringLiteral("SELECT pg_advisory_xact_lock(2207)"));
    if (!serverIsEmpty(server))
        throw ServerNotEmpty();
    // The persons tables as the file declares them (the file's layout was checked at open); their
    // indexes are made the way start-up makes missing ones.
    for (const QString& table : {store::schema::kPersons, store::schema::kStaging})
        createTableLike(*source, server, table);
    store::schema::createSmallTables(server);
    if (tables.contains(records::kHistoryTable))
        createTableLike(*source, server, records::kHistoryTable);

    qint64 done = 0;
    for (const QString& table : tables) {
        control.report(done, total, uploadProgressText(table, done, total));
        copyTableRows(*source, server, table, [&] {
            if (++done % 256 == 0)
                control.report(done, total, uploadProgressText(table, done, total));
        });
        // New rows go on after the copied identities.
        continueIdentities(server, table);
    }
    control.report(done, total, uploadProgressText(tables.last(), done, total));
    tx.commit();
}

} // namespace exchange
