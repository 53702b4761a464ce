#include "TestFolder.h"

#include "records/DataCheck.h"
#include "store/Database.h"

#include <gtest/gtest.h>

using namespace records;
using testing_support::TestFolder;

namespace {

struct Persons {
    Persons() : session(folder.session()) {}
    // number, name, sex, birth, ID, retired; empty texts store Null dates.
    void add(const QString& number, const QString& name, const QString& sex, const QString& birth,
             const QString& id, const QString& retired = QString()) {
        session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"出生年月\", "
                                          "\"身份证号码\", \"退休年月\") VALUES (?, ?, ?, ?, ?, ?)"),
                           {number, name, sex, birth.isEmpty() ? QVariant() : QVariant(birth), id,
                            retired.isEmpty() ? QVariant() : QVariant(retired)});
    }
    QString id(const QString& number) {
        return session->db()
            .scalar(QStringLiteral("SELECT \"身份证号码\" FROM wslib WHERE \"个人编号\" = ?"), {number})
            .toString();
    }
    QDate today() const { return folder.clock.now->date(); } // 2008-06-23

    TestFolder folder;
    std::unique_ptr<store::Session> session;
};

// One person per fault kind beside clean ones that only look suspicious.
void plantOneOfEach(Persons& p) {
    p.add("000001", "张一", "女", "1949-12-31", "11010519491231002X", "2004-12-01");
    p.add("000002", "李二", "男", "1953-08-01", "370283195308172617", "2013-08-01"); // typed as 195308
    p.add("000003", "王三", "", "", "");                                             // nothing known
    p.add("000004", "赵四", "", "", "110105194912310021");                           // check character
    p.add("000005", "钱五", "男", "1958-06-12", "440301580612301");                  // 15 digits
    p.add("000006", "孙六", "男", "1985-07-11", "320106198506113315");               // born a month later
    p.add("000007", "周七", "男", "1977-05-05", "510108197705051122");               // a woman's number
    p.add("000008", "吴八", "女", "1960-02-29", "130102196002290043");
    p.add("000009", "郑九", "女", "1960-02-29", "130102196002290043"); // the same number again
    p.add("000010", "冯十", "", "", "");
    p.add("000010", "陈十一", "", "", ""); // the same personal number again
    p.add("000011", "褚十二", "", "1950-05-01", "", "1950-04-01");
    p.add("000012", "卫十三", "", "2009-01-01", "");
    p.add("000013", "蒋十四", "男", "1950-03-01", "110105195003150019"); // birth typed as 195003
}

} // namespace

TEST(DataCheck, FindsOnePlantedFaultOfEachKindAndNothingElse) {
    Persons p;
    plantOneOfEach(p);
    const DataCheckReport report = checkData(p.session->db(), p.today());
    EXPECT_EQ(report.persons, 14);

    struct Expected {
        Fault fault;
        const char* number;
        const char* detail;
        int group;
    };
    const Expected expected[] = {
        {Fault::InvalidId, "000004", "身份证号码校验位不符，应为X", 0},
        {Fault::OldId, "000005", "可转换为 440301195806123016", 0},
        {Fault::BirthContradictsId, "000006", "出生年月 1985-07，身份证号码为 1985-06", 0},
        {Fault::SexContradictsId, "000007", "性别 男，身份证号码为 女", 0},
        {Fault::DuplicateId, "000008", "第1组，共2人", 1},
        {Fault::DuplicateId, "000009", "第1组，共2人", 1},
        {Fault::DuplicateNumber, "000010", "第1组，共2人", 1},
        {Fault::DuplicateNumber, "000010", "第1组，共2人", 1},
        {Fault::RetiredBeforeBirth, "000011", "退休年月 1950-04，出生年月 1950-05", 0},
        {Fault::BornInFuture, "000012", "出生年月 2009-01", 0},
    };
    ASSERT_EQ(report.findings.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const Finding& f = report.findings[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(f.fault, expected[i].fault);
        EXPECT_EQ(f.number, QString::fromLatin1(expected[i].number));
        EXPECT_EQ(f.detail, QString::fromUtf8(expected[i].detail));
        EXPECT_EQ(f.group, expected[i].group);
    }
    EXPECT_EQ(report.findings[6].name, QStringLiteral("冯十"));
    EXPECT_EQ(report.findings[7].name, QStringLiteral("陈十一"));
    EXPECT_EQ(report.findings[4].idNumber, QStringLiteral("130102196002290043"));
    EXPECT_EQ(report.count(Fault::DuplicateId), 2);
}

TEST(DataCheck, DuplicatesMatchAcrossFormsAndGroupsStaySeparate) {
    Persons p;
    p.add("000001", "甲", "", "", "11010519491231002X");
    p.add("000002", "乙", "", "", "110105491231002");    // the same person in the old form
    p.add("000003", "丙", "", "", "11010519491231002x"); // lower-case
    p.add("000004", "丁", "", "", "320106198506113315");
    p.add("000005", "戊", "", "", "320106198506113315");
    p.add("000006", "己", "", "", "110105194912310021"); // invalid numbers are never duplicates
    p.add("000007", "庚", "", "", "110105194912310021");
    const DataCheckReport report = checkData(p.session->db(), p.today());
    std::vector<std::pair<QString, int>> groups;
    for (const Finding& f : report.findings) {
        if (f.fault == Fault::DuplicateId)
            groups.emplace_back(f.number, f.group);
    }
    const std::vector<std::pair<QString, int>> expected = {
        {"000001", 1}, {"000002", 1}, {"000003", 1}, {"000004", 2}, {"000005", 2}};
    EXPECT_EQ(groups, expected);
    EXPECT_EQ(report.count(Fault::InvalidId), 2);
    EXPECT_EQ(personsSharingIds(p.session->db(), p.today()), 5);
}

TEST(DataCheck, ConvertsEveryValidOldNumberInOneGo) {
    Persons p;
    p.add("000001", "甲", "", "", "110105491231002");
    p.add("000002", "乙", "", "", "440301580612301");
    p.add("000003", "丙", "", "", "110105491331002"); // not a date: left as it is
    p.add("000004", "丁", "", "", "320106198506113315");
    EXPECT_EQ(convertOldIdNumbers(p.session->db(), p.today()), 2);
    EXPECT_EQ(p.id("000001"), QStringLiteral("11010519491231002X"));
    EXPECT_EQ(p.id("000002"), QStringLiteral("440301195806123016"));
    EXPECT_EQ(p.id("000003"), QStringLiteral("110105491331002"));
    EXPECT_EQ(p.id("000004"), QStringLiteral("320106198506113315"));
    EXPECT_EQ(checkData(p.session->db(), p.today()).count(Fault::OldId), 0);
}

TEST(DataCheck, AConversionThatFailsHalfWayChangesNothing) {
    Persons p;
    p.add("000001", "甲", "", "", "110105491231002");
    p.add("000002", "乙", "", "", "440301580612301");
    p.session->db().exec(
        QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON wslib WHEN NEW.\"个人编号\" = '000002' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    EXPECT_THROW(convertOldIdNumbers(p.session->db(), p.today()), store::SqlError);
    EXPECT_EQ(p.id("000001"), QStringLiteral("110105491231002"));
    EXPECT_EQ(p.id("000002"), QStringLiteral("440301580612301"));
}

TEST(DataCheck, SummarisesStagedWorkbookRows) {
    const QDate today(2008, 6, 23);
    std::vector<StagedId> rows;
    int r = 3;
    for (const char* id : {"11010519491231002X", "", "110105194912310021", "110105491231002", "bad",
                           "320106198506113315", "320106198506113315", "320106198506113315", "1234"})
        rows.push_back({r++, QString::fromLatin1(id)});
    const IdSummary s = summariseIds(rows, today, 2);
    EXPECT_EQ(s.invalid, 3);
    EXPECT_EQ(s.invalidRows, (QList<int>{5, 7}));
    EXPECT_EQ(s.duplicated, 2) << "two numbers recur, one of them twice";
    EXPECT_EQ(s.duplicatedRows, (QList<int>{6, 9}));
    EXPECT_EQ(
        s.message(),
        QStringLiteral(
            "身份证号码检查：3 行的身份证号码无效（第 5、7 行等）；2 个身份证号码重复出现（第 6、9 行）。"));
    EXPECT_EQ(summariseIds({{3, QStringLiteral("11010519491231002X")}}, today).message(),
              QStringLiteral("身份证号码检查：没有发现无效或重复的身份证号码。"));
}

// Personal numbers are compared trimmed and case-sensitive, the groups ordered as their texts
// are: "10" before "9", full-width after ASCII, a number past 12 characters (an older file) whole.
TEST(DataCheck, DuplicateNumbersGroupAsTheirTrimmedTextsSort) {
    Persons p;
    p.session->db().exec(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
    for (const char* number : {"9", " 9", "10 ", "\t10", "Ａ1", "Ａ1\u3000", "abc", "ABC", "1234567890123",
                               "1234567890123", "1234567890124", "123456789012", "123456789012"})
        p.add(QString::fromUtf8(number), "某", "", "", "");
    std::vector<std::pair<QString, int>> groups;
    for (const Finding& f : checkData(p.session->db(), p.today()).findings) {
        if (f.fault == Fault::DuplicateNumber)
            groups.emplace_back(f.number, f.group);
    }
    const std::vector<std::pair<QString, int>> expected = {{"10", 1},
                                                           {"10", 1},
                                                           {"123456789012", 2},
                                                           {"123456789012", 2},
                                                           {"1234567890123", 3},
                                                           {"1234567890123", 3},
                                                           {"9", 4},
                                                           {"9", 4},
                                                           {"Ａ1", 5},
                                                           {"Ａ1", 5}};
    EXPECT_EQ(groups, expected);
}
