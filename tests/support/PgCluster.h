#pragma once

#include <QString>

#include <memory>

namespace testing_support {

// A throw-away PostgreSQL cluster of this test process: made with initdb (C locale, UTF8) in a
// short temporary folder, listening only on a Unix socket there, started on first use and stopped
// and removed when the process ends. As root it runs as the postgres system user, since the
// server refuses to run as root. fsync and synchronous_commit are off: nothing outlives the
// process.
class PgCluster {
public:
    // Starts the cluster on first use; throws std::runtime_error when it cannot.
    static PgCluster& instance();

    // A new, empty database (UTF8, C collation) on the cluster, as a libpq connection string.
    QString createDatabase();
    QString folder() const { return folder_; }

    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;
    ~PgCluster();

private:
    PgCluster();
    QString conninfo(const QString& database) const;

    QString folder_;
    QString bin_;
    bool started_ = false;
    int databases_ = 0;
};

} // namespace testing_support
