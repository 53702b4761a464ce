// tessaly.ini: which database the program works on.

#include "PgCluster.h"
#include "TestFolder.h"

#include "store/Database.h"
#include "store/ServerConfig.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace store;

namespace {

void writeIni(const testing_support::TestFolder& folder, const QByteArray& text) {
    QFile f(folder.file(ServerConfig::fileName()));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(ServerConfig, TheFileNamesTheServerAndItsAbsenceMeansTheEmbeddedFile) {
    struct Case {
        const char* ini; // nullptr: no file
        const char* connection;
        const char* described; // nullptr: refused
    };
    const Case cases[] = {
        {nullptr, "", ""},
        {"[server]\nconnection=host=db.office port=5433 dbname=老干部 sslmode=require\n",
         "host=db.office port=5433 dbname=老干部 sslmode=require", "db.office:5433/老干部"},
        {"[server]\nconnection=\n", nullptr, nullptr},
        {"[server]\nconnection=host=db dbname='unclosed\n", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini ? c.ini : "(no file)");
        testing_support::TestFolder folder(false);
        if (c.ini)
            writeIni(folder, c.ini);
        if (!c.described) {
            EXPECT_THROW(ServerConfig::read(folder.path()), ServerConfigError);
            continue;
        }
        const auto config = ServerConfig::read(folder.path());
        if (!c.ini) {
            EXPECT_FALSE(config.has_value());
            continue;
        }
        ASSERT_TRUE(config.has_value());
        EXPECT_EQ(config->connection(), QString::fromUtf8(c.connection));
        EXPECT_EQ(config->describe(), QString::fromUtf8(c.described));
    }
}

TEST(ServerConfig, TheLoginJoinsTheConnectionAndTheConnectionsAreCounted) {
    const QString conninfo = testing_support::PgCluster::instance().createDatabase();
    // The test cluster trusts its socket: any password is taken, so the quoting is what is tested.
    const ServerConfig config(conninfo + QStringLiteral(" user=nobody"));
    EXPECT_EQ(config.user(), QStringLiteral("nobody"));
    const QString withLogin = config.connectionFor(QStringLiteral("postgres"), QStringLiteral("a b'c\\d"));
    EXPECT_TRUE(withLogin.endsWith(QStringLiteral(" user='postgres' password='a b\\'c\\\\d'")));
    const auto first = Database::connect(withLogin);
    EXPECT_EQ(first->scalar(QStringLiteral("SELECT current_user")).toString(), QStringLiteral("postgres"));
    const qint64 before = connectedSessions(*first);
    const auto second = Database::connect(withLogin);
    EXPECT_EQ(connectedSessions(*first), before + 1);

    // The password never reaches what is shown or logged, connected or refused.
    EXPECT_FALSE(first->path().contains(QStringLiteral("a b")));
    try {
        Database::connect(config.connectionFor(QStringLiteral("no_such_role"), QStringLiteral("secret")));
        ADD_FAILURE() << "an unknown role connected";
    } catch (const OpenError& e) {
        EXPECT_FALSE(e.path().contains(QStringLiteral("secret")));
        EXPECT_FALSE(QString::fromUtf8(e.what()).contains(QStringLiteral("secret")));
    }
}

} // namespace
