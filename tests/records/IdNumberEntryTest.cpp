#include "TestFolder.h"

#include "records/DataCheck.h"
#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "records/IdCheck.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace records;

namespace {

struct IdEntry {
    IdEntry() : session(folder.session(QStringLiteral("张三"))) {}
    void addPerson(const QString& number, const QString& name, const QString& sex, const QVariant& birth,
                   const QString& id) {
        session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"出生年月\", "
                                          "\"身份证号码\") VALUES (?, ?, ?, ?, ?)"),
                           {number, name, sex, birth, id});
    }
    EntryWindow& open() {
        window = std::make_unique<EntryWindow>(*session, [] {});
        window->show();
        return *window;
    }
    QLineEdit* edit(const char* name) {
        return window->form().findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QComboBox* sex() { return window->form().findChild<QComboBox*>(QStringLiteral("Combo4")); }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QString status() { return window->findChild<QLabel*>(QStringLiteral("IdStatus"))->text(); }
    // Types a number into the ID box and leaves it.
    void typeId(const QString& id) {
        edit("Text6")->setText(id);
        window->idCheck().checkBox();
    }
    QVariant stored(const QString& number, const char* column) {
        return testing_support::personValue(session->db(), number, column);
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<EntryWindow> window;
};

} // namespace

TEST(IdNumberEntry, StatusLineControlsArePinned) {
    IdEntry f;
    f.open();
    const std::pair<const char*, const char*> buttons[] = {{"IdConvert", "转换为18位"},
                                                           {"IdTakeValues", "按身份证号码更正"}};
    for (const auto& [name, caption] : buttons) {
        ASSERT_NE(f.button(name), nullptr) << name;
        EXPECT_EQ(f.button(name)->text(), QString::fromUtf8(caption));
        EXPECT_FALSE(f.button(name)->isVisible()) << "offered only when there is something to take";
    }
    EXPECT_EQ(f.status(), QString());
}

TEST(IdNumberEntry, AValidNumberFillsBirthDateAndSexWhenEmpty) {
    IdEntry f;
    EntryWindow& w = f.open();
    w.addRecord();
    f.typeId(QStringLiteral("１１０１０５１９４９１２３１００２ｘ"));
    EXPECT_EQ(f.edit("Text6")->text(), QStringLiteral("11010519491231002X"));
    EXPECT_EQ(f.edit("Text5")->text(), QStringLiteral("1949-12"));
    EXPECT_EQ(f.sex()->currentText(), QStringLiteral("女"));
    EXPECT_EQ(f.status(), QStringLiteral("已按身份证号码填入出生年月和性别"));
    EXPECT_FALSE(w.idCheck().isMarked());
    EXPECT_TRUE(w.action(QStringLiteral("tt2"))->isEnabled());
    w.saveRecord();
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(f.stored("000001", "出生年月").toString(), QStringLiteral("1949-12-01"));
    EXPECT_EQ(f.stored("000001", "性别").toString(), QStringLiteral("女"));
    EXPECT_EQ(f.stored("000001", "身份证号码").toString(), QStringLiteral("11010519491231002X"));
}

TEST(IdNumberEntry, AWrongNumberIsMarkedWithItsReasonAndStillSaves) {
    IdEntry f;
    EntryWindow& w = f.open();
    w.addRecord();
    f.typeId(QStringLiteral("110105194912310021"));
    EXPECT_TRUE(w.idCheck().isMarked());
    EXPECT_EQ(f.status(), QStringLiteral("身份证号码校验位不符，应为X"));
    EXPECT_EQ(f.edit("Text6")->toolTip(), QStringLiteral("身份证号码校验位不符，应为X"));
    EXPECT_NE(f.edit("Text6")->palette().color(QPalette::Text),
              QApplication::palette().color(QPalette::Text));
    EXPECT_EQ(f.edit("Text5")->text(), QString()) << "nothing is taken from a wrong number";
    w.saveRecord();
    EXPECT_TRUE(f.dialogs.shown.isEmpty()) << "a warning, never a refusal";
    EXPECT_EQ(f.stored("000001", "身份证号码").toString(), QStringLiteral("110105194912310021"));

    // Correcting the number takes the mark away.
    f.typeId(QStringLiteral("11010519491231002X"));
    EXPECT_FALSE(w.idCheck().isMarked());
    EXPECT_EQ(f.edit("Text6")->palette().color(QPalette::Text),
              QApplication::palette().color(QPalette::Text));
    // Another record says nothing about the last one.
    f.typeId(QStringLiteral("1101"));
    w.addRecord();
    EXPECT_FALSE(w.idCheck().isMarked());
    EXPECT_EQ(f.status(), QString());
}

TEST(IdNumberEntry, AContradictionIsNamedAndOneClickTakesTheIdsValues) {
    IdEntry f;
    f.addPerson("000001", "孙六", "男", "1985-07-11", "");
    f.addPerson("000002", "蒋十四", "男", "1950-03-01", "");
    EntryWindow& w = f.open();
    w.moveTo(0);
    f.typeId(QStringLiteral("510108197705051122")); // a woman born 1977-05
    EXPECT_EQ(f.status(), QStringLiteral("出生年月 1985-07、性别 男 与身份证号码不符（应为 1977-05、女）"));
    EXPECT_EQ(f.edit("Text5")->text(), QStringLiteral("1985-07")) << "nothing changes until the click";
    ASSERT_TRUE(f.button("IdTakeValues")->isVisible());
    QTest::mouseClick(f.button("IdTakeValues"), Qt::LeftButton);
    EXPECT_EQ(f.edit("Text5")->text(), QStringLiteral("1977-05"));
    EXPECT_EQ(f.sex()->currentText(), QStringLiteral("女"));
    EXPECT_FALSE(f.button("IdTakeValues")->isVisible());
    EXPECT_EQ(f.status(), QString());

    // Year and month are compared: a birth date typed as 195003 agrees with 1950-03-15.
    w.moveTo(1);
    f.typeId(QStringLiteral("110105195003150019"));
    EXPECT_EQ(f.status(), QString());
    EXPECT_FALSE(f.button("IdTakeValues")->isVisible());
}

TEST(IdNumberEntry, AnOldNumberBecomesEighteenDigitsWithOneClick) {
    IdEntry f;
    EntryWindow& w = f.open();
    w.addRecord();
    f.typeId(QStringLiteral("440301580612301"));
    EXPECT_EQ(
        f.status(),
        QStringLiteral("已按身份证号码填入出生年月和性别；15位身份证号码，可转换为18位：440301195806123016"));
    EXPECT_EQ(f.sex()->currentText(), QStringLiteral("男"));
    EXPECT_EQ(f.edit("Text5")->text(), QStringLiteral("1958-06"));
    ASSERT_TRUE(f.button("IdConvert")->isVisible());
    QTest::mouseClick(f.button("IdConvert"), Qt::LeftButton);
    EXPECT_EQ(f.edit("Text6")->text(), QStringLiteral("440301195806123016"));
    EXPECT_FALSE(f.button("IdConvert")->isVisible());
    EXPECT_EQ(f.status(), QString());
}

TEST(IdNumberEntry, SavingAKnownNumberAsksFirstWithNoAsTheDefault) {
    IdEntry f;
    f.addPerson("000123", "张三", "女", "1949-12-01", "11010519491231002X");
    EntryWindow& w = f.open();
    // Saving the person who holds the number asks nothing.
    w.saveRecord();
    EXPECT_TRUE(f.dialogs.shown.isEmpty());

    w.addRecord();
    f.edit("Text4")->setText(QStringLiteral("李四"));
    f.edit("Text6")->setText(QStringLiteral("110105491231002")); // the same number in its old form
    w.saveRecord();
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("身份证号码与 个人编号 000123 张三 相同，仍要保存吗？"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Question);
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_EQ(f.stored("000124", "姓名").toString(), QString()) << "否: nothing saved";
    EXPECT_TRUE(w.action(QStringLiteral("tt2"))->isEnabled());
    EXPECT_EQ(w.form().currentIndex(), EntryForm::BasicPage);

    f.dialogs.answer({true});
    w.saveRecord();
    EXPECT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.stored("000124", "姓名").toString(), QStringLiteral("李四")) << "是: saved";
    EXPECT_EQ(f.stored("000124", "身份证号码").toString(), QStringLiteral("110105491231002"));
    EXPECT_FALSE(w.action(QStringLiteral("tt2"))->isEnabled());
}

TEST(IdNumberEntry, TheSameNumberIsFoundPaddedOrInLowerCase) {
    IdEntry f;
    f.addPerson("000123", "张三", "女", "1949-12-01", "11010519491231002x");
    f.addPerson("000124", "李四", "女", QVariant(), QString());
    f.addPerson("000125", "王五", "男", QVariant(), " 440301580612301 ");
    const QDate today(2026, 12, 7);
    auto& db = f.session->db();
    for (const auto& [typed, holder] :
         {std::pair{"11010519491231002X", "000123"}, std::pair{" 110105491231002", "000123"},
          std::pair{"440301195806123016", "000125"}, std::pair{"440301580612301", "000125"}}) {
        const auto same = personWithSameId(db, QString::fromLatin1(typed), 2, today);
        ASSERT_TRUE(same.has_value()) << typed;
        EXPECT_EQ(same->number, QString::fromLatin1(holder));
    }
    EXPECT_FALSE(personWithSameId(db, QStringLiteral("11010519491231002X"), 1, today))
        << "not the person itself";
    EXPECT_FALSE(personWithSameId(db, QStringLiteral("110105194912310021"), 2, today));
}

TEST(IdNumberEntry, AddingAndTemplatesNeverAsk) {
    IdEntry f;
    f.addPerson("000001", "张三", "女", "1949-12-01", "11010519491231002X");
    EntryWindow& w = f.open();
    w.moveTo(0);
    w.saveAsTemplate();
    w.form().findChild<QCheckBox*>(QStringLiteral("Check20"))->setChecked(true);
    w.addRecord();
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(f.stored("000002", "身份证号码").toString(), QStringLiteral("11010519491231002X"));
}

TEST(IdNumberEntry, LeavingTheBoxRunsTheCheck) {
    IdEntry f;
    EntryWindow& w = f.open();
    w.addRecord();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QLineEdit* box = f.edit("Text6");
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("110105194912310021"));
    QTest::keyClick(box, Qt::Key_Return); // Enter moves on, as Tab would
    QApplication::processEvents();
    EXPECT_EQ(f.status(), QStringLiteral("身份证号码校验位不符，应为X"));
    // Typing into the box again clears what was said.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(f.status(), QString());
    EXPECT_FALSE(w.idCheck().isMarked());
}
