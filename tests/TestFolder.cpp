#include "TestFolder.h"

#include "PgCluster.h"
#include "ProgramTables.h"

#include "login/ShippedDatabase.h"

#include <QAction>
#include <QFile>
#include <QWidget>

#include <gtest/gtest.h>

namespace testing_support {

namespace {

// Writing the database once per test process keeps each test quick.
QString templateDatabase() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("lib.mdb"));
        login::writeShippedDatabase(p);
        return p;
    }();
    return path;
}

} // namespace

TestFolder::TestFolder(bool withDatabase) {
    if (withDatabase)
        QFile::copy(templateDatabase(), file(QStringLiteral("lib.mdb")));
}

std::unique_ptr<store::Session> TestFolder::session(const QString& user) {
    auto s = std::make_unique<store::Session>(path(), clock.clock());
    s->open();
    s->state().currentUser = user;
    return s;
}

std::unique_ptr<store::Session> TestFolder::session(const QString& user, store::Dialect dialect) {
    if (dialect == store::Dialect::Embedded)
        return session(user);
    const QString server = PgCluster::instance().createDatabase();
    writeProgramTables(*store::Database::connect(server));
    auto s = std::make_unique<store::Session>(path(), clock.clock());
    s->useServer(server, QStringLiteral("test"));
    s->open();
    s->state().currentUser = user;
    return s;
}

QString lastAction(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT \"操作内容\" FROM \"user\" ORDER BY rowid DESC LIMIT 1"))
        .toString();
}

QStringList everyRow(store::Database& db, const QStringList& tables) {
    QStringList rows;
    for (const QString& table : tables) {
        store::Statement st =
            db.prepare(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(store::quoted(table)));
        while (st.step()) {
            QStringList cells;
            for (int c = 0; c < st.columnCount(); ++c)
                cells << st.value(c).toString();
            rows << table + QLatin1Char(':') + cells.join(QLatin1Char('|'));
        }
    }
    return rows;
}

qint64 countRows(store::Database& db, const QString& table, const QString& where) {
    QString sql = QStringLiteral("SELECT count(*) FROM %1").arg(store::quoted(table));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    return db.scalar(sql).toLongLong();
}

QVariant personValue(store::Database& db, const QString& number, const char* column) {
    return db.scalar(QStringLiteral("SELECT %1 FROM wslib WHERE \"个人编号\" = ?")
                         .arg(store::quoted(QString::fromUtf8(column))),
                     {number});
}

void trigger(QWidget& window, const QString& key) {
    QAction* action = window.findChild<QAction*>(key);
    if (!action) {
        ADD_FAILURE() << "no action " << key.toStdString();
        return;
    }
    action->trigger();
}

bool useSaneTestDevice() {
    static QTemporaryDir dir;
    static const bool written = [] {
        const auto write = [](const QString& name, const char* text) {
            QFile f(dir.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(text) > 0;
        };
        const bool ok = write(QStringLiteral("dll.conf"), "test\n") &&
                        write(QStringLiteral("test.conf"), "number_of_devices 1\nmode Color\ndepth 8\n"
                                                           "resolution 25\ntest-picture \"Color pattern\"\n"
                                                           "br_x 40.0\nbr_y 30.0\n");
        qputenv("SANE_CONFIG_DIR", dir.path().toLocal8Bit());
        return ok;
    }();
    return written;
}

} // namespace testing_support
