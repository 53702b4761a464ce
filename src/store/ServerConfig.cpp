#include "store/ServerConfig.h"

#include "store/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <libpq-fe.h>

#include <map>
#include <memory>

namespace store {

namespace {

// The keywords of a connection string and their values; throws ServerConfigError when libpq
// cannot read it.
std::map<QString, QString> parse(const QString& connection) {
    char* error = nullptr;
    const QByteArray utf8 = connection.toUtf8();
    std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(
        PQconninfoParse(utf8.constData(), &error), &PQconninfoFree);
    if (!options) {
        const QString why = error ? QString::fromUtf8(error).trimmed() : QString();
        PQfreemem(error);
        throw ServerConfigError(why);
    }
    std::map<QString, QString> values;
    for (const PQconninfoOption* o = options.get(); o->keyword; ++o) {
        if (o->val)
            values[QString::fromUtf8(o->keyword)] = QString::fromUtf8(o->val);
    }
    return values;
}

QString quotedValue(const QString& value) {
    QString s = value;
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

} // namespace

std::optional<ServerConfig> ServerConfig::read(const QString& programFolder) {
    const QString path = QDir(programFolder).filePath(fileName());
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QSettings ini(path, QSettings::IniFormat);
    const QString connection = ini.value(QStringLiteral("server/connection")).toString().trimmed();
    if (ini.status() != QSettings::NoError || connection.isEmpty())
        throw ServerConfigError(QStringLiteral("[server] connection"));
    ServerConfig config(connection);
    parse(connection); // refuses a string libpq cannot read
    return config;
}

ServerConfig::ServerConfig(QString connection) : connection_(std::move(connection)) {}

QString ServerConfig::connectionFor(const QString& user, const QString& password) const {
    // Later keywords win in a libpq connection string.
    return connection_ + QStringLiteral(" user=") + quotedValue(user) + QStringLiteral(" password=") +
           quotedValue(password);
}

QString ServerConfig::describe() const {
    const auto values = parse(connection_);
    const auto get = [&](const char* key) {
        const auto it = values.find(QString::fromLatin1(key));
        return it == values.end() ? QString() : it->second;
    };
    QString host = get("host");
    if (host.isEmpty())
        host = get("hostaddr");
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    const QString port = get("port");
    if (!port.isEmpty())
        host += QLatin1Char(':') + port;
    QString dbname = get("dbname");
    if (dbname.isEmpty())
        dbname = get("user");
    return host + QLatin1Char('/') + dbname;
}

QString ServerConfig::user() const {
    const auto values = parse(connection_);
    const auto it = values.find(QStringLiteral("user"));
    return it == values.end() ? QString() : it->second;
}

qint64 connectedSessions(Database& db) {
    return db
        .scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"))
        .toLongLong();
}

} // namespace store
