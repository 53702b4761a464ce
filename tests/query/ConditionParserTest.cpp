#include "QueryFixture.h"

#include "query/ConditionParser.h"
#include "store/JetLike.h"
#include "store/RecordSet.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace query;

namespace {

struct Persons {
    Persons() : session(folder.session()) {
        testing_support::addFivePersons(session->db());
        columns = store::tableColumns(session->db(), QStringLiteral("wslib"));
    }
    // Personal numbers of the matching persons, in stored order.
    QStringList matching(const QString& fragment) {
        const SqlCondition c = parseCondition(fragment, columns);
        store::RecordSet set(session->db(), QStringLiteral("wslib"), c.sql, c.params);
        QStringList numbers;
        for (int i = 0; i < set.count(); ++i)
            numbers << set.row(i).at(0).toString().right(1);
        return numbers;
    }
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::vector<store::TableColumn> columns;
};

} // namespace

TEST(ConditionParser, FragmentsOfTheBuilderAndTheOlderProgram) {
    Persons p;
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("姓名 = '张三' "), QStringLiteral("1")},
        {QStringLiteral("[姓名]='张三'"), QStringLiteral("1")},
        {QStringLiteral("性别 = '男'  and 民族 = '汉族' "), QStringLiteral("13")},
        {QStringLiteral("性别 <> '男' "), QStringLiteral("24")},
        {QStringLiteral("原工作单位 = 'abc corp' "), QStringLiteral("5")},
        {QStringLiteral("原工作单位 = 'It''s Co' "), QStringLiteral("4")},
        {QStringLiteral("出生年月>=#1950-01-01#  and 出生年月<=#1950-12-31# "), QStringLiteral("13")},
        {QStringLiteral("出生年月<#3/1/1955#"), QStringLiteral("13")},
        {QStringLiteral("出生年月=#1950-03# "), QString()},
        {QStringLiteral("出生年月=#1955-07# "), QStringLiteral("2")},
        {QStringLiteral("出生年月 is null"), QStringLiteral("4")},
        {QStringLiteral("出生年月 is not null and 劳模= true "), QStringLiteral("1")},
        {QStringLiteral("劳模= false "), QStringLiteral("235")},
        {QStringLiteral("劳模 = -1"), QStringLiteral("14")},
        {QStringLiteral("基本养老金>1000 "), QStringLiteral("24")},
        {QStringLiteral("基本养老金>=1000.0 and 基本养老金<2000"), QStringLiteral("14")},
        {QStringLiteral("原工作单位 like '第一*' "), QStringLiteral("13")},
        {QStringLiteral("姓名 like 'sm?th' "), QStringLiteral("5")},
        {QStringLiteral("姓名 like '[张李]*'"), QStringLiteral("12")},
        {QStringLiteral("姓名 like '[!张李]*'"), QStringLiteral("345")},
        {QStringLiteral("个人编号 like '00000#'"), QStringLiteral("12345")},
        {QStringLiteral("姓名 not like '*三'"), QStringLiteral("2345")},
        {QStringLiteral("备注 like '*先进*' "), QStringLiteral("1")},
        {QStringLiteral("not 性别 = '男'"), QStringLiteral("24")},
        {QStringLiteral("( ( 性别 = '男'  or 民族 = '回族' ) and 基本养老金>=1000 )"), QStringLiteral("12")},
        {QStringLiteral("性别 = '男' \r\n or \r\n 民族 = '回族' and 劳模= true "), QStringLiteral("135")},
    };
    for (const auto& [fragment, expected] : cases) {
        try {
            EXPECT_EQ(p.matching(fragment).join(QString()), expected) << fragment.toStdString();
        } catch (const ConditionError& e) {
            ADD_FAILURE() << fragment.toStdString() << ": " << e.what();
        }
    }
}

TEST(ConditionParser, RefusesWhatIsNotACondition) {
    Persons p;
    const QStringList hostile = {
        QStringLiteral("1=1; drop table wslib"),
        QStringLiteral("姓名 in (select pass from basic)"),
        QStringLiteral("未知列 = '1'"),
        QStringLiteral("姓名 = 'abc"),
        QStringLiteral("(性别 = '男'"),
        QStringLiteral("性别 = '男')"),
        QStringLiteral("len(姓名) > 2"),
        QStringLiteral("姓名 = '张三' -- comment"),
        QStringLiteral("性别 = '男' union select * from basic"),
        QString(),
        QStringLiteral("   "),
        QStringLiteral("姓名"),
        QStringLiteral("出生年月 = #abc#"),
        QStringLiteral("出生年月 = #1950-02-30#"),
        QStringLiteral("基本养老金 > abc"),
        QStringLiteral("基本养老金 > 'abc'"),
        QStringLiteral("劳模 = '是'"),
        QStringLiteral("性别 = '男' and"),
        QStringLiteral("'a' = 'a'"),
        QStringLiteral("姓名 like '[张'"),
    };
    for (const QString& fragment : hostile)
        EXPECT_THROW(parseCondition(fragment, p.columns), ConditionError) << fragment.toStdString();
    EXPECT_EQ(testing_support::countRows(p.session->db(), QStringLiteral("wslib")), 5);
}

TEST(ConditionParser, JetLikePatterns) {
    EXPECT_TRUE(store::jetLike(QStringLiteral("ABC"), QStringLiteral("a*")));
    EXPECT_TRUE(store::jetLike(QStringLiteral("a.c"), QStringLiteral("a.c")));
    EXPECT_FALSE(store::jetLike(QStringLiteral("abc"), QStringLiteral("a.c")));
    EXPECT_TRUE(store::jetLike(QStringLiteral("a*c"), QStringLiteral("a[*]c")));
    EXPECT_TRUE(store::jetLike(QStringLiteral("b7"), QStringLiteral("[a-c]#")));
    EXPECT_FALSE(store::jetLike(QStringLiteral("d7"), QStringLiteral("[a-c]#")));
    EXPECT_TRUE(store::jetLike(QStringLiteral("第一\n第二"), QStringLiteral("*第二")));
    EXPECT_FALSE(store::jetLike(QStringLiteral("abc"), QStringLiteral("ab")));
}

TEST(ConditionParser, MoreOfJetAsOlderFilesAndOperatorsWriteIt) {
    Persons p;
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("基本养老金 between 1000 and 2000"), QStringLiteral("14")},
        {QStringLiteral("基本养老金 not between 1000 and 2000"), QStringLiteral("23")},
        {QStringLiteral("出生年月 between #1950-01-01# and #1955-12-31# and 性别 = '女'"),
         QStringLiteral("2")},
        {QStringLiteral("民族 in ('回族', '满族')"), QStringLiteral("25")},
        {QStringLiteral("民族 not in ('回族', '满族')"), QStringLiteral("134")},
        {QStringLiteral("基本养老金 in (1000, 2000.5)"), QStringLiteral("12")},
        {QStringLiteral("wslib.姓名 = '张三'"), QStringLiteral("1")},
        {QStringLiteral("[wslib].[姓名] = '李四' or WSLIB.性别 = '男'"), QStringLiteral("1235")},
        {QStringLiteral("性别 = '女';"), QStringLiteral("24")},
        {QStringLiteral("性别 = '女' ;  \r\n"), QStringLiteral("24")},
        {QStringLiteral("基本养老金 >= 1.5E3"), QStringLiteral("24")},
        {QStringLiteral("基本养老金 < 2e+3 and 基本养老金 > 1e-1"), QStringLiteral("14")},
        {QStringLiteral("出生年月 < #1950-03-15 10:30:00#"), QStringLiteral("1")},
        {QStringLiteral("出生年月 = #1950-03-15 10:30#"), QString()},
        {QStringLiteral("出生年月 = #3/15/1950 00:00:00#"), QStringLiteral("1")},
        {QStringLiteral("出生年月 > #3/15/1950 1:00 PM#"), QStringLiteral("235")},
        // Yes/No as Jet counts it: a tick is -1.
        {QStringLiteral("劳模 = -1"), QStringLiteral("14")},
        {QStringLiteral("劳模 <> 0"), QStringLiteral("14")},
        {QStringLiteral("劳模 = 1"), QString()},
        {QStringLiteral("劳模 = true"), QStringLiteral("14")},
        {QStringLiteral("-1 = 劳模"), QStringLiteral("14")},
        {QStringLiteral("劳模 < 0"), QStringLiteral("14")},
        // Like Null is Null: no one, negated or not.
        {QStringLiteral("姓名 like null"), QString()},
        {QStringLiteral("姓名 not like null"), QString()},
        {QStringLiteral("not (姓名 like null)"), QString()},
        {QStringLiteral("not not 性别 = '男'"), QStringLiteral("135")},
        {QStringLiteral("not not not 性别 = '男'"), QStringLiteral("24")},
    };
    for (const auto& [fragment, expected] : cases) {
        try {
            EXPECT_EQ(p.matching(fragment).join(QString()), expected) << fragment.toStdString();
        } catch (const ConditionError& e) {
            ADD_FAILURE() << fragment.toStdString() << ": " << e.what();
        }
    }
    for (const char* hostile :
         {"性别 = '男'; delete from wslib", "其它表.姓名 = '张三'", "姓名 in (姓名)", "姓名 in ('a' 'b')",
          "姓名 between 'a'", "'a' between 'a' and 'b'", "出生年月 = #1950-03-15 25:00#", "姓名 in ()"}) {
        EXPECT_THROW(parseCondition(QString::fromUtf8(hostile), p.columns), ConditionError) << hostile;
    }
}

TEST(ConditionParser, NestingIsBoundedOnASmallStack) {
    Persons p;
    // Real conditions nest a few levels; sixty still parse and run.
    const QString deepest =
        QString(63, QLatin1Char('(')) + QStringLiteral("性别 = '女'") + QString(63, QLatin1Char(')'));
    EXPECT_EQ(p.matching(deepest).join(QString()), QStringLiteral("24"));
    EXPECT_EQ(p.matching(QStringLiteral("not ").repeated(64) + QStringLiteral("性别 = '女'")).join(QString()),
              QStringLiteral("24"));

    // What a hostile 条件.txt nests is refused on a thread with the stack Windows gives a program.
    const QString parens =
        QString(10000, QLatin1Char('(')) + QStringLiteral("性别 = '女'") + QString(10000, QLatin1Char(')'));
    const QString nots = QStringLiteral("not ").repeated(100000) + QStringLiteral("性别 = '女'");
    const QString mixed = QStringLiteral("(not ").repeated(5000) + QStringLiteral("性别 = '女'") +
                          QString(5000, QLatin1Char(')'));
    int refused = 0;
    QThread* thread = QThread::create([&] {
        for (const QString* fragment : {&parens, &nots, &mixed}) {
            try {
                parseCondition(*fragment, p.columns);
            } catch (const ConditionError&) {
                ++refused;
            }
        }
    });
    thread->setStackSize(1024 * 1024);
    thread->start();
    ASSERT_TRUE(thread->wait(QDeadlineTimer(60000)));
    delete thread;
    EXPECT_EQ(refused, 3);
}

TEST(ConditionParser, BetweenTakesItsBoundsInEitherOrder) {
    Persons p;
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("基本养老金 between 2000 and 1000"), QStringLiteral("14")},
        {QStringLiteral("基本养老金 not between 2000 and 1000"), QStringLiteral("23")},
        {QStringLiteral("出生年月 between #1955-12-31# and #1950-01-01# and 性别 = '女'"),
         QStringLiteral("2")},
        {QStringLiteral("姓名 between '李' and 'A'"), QStringLiteral("15")},
    };
    for (const auto& [fragment, expected] : cases)
        EXPECT_EQ(p.matching(fragment).join(QString()), expected) << fragment.toStdString();
}

TEST(ConditionParser, ThousandsOfTermsRun) {
    Persons p;
    // 5,000 terms: deeper than the engine nests and more values than it binds.
    QStringList names;
    for (int i = 0; i < 5000; ++i)
        names << QStringLiteral("姓名 = '无此人%1'").arg(i);
    names[2500] = QStringLiteral("原工作单位 = 'It''s Co'");
    names[4999] = QStringLiteral("基本养老金 = -1 or 出生年月 = #1962-01-01#");
    const QString ors = names.join(QStringLiteral(" or "));
    ASSERT_GT(ors.size(), 65000);
    EXPECT_EQ(p.matching(ors).join(QString()), QStringLiteral("45"));
    EXPECT_EQ(p.matching(QStringList(5000, QStringLiteral("性别 = '女'")).join(QStringLiteral(" and ")))
                  .join(QString()),
              QStringLiteral("24"));
    EXPECT_EQ(p.matching(QStringLiteral("(") + QStringList(900, QStringLiteral("劳模 = true")).join(" and ") +
                         QStringLiteral(") or 姓名 = '李四'"))
                  .join(QString()),
              QStringLiteral("124"));
}

TEST(ConditionParser, ARefusalSaysWhatWasNotUnderstood) {
    Persons p;
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("出生年月>=#1950# "),
         QStringLiteral("看不懂的地方：“1950”，这里应当是日期（如1950-03-15或1950-03）。")},
        {QStringLiteral("未知列 = '1'"), QStringLiteral("看不懂的地方：“未知列”，它不是人员表的字段。")},
        {QStringLiteral("基本养老金 > 'abc'"), QStringLiteral("看不懂的地方：“'abc'”，这里应当是数字。")},
        {QStringLiteral("性别 = '男' and"),
         QStringLiteral("看不懂的地方：条件的末尾，这里应当是值或字段名。")},
        {QStringLiteral("性别 = '男')"), QStringLiteral("看不懂的地方：“)”，这个“)”前面没有对应的“(”。")},
        {QStringLiteral("(性别 = '男'"),
         QStringLiteral("看不懂的地方：条件的末尾，这里应当是与“(”对应的“)”。")},
        {QStringLiteral("姓名 = 'abc"), QStringLiteral("引号没有配对：“'abc”。")},
        {QStringLiteral("1=1; drop table wslib"),
         QStringLiteral("“;”结束了条件，后面不能再有“drop table wslib”。")},
    };
    for (const auto& [fragment, reason] : cases) {
        try {
            parseCondition(fragment, p.columns);
            ADD_FAILURE() << "accepted " << fragment.toStdString();
        } catch (const ConditionError& e) {
            EXPECT_EQ(e.reason(), reason) << fragment.toStdString();
        }
    }
}
