#pragma once

#include "store/Database.h"
#include "store/OperatorLog.h"
#include "store/PrintRecord.h"
#include "store/ProgramState.h"

#include <QDir>

#include <memory>
#include <optional>
#include <vector>

namespace store {

// Where the program's data lives: lib.mdb in the program folder, or a server database (the
// libpq connection string with the server login, held in memory only).
struct DatabaseTarget {
    QString file;
    QString server;
    bool onServer() const { return !server.isEmpty(); }
    // A connection to this program's database (the seven tables checked); throws OpenError.
    std::unique_ptr<Database> open(const OpenOptions& options) const;
};

// What one run shares: the program folder, the connection, the program state and the log.
class Session {
public:
    explicit Session(QString programFolder, Clock clock = &QDateTime::currentDateTime);

    // From now on open() connects to this server (connection string with the login) instead of
    // opening lib.mdb; `description` names it for the operator ("host/dbname").
    void useServer(QString connection, QString description);
    bool onServer() const { return !server_.isEmpty(); }
    const QString& serverDescription() const { return serverDescription_; }
    // What open() opens; each job opens its own connection on it.
    DatabaseTarget target() const { return {databasePath(), server_}; }

    // Opens lib.mdb (or the server) and reads the settings row; throws OpenError or SqlError.
    void open();
    void close();
    // How open() opens lib.mdb; tests open it read-only to make every write fail.
    OpenOptions& openOptions() { return options_; }
    // For work on the file itself: the connection closes and opens again on whatever file is
    // then in place, on the same Database object, so windows keep their reference; the log is
    // attached to the new connection before anything is logged. Reopening throws OpenError.
    void closeConnection();
    void reopenConnection();

    Database& db() { return *db_; }
    ProgramState& state() { return state_; }
    const ProgramState& state() const { return state_; }
    OperatorLog& log() { return *log_; }
    PrintRecord& printSettings() { return print_; }
    const Clock& clock() const { return clock_; }
    QDateTime now() const { return clock_(); }

    const QString& programFolder() const { return folder_; }
    QString filePath(const QString& name) const { return QDir(folder_).filePath(name); }
    QString databasePath() const { return filePath(QStringLiteral("lib.mdb")); }
    // The folder the backup and restore dialogs open in: the stored backup folder, where empty or
    // relative taken from the program folder.
    QString backupFolder() const;

    // The where-fragment the query window leaves for the results window, which reads it once
    // and empties it.
    QString& pendingExpression() { return pendingExpression_; }

    // The persons the last results window showed, as row identities in its order; nothing until
    // a query has run. Statistics may count only them.
    std::optional<std::vector<qint64>>& lastResults() { return lastResults_; }

    // True while long work writes on its own connection: grids then serve what they hold rather
    // than wait on the database until the work commits.
    bool jobWriting() const { return jobWriting_; }
    void setJobWriting(bool writing) { jobWriting_ = writing; }

private:
    QString folder_;
    QString server_;
    QString serverDescription_;
    Clock clock_;
    OpenOptions options_;
    ProgramState state_;
    PrintRecord print_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<OperatorLog> log_;
    QString pendingExpression_;
    std::optional<std::vector<qint64>> lastResults_;
    bool jobWriting_ = false;
};

} // namespace store
