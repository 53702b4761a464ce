#include "PgCluster.h"

#include "store/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace testing_support {

namespace {

QString serverPrograms() {
    QProcess config;
    config.start(QStringLiteral("pg_config"), {QStringLiteral("--bindir")});
    if (config.waitForFinished(10000) && config.exitCode() == 0) {
        const QString dir = QString::fromLocal8Bit(config.readAllStandardOutput()).trimmed();
        if (QFileInfo::exists(dir + QStringLiteral("/initdb")))
            return dir;
    }
    return QStringLiteral("/usr/lib/postgresql/15/bin");
}

// Runs one of the server's programs, as the postgres user when we are root.
void runServerProgram(const QString& program, const QStringList& arguments) {
    QStringList command;
    if (::geteuid() == 0)
        command << QStringLiteral("runuser") << QStringLiteral("-u") << QStringLiteral("postgres")
                << QStringLiteral("--");
    command << program << arguments;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.takeFirst(), command);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(
            QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAll())).toStdString());
}

} // namespace

PgCluster& PgCluster::instance() {
    // Destroyed at exit, after every test, whether they passed or not.
    static PgCluster cluster;
    return cluster;
}

PgCluster::PgCluster() : bin_(serverPrograms()) {
    // The socket's path must stay under 107 bytes: a short folder right under /tmp.
    QByteArray name("/tmp/tpgXXXXXX");
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("cannot make a folder for the test cluster");
    folder_ = QString::fromLocal8Bit(name);
    if (::geteuid() == 0) {
        const passwd* postgres = ::getpwnam("postgres");
        if (!postgres || ::chown(name.constData(), postgres->pw_uid, postgres->pw_gid) != 0)
            throw std::runtime_error("the postgres system user cannot own the test cluster's folder");
    }
    const QString data = folder_ + QStringLiteral("/data");
    try {
        runServerProgram(bin_ + QStringLiteral("/initdb"),
                         {QStringLiteral("-D"), data, QStringLiteral("--locale=C"), QStringLiteral("-E"),
                          QStringLiteral("UTF8"), QStringLiteral("-A"), QStringLiteral("trust"),
                          QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("--no-sync")});
        const QString options =
            QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' "
                           "-c fsync=off -c synchronous_commit=off -c full_page_writes=off")
                .arg(folder_);
        runServerProgram(bin_ + QStringLiteral("/pg_ctl"),
                         {QStringLiteral("-D"), data, QStringLiteral("-w"), QStringLiteral("-l"),
                          folder_ + QStringLiteral("/server.log"), QStringLiteral("-o"), options,
                          QStringLiteral("start")});
        started_ = true;
    } catch (...) {
        QDir(folder_).removeRecursively();
        throw;
    }
}

PgCluster::~PgCluster() {
    if (started_) {
        try {
            runServerProgram(bin_ + QStringLiteral("/pg_ctl"),
                             {QStringLiteral("-D"), folder_ + QStringLiteral("/data"), QStringLiteral("-m"),
                              QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        } catch (const std::exception&) {
        }
    }
    QDir(folder_).removeRecursively();
}

QString PgCluster::conninfo(const QString& database) const {
    return QStringLiteral("host=%1 port=5432 user=postgres dbname=%2").arg(folder_, database);
}

QString PgCluster::createDatabase() {
    const QString name = QStringLiteral("t%1").arg(++databases_);
    const auto admin = store::Database::connect(conninfo(QStringLiteral("postgres")));
    admin->exec(
        QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'")
            .arg(name));
    return conninfo(name);
}

} // namespace testing_support
