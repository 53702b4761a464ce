#include "TestFolder.h"

#include "records/EntryForm.h"
#include "records/EntryRules.h"
#include "records/EntryWindow.h"
#include "store/Database.h"
#include "ui/CharacterLimit.h"
#include "ui/ScriptedDialogs.h"
#include "ui/Window.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace records;

namespace {

// What the database holds for one person, column by column, with its storage class: quote()
// tells 12345678.0 from '12345678' and NULL from ''.
QString stored(store::Database& db, qint64 rowid) {
    QStringList columns;
    for (const PersonColumn& c : personColumns())
        columns << QStringLiteral("quote(\"%1\")").arg(c.columnName());
    store::Statement st = db.prepare(
        QStringLiteral("SELECT %1 FROM wslib WHERE rowid = ?").arg(columns.join(QLatin1Char(','))));
    st.bind(1, rowid);
    QStringList out;
    if (st.step()) {
        for (int i = 0; i < st.columnCount(); ++i)
            out << st.value(i).toString();
    }
    return out.join(QLatin1Char('|'));
}

// A person as another program may have left them: dates with days, numbers a seven-digit
// display would round, texts longer than their boxes accept, padded and multi-line texts, and
// Null in every kind of column.
qint64 addForeignPerson(store::Database& db) {
    db.exec(QStringLiteral("INSERT INTO wslib(\"个人编号\") VALUES ('000001')"));
    const qint64 rowid = db.scalar(QStringLiteral("SELECT max(rowid) FROM wslib")).toLongLong();
    const QVariantList numbers = {12345678.0, 0.00001, 2890.125, -3.5, QVariant()};
    const QStringList dates = {QStringLiteral("1950-03-15"), QStringLiteral("1987-12-31"), QString()};
    const QVariantList flags = {1, 0, QVariant()};
    int n = 0;
    for (const PersonColumn& c : personColumns()) {
        if (c.ordinal == 0 || c.kind == Kind::Photo)
            continue;
        QVariant value;
        switch (c.kind) {
        case Kind::Number:
            value = numbers.at(n % numbers.size());
            break;
        case Kind::Date:
            value = dates.at(n % dates.size()).isEmpty() ? QVariant() : QVariant(dates.at(n % dates.size()));
            break;
        case Kind::YesNo:
            value = flags.at(n % flags.size());
            break;
        case Kind::Memo:
            value = QStringLiteral("第一行\r\n第二行  ");
            break;
        default:
            // As long as the column takes (more than the box accepts), padded, or Null in turn.
            if (n % 3 == 0)
                value = QStringLiteral("长").repeated(c.size > 0 ? c.size : 300);
            else if (n % 3 == 1)
                value = QStringLiteral("  前后有空格 ");
            break;
        }
        ++n;
        db.exec(QStringLiteral("UPDATE wslib SET \"%1\" = ? WHERE rowid = ?").arg(c.columnName()),
                {value, rowid});
    }
    db.exec(QStringLiteral(
                "UPDATE wslib SET \"基本养老金\" = 12345678, \"出生年月\" = '1950-03-15' WHERE rowid = ?"),
            {rowid});
    return rowid;
}

struct RoundTrip {
    // `change` runs on the person before the window opens.
    explicit RoundTrip(const QString& change = {}) : session(folder.session(QStringLiteral("张三"))) {
        rowid = addForeignPerson(session->db());
        if (!change.isEmpty())
            session->db().exec(change);
        before = stored(session->db(), rowid);
        window = std::make_unique<EntryWindow>(*session, [] {});
    }
    QLineEdit* edit(const char* name) {
        return window->form().findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    void save() { testing_support::trigger(*window, QStringLiteral("tt2")); }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<EntryWindow> window;
    qint64 rowid = -1;
    QString before;
};

} // namespace

TEST(RoundTrip, SavingUntouchedBoxesChangesNothing) {
    RoundTrip f;
    EXPECT_EQ(f.edit("Text12")->text(), QStringLiteral("12345678")) << "plain decimal, every digit";
    EXPECT_EQ(f.edit("Text5")->text(), QStringLiteral("1950-03")) << "a date is still shown yyyy-mm";

    f.window->saveRecord();
    f.window->saveRecord();
    EXPECT_EQ(stored(f.session->db(), f.rowid), f.before);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(f.window->saveNote(), QString());

    // One edit writes that box alone; walking away and back and saving again changes nothing more.
    f.edit("Text4")->setText(QStringLiteral("李二"));
    f.save();
    QStringList columns = f.before.split(QLatin1Char('|'));
    columns[1] = QStringLiteral("'李二'");
    const QString expected = columns.join(QLatin1Char('|'));
    EXPECT_EQ(stored(f.session->db(), f.rowid), expected);
    f.window->moveTo(0);
    f.window->saveRecord();
    EXPECT_EQ(stored(f.session->db(), f.rowid), expected);
}

TEST(RoundTrip, EveryNumberShowsInPlainDecimal) {
    const PersonColumn& pension = personColumn(27);
    ASSERT_EQ(pension.columnName(), QStringLiteral("基本养老金"));
    const std::pair<QVariant, QString> cases[] = {{12345678.0, QStringLiteral("12345678")},
                                                  {0.00001, QStringLiteral("0.00001")},
                                                  {2890.125, QStringLiteral("2890.125")},
                                                  {-3.5, QStringLiteral("-3.5")},
                                                  {1e21, QStringLiteral("1000000000000000000000")},
                                                  {QVariant(), QString()},
                                                  {0.0, QStringLiteral("0")}};
    for (const auto& [value, shown] : cases)
        EXPECT_EQ(shownValue(pension, value).text, shown) << value.toString().toStdString();
    // What is shown reads back as the same number.
    EXPECT_EQ(storedValue(pension, shownValue(pension, 0.1 + 0.2)).toDouble(), 0.1 + 0.2);
}

TEST(RoundTrip, ANumberLongerThanItsBoxIsShownWhole) {
    RoundTrip f(QStringLiteral("UPDATE wslib SET \"基本养老金\" = 1234567.891234"));
    EXPECT_EQ(f.edit("Text12")->text(), QStringLiteral("1234567.891234"));
    f.edit("Text12")->setText(QStringLiteral("1234567.891235"));
    f.save();
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"基本养老金\" FROM wslib")).toDouble(),
              1234567.891235);
    // Another person's box takes no more than its own twelve characters again.
    f.session->db().exec(
        QStringLiteral("INSERT INTO wslib(\"个人编号\", \"基本养老金\") VALUES ('000002', 1)"));
    testing_support::trigger(*f.window, QStringLiteral("tt1"));
    EXPECT_EQ(ui::characterLimit(*f.edit("Text12")), 12);
}

TEST(RoundTrip, TheStatusLineNamesWhatWasNotReadAsTyped) {
    RoundTrip f;
    f.edit("Text12")->setText(QStringLiteral("2,890.50"));
    f.save();
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"基本养老金\" FROM wslib")).toDouble(), 2.0);
    EXPECT_EQ(f.window->saveNote(), QStringLiteral("“基本养老金”中的“2,890.50”不是一个完整的数，保存的是2"));

    // A whole number, a blank box and "abc" (stored 0, as the entry rules have it).
    for (const auto& [typed, note] :
         {std::pair{QStringLiteral(" 2890.50 "), QString()}, std::pair{QString(), QString()},
          std::pair{QStringLiteral("abc"),
                    QStringLiteral("“基本养老金”中的“abc”不是一个完整的数，保存的是0")}}) {
        f.edit("Text12")->setText(typed);
        f.save();
        EXPECT_EQ(f.window->saveNote(), note) << typed.toStdString();
    }

    // A refused date: nothing is written, the message comes as before, the line names the box.
    f.edit("Text4")->setText(QStringLiteral("李二"));
    f.edit("Text5")->setText(QStringLiteral("1950-13"));
    f.save();
    ASSERT_FALSE(f.dialogs.shown.empty());
    EXPECT_EQ(f.dialogs.last().text, kWriteFailed);
    EXPECT_EQ(f.window->saveNote(), QStringLiteral("“出生年月”中的“1950-13”不是日期，这次没有保存"));
    EXPECT_NE(f.session->db().scalar(QStringLiteral("SELECT \"姓名\" FROM wslib")).toString(),
              QStringLiteral("李二"));
    EXPECT_EQ(f.edit("Text4")->text(), QStringLiteral("李二")) << "what was typed stays";

    // Moving to another person clears the line.
    f.window->moveTo(0);
    EXPECT_EQ(f.window->saveNote(), QString());
}

TEST(RoundTrip, AnUntouchedCheckBoxKeepsNull) {
    RoundTrip f(QStringLiteral("UPDATE wslib SET \"劳模\" = NULL, \"建国前参加工作\" = 1"));
    auto& db = f.session->db();
    auto* model = f.window->form().findChild<QCheckBox*>(QStringLiteral("Check7"));
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->isChecked());
    f.edit("Text4")->setText(QStringLiteral("李二"));
    f.save();
    EXPECT_TRUE(db.scalar(QStringLiteral("SELECT \"劳模\" FROM wslib")).isNull());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT \"建国前参加工作\" FROM wslib")).toLongLong(), 1);
    model->click();
    f.save();
    EXPECT_NE(db.scalar(QStringLiteral("SELECT \"劳模\" FROM wslib")).toLongLong(), 0);
}

TEST(RoundTrip, NewPersonsTakeTheTemplateAsStored) {
    RoundTrip f;
    auto& db = f.session->db();
    // A template as an imported workbook's first row leaves it: dates with days, long numbers.
    db.exec(QStringLiteral(
        "INSERT INTO wslib0(\"个人编号\", \"原工作单位\", \"出生年月\", \"基本养老金\", \"劳模\") "
        "VALUES ('999999', '市第一机床厂', '1952-07-19', 1234567.125, 1)"));
    f.window->form().findChild<QCheckBox*>(QStringLiteral("Check20"))->setChecked(true);
    testing_support::trigger(*f.window, QStringLiteral("tt1"));
    store::Statement st =
        db.prepare(QStringLiteral("SELECT \"个人编号\", \"原工作单位\", \"出生年月\", \"基本养老金\", "
                                  "\"劳模\" FROM wslib ORDER BY rowid DESC LIMIT 1"));
    ASSERT_TRUE(st.step());
    QVariantList added;
    for (int i = 0; i < 5; ++i)
        added << st.value(i);
    EXPECT_EQ(added[0].toString(), QStringLiteral("000002")) << "the personal number is the new one";
    EXPECT_EQ(added[1].toString(), QStringLiteral("市第一机床厂"));
    EXPECT_EQ(added[2].toString(), QStringLiteral("1952-07-19"));
    EXPECT_EQ(added[3].toDouble(), 1234567.125);
    EXPECT_EQ(added[4].toLongLong(), 1);
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000002"));
    EXPECT_EQ(f.edit("Text12")->text(), QStringLiteral("1234567.125"));
}
