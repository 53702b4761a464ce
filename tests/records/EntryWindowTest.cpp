#include "TestFolder.h"

#include "records/EntryForm.h"
#include "records/EntryRules.h"
#include "records/EntryWindow.h"
#include "store/RecordSet.h"
#include "ui/CharacterLimit.h"
#include "ui/ScriptedDialogs.h"
#include "ui/Window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace records;
using testing_support::countRows;

namespace {

struct Entry {
    explicit Entry(const QString& user = QStringLiteral("张三")) : session(folder.session(user)) {}
    EntryWindow& open() {
        window = std::make_unique<EntryWindow>(*session, [this] { ++categoryOpens; });
        return *window;
    }
    QLineEdit* edit(const char* name) {
        return window->form().findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QComboBox* combo(const char* name) { return window->findChild<QComboBox*>(QString::fromLatin1(name)); }
    QCheckBox* check(const char* name) {
        return window->form().findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    void addPerson(const QString& number, const QString& name, const QString& sex, bool flag = false) {
        session->db().exec(
            QStringLiteral(
                "INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"劳模\") VALUES (?, ?, ?, ?)"),
            {number, name, sex, flag});
    }
    QVariant value(const QString& number, const char* column) {
        return testing_support::personValue(session->db(), number, column);
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<EntryWindow> window;
    int categoryOpens = 0;
};

// A value for every entry control: distinct text, a date, checks alternating.
Entries everyColumn(const QString& number) {
    Entries e;
    for (const PersonColumn& c : personColumns()) {
        switch (c.kind) {
        case Kind::Date:
            e[c.ordinal] = {c.ordinal == 43
                                ? QString()
                                : QStringLiteral("19%1-0%2").arg(40 + c.ordinal % 50).arg(1 + c.ordinal % 9)};
            break;
        case Kind::YesNo:
            e[c.ordinal] = {QString(), c.ordinal % 2 == 0};
            break;
        case Kind::Number:
            e[c.ordinal] = {QStringLiteral("2345.5")};
            break;
        case Kind::Photo:
            break;
        default:
            e[c.ordinal] = {QStringLiteral("值%1").arg(c.ordinal).left(c.size > 0 ? c.size : 100)};
        }
    }
    e[0] = {number};
    return e;
}

void fill(EntryForm& form, const Entries& entries) {
    form.setEntries(entries);
}

} // namespace

TEST(EntryWindow, OpensOnAnEmptyTable) {
    Entry f;
    EntryWindow& w = f.open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("信息录入"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("全部人数：0"));
    EXPECT_EQ(f.edit("Text1")->text(), QString());
    EXPECT_TRUE(w.form().photoFrame()->pixmap().isNull());
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"操作内容\" FROM \"user\"")).toString(),
              QStringLiteral("进入信息录入"));
    EXPECT_EQ(f.combo("Combo1")->count(), 65);
    EXPECT_EQ(f.combo("Combo4")->count(), 2) << "pick lists from the categories";
    EXPECT_EQ(f.combo("Combo5")->itemText(0), QStringLiteral("汉族"));
    EXPECT_EQ(ui::characterLimit(*f.edit("Text4")), 8);
    EXPECT_EQ(f.edit("Text5")->toolTip(), QStringLiteral("按“YYYY-MM-DD”格式输入"));
    const QStringList toolbar = {QStringLiteral("新增"), QStringLiteral("保存"), QStringLiteral("删除"),
                                 QStringLiteral("预览"), QStringLiteral("类别"), QStringLiteral("计算器"),
                                 QStringLiteral("相片"), QStringLiteral("返回"), QStringLiteral("修改记录"),
                                 QStringLiteral("刷新")};
    // The eight keep their places; the change history's and 刷新's buttons come after them.
    const QStringList keys = {"tt1", "tt2", "tt3", "tt4", "tt5", "tt6", "tt8", "tt7", "tt9", "tt10"};
    QStringList shown;
    for (const QAction* a : w.findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions())
        shown << a->objectName();
    EXPECT_EQ(shown, keys);
    for (int i = 0; i < keys.size(); ++i)
        EXPECT_EQ(w.action(keys[i])->text(), toolbar[i]);

    // Deleting on an empty list ends silently.
    w.deleteRecord();
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    testing_support::trigger(w, QStringLiteral("tt5"));
    EXPECT_EQ(f.categoryOpens, 1);
    w.leave();
    EXPECT_EQ(testing_support::lastAction(f.session->db()), QStringLiteral("退出信息录入"));
}

TEST(EntryWindow, DateBoxesCheckAndRewrite) {
    const int year = QDate::currentDate().year();
    struct Case {
        QString typed;
        bool ok;
        QString after;
    };
    const QList<Case> cases = {
        {QStringLiteral("19500315"), true, QStringLiteral("1950-03-15")},
        {QStringLiteral("195003"), true, QStringLiteral("1950-03")},
        {QStringLiteral("1950-3"), true, QStringLiteral("1950-3")},
        {QStringLiteral("19503"), false, QStringLiteral("19503")},
        {QStringLiteral("2011-13"), true, QStringLiteral("2011-13")},
        {QString::number(year + 1) + QStringLiteral("0101"), false, QString()},
        {QString::number(year) + QStringLiteral("0101"), true,
         QString::number(year) + QStringLiteral("-01-01")},
        {QStringLiteral("20110101"), true, QStringLiteral("2011-01-01")},
        {QStringLiteral("19501301"), false, QStringLiteral("19501301")},
        {QStringLiteral("1950030"), false, QStringLiteral("1950030")},
        {QStringLiteral("7"), true, QStringLiteral("7")},
        {QString(), true, QString()},
    };
    for (const Case& c : cases) {
        const TypedDate d = checkTypedDate(c.typed, year);
        EXPECT_EQ(d.ok, c.ok) << c.typed.toStdString();
        if (!c.after.isEmpty()) {
            EXPECT_EQ(d.text, c.after) << c.typed.toStdString();
        }
    }

    Entry f;
    EntryWindow& w = f.open();
    QLineEdit* birth = f.edit("Text5");
    birth->setText(QStringLiteral("19503"));
    EXPECT_FALSE(w.checkDateBox(birth));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("日期格式不对！"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    EXPECT_EQ(birth->text(), QStringLiteral("19503"));
    for (const char* box : {"Text8", "Text10", "Text23"}) {
        f.edit(box)->setText(QStringLiteral("19500315"));
        EXPECT_TRUE(w.checkDateBox(f.edit(box)));
        EXPECT_EQ(f.edit(box)->text(), QStringLiteral("1950-03-15"));
    }
}

TEST(EntryWindow, AddNumbersFromTheLastRowOfTheList) {
    Entry f;
    EntryWindow& w = f.open();
    w.addRecord();
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000001"));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib")), 1);
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("全部人数：1"));
    w.addRecord();
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000002"));

    f.addPerson(QStringLiteral("000005"), QStringLiteral("甲"), QStringLiteral("女"));
    f.addPerson(QStringLiteral("000009"), QStringLiteral("乙"), QStringLiteral("女"));
    f.addPerson(QStringLiteral("000010"), QStringLiteral("丙"), QStringLiteral("男"));
    f.addPerson(QStringLiteral("000003"), QStringLiteral("丁"), QStringLiteral("男"));
    EntryWindow& again = f.open();
    again.chooseCategory(5);
    f.combo("Combo1")->setCurrentIndex(5);
    f.combo("Combo2")->setEditText(QStringLiteral("女"));
    again.searchByCategory();
    EXPECT_EQ(again.navigationCaption(), QStringLiteral("找到人数：2"));
    again.addRecord();
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000010"))
        << "after a search: the last found person + 1";
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib"), QStringLiteral("\"个人编号\" = '000010'")),
              2);
}

TEST(EntryWindow, SaveAndReopenShowsEveryColumn) {
    Entry f;
    f.open().addRecord();
    const Entries typed = everyColumn(QStringLiteral("000001"));
    fill(f.window->form(), typed);
    EXPECT_TRUE(f.window->action(QStringLiteral("tt2"))->isEnabled());
    f.window->form().setCurrentIndex(EntryForm::FamilyPage);
    f.window->saveRecord();
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_FALSE(f.window->action(QStringLiteral("tt2"))->isEnabled());
    EXPECT_EQ(f.window->form().currentIndex(), EntryForm::BasicPage);

    EXPECT_TRUE(f.value(QStringLiteral("000001"), "配偶出生年月").isNull()) << "a blank date stores Null";
    EXPECT_EQ(f.value(QStringLiteral("000001"), "出生年月").toString(), QStringLiteral("1947-08-01"));

    EntryWindow& again = f.open();
    const Entries shown = again.form().entries();
    for (const auto& [ordinal, value] : typed) {
        const PersonColumn& c = personColumn(ordinal);
        if (c.kind == Kind::YesNo) {
            EXPECT_EQ(shown.at(ordinal).checked, value.checked) << c.name;
        } else {
            EXPECT_EQ(shown.at(ordinal).text, value.text) << c.name;
        }
    }
}

TEST(EntryWindow, NullsShowEmptyAndStayNullUntilEdited) {
    Entry f;
    f.session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\") VALUES ('000001')"));
    EntryWindow& w = f.open();
    EXPECT_EQ(f.edit("Text5")->text(), QString());
    EXPECT_FALSE(f.check("Check7")->isChecked());
    w.saveRecord();
    EXPECT_TRUE(f.value(QStringLiteral("000001"), "出生年月").isNull());
    EXPECT_TRUE(f.value(QStringLiteral("000001"), "劳模").isNull());
    f.check("Check7")->setChecked(true);
    f.check("Check7")->setChecked(false);
    w.saveRecord();
    EXPECT_TRUE(f.value(QStringLiteral("000001"), "劳模").isNull()) << "ticked and unticked is no change";
}

TEST(EntryWindow, SaveIsAllOrNothing) {
    Entry f;
    f.addPerson(QStringLiteral("000001"), QStringLiteral("王一"), QStringLiteral("男"));
    EntryWindow& w = f.open();
    f.edit("Text4")->setText(QStringLiteral("李二"));
    f.combo("Combo8")->setEditText(QString(60, QLatin1Char('x')));
    w.saveRecord();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("有误！请检查输入的内容是否太长或格式不对！"));
    EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("王一"));
    EXPECT_TRUE(w.action(QStringLiteral("tt2"))->isEnabled()) << "the operator can correct and save again";

    // A name longer than the column takes (as an older file or a wider box could hold).
    f.combo("Combo8")->setEditText(QStringLiteral("科员"));
    f.edit("Text4")->setMaxLength(50);
    f.edit("Text4")->setText(QStringLiteral("一二三四五六七八九"));
    f.dialogs.clear();
    w.saveRecord();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("有误！请检查输入的内容是否太长或格式不对！"));
    EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("王一"));
    EXPECT_EQ(f.value(QStringLiteral("000001"), "原任职务").toString(), QString());

    f.edit("Text4")->setText(QStringLiteral("李二"));
    f.edit("Text5")->setText(QStringLiteral("1950-02-30"));
    w.saveRecord();
    EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("王一"));
    f.edit("Text5")->setText(QStringLiteral("1950-02"));
    f.edit("Text12")->setText(QStringLiteral("abc"));
    w.saveRecord();
    EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("李二"));
    EXPECT_DOUBLE_EQ(f.value(QStringLiteral("000001"), "基本养老金").toDouble(), 0.0);
}

TEST(EntryWindow, DeleteAsksWithTheNumber) {
    Entry f;
    f.addPerson(QStringLiteral("000001"), QStringLiteral("王一"), QStringLiteral("男"));
    f.addPerson(QStringLiteral("000002"), QStringLiteral("王二"), QStringLiteral("男"));
    EntryWindow& w = f.open();
    w.moveTo(1);
    w.deleteRecord();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的删除第000002号记录吗?"));
    EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::Question);
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib")), 2);
    f.dialogs.answer({true});
    w.deleteRecord();
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib")), 1);
    EXPECT_FALSE(w.action(QStringLiteral("tt3"))->isEnabled());
    EXPECT_EQ(f.edit("Text4")->text(), QStringLiteral("王二")) << "the boxes keep the deleted values";
    w.saveRecord();
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib")), 1) << "nothing to save after a deletion";
    w.moveTo(0);
    EXPECT_EQ(f.edit("Text4")->text(), QStringLiteral("王一"));
    EXPECT_TRUE(w.action(QStringLiteral("tt3"))->isEnabled());
}

TEST(EntryWindow, CategorySearch) {
    Entry f;
    f.addPerson(QStringLiteral("000003"), QStringLiteral("丙"), QStringLiteral("男"), true);
    f.addPerson(QStringLiteral("000001"), QStringLiteral("甲"), QStringLiteral("男"));
    f.addPerson(QStringLiteral("000002"), QStringLiteral("乙"), QStringLiteral("女"), true);
    f.session->db().exec(QStringLiteral(
        "INSERT INTO km VALUES (24, '劳模', '是', '劳模'), (7, '出生年月', '1950-01', '出生年月')"));
    EntryWindow& w = f.open();
    const auto search = [&](int category, const QString& value) {
        f.combo("Combo1")->setCurrentIndex(category);
        w.chooseCategory(category);
        f.combo("Combo2")->setEditText(value);
        w.searchByCategory();
    };
    search(5, QStringLiteral("男"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：2"));
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000001")) << "ordered by personal number";
    w.moveTo(1);
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000003"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("全部人数：2"));

    search(24, QStringLiteral("是"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：2"));
    search(24, QStringLiteral("否"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：1"));

    search(5, QStringLiteral("不存在"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：0"));
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000001")) << "the form stays as it was";

    f.dialogs.clear();
    search(7, QStringLiteral("不是日期"));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("输入的数据格式不符!"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：0")) << "the list stays as it was";
    search(27, QStringLiteral("abc"));
    EXPECT_EQ(f.dialogs.shown.size(), 2);
    search(1, QStringLiteral("甲' OR '1'='1"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：0")) << "values never enter the SQL";
}

TEST(EntryWindow, TemplateSaveAndApply) {
    Entry f;
    EntryWindow& w = f.open();
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib0")), 0);
    Entries model = everyColumn(QStringLiteral("模板号"));
    model[7] = {QString()};
    fill(w.form(), model);
    w.saveAsTemplate();
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib0")), 1);
    EXPECT_TRUE(f.session->db().scalar(QStringLiteral("SELECT \"个人编号\" FROM wslib0")).isNull())
        << "column 0 of the template is never written";
    EXPECT_TRUE(f.session->db().scalar(QStringLiteral("SELECT \"出生年月\" FROM wslib0")).isNull());

    f.check("Check20")->setChecked(true);
    w.addRecord();
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000001"));
    EntryWindow& again = f.open();
    const Entries shown = again.form().entries();
    for (const auto& [ordinal, value] : model) {
        const PersonColumn& c = personColumn(ordinal);
        if (ordinal == 0) {
            EXPECT_EQ(shown.at(0).text, QStringLiteral("000001"));
        } else if (c.kind == Kind::YesNo) {
            EXPECT_EQ(shown.at(ordinal).checked, value.checked) << c.name;
        } else {
            EXPECT_EQ(shown.at(ordinal).text, value.text) << c.name;
        }
    }
    EXPECT_TRUE(f.value(QStringLiteral("000001"), "相片").isNull());

    // A value that does not fit leaves the template as it was.
    f.combo("Combo8")->setEditText(QString(60, QLatin1Char('x')));
    again.saveAsTemplate();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("有误！请检查输入的内容是否太长或格式不对！"));
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"原任职务\" FROM wslib0")).toString(),
              model.at(12).text);
}

TEST(EntryWindow, InputColourIsStoredAndUsedAtOnce) {
    Entry f;
    EntryWindow& w = f.open();
    f.dialogs.colours.enqueue(QColor(10, 20, 30));
    w.chooseInputColour();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("请选择输入框颜色"));
    const qint32 expected = 10 + 20 * 256 + 30 * 65536;
    EXPECT_EQ(f.session->state().inputColour, expected);
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT systempass FROM system")).toString(),
              QString::number(expected));
}

TEST(EntryWindow, EnterWalksTheTabOrderAndTurnsPages) {
    Entry f;
    f.addPerson(QStringLiteral("000001"), QStringLiteral("王一"), QStringLiteral("男"));
    EntryWindow& w = f.open();
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const auto focusName = [] {
        QWidget* focus = QApplication::focusWidget();
        if (focus && qobject_cast<QComboBox*>(focus->parentWidget()))
            focus = focus->parentWidget();
        return focus ? focus->objectName() : QString();
    };
    const auto enterFrom = [&](const char* name) {
        QWidget* box = w.form().control(QString::fromLatin1(name));
        box->setFocus();
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target, Qt::Key_Return);
        QApplication::processEvents();
        return focusName();
    };
    EXPECT_EQ(enterFrom("Text1"), QStringLiteral("Text2"));
    EXPECT_EQ(enterFrom("Text2"), QStringLiteral("Combo3"));
    EXPECT_EQ(enterFrom("Combo3"), QStringLiteral("Text3"));
    EXPECT_EQ(enterFrom("Text6"), QStringLiteral("Combo6")) << "工作时间 is not on the Enter path";
    EXPECT_EQ(enterFrom("Combo18"), QStringLiteral("Text9"));
    EXPECT_EQ(enterFrom("Text11"), QStringLiteral("Text12"));
    EXPECT_EQ(w.form().currentIndex(), EntryForm::SecurityPage);
    EXPECT_EQ(enterFrom("Combo19"), QStringLiteral("Text29"));
    EXPECT_EQ(enterFrom("Text29"), QStringLiteral("Combo16"));
    EXPECT_EQ(w.form().currentIndex(), EntryForm::FamilyPage);
    EXPECT_EQ(enterFrom("Text17"), QStringLiteral("Text14"));
    EXPECT_EQ(enterFrom("Combo13"), QStringLiteral("Text18"));
    EXPECT_EQ(enterFrom("Text22"), QStringLiteral("Text26"));
    EXPECT_EQ(w.form().currentIndex(), EntryForm::RemarksPage);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(w.form().control(QStringLiteral("Text26")))->toPlainText(),
              QStringLiteral("\n"))
        << "Enter starts a new line in the remarks";
}

TEST(EntryWindow, SurvivesPersonsRemovedBehindIt) {
    Entry f;
    f.addPerson(QStringLiteral("000001"), QStringLiteral("王一"), QStringLiteral("男"));
    f.addPerson(QStringLiteral("000002"), QStringLiteral("王二"), QStringLiteral("男"));
    EntryWindow& w = f.open();
    f.session->db().exec(QStringLiteral("DELETE FROM wslib"));
    w.moveTo(1);
    w.saveRecord();
    ASSERT_EQ(f.dialogs.shown.size(), 1) << "saving a person who is gone says so";
    EXPECT_EQ(f.dialogs.last().text, kPersonGone);
    w.addRecord();
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib")), 1);
    EXPECT_EQ(f.dialogs.shown.size(), 1);
}
