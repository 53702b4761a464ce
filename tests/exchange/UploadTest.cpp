// An embedded lib.mdb going up into an empty server database, and the program working on it.

#include "PgCluster.h"
#include "TestFolder.h"

#include "exchange/Export.h"
#include "exchange/Upload.h"
#include "exchange/Workbook.h"
#include "login/AppController.h"
#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "login/ServerLoginWindow.h"
#include "store/Database.h"
#include "store/Job.h"
#include "store/Schema.h"
#include "store/ServerConfig.h"
#include "ui/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <minizip/unzip.h>

#include <map>

using namespace store;

namespace {

// Every row of a table with its row identity, as the engine hands the values back.
QList<QVariantList> rowsOf(Database& db, const QString& table) {
    const QStringList columns = db.columnNames(table);
    QStringList names;
    for (const QString& c : columns)
        names << quoted(c);
    Statement st = db.prepare(
        QStringLiteral("SELECT %1, rowid FROM %2 ORDER BY rowid").arg(names.join(", "), quoted(table)));
    QList<QVariantList> rows;
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i <= columns.size(); ++i)
            row << st.value(i);
        rows << row;
    }
    return rows;
}

// Two persons with a value of every kind (and a Null of every kind) in the shipped database.
void addPersons(testing_support::TestFolder& folder) {
    const auto db = openProgramDatabase(folder.file(QStringLiteral("lib.mdb")));
    const std::vector<TableColumn> columns = tableColumns(*db, schema::kPersons);
    for (int person = 0; person < 2; ++person) {
        QStringList names;
        QStringList marks;
        QVariantList values;
        for (const TableColumn& c : columns) {
            QVariant v;
            const bool full = person == 0 || c.name == QStringLiteral("个人编号");
            switch (c.type) {
            case JetType::Text:
            case JetType::Memo:
                if (c.name == QStringLiteral("个人编号"))
                    v = QStringLiteral("00000%1").arg(person + 1);
                else
                    v = full ? QStringLiteral("a") : QString("");
                break;
            case JetType::Date:
                v = full ? QVariant(QStringLiteral("1950-03-01")) : QVariant();
                break;
            case JetType::Single:
                v = full ? QVariant(1234.56) : QVariant();
                break;
            case JetType::Long:
            case JetType::Boolean:
                v = full ? QVariant(1) : QVariant();
                break;
            case JetType::LongBinary:
                v = full ? QVariant(QByteArray("\x00\xff\xd8 jpeg", 8)) : QVariant();
                break;
            case JetType::Other:
                break;
            }
            names << quoted(c.name);
            marks << QStringLiteral("?");
            values << v;
        }
        db->exec(QStringLiteral("INSERT INTO wslib (%1) VALUES (%2)").arg(names.join(", "), marks.join(", ")),
                 values);
    }
}

// Every part of a workbook but its time stamps (docProps/core.xml), by name.
std::map<QString, QByteArray> workbookParts(const QString& path) {
    std::map<QString, QByteArray> parts;
    unzFile zip = unzOpen64(path.toLocal8Bit().constData());
    if (!zip)
        return parts;
    for (int more = unzGoToFirstFile(zip); more == UNZ_OK; more = unzGoToNextFile(zip)) {
        char name[256];
        unz_file_info64 info{};
        unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        if (QLatin1String(name) == QLatin1String("docProps/core.xml") || unzOpenCurrentFile(zip) != UNZ_OK)
            continue;
        QByteArray bytes(qsizetype(info.uncompressed_size), '\0');
        unzReadCurrentFile(zip, bytes.data(), unsigned(bytes.size()));
        unzCloseCurrentFile(zip);
        parts[QString::fromLatin1(name)] = bytes;
    }
    unzClose(zip);
    return parts;
}

TEST(Upload, CopiesEveryTableValueForValueOnceAndCancelLeavesTheServerEmpty) {
    testing_support::TestFolder folder;
    addPersons(folder);
    const QString file = folder.file(QStringLiteral("lib.mdb"));
    const auto server = Database::connect(testing_support::PgCluster::instance().createDatabase());

    JobControl stopped;
    stopped.requestStop();
    EXPECT_THROW(exchange::uploadToServer(file, *server, stopped), Cancelled);
    EXPECT_TRUE(exchange::serverIsEmpty(*server));

    exchange::uploadToServer(file, *server, untracked());
    const auto embedded = openProgramDatabase(file);
    for (const QString& table : schema::tableNames()) {
        SCOPED_TRACE(table.toStdString());
        EXPECT_EQ(server->declaredColumns(table), embedded->declaredColumns(table));
        const auto rows = rowsOf(*embedded, table);
        EXPECT_EQ(rowsOf(*server, table), rows);
    }
    EXPECT_EQ(rowsOf(*server, schema::kPersons).size(), 2);
    // New rows follow the copied identities.
    server->exec(QStringLiteral("INSERT INTO km (kmmc) VALUES ('新')"));
    EXPECT_EQ(server->lastInsertRowId(),
              rowsOf(*embedded, schema::kCategories).constLast().constLast().toLongLong() + 1);

    EXPECT_THROW(exchange::uploadToServer(file, *server, untracked()), exchange::ServerNotEmpty);

    // The same persons export to the same workbook from either engine.
    for (auto [db, name] :
         {std::pair{embedded.get(), "embedded.xlsx"}, std::pair{server.get(), "server.xlsx"}}) {
        exchange::WorkbookWriter book(folder.file(QLatin1String(name)));
        exchange::writePersons(book, *db, QStringLiteral("单位"));
        book.save();
    }
    const auto parts = workbookParts(folder.file(QStringLiteral("embedded.xlsx")));
    EXPECT_GT(parts.size(), 3u);
    EXPECT_TRUE(parts == workbookParts(folder.file(QStringLiteral("server.xlsx"))));
}

// Fills the server login as an operator does once it shows, and presses 连接.
void answerServerLogin(const QString& user, int* shown) {
    QTimer::singleShot(50, [=] {
        auto* window = qobject_cast<login::ServerLoginWindow*>(QApplication::activeModalWidget());
        if (!window)
            return answerServerLogin(user, shown);
        ++*shown;
        EXPECT_EQ(window->windowTitle(), QStringLiteral("连接服务器"));
        window->findChild<QLineEdit*>(QStringLiteral("Text0"))->setText(user);
        window->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("口令"));
        window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
}

TEST(ServerMode, StartsOnTheServerOfTheIniUploadsIntoItAndLogsInWithItsUsers) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder source;
    testing_support::TestFolder folder(false); // no lib.mdb: everything comes from the server
    const QString conninfo = testing_support::PgCluster::instance().createDatabase();
    {
        QFile ini(folder.file(QStringLiteral("tessaly.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[server]\nconnection=" + conninfo.toUtf8() + "\n");
    }
    const QString described = ServerConfig(conninfo).describe();

    // An empty user name is refused in the window; then a login the server takes.
    {
        login::ServerLoginWindow window{ServerConfig(conninfo)};
        auto* user = window.findChild<QLineEdit*>(QStringLiteral("Text0"));
        EXPECT_EQ(user->text(), QStringLiteral("postgres")) << "the user the file names is offered";
        user->clear();
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.last().text, QStringLiteral("请输入服务器的用户名"));
        EXPECT_EQ(dialogs.last().title, QStringLiteral("连接服务器"));
        EXPECT_EQ(window.result(), QDialog::Rejected);
    }

    login::AppController app(folder.path(), folder.clock.clock());
    app.quit = [] {};
    int shown = 0;
    answerServerLogin(QStringLiteral("postgres"), &shown);
    dialogs.answer({true});
    dialogs.files.enqueue(source.file(QStringLiteral("lib.mdb")));
    ASSERT_TRUE(app.start());
    EXPECT_EQ(shown, 1);
    ASSERT_GE(dialogs.shown.size(), 3);
    EXPECT_EQ(dialogs.shown[1].text, login::emptyServerQuestion(described));
    EXPECT_EQ(dialogs.last().text, QStringLiteral("数据库已上传到服务器。"));
    EXPECT_EQ(app.session().db().dialect(), Dialect::Server);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("lib.mdb"))));

    login::LoginWindow* loginWindow = app.loginWindow();
    ASSERT_NE(loginWindow, nullptr);
    auto* names = loginWindow->findChild<QComboBox*>(QStringLiteral("Combo1"));
    ASSERT_GE(names->count(), 1);
    names->setCurrentIndex(names->findText(QStringLiteral("超级用户")));
    loginWindow->logInClicked();
    ASSERT_NE(app.mainWindow(), nullptr);
    EXPECT_EQ(testing_support::lastAction(app.session().db()), QStringLiteral("进入系统"));

    // The status bar names the server and counts the connections; the upload menu item refuses
    // a server that holds data.
    auto* panel = app.mainWindow()->findChild<QLabel*>(QStringLiteral("ServerPanel"));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->text().startsWith(QStringLiteral("在线：")) &&
                panel->text().endsWith(QStringLiteral("  服务器：") + described))
        << panel->text().toStdString();
    testing_support::trigger(*app.mainWindow(), QStringLiteral("upServer"));
    EXPECT_EQ(dialogs.last().text,
              QStringLiteral("服务器上的数据库已经有数据，不能上传。\n只能上传到一个空的服务器数据库。"));
    EXPECT_EQ(dialogs.last().title, QStringLiteral("上传到服务器"));
}

TEST(ServerMode, WithoutTheIniTheMenuHasNoUploadAndTheFileIsUsed) {
    testing_support::TestFolder folder;
    login::AppController app(folder.path(), folder.clock.clock());
    app.quit = [] {};
    ASSERT_TRUE(app.start());
    EXPECT_EQ(app.session().db().dialect(), Dialect::Embedded);
    EXPECT_FALSE(app.session().onServer());
}

} // namespace
