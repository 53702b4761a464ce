#include "TestFolder.h"

#include "login/MainCommands.h"
#include "store/JetValues.h"
#include "store/OperatorLog.h"
#include "store/ProgramState.h"

#include <gtest/gtest.h>

using namespace store;

TEST(Settings, InputColourIsTheNumericValueOfTheStoredText) {
    EXPECT_EQ(parseInputColour(QString()), 0);
    EXPECT_EQ(parseInputColour(QStringLiteral("abc")), 0);
    EXPECT_EQ(parseInputColour(QStringLiteral("16777215")), 16777215);
    EXPECT_EQ(parseInputColour(QStringLiteral(" 255 red")), 255);
    EXPECT_EQ(parseInputColour(QStringLiteral("12.5")), 12);
    EXPECT_EQ(parseInputColour(QStringLiteral("13.5")), 14);
}

TEST(Settings, StartUpReadsTheSettingsRow) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    session->db().exec(
        QStringLiteral("UPDATE system SET systempass = '', bakpath = '  D:\\backup  ', dwmc = 'X单位'"));
    session->open();
    EXPECT_EQ(session->state().inputColour, 0);
    EXPECT_EQ(session->state().backupFolder, QStringLiteral("D:\\backup"));
    EXPECT_EQ(session->state().unitName, QStringLiteral("X单位"));
    EXPECT_EQ(session->state().backgroundPicture, QStringLiteral("1.jpg"));
}

TEST(Settings, NumericPrefix) {
    EXPECT_DOUBLE_EQ(numericPrefix(QStringLiteral("12.5元")), 12.5);
    EXPECT_DOUBLE_EQ(numericPrefix(QStringLiteral("  -3")), -3.0);
    EXPECT_DOUBLE_EQ(numericPrefix(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(numericPrefix(QStringLiteral("1234.5")), 1234.5);
    EXPECT_DOUBLE_EQ(numericPrefix(QStringLiteral("1.2.3")), 1.2);
}

TEST(Settings, LogAndStatusTexts) {
    EXPECT_EQ(logStamp(QDateTime(QDate(2009, 2, 1), QTime(7, 3))), QStringLiteral("2009年02月01日07时03分"));
    EXPECT_EQ(logStamp(QDateTime(QDate(2008, 6, 23), QTime(17, 0))),
              QStringLiteral("2008年06月23日17时00分"));
    EXPECT_EQ(login::statusClockText(QDateTime(QDate(2008, 6, 23), QTime(9, 5))),
              QStringLiteral("星期一 2008年06月23日   9时5分"));
    EXPECT_EQ(login::statusClockText(QDateTime(QDate(2008, 6, 29), QTime(23, 59))),
              QStringLiteral("星期日 2008年06月29日   23时59分"));
}

TEST(Settings, DatesAreReadInTheFormsOperatorsType) {
    EXPECT_EQ(parseDate(QStringLiteral("1950-03")), QDate(1950, 3, 1));
    EXPECT_EQ(parseDate(QStringLiteral("1950-3-5")), QDate(1950, 3, 5));
    EXPECT_EQ(parseDate(QStringLiteral("1950-03-15")), QDate(1950, 3, 15));
    EXPECT_FALSE(parseDate(QStringLiteral("2011-13")).has_value());
    EXPECT_FALSE(parseDate(QStringLiteral("1950-02-30")).has_value());
    EXPECT_FALSE(parseDate(QStringLiteral("19500315")).has_value());
    EXPECT_EQ(displayYearMonth(QStringLiteral("1950-03-15")), QStringLiteral("1950-03"));
    EXPECT_EQ(displayYearMonth(QVariant()), QString());
}

TEST(ShippedDatabase, StoresNoBackupFolderAndMeansTheProgramFolder) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    EXPECT_EQ(session->db().scalar(QStringLiteral("SELECT bakpath FROM \"system\"")).toString(), QString());
    EXPECT_EQ(session->backupFolder(), QDir::cleanPath(folder.path()));
    session->state().backupFolder = QStringLiteral("备份");
    EXPECT_EQ(session->backupFolder(), QDir::cleanPath(folder.path() + QStringLiteral("/备份")));
    session->state().backupFolder = QStringLiteral("/mnt/usb/备份");
    EXPECT_EQ(session->backupFolder(), QStringLiteral("/mnt/usb/备份"));
}
