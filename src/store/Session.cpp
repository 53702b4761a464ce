#include "store/Session.h"

namespace store {

Session::Session(QString programFolder, Clock clock)
    : folder_(std::move(programFolder)), clock_(std::move(clock)) {}

std::unique_ptr<Database> DatabaseTarget::open(const OpenOptions& options) const {
    if (!onServer())
        return openProgramDatabase(file, QString::fromLatin1(Database::kPassword), options);
    auto db = Database::connect(server, options);
    db->checkTables();
    return db;
}

void Session::useServer(QString connection, QString description) {
    server_ = std::move(connection);
    serverDescription_ = std::move(description);
}

void Session::open() {
    close();
    auto db = target().open(options_);
    readSettings(*db, state_);
    db_ = std::move(db);
    log_ = std::make_unique<OperatorLog>(*db_, state_, clock_);
}

// The log object stays while the connection is closed: a write then fails as a database error
// instead of reaching a missing object.
void Session::closeConnection() {
    if (db_)
        db_->close();
}

void Session::reopenConnection() {
    db_->reopen();
    log_ = std::make_unique<OperatorLog>(*db_, state_, clock_);
}

QString Session::backupFolder() const {
    const QString stored = state_.backupFolder.trimmed();
    return QDir::cleanPath(QDir(folder_).absoluteFilePath(stored));
}

void Session::close() {
    log_.reset();
    db_.reset();
}

} // namespace store
