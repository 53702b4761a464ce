#include "BenchFolder.h"

#include "PersonGenerator.h"
#include "records/ShippedDatabase.h"

#include <QFile>
#include <QTemporaryDir>

namespace bench {

store::Session& sharedSession() {
    static QTemporaryDir dir;
    static std::unique_ptr<store::Session> session = [] {
        const QString path = dir.filePath(QStringLiteral("lib.mdb"));
        records::writeShippedDatabase(path);
        const int persons = qEnvironmentVariableIsSet("TESSALY_BENCH_PERSONS")
                                ? qEnvironmentVariableIntValue("TESSALY_BENCH_PERSONS")
                                : 100000;
        {
            store::Database db(path);
            PersonGenerator().fill(db, persons);
        }
        auto s = std::make_unique<store::Session>(dir.path());
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
