#include "TestFolder.h"

#include "login/LogWindow.h"
#include "print/ResultsWindow.h"
#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"
#include "ui/Window.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace records;
using testing_support::trigger;

namespace {

// The entry window shown and active, as an operator meets it.
struct Form3 {
    Form3() : session(folder.session(QStringLiteral("张三"))) {}
    EntryWindow& open() {
        window = std::make_unique<EntryWindow>(*session, [] {});
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }
    void addPerson(const char* number, const char* name, const char* sex) {
        session->db().exec(
            QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\") VALUES (?, ?, ?)"),
            {QString::fromUtf8(number), QString::fromUtf8(name), QString::fromUtf8(sex)});
    }
    template <class W> W* find(const char* name) {
        W* w = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    QTableView* grid() { return find<QTableView>("DBGrid1"); }
    QAction* action(const char* key) { return window->action(QString::fromLatin1(key)); }
    void clickRow(int row) {
        QTableView* g = grid();
        const QRect cell = g->visualRect(g->model()->index(row, 1));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // Picks a category in Combo1 as the operator does.
    void pickCategory(int position) {
        QComboBox* c = find<QComboBox>("Combo1");
        c->setCurrentIndex(position);
        emit c->activated(position);
    }
    QString name() { return edit("Text4")->text(); }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<EntryWindow> window;
};

// Model checks report through the message handler; each one becomes a test failure.
class ModelChecks {
public:
    ModelChecks() { previous_ = qInstallMessageHandler(&ModelChecks::handle); }
    ~ModelChecks() { qInstallMessageHandler(previous_); }
    ModelChecks(const ModelChecks&) = delete;
    ModelChecks& operator=(const ModelChecks&) = delete;

private:
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message) {
        if (QByteArray(context.category) == "qt.modeltest")
            ADD_FAILURE() << message.toStdString();
    }
    QtMessageHandler previous_ = nullptr;
};

} // namespace

// Written out by hand: ordinal, control, page, caption.
TEST(EntryForm, EveryColumnHasTheControlOperatorsKnow) {
    struct Expected {
        int ordinal;
        const char* control;
        int page;
        const char* caption;
    };
    const Expected table[] = {
        {0, "Text1", 0, "个人编号"},
        {1, "Text4", 0, "姓    名"},
        {2, "Text2", 0, "档案编号"},
        {3, "Text3", 0, "NO："},
        {4, "Combo3", 0, "自管小组"},
        {5, "Combo4", 0, "性    别"},
        {6, "Combo5", 0, "民    族"},
        {7, "Text5", 0, "出生年月"},
        {8, "Text6", 0, "身份证号码"},
        {9, "Combo6", 0, "政治面貌"},
        {10, "Combo7", 0, "健康状况"},
        {11, "Text7", 0, "原工作单位"},
        {12, "Combo8", 0, "原任职务"},
        {13, "Text8", 0, "退休年月"},
        {14, "Combo9", 0, "档案存放地点"},
        {15, "Combo10", 0, "文化程度"},
        {16, "Text9", 0, "特长技能"},
        {17, "Text11", 0, "兴趣及爱好"},
        {18, "Check1", 0, "从事专业技术服务"},
        {19, "Check2", 0, "创 办 经 济 实体"},
        {20, "Check3", 0, "从事社会公益活动"},
        {21, "Check4", 0, "建国前参加工作"},
        {22, "Check5", 0, "七十以上高龄"},
        {23, "Check6", 0, "孤 寡 老 人"},
        {24, "Check7", 0, "劳         模"},
        {25, "Check8", 0, "特         困"},
        {26, "Check9", 0, "重         病"},
        {27, "Text12", 1, "基本养老金"},
        {28, "Text13", 1, "医疗保险号码"},
        {29, "Combo11", 1, "工伤 等 级"},
        {30, "Check10", 1, "是否享受低保"},
        {31, "Combo12", 1, "社会保险关系所在地"},
        {32, "Check11", 1, "养老"},
        {33, "Check12", 1, "医疗"},
        {34, "Check13", 1, "工伤"},
        {35, "Check14", 2, "本地人员"},
        {36, "Check15", 2, "异地人员"},
        {37, "Check16", 2, "出国定居"},
        {38, "Combo16", 2, "户口所在地"},
        {39, "Text15", 2, "电 话"},
        {40, "Text16", 2, "现居住地"},
        {41, "Text17", 2, "电 话"},
        {42, "Text14", 2, "姓    名"},
        {43, "Text23", 2, "出  生  年   月"},
        {44, "Text24", 2, "联系电话"},
        {45, "Text25", 2, "原（现工作单位）"},
        {46, "Check17", 2, "在职"},
        {47, "Check18", 2, "无职业"},
        {48, "Check19", 2, "离退休"},
        {49, "Combo13", 2, "健康状况"},
        {50, "Text18", 2, "姓   名"},
        {51, "Combo17", 2, "关系"},
        {52, "Text21", 2, "工   作   单    位"},
        {53, "Text20", 2, "联系电话"},
        {54, "Text22", 2, "详细地址及邮政编码"},
        {55, "Combo14", 1, "退休情况"},
        {56, "Combo15", 1, "特殊情况"},
        {57, "Text29", 1, "档案份数"},
        {58, "Text26", 3, nullptr},
        {59, "Combo18", 0, "单位性质"},
        {60, "Combo19", 1, "社区名称"},
        {61, "Text10", 0, "工作时间"},
        {62, "Check21", 0, "是否有指纹存档"},
        {63, "Check22", 0, "归         侨"},
    };
    EntryForm form;
    const QList<QLabel*> labels = form.findChildren<QLabel*>();
    for (const Expected& e : table) {
        QWidget* control = form.controlFor(e.ordinal);
        ASSERT_NE(control, nullptr) << e.ordinal;
        EXPECT_EQ(control->objectName(), QString::fromLatin1(e.control)) << e.ordinal;
        EXPECT_TRUE(form.widget(e.page)->isAncestorOf(control)) << e.control;
        QString caption;
        if (auto* check = qobject_cast<QCheckBox*>(control))
            caption = check->text();
        for (QLabel* label : labels) {
            if (label->buddy() == control)
                caption = label->text();
        }
        EXPECT_EQ(caption, e.caption ? QString::fromUtf8(e.caption) : QString()) << e.control;
    }
    EXPECT_EQ(form.photoFrame()->objectName(), QStringLiteral("Image1"));
    EXPECT_TRUE(form.widget(0)->isAncestorOf(form.photoFrame()));
}

TEST(EntryForm, PagesLayTheirControlsOutInTheOperatorsOrder) {
    Form3 f;
    EntryWindow& w = f.open();
    EntryForm& form = w.form();
    const auto place = [&](QWidget* widget) { return widget->mapTo(&form, QPoint(0, 0)); };
    // Reading order: rows top to bottom, then left to right within a row.
    const auto before = [&](QWidget* a, QWidget* b) {
        const QPoint pa = place(a);
        const QPoint pb = place(b);
        return pa.y() + 4 < pb.y() || (std::abs(pa.y() - pb.y()) <= 4 && pa.x() < pb.x());
    };
    const auto group = [&](const char* title) -> QWidget* {
        for (QGroupBox* box : form.findChildren<QGroupBox*>()) {
            if (box->title() == QString::fromUtf8(title))
                return box;
        }
        ADD_FAILURE() << title;
        return &form;
    };
    form.setCurrentIndex(EntryForm::BasicPage);
    QApplication::processEvents();
    EXPECT_TRUE(before(f.edit("Text6"), f.edit("Text10"))) << "工作时间 after 身份证号码";
    EXPECT_TRUE(before(f.edit("Text10"), f.find<QComboBox>("Combo6"))) << "工作时间 before 政治面貌";
    form.setCurrentIndex(EntryForm::SecurityPage);
    QApplication::processEvents();
    EXPECT_TRUE(before(f.find<QComboBox>("Combo11"), f.find<QCheckBox>("Check10")));
    EXPECT_TRUE(before(f.find<QCheckBox>("Check10"), f.find<QComboBox>("Combo12")))
        << "是否享受低保 before 社会保险关系所在地";
    EXPECT_TRUE(before(group("参保情况"), group("附加资料")));
    form.setCurrentIndex(EntryForm::FamilyPage);
    QApplication::processEvents();
    EXPECT_TRUE(before(group("居住情况"), group("配偶情况")));
    EXPECT_TRUE(before(group("配偶情况"), group("家庭其他联系人")));
}

TEST(EntryForm, TabWalksTheControlsInTheOperatorsOrder) {
    const QStringList expected =
        QString::fromLatin1("Text1 Text2 Combo3 Text3 Text4 Combo4 Combo5 Text5 Text6 Combo6 Combo7 "
                            "Text7 Combo8 Text8 Combo9 Combo10 Combo18 Text9 Text11 Check1 Check2 "
                            "Check3 Check4 Check5 Check6 Check7 Check8 Check9 Text12 Text13 Combo11 "
                            "Combo12 Combo14 Combo15 Combo19 Text29 Check10 Check11 Check12 Check13 "
                            "Check14 Check15 Check16 Combo16 Text15 Text16 Text17 Text14 Text23 "
                            "Text24 Text25 Combo13 Text18 Combo17 Text20 Text21 Text22 Combo1 Combo2 "
                            "Text26 Check19 Check18 Check17 Check20 Command1 Command2 Text10 Check21 "
                            "Check22")
            .split(QLatin1Char(' '));
    Form3 f;
    f.open();
    QWidget* start = f.edit("Text1");
    QStringList walked;
    QWidget* w = start;
    for (int guard = 0; guard < 5000; ++guard) {
        if (expected.contains(w->objectName()) && !walked.contains(w->objectName()))
            walked << w->objectName();
        w = w->nextInFocusChain();
        if (w == start)
            break;
    }
    EXPECT_EQ(walked, expected);
}

TEST(EntryForm, OnlyTheControlsThatCountEnableSaving) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    f.open();
    QAction* save = f.action("tt2");
    const auto enables = [&](const std::function<void()>& change) {
        save->setEnabled(false);
        change();
        return save->isEnabled();
    };
    EXPECT_TRUE(enables([&] { f.edit("Text4")->setText(QStringLiteral("王二")); }));
    EXPECT_FALSE(enables([&] { f.edit("Text10")->setText(QStringLiteral("1970-01")); })) << "工作时间";
    for (const char* box : {"Check1", "Check15", "Check17", "Check19"})
        EXPECT_TRUE(enables([&] { f.find<QCheckBox>(box)->click(); })) << box;
    for (const char* box : {"Check16", "Check21", "Check22"})
        EXPECT_FALSE(enables([&] { f.find<QCheckBox>(box)->click(); })) << box;
}

TEST(EntryWindow, TheFocusedBoxTakesTheInputColour) {
    Form3 f;
    f.session->state().inputColour = ui::winFromColour(QColor(255, 255, 204));
    f.open();
    QLineEdit* name = f.edit("Text4");
    QLineEdit* number = f.edit("Text3");
    const QColor normal = QApplication::palette(name).color(QPalette::Base);
    QTest::mouseClick(name, Qt::LeftButton);
    ASSERT_TRUE(name->hasFocus());
    EXPECT_EQ(name->palette().color(QPalette::Base), QColor(255, 255, 204));
    EXPECT_EQ(number->palette().color(QPalette::Base), normal);

    // Enter walks on as Tab would; the colour follows the focus.
    QTest::keyClick(name, Qt::Key_Return);
    auto* sex = f.find<QComboBox>("Combo4");
    ASSERT_TRUE(sex->hasFocus());
    EXPECT_EQ(sex->lineEdit()->palette().color(QPalette::Base), QColor(255, 255, 204));
    EXPECT_EQ(name->palette().color(QPalette::Base), normal);
}

TEST(EntryWindow, ADateIsCheckedWhenTheFocusLeavesItsBox) {
    Form3 f;
    f.open();
    QLineEdit* birth = f.edit("Text5");
    QTest::mouseClick(birth, Qt::LeftButton);
    QTest::keyClicks(birth, QStringLiteral("19503"));
    QTest::keyClick(birth, Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_FALSE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("日期格式不对！"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    EXPECT_TRUE(birth->hasFocus()) << "the focus goes back into the box";
    EXPECT_EQ(birth->text(), QStringLiteral("19503"));

    birth->clear();
    QTest::keyClicks(birth, QStringLiteral("19500315"));
    f.dialogs.clear();
    QTest::keyClick(birth, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(birth->text(), QStringLiteral("1950-03-15"));
    EXPECT_TRUE(f.edit("Text6")->hasFocus());
}

TEST(EntryWindow, AfterADeletionTheListAndCountFollowAndAnyRowShows) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    f.addPerson("000002", "王二", "女");
    f.addPerson("000003", "王三", "男");
    EntryWindow& w = f.open();
    f.clickRow(1);
    EXPECT_EQ(f.name(), QStringLiteral("王二"));

    f.dialogs.answer({true});
    trigger(w, QStringLiteral("tt3"));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的删除第000002号记录吗?"));
    EXPECT_EQ(f.grid()->model()->rowCount(), 2);
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("全部人数：2"));
    EXPECT_EQ(f.name(), QStringLiteral("王二")) << "the boxes keep the deleted person";
    EXPECT_FALSE(f.action("tt3")->isEnabled());

    // The row that took the deleted person's place shows when clicked.
    f.clickRow(1);
    EXPECT_EQ(f.name(), QStringLiteral("王三"));
    EXPECT_TRUE(f.action("tt3")->isEnabled());
    EXPECT_EQ(f.grid()->currentIndex().row(), 1);

    // After a search the count keeps saying what it counts.
    f.pickCategory(5);
    QComboBox* value = f.find<QComboBox>("Combo2");
    QTest::mouseClick(value, Qt::LeftButton);
    value->lineEdit()->insert(QStringLiteral("男")); // typed: Chinese text has no key codes
    QTest::keyClick(value->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：2"));
    f.dialogs.answer({true});
    trigger(w, QStringLiteral("tt3"));
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：1"));
    f.clickRow(0);
    EXPECT_EQ(f.name(), QStringLiteral("王三"));
}

TEST(EntryWindow, AddingWithTheTemplateLeavesTheNewPersonHighlighted) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    EntryWindow& w = f.open();
    f.edit("Text7")->setText(QStringLiteral("第一机械厂"));
    QTest::mouseClick(f.find<QPushButton>("Command1"), Qt::LeftButton);
    QTest::mouseClick(f.find<QCheckBox>("Check20"), Qt::LeftButton);
    ASSERT_TRUE(f.find<QCheckBox>("Check20")->isChecked());

    trigger(w, QStringLiteral("tt1"));
    EXPECT_EQ(f.edit("Text1")->text(), QStringLiteral("000002"));
    EXPECT_EQ(f.edit("Text7")->text(), QStringLiteral("第一机械厂"));
    EXPECT_EQ(w.list().position(), 1);
    EXPECT_EQ(f.grid()->currentIndex().row(), 1);
    EXPECT_TRUE(f.grid()->selectionModel()->isRowSelected(1, {}));
    EXPECT_EQ(f.grid()->model()->index(1, 11).data().toString(), QStringLiteral("第一机械厂"));
}

TEST(EntryWindow, ASearchShowsTheFirstPersonFoundAsAMoveDoes) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    f.addPerson("000002", "王二", "女");
    f.addPerson("000003", "王三", "女");
    EntryWindow& w = f.open();
    f.dialogs.answer({true});
    trigger(w, QStringLiteral("tt3"));
    trigger(w, QStringLiteral("tt2"));
    ASSERT_FALSE(f.action("tt3")->isEnabled());

    f.pickCategory(5);
    QComboBox* value = f.find<QComboBox>("Combo2");
    QTest::mouseClick(value, Qt::LeftButton);
    value->lineEdit()->insert(QStringLiteral("女")); // typed: Chinese text has no key codes
    QTest::keyClick(value->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：2"));
    EXPECT_EQ(f.name(), QStringLiteral("王二"));
    EXPECT_EQ(f.grid()->currentIndex().row(), 0);
    EXPECT_TRUE(f.action("tt2")->isEnabled());
    EXPECT_TRUE(f.action("tt3")->isEnabled());
}

TEST(EntryWindow, Combo2SearchesOnAChoiceOrEnterNotWhenTheFocusLeaves) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    f.addPerson("000002", "王二", "女");
    EntryWindow& w = f.open();
    f.pickCategory(5);
    QComboBox* value = f.find<QComboBox>("Combo2");
    QTest::mouseClick(value, Qt::LeftButton);
    value->lineEdit()->insert(QStringLiteral("女")); // typed: Chinese text has no key codes
    QTest::mouseClick(f.edit("Text4"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(f.edit("Text4")->hasFocus());
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("全部人数：2")) << "leaving Combo2 does not search";

    // Choosing the value from the list searches.
    value->setFocus(Qt::MouseFocusReason);
    value->setCurrentIndex(1);
    emit value->activated(1);
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：1"));

    // Closing the window with a typed value in the box searches nothing and ends cleanly.
    value->lineEdit()->clear();
    value->lineEdit()->insert(QStringLiteral("男")); // typed: Chinese text has no key codes
    f.window.reset();
    SUCCEED();
}

TEST(GridModels, PassTheModelChecks) {
    ModelChecks checks;
    Form3 f;
    f.addPerson("000001", "王一", "男");
    f.addPerson("000002", "王二", "女");
    EntryWindow& w = f.open();
    QAbstractItemModelTester entryTester(f.grid()->model(),
                                         QAbstractItemModelTester::FailureReportingMode::Warning);
    trigger(w, QStringLiteral("tt1"));
    trigger(w, QStringLiteral("tt2"));
    f.dialogs.answer({true});
    trigger(w, QStringLiteral("tt3"));
    f.clickRow(0);
    f.pickCategory(5);
    QComboBox* value = f.find<QComboBox>("Combo2");
    QTest::mouseClick(value, Qt::LeftButton);
    value->lineEdit()->insert(QStringLiteral("男")); // typed: Chinese text has no key codes
    QTest::keyClick(value->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("找到人数：1"));

    f.session->pendingExpression() = QStringLiteral("性别 = '男'");
    print::ResultsWindow results(*f.session);
    auto* resultsGrid = results.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    QAbstractItemModelTester resultsTester(resultsGrid->model(),
                                           QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(resultsGrid->model()->rowCount(), 1);

    login::LogWindow log(*f.session);
    QAbstractItemModelTester logTester(&log.model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    f.session->log().write(QStringLiteral("测试"));
    log.model().reload();
    EXPECT_GT(log.model().rowCount(), 0);
}

TEST(EntryWindow, UnsavedChangesAreAskedAboutBeforeThePersonIsLeft) {
    using Answer = ui::Answer;
    const auto navigate = [](Form3& f, const char* text) {
        for (QToolButton* b : f.find<QWidget>("Data1")->findChildren<QToolButton*>()) {
            if (b->text() == QString::fromUtf8(text))
                b->click();
        }
    };
    const auto search = [](Form3& f) {
        f.pickCategory(5);
        QComboBox* value = f.find<QComboBox>("Combo2");
        QTest::mouseClick(value, Qt::LeftButton);
        value->lineEdit()->insert(QStringLiteral("男")); // typed: Chinese text has no key codes
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    };
    struct Path {
        const char* what;
        std::function<void(Form3&)> act;
        const char* shownAfter; // nullptr: the window closes
    };
    const Path paths[] = {
        {"list click", [](Form3& f) { f.clickRow(0); }, "王一"},
        {"◀", [&](Form3& f) { navigate(f, "◀"); }, "王一"},
        {"▶", [&](Form3& f) { navigate(f, "▶"); }, "王三"},
        {"|◀", [&](Form3& f) { navigate(f, "|◀"); }, "王一"},
        {"▶|", [&](Form3& f) { navigate(f, "▶|"); }, "王三"},
        {"新增", [](Form3& f) { trigger(*f.window, QStringLiteral("tt1")); }, ""},
        {"Combo2", [&](Form3& f) { search(f); }, "王一"},
        {"another window's person", [](Form3& f) { f.window->showPerson(3); }, "王三"},
        {"返回", [](Form3& f) { trigger(*f.window, QStringLiteral("tt7")); }, nullptr},
        {"close box", [](Form3& f) { f.window->close(); }, nullptr},
    };
    for (const Path& path : paths) {
        for (const Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) {
            SCOPED_TRACE(std::string(path.what) + " answered " + std::to_string(int(answer)));
            Form3 f;
            f.addPerson("000001", "王一", "男");
            f.addPerson("000002", "王二", "女");
            f.addPerson("000003", "王三", "男");
            f.open();
            f.clickRow(1);
            path.act(f); // an untouched person never asks
            EXPECT_TRUE(f.dialogs.shown.isEmpty());

            f.open();
            f.clickRow(1);
            f.edit("Text4")->setText(QStringLiteral("李四"));
            f.dialogs.replies.enqueue(answer);
            path.act(f);
            QApplication::processEvents();
            ASSERT_EQ(f.dialogs.shown.size(), 1);
            EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::QuestionWithCancel);
            EXPECT_EQ(f.dialogs.last().text, QStringLiteral("是否保存对当前记录的修改？"));
            EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
            EXPECT_EQ(f.dialogs.last().button, ui::Default::Yes);
            const QString stored =
                testing_support::personValue(f.session->db(), QStringLiteral("000002"), "姓名").toString();
            EXPECT_EQ(stored, answer == Answer::Yes ? QStringLiteral("李四") : QStringLiteral("王二"));
            if (answer == Answer::Cancel) {
                EXPECT_TRUE(f.window->isVisible());
                EXPECT_EQ(f.name(), QStringLiteral("李四"));
                EXPECT_EQ(f.window->list().position(), 1);
                EXPECT_EQ(f.grid()->currentIndex().row(), 1) << "the list stays on the person too";
            } else if (path.shownAfter) {
                EXPECT_EQ(f.name(), QString::fromUtf8(path.shownAfter));
            } else {
                EXPECT_FALSE(f.window->isVisible());
            }
        }
    }
}

TEST(EntryWindow, ARefusedSaveKeepsThePersonAndTheSelectedRowAsksNothing) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    f.addPerson("000002", "王二", "女");
    EntryWindow& w = f.open();
    f.edit("Text4")->setText(QStringLiteral("李四"));
    f.clickRow(0);
    EXPECT_TRUE(f.dialogs.shown.isEmpty()) << "the person shown is not left";
    EXPECT_EQ(f.name(), QStringLiteral("李四"));

    f.edit("Text4")->setMaxLength(50);
    f.edit("Text4")->setText(QStringLiteral("一二三四五六七八九")); // longer than the column takes
    f.dialogs.replies.enqueue(ui::Answer::Yes);
    f.clickRow(1);
    QApplication::processEvents();
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("有误！请检查输入的内容是否太长或格式不对！"));
    EXPECT_EQ(w.list().position(), 0);
    EXPECT_EQ(f.grid()->currentIndex().row(), 0);
    EXPECT_EQ(f.name(), QStringLiteral("一二三四五六七八九"));
    EXPECT_EQ(w.statusLine(), QStringLiteral("“姓名”太长（最多8个字），这次没有保存"));
}

TEST(EntryWindow, PagesFitALaptopScreenEachPersonStartsAtTheTopAndSavingSaysSo) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    f.addPerson("000002", "王二", "女");
    EntryWindow& w = f.open();
    const auto pageScroll = [&](int page) {
        w.form().setCurrentIndex(page);
        QApplication::processEvents();
        return qobject_cast<QScrollArea*>(w.form().widget(page))->verticalScrollBar();
    };
    w.resize(1000, 680); // as it opens on a 1280 × 800 screen
    for (int page : {EntryForm::BasicPage, EntryForm::SecurityPage, EntryForm::FamilyPage})
        EXPECT_EQ(pageScroll(page)->maximum(), 0) << "page " << page;

    w.resize(800, 520); // a smaller screen scrolls
    QScrollBar* basic = pageScroll(EntryForm::BasicPage);
    ASSERT_GT(basic->maximum(), 0);
    basic->setValue(basic->maximum());
    f.clickRow(1);
    EXPECT_EQ(basic->value(), 0) << "the next person starts at the top";

    f.edit("Text4")->setText(QStringLiteral("李四"));
    trigger(w, QStringLiteral("tt2"));
    EXPECT_EQ(w.statusLine(), QStringLiteral("已保存"));
    f.edit("Text12")->setText(QStringLiteral("2,890.50"));
    EXPECT_EQ(w.statusLine(), QString()) << "cleared by the next action";
    trigger(w, QStringLiteral("tt2"));
    EXPECT_EQ(w.statusLine(),
              QStringLiteral("已保存；“基本养老金”中的“2,890.50”不是一个完整的数，保存的是2"));
    trigger(w, QStringLiteral("tt4"));
    EXPECT_EQ(w.statusLine(), QString());
}

TEST(EntryWindow, CtrlNSAndDRunNewSaveAndDeleteFromAnyBox) {
    Form3 f;
    f.addPerson("000001", "王一", "男");
    EntryWindow& w = f.open();
    QLineEdit* name = f.edit("Text4");
    QTest::mouseClick(name, Qt::LeftButton);
    name->selectAll();
    name->insert(QStringLiteral("李四"));
    QTest::keyClick(name, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(testing_support::personValue(f.session->db(), QStringLiteral("000001"), "姓名").toString(),
              QStringLiteral("李四"));

    auto* remarks = f.find<QPlainTextEdit>("Text26");
    w.form().setCurrentIndex(EntryForm::RemarksPage);
    remarks->setFocus();
    QTest::keyClick(remarks, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(w.navigationCaption(), QStringLiteral("全部人数：2"));
    EXPECT_TRUE(f.dialogs.shown.isEmpty());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
    ASSERT_FALSE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的删除第000002号记录吗?"));
}
