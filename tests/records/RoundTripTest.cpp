#include "TestFolder.h"

#include "records/EntryForm.h"
#include "records/EntryRules.h"
#include "records/EntryWindow.h"
#include "records/PersonRecord.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"

#include <QLineEdit>

#include <gtest/gtest.h>

using namespace records;

namespace {

struct Stored {
    Stored() : session(folder.session()) {}

    // A row as a foreign file may leave it: values the boxes cannot show as stored.
    qint64 addPerson(const QString& number, const QVariant& pension) {
        auto& db = session->db();
        db.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
        db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"档案编号\", \"出生年月\", \"退休年月\", \"基本养老金\", "
                               "\"劳模\", \"备注\") VALUES (?, ?, '1950-03-15', '1990-02-30', ?, 1, ?)"),
                {number, QStringLiteral("欧阳").repeated(15), pension, QStringLiteral("第一行\n第二行")});
        db.exec(QStringLiteral("PRAGMA ignore_check_constraints = OFF"));
        return db.lastInsertRowId();
    }
    QVariantList row(qint64 rowid) { return readRow(session->db(), QStringLiteral("wslib"), rowid); }
    QLineEdit* edit(const char* name) {
        return window->form().findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    EntryWindow& open() {
        window = std::make_unique<EntryWindow>(*session, [] {});
        return *window;
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<EntryWindow> window;
};

} // namespace

TEST(RoundTrip, SavingAnUntouchedRecordTwiceChangesNothing) {
    Stored f;
    const qint64 big = f.addPerson(QStringLiteral("000001"), 12345678.0);
    const qint64 tiny = f.addPerson(QStringLiteral("000002"), 0.00001);
    const QVariantList bigBefore = f.row(big);
    const QVariantList tinyBefore = f.row(tiny);
    EntryWindow& w = f.open();

    EXPECT_EQ(f.edit("Text12")->text(), QStringLiteral("12345678")) << "plain decimal, every digit";
    EXPECT_EQ(f.edit("Text5")->text(), QStringLiteral("1950-03"));
    EXPECT_EQ(f.edit("Text8")->text(), QStringLiteral("1990-02-30")) << "an impossible date is shown as stored";
    w.saveRecord();
    w.saveRecord();
    EXPECT_EQ(f.row(big), bigBefore);

    w.moveTo(1);
    EXPECT_EQ(f.edit("Text12")->text(), QStringLiteral("0.00001"));
    w.saveRecord();
    w.saveRecord();
    EXPECT_EQ(f.row(tiny), tinyBefore);
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(w.statusLine(), QString());
}

TEST(RoundTrip, AnEditedBoxIsWrittenAndTheOthersKeepTheirStoredValues) {
    Stored f;
    const qint64 rowid = f.addPerson(QStringLiteral("000001"), 12345678.0);
    QVariantList expected = f.row(rowid);
    EntryWindow& w = f.open();
    f.edit("Text3")->setText(QStringLiteral("退休办"));
    w.saveRecord();
    expected[3] = QStringLiteral("退休办");
    const QVariantList after = f.row(rowid);
    EXPECT_EQ(after, expected) << "the day of 出生年月 and the over-long 档案编号 survive an edit elsewhere";
    EXPECT_EQ(after[7].toString(), QStringLiteral("1950-03-15"));
}

TEST(RoundTrip, TheStatusLineNamesANumberNotReadWhole) {
    Stored f;
    const qint64 rowid = f.addPerson(QStringLiteral("000001"), 100.0);
    EntryWindow& w = f.open();
    f.edit("Text12")->setText(QStringLiteral("2,890.50"));
    w.saveRecord();
    EXPECT_EQ(f.row(rowid)[27].toDouble(), 2.0) << "the numeric prefix, as typed numbers always store";
    EXPECT_EQ(w.statusLine(), QStringLiteral("“基本养老金”中的“2,890.50”不是一个完整的数，只读出并保存了2"));

    f.edit("Text12")->setText(QStringLiteral("abc"));
    w.saveRecord();
    EXPECT_EQ(f.row(rowid)[27].toDouble(), 0.0);
    EXPECT_EQ(w.statusLine(), QStringLiteral("“基本养老金”中的“abc”不是一个完整的数，只读出并保存了0"));

    f.edit("Text12")->setText(QStringLiteral(" 2890.5 "));
    w.saveRecord();
    EXPECT_EQ(f.row(rowid)[27].toDouble(), 2890.5);
    EXPECT_EQ(w.statusLine(), QString()) << "a number read whole needs no word";
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}

TEST(RoundTrip, TheStatusLineNamesARefusedDate) {
    Stored f;
    const qint64 rowid = f.addPerson(QStringLiteral("000001"), 1.0);
    const QVariantList before = f.row(rowid);
    EntryWindow& w = f.open();
    f.edit("Text5")->setText(QStringLiteral("1950-13-45")); // "-" in the fifth place passes the box
    w.saveRecord();
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, kWriteFailed);
    EXPECT_EQ(w.statusLine(), QStringLiteral("“出生年月”中的“1950-13-45”不对，这次没有保存"));
    EXPECT_EQ(f.row(rowid), before);
    EXPECT_EQ(f.edit("Text5")->text(), QStringLiteral("1950-13-45")) << "the box keeps what was typed";
}

TEST(RoundTrip, NumbersAreShownInPlainDecimal) {
    const PersonColumn& pension = personColumn(27);
    EXPECT_EQ(shownValue(pension, 12345678.0).text, QStringLiteral("12345678"));
    EXPECT_EQ(shownValue(pension, 0.00001).text, QStringLiteral("0.00001"));
    EXPECT_EQ(shownValue(pension, 2890.5).text, QStringLiteral("2890.5"));
    EXPECT_EQ(shownValue(pension, 1e20).text, QStringLiteral("100000000000000000000"));
    EXPECT_EQ(shownValue(pension, QVariant()).text, QString());
}
