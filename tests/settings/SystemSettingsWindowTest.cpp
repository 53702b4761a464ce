#include "TestFolder.h"

#include "help/HelpWindow.h"
#include "login/MainWindow.h"
#include "settings/SystemSettingsWindow.h"
#include "ui/ScriptedDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>

#include <gtest/gtest.h>

using settings::SystemSettingsWindow;

namespace {

QString settingsRow(store::Database& db) {
    return db
        .scalar(
            QStringLiteral("SELECT dwmc || '|' || dwxz || '|' || bakpath || '|' || backpicture FROM system"))
        .toString();
}

// The settings row is shared on a server: the window works there as on the file.
class SystemSettingsOnBothEngines : public testing::TestWithParam<store::Dialect> {};

INSTANTIATE_TEST_SUITE_P(Engines, SystemSettingsOnBothEngines,
                         testing::Values(store::Dialect::Embedded, store::Dialect::Server),
                         [](const testing::TestParamInfo<store::Dialect>& info) {
                             return info.param == store::Dialect::Server ? "Server" : "Embedded";
                         });

} // namespace

TEST(SystemSettings, PictureNamesAndPositions) {
    EXPECT_EQ(settings::pictureNames().size(), 12);
    EXPECT_EQ(settings::pictureNames().at(5), QStringLiteral("Siora"));
    EXPECT_EQ(settings::picturePosition(QStringLiteral("6.jpg")), 5);
    EXPECT_EQ(settings::picturePosition(QStringLiteral("12.jpg")), 11);
    EXPECT_EQ(settings::picturePosition(QStringLiteral("0.jpg")), -1);
    EXPECT_EQ(settings::picturePosition(QString()), -1);
}

TEST(SystemSettings, OrdinaryUserChangesOnlyThePicture) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    session->db().exec(QStringLiteral("UPDATE system SET backpicture = '6.jpg'"));
    session->open();
    session->state().currentUser = QStringLiteral("张三");
    const QString before = settingsRow(session->db());
    int reloads = 0;
    SystemSettingsWindow window(*session, [&] { ++reloads; });
    EXPECT_EQ(window.windowTitle(), QStringLiteral("系统设置"));
    auto* pictures = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    EXPECT_EQ(pictures->currentText(), QStringLiteral("Siora"));
    EXPECT_FALSE(pictures->isEditable());
    EXPECT_FALSE(window.findChild<QLineEdit*>(QStringLiteral("Text1"))->isEnabled());
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label1"))->toolTip(),
              QStringLiteral("超级用户才能修改！"));
    pictures->setCurrentText(QStringLiteral("天空"));
    window.okClicked();
    EXPECT_EQ(settingsRow(session->db()),
              before.left(before.lastIndexOf(QLatin1Char('|')) + 1) + QStringLiteral("9.jpg"));
    EXPECT_EQ(session->state().backgroundPicture, QStringLiteral("9.jpg"));
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(
        session->db().scalar(QStringLiteral("SELECT group_concat(\"操作内容\") FROM \"user\"")).toString(),
        QStringLiteral("进入系统设置"));
}

TEST_P(SystemSettingsOnBothEngines, SuperUserUnitNameReachesTheStatusBar) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session(QStringLiteral("超级用户"), GetParam());
    login::MainWindow main(*session, {[] {}, [] {}});
    testing_support::trigger(main, QStringLiteral("tt1"));
    auto* window = main.findChild<SystemSettingsWindow*>(QStringLiteral("frmOptions"));
    ASSERT_NE(window, nullptr);
    auto* name = window->findChild<QLineEdit*>(QStringLiteral("Text1"));
    EXPECT_TRUE(name->isEnabled());
    name->setText(QStringLiteral("新单位"));
    window->findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral(" /备份 "));
    window->okClicked();
    main.refreshStatus();
    EXPECT_EQ(main.findChild<QLabel*>(QStringLiteral("Panel1"))->text(), QStringLiteral("新单位"));
    EXPECT_EQ(session->db().scalar(QStringLiteral("SELECT bakpath FROM system")).toString(),
              QStringLiteral(" /备份 "));
    EXPECT_EQ(session->state().backupFolder, QStringLiteral(" /备份 "));
}

TEST_P(SystemSettingsOnBothEngines, LeavingSavesNothing) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session(QStringLiteral("超级用户"), GetParam());
    const QString before = settingsRow(session->db());
    const store::ProgramState state = session->state();
    SystemSettingsWindow window(*session, [] {});
    window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("改了"));
    window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(3);
    window.leaveClicked();
    EXPECT_EQ(settingsRow(session->db()), before);
    EXPECT_EQ(session->state().unitName, state.unitName);
    EXPECT_EQ(session->state().backgroundPicture, state.backgroundPicture);
    EXPECT_EQ(testing_support::lastAction(session->db()), QStringLiteral("退出系统设置"));
}

TEST(HelpAndAbout, ShowTheHelpPageAndTheLibraries) {
    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    help::HelpWindow missing(folder.path());
    EXPECT_TRUE(missing.findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("找不到帮助文件")));
    QFile page(folder.file(QStringLiteral("help.htm")));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><body><h1>\xe5\xb8\xae\xe5\x8a\xa9</h1></body></html>");
    page.close();
    help::HelpWindow shown(folder.path());
    EXPECT_EQ(shown.windowTitle(), QStringLiteral("帮助主题"));
    EXPECT_TRUE(shown.findChild<QTextBrowser*>()->isReadOnly());
    EXPECT_TRUE(shown.findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("帮助")));
    help::AboutBox about(*session);
    const QString text = about.findChild<QLabel*>(QStringLiteral("lblDescription"))->text();
    EXPECT_TRUE(text.contains(QStringLiteral("SQLCipher 3.4")));
    EXPECT_TRUE(text.contains(QStringLiteral("版本 4.1")));
}
