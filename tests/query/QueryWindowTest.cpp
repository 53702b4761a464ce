#include "QueryFixture.h"

#include "login/MainWindow.h"
#include "print/ResultsWindow.h"
#include "query/QueryBuilder.h"
#include "query/QueryWindow.h"
#include "query/SavedCondition.h"
#include "store/CodePage.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace query;
using store::JetType;

TEST(QueryBuilder, AppendedTextsByKind) {
    const auto c = [](JetType t, const char* r, const QString& v, const char* cat = "姓名") {
        return conditionText(t, QString::fromUtf8(cat), QString::fromLatin1(r), v, QString::fromUtf8(cat))
            .value();
    };
    Appended a = c(JetType::Text, "=", QStringLiteral("张三"));
    EXPECT_EQ(a.readable, QStringLiteral("姓名='张三' "));
    EXPECT_EQ(a.expression, QStringLiteral("姓名 = '张三' "));
    a = c(JetType::Memo, "like", QStringLiteral("O'Brien*"));
    EXPECT_EQ(a.readable, QStringLiteral("姓名like'O'Brien*' "));
    EXPECT_EQ(a.expression, QStringLiteral("姓名 like 'O''Brien*' "));
    a = c(JetType::Date, ">=", QStringLiteral("1950-01-01"), "出生年月");
    EXPECT_EQ(a.readable, QStringLiteral("出生年月>='1950-01-01' "));
    EXPECT_EQ(a.expression, QStringLiteral("出生年月>=#1950-01-01# "));
    a = c(JetType::Single, "<>", QStringLiteral("12.5"), "基本养老金");
    EXPECT_EQ(a.readable, QStringLiteral("基本养老金<>12.5 "));
    EXPECT_EQ(a.expression, QStringLiteral("基本养老金<>12.5 "));
    EXPECT_EQ(c(JetType::Boolean, "=", QStringLiteral(" 是 "), "劳模").expression,
              QStringLiteral("劳模= true "));
    EXPECT_EQ(c(JetType::Boolean, "=", QStringLiteral("否"), "劳模").expression,
              QStringLiteral("劳模= false "));
    EXPECT_EQ(c(JetType::Boolean, "=", QString(), "劳模").expression, QStringLiteral("劳模= false "));
    EXPECT_EQ(c(JetType::Boolean, "=", QStringLiteral("否"), "劳模").readable, QStringLiteral("劳模=否 "));
    EXPECT_FALSE(conditionText(JetType::LongBinary, QStringLiteral("相片"), QStringLiteral("="),
                               QStringLiteral("x"), QStringLiteral("相片")));
    EXPECT_TRUE(relationsFor(JetType::Other).isEmpty());
    EXPECT_EQ(relationsFor(JetType::Date).join(QLatin1Char(' ')), QStringLiteral("= > < >= <= <>"));
    EXPECT_EQ(connectiveText(Connective::And).readable, QStringLiteral(" 并且 \r\n"));
    EXPECT_EQ(connectiveText(Connective::Or).expression, QStringLiteral(" or "));
    EXPECT_EQ(connectiveText(Connective::Open).expression, QStringLiteral("( "));
}

TEST(SavedCondition, RoundTripAndOlderFiles) {
    testing_support::TestFolder folder;
    const QString path = folder.file(kConditionFile);
    EXPECT_FALSE(loadCondition(path).has_value());
    ASSERT_TRUE(saveCondition(path, QStringLiteral("性别='男'  并且 \n民族='汉族'  或者 \n劳模=是 "),
                              QStringLiteral("性别 = '男'  and 民族 = '汉族'  or 劳模= true ")));
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_TRUE(bytes.contains(QByteArray("\xd0\xd4\xb1\xf0", 4))) << "性别 in GBK";
    EXPECT_TRUE(bytes.contains("\r\n#####"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));

    const SavedCondition back = loadCondition(path).value();
    EXPECT_EQ(back.readable, QStringLiteral("\r\n性别='男'  并且 \r\n民族='汉族'  或者 \r\n劳模=是 "));
    EXPECT_EQ(back.expression, QStringLiteral("性别 = '男'  and 民族 = '汉族'  or 劳模= true"));

    // Written byte for byte as the older program does: GBK, CR LF, two "#####" lines.
    QFile older(path);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write(store::toGbk(QStringLiteral("姓名='张三' \r\n#####姓名 = 'x' \r\n#####姓名 = '张三' \r\n")));
    older.close();
    const SavedCondition read = loadCondition(path).value();
    EXPECT_EQ(read.readable, QStringLiteral("\r\n姓名='张三' "));
    EXPECT_EQ(read.expression, QStringLiteral("姓名 = '张三'"));
}

namespace {

struct QueryFixture {
    QueryFixture() : session(folder.session(QStringLiteral("张三"))), main(*session, {[] {}, [] {}}) {
        testing_support::addFivePersons(session->db());
        testing_support::trigger(main, QStringLiteral("W2"));
        window = main.findChild<QueryWindow*>(QStringLiteral("Form6"));
    }
    QComboBox* combo(const char* name) { return window->findChild<QComboBox*>(QString::fromLatin1(name)); }
    void condition(int category, const QString& relation, const QString& value) {
        window->chooseCategory(category);
        combo("Combo2")->setCurrentText(relation);
        combo("Combo3")->setEditText(value);
        window->addCondition();
    }
    print::ResultsWindow* results() { return main.findChild<print::ResultsWindow*>(QStringLiteral("Form7")); }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    login::MainWindow main;
    QueryWindow* window = nullptr;
};

} // namespace

TEST(QueryWindow, ComposesSavesReloadsAndQueries) {
    QueryFixture f;
    ASSERT_NE(f.window, nullptr);
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("综合查询"));
    EXPECT_FALSE(f.window->findChild<QPushButton*>(QStringLiteral("Command6"))->isEnabled());
    f.window->chooseCategory(24);
    EXPECT_EQ(f.combo("Combo2")->count(), 1);
    EXPECT_EQ(f.combo("Combo2")->currentIndex(), -1) << "yes/no lists = without choosing it";
    f.window->chooseCategory(64);
    EXPECT_EQ(f.combo("Combo2")->count(), 0) << "the photo column is not in the type table";

    f.window->addConnective(int(Connective::Open));
    f.condition(5, QStringLiteral("="), QStringLiteral("男"));
    f.window->addConnective(int(Connective::Or));
    f.condition(6, QStringLiteral("="), QStringLiteral("回族"));
    f.window->addConnective(int(Connective::Close));
    f.window->addConnective(int(Connective::And));
    f.condition(27, QStringLiteral(">="), QStringLiteral("1000"));
    EXPECT_EQ(f.window->readableText(),
              QStringLiteral("(性别='男'  或者 \n民族='回族' ) 并且 \n基本养老金>=1000 "));
    EXPECT_EQ(f.session->pendingExpression(),
              QStringLiteral("( 性别 = '男'  or 民族 = '回族' ) and 基本养老金>=1000 "));
    EXPECT_FALSE(f.window->findChild<QPushButton*>(QStringLiteral("Command6"))->isEnabled());

    f.window->saveCondition();
    f.window->clearCondition();
    EXPECT_TRUE(f.session->pendingExpression().isEmpty());
    f.window->loadCondition();
    EXPECT_EQ(f.session->pendingExpression(),
              QStringLiteral("( 性别 = '男'  or 民族 = '回族' ) and 基本养老金>=1000"));

    f.window->startQuery();
    EXPECT_TRUE(f.window->readableText().isEmpty());
    EXPECT_EQ(f.window->findChild<QLabel*>(QStringLiteral("Label3"))->text(), QStringLiteral("正在查找..."));
    EXPECT_EQ(f.results(), nullptr) << "the label is painted before the results window opens";
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.results() != nullptr; }));
    EXPECT_EQ(f.results()->windowTitle(), QStringLiteral("查询结果"));
    EXPECT_EQ(f.results()->resultCount(), 2);
    EXPECT_EQ(f.results()->status(), QStringLiteral("满足条件的记录数：2"));
    EXPECT_TRUE(f.session->pendingExpression().isEmpty());

    f.window->startQuery();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("请选择条件！"));
    f.window->leave();
    const QString last = testing_support::lastAction(f.session->db());
    EXPECT_EQ(last, QStringLiteral("退出查询系统"));
}

TEST(QueryWindow, MissingOrOversizedSavedConditionIsReported) {
    QueryFixture f;
    f.window->loadCondition();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("还没有保存条件！"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);

    // Not ours: two megabytes of one line is never read in, and nothing changes.
    QFile big(f.folder.file(kConditionFile));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(2 * 1024 * 1024, '('));
    big.close();
    f.session->pendingExpression() = QStringLiteral("性别 = '男'");
    f.window->findChild<QPushButton*>(QStringLiteral("Command10"))->click();
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("“条件.txt”太大，不是本系统保存的条件，没有读取。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Exclamation);
    EXPECT_EQ(f.session->pendingExpression(), QStringLiteral("性别 = '男'"));
}

TEST(ResultsWindow, EmptyBadAndUnmatchedConditions) {
    QueryFixture f;
    f.session->pendingExpression().clear();
    {
        print::ResultsWindow results(*f.session);
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("查询条件不能空！"));
    }
    f.session->pendingExpression() = QStringLiteral("性别 = '男' ; delete from wslib");
    {
        print::ResultsWindow results(*f.session);
        EXPECT_EQ(
            f.dialogs.last().text,
            QStringLiteral("表达式设置有误。请重来！\n“;”结束了条件，后面不能再有“delete from wslib”。\n"
                           "请按“清空条件”后重新设置。"));
        EXPECT_FALSE(f.session->pendingExpression().isEmpty()) << "the expression stays pending";
        EXPECT_EQ(testing_support::countRows(f.session->db(), QStringLiteral("wslib")), 5);
    }
    f.session->pendingExpression() = QStringLiteral("姓名 = '没有这个人' ");
    print::ResultsWindow none(*f.session);
    EXPECT_EQ(none.resultCount(), 0);
    EXPECT_EQ(none.status(), QStringLiteral("满足条件的记录数：0"));
    for (const char* key : {"tt1", "tt2", "tt3", "tt4", "tt5", "tt6", "tt7", "tt9"})
        EXPECT_FALSE(none.action(QString::fromLatin1(key))->isEnabled()) << key;
    EXPECT_TRUE(none.action(QStringLiteral("tt8"))->isEnabled());

    f.session->pendingExpression() = QStringLiteral("性别 = '女' or 姓名 = 'smith'");
    print::ResultsWindow some(*f.session);
    EXPECT_EQ(some.resultCount(), 3);
    EXPECT_EQ(some.results()->row(0).at(0).toString(), QStringLiteral("000002")) << "stored order";
    EXPECT_EQ(some.results()->row(2).at(0).toString(), QStringLiteral("000005"));
}

TEST(QueryWindow, ARejectedConditionSaysWhatWasNotUnderstoodAndWaitsForClearing) {
    QueryFixture f;
    // The results window opens once the waiting label is painted.
    const auto startAndWaitForMessage = [&] {
        const auto before = f.dialogs.shown.size();
        f.window->startQuery();
        return QTest::qWaitFor([&] { return f.dialogs.shown.size() > before; });
    };
    f.condition(7, QStringLiteral(">="), QStringLiteral("1950"));
    ASSERT_TRUE(startAndWaitForMessage());
    const QString told = QStringLiteral("表达式设置有误。请重来！\n"
                                        "看不懂的地方：“1950”，这里应当是日期（如1950-03-15或1950-03）。\n"
                                        "请按“清空条件”后重新设置。");
    EXPECT_EQ(f.dialogs.last().text, told);
    // The expression stays pending: a condition added next still meets the same refusal.
    f.window->addConnective(int(Connective::And));
    f.condition(5, QStringLiteral("="), QStringLiteral("男"));
    ASSERT_TRUE(startAndWaitForMessage());
    EXPECT_EQ(f.dialogs.last().text, told);
    f.window->clearCondition();
    f.condition(5, QStringLiteral("="), QStringLiteral("男"));
    f.window->startQuery();
    // The refused queries' results window gives way to the new one once it opens.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const print::ResultsWindow* results = f.results();
        return results && results->resultCount() == 3;
    }));
}

TEST(QueryWindow, ASavedConditionThatIsNotARegularFileIsNotRead) {
    QueryFixture f;
    const QString path = f.folder.file(kConditionFile);
    f.session->pendingExpression() = QStringLiteral("性别 = '男'");
    // A pipe would block the window for ever; a link to an endless device would fill the memory.
    ASSERT_EQ(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
    f.window->findChild<QPushButton*>(QStringLiteral("Command10"))->click();
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("“条件.txt”不是普通文件，不是本系统保存的条件，没有读取。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Exclamation);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
    f.dialogs.clear();
    f.window->loadCondition();
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("“条件.txt”不是普通文件，不是本系统保存的条件，没有读取。"));
    EXPECT_FALSE(loadCondition(path).has_value());
    EXPECT_EQ(f.session->pendingExpression(), QStringLiteral("性别 = '男'"));

    // A link to a saved condition is followed.
    ASSERT_TRUE(QFile::remove(path));
    const QString saved = f.folder.file(QStringLiteral("saved.txt"));
    ASSERT_TRUE(saveCondition(saved, QStringLiteral("姓名='张三' "), QStringLiteral("姓名 = '张三' ")));
    ASSERT_TRUE(QFile::link(saved, path));
    f.window->loadCondition();
    EXPECT_EQ(f.session->pendingExpression(), QStringLiteral("姓名 = '张三'"));
}
