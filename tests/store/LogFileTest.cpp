#include "TestFolder.h"

#include "settings/UsersWindow.h"
#include "store/LogFile.h"
#include "ui/Guard.h"
#include "ui/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

Q_LOGGING_CATEGORY(lcTest, "tessaly.test")

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(LogFile, WritesUtf8LinesAndKeepsOneOlderFileUnderItsCap) {
    testing_support::TestFolder folder(false);
    const qint64 cap = 400;
    store::MessageLog log(folder.path(), cap);
    const QString path = folder.file(QStringLiteral("tessaly.log"));
    EXPECT_EQ(log.file().path(), path);

    qCWarning(lcTest) << "第一行\n第二段";
    const QString first = readAll(path);
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral(
                        R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} tessaly\.test warning 第一行\\n第二段\n$)"))
                    .match(first)
                    .hasMatch())
        << first.toStdString();

    // Lines of about 60 bytes: the file turns over every few lines, and only one older file stays.
    for (int i = 0; i < 40; ++i)
        qCInfo(lcTest).noquote() << QStringLiteral("行%1").arg(i, 3, 10, QLatin1Char('0'));
    const QString current = readAll(path);
    const QString older = readAll(log.file().olderPath());
    EXPECT_LE(QFileInfo(path).size(), cap);
    EXPECT_LE(QFileInfo(log.file().olderPath()).size(), cap);
    EXPECT_TRUE(current.endsWith(QStringLiteral("tessaly.test info 行039\n"))) << current.toStdString();
    EXPECT_FALSE(older.isEmpty());
    EXPECT_FALSE(older.contains(QStringLiteral("第一行"))) << "the oldest lines are gone";
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("tessaly.log*")}, QDir::Files),
              (QStringList{QStringLiteral("tessaly.log"), QStringLiteral("tessaly.log.1")}));
    // Nothing lost between the two files: the older one ends where the current one starts.
    const int lastOlder = older.section(QStringLiteral("行"), -1).left(3).toInt();
    const int firstCurrent = current.section(QStringLiteral("行"), 1, 1).left(3).toInt();
    EXPECT_EQ(firstCurrent, lastOlder + 1);
}

// A directory named tessaly.log (what a path the program cannot write gives, without chmod): the
// messages are lost, the windows work and say what they always say.
TEST(LogFile, AnUnwritableLogStopsNothing) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("tessaly.log")));
    store::MessageLog log(folder.path());
    EXPECT_FALSE(log.file().append(QtWarningMsg, QStringLiteral("tessaly.test"), QStringLiteral("x")));
    qCWarning(lcTest) << "lost";

    auto session = folder.session();
    session->db().exec(QStringLiteral("PRAGMA query_only = 1"));
    settings::UsersWindow window(*session);
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("王五"));
    window.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("pw"));
    window.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("pw"));
    window.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    EXPECT_EQ(dialogs.last().text, QStringLiteral("设置有误！\n数据库文件是只读的，不能写入。"));
    EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("tessaly.log"))).isDir());

    // Once the path can be written again, the log goes on there.
    ASSERT_TRUE(QDir(folder.path()).rmdir(QStringLiteral("tessaly.log")));
    qCWarning(lcTest) << "back";
    EXPECT_TRUE(readAll(folder.file(QStringLiteral("tessaly.log"))).contains(QStringLiteral("back")));
}

// Every guarded failure names its window, what was asked and why.
TEST(LogFile, AGuardedFailureNamesItsWindowCommandAndCause) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session();
    store::MessageLog log(folder.path());
    session->db().exec(QStringLiteral("PRAGMA query_only = 1"));
    {
        settings::UsersWindow window(*session);
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        for (const char* name : {"Text1", "Text2", "Text3"})
            window.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QStringLiteral("王五"));
        window.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    }
    const QString text = readAll(folder.file(QStringLiteral("tessaly.log")));
    // Opening wrote no operator-log row, and the confirmation failed.
    EXPECT_TRUE(
        text.contains(QStringLiteral("tessaly.window warning window 用户设置 (frmOptions1), command "
                                     "operator log row 进入用户设置 failed: 数据库文件是只读的，不能写入。")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("tessaly.window warning window 用户设置 (frmOptions1), command "
                                             "确定 failed: 数据库文件是只读的，不能写入。 [")))
        << text.toStdString();
    EXPECT_EQ(ui::describeAction(nullptr, QString()), QStringLiteral("no window"));
}
