#include "BenchFolder.h"

#include "PersonGenerator.h"
#include "PgCluster.h"
#include "exchange/Upload.h"
#include "login/ShippedDatabase.h"
#include "records/PersonsTable.h"
#include "store/Job.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace bench {

int benchPersons() {
    return qEnvironmentVariableIsSet("TESSALY_BENCH_PERSONS")
               ? qEnvironmentVariableIntValue("TESSALY_BENCH_PERSONS")
               : 100000;
}

void writeGeneratedDatabase(const QString& path, int persons) {
    const QString cacheFolder = qEnvironmentVariable("TESSALY_BENCH_CACHE");
    const QString cached = cacheFolder.isEmpty()
                               ? QString()
                               : QDir(cacheFolder).filePath(QStringLiteral("persons-%1.mdb").arg(persons));
    if (!cached.isEmpty() && QFile::exists(cached)) {
        QFile::copy(cached, path);
        // A file kept by an earlier build gets the indexes and the planner's figures of this one,
        // as a start-up gives them, and is kept so again.
        bool added = false;
        {
            store::Database db(path);
            added = records::personIndexSteps(db) > 0;
            records::addPersonIndexes(db);
        }
        if (added && QFile::remove(cached))
            QFile::copy(path, cached);
        return;
    }
    login::writeShippedDatabase(path);
    {
        store::Database db(path);
        PersonGenerator().fill(db, persons);
        // What the first start-up on this file would do: the planner's figures of the filled table.
        records::addPersonIndexes(db);
    }
    if (!cached.isEmpty()) {
        QDir().mkpath(cacheFolder);
        QFile::copy(path, cached);
    }
}

bool onServer() {
    return qEnvironmentVariable("TESSALY_BENCH_ENGINE") == QLatin1String("postgresql");
}

QString emptyServerDatabase() {
    const QString given = qEnvironmentVariable("TESSALY_BENCH_SERVER");
    return given.isEmpty() ? testing_support::PgCluster::instance().createDatabase() : given;
}

store::Session& sharedSession() {
    static QTemporaryDir dir;
    static std::unique_ptr<store::Session> session = [] {
        const QString file = dir.filePath(QStringLiteral("lib.mdb"));
        writeGeneratedDatabase(file, benchPersons());
        auto s = std::make_unique<store::Session>(dir.path());
        if (onServer()) {
            const QString server = emptyServerDatabase();
            const auto db = store::Database::connect(server);
            // A server given with persons already on it (an earlier run's) is measured as it is.
            if (exchange::serverIsEmpty(*db))
                exchange::uploadToServer(file, *db, store::untracked());
            // What the first start-up on the server does.
            records::addPersonIndexes(*db);
            s->useServer(server, QStringLiteral("bench"));
        }
        s->open();
        s->state().currentUser = store::kSuperUser;
        return s;
    }();
    return *session;
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace bench
