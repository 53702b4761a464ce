#pragma once

#include <QString>

#include <optional>
#include <stdexcept>

namespace store {

class Database;

// tessaly.ini in the program folder names the PostgreSQL server the program works on:
//   [server]
//   connection=host=db.example port=5432 dbname=tessaly sslmode=require
// Without the file the program works on lib.mdb as always. The server's user name and password
// are asked at every start and never written to the file.
class ServerConfig {
public:
    // Throws ServerConfigError when the file is there but names no usable server.
    static std::optional<ServerConfig> read(const QString& programFolder);
    static QString fileName() { return QStringLiteral("tessaly.ini"); }

    explicit ServerConfig(QString connection);
    const QString& connection() const { return connection_; }
    // The connection string with the server login added (it overrides one named in the file).
    QString connectionFor(const QString& user, const QString& password) const;
    // "host/dbname" for the operator's eye: never the password.
    QString describe() const;
    // The user the file names, if any, as a default for the login.
    QString user() const;

private:
    QString connection_;
};

class ServerConfigError : public std::runtime_error {
public:
    explicit ServerConfigError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Connections to this server database at the moment (every running copy and its work).
qint64 connectedSessions(Database& db);

} // namespace store
