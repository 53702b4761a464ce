#include "records/IdNumber.h"

#include <gtest/gtest.h>

using records::IdNumber;
using Status = records::IdNumber::Status;

namespace {

const QDate kToday(2026, 12, 7);

IdNumber check(const QString& typed) {
    return IdNumber::check(typed, kToday);
}

// Valid numbers with their birth dates and sexes; the first two are the standard's own examples.
struct Known {
    const char* number;
    QDate birth;
    bool male;
};
const Known kKnown[] = {
    {"11010519491231002X", {1949, 12, 31}, false}, {"440524188001010014", {1880, 1, 1}, true},
    {"320106198506113315", {1985, 6, 11}, true},   {"510108197705051122", {1977, 5, 5}, false},
    {"130102196002290043", {1960, 2, 29}, false},  {"650101200002291569", {2000, 2, 29}, false},
    {"370283195308172617", {1953, 8, 17}, true},
};

} // namespace

TEST(IdNumber, KnownNumbersAreValidWithTheirBirthDateAndSex) {
    for (const Known& k : kKnown) {
        const IdNumber id = check(QString::fromLatin1(k.number));
        SCOPED_TRACE(k.number);
        ASSERT_EQ(id.status, Status::Valid) << id.reason().toStdString();
        EXPECT_EQ(id.birth, k.birth);
        EXPECT_EQ(id.male, k.male);
        EXPECT_EQ(id.sex(), k.male ? QStringLiteral("男") : QStringLiteral("女"));
        EXPECT_EQ(id.number18, QString::fromLatin1(k.number));
        EXPECT_TRUE(id.reason().isEmpty());
    }
}

// A single wrong digit anywhere must never pass: the check character catches every one.
TEST(IdNumber, EverySingleCharacterChangeIsCaught) {
    const QString digits = QStringLiteral("0123456789X");
    int mutations = 0;
    for (const Known& k : kKnown) {
        const QString good = QString::fromLatin1(k.number);
        for (int i = 0; i < 18; ++i) {
            for (QChar c : digits) {
                if (c == good.at(i) || (c == QLatin1Char('X') && i < 17))
                    continue;
                QString bad = good;
                bad[i] = c;
                const IdNumber id = check(bad);
                EXPECT_FALSE(id.isValid()) << bad.toStdString();
                EXPECT_FALSE(id.reason().isEmpty());
                ++mutations;
            }
        }
    }
    EXPECT_EQ(mutations, 7 * (17 * 9 + 10));
}

TEST(IdNumber, EachProblemHasItsOwnReason) {
    struct Case {
        QString typed;
        Status status;
        QString reason;
    };
    const QList<Case> cases = {
        {QStringLiteral("110105194912310021"), Status::BadCheckCharacter,
         QStringLiteral("身份证号码校验位不符，应为X")},
        {QStringLiteral("44052418800101001X"), Status::BadCheckCharacter,
         QStringLiteral("身份证号码校验位不符，应为4")},
        {QStringLiteral("1101051949123100"), Status::BadLength,
         QStringLiteral("身份证号码应为18位（旧号码15位），现为16位")},
        {QStringLiteral("11010519491231002X1"), Status::BadLength,
         QStringLiteral("身份证号码应为18位（旧号码15位），现为19位")},
        {QStringLiteral("1101A519491231002X"), Status::BadCharacter,
         QStringLiteral("身份证号码第5位“A”不是数字")},
        {QStringLiteral("11010519491231002Y"), Status::BadCharacter,
         QStringLiteral("身份证号码第18位只能是数字或X")},
        {QStringLiteral("11010549123100X"), Status::BadCharacter,
         QStringLiteral("身份证号码第15位“X”不是数字")},
        {QStringLiteral("110105190002290041"), Status::BadBirthDate,
         QStringLiteral("身份证号码中的出生日期19000229不是有效日期")},
        {QStringLiteral("110105202712010011"), Status::BadBirthDate,
         QStringLiteral("身份证号码中的出生日期20271201晚于今天")},
        {QStringLiteral("110105187912310016"), Status::BadBirthDate,
         QStringLiteral("身份证号码中的出生日期18791231早于1880年")},
        {QStringLiteral("110105491331002"), Status::BadBirthDate,
         QStringLiteral("身份证号码中的出生日期19491331不是有效日期")},
    };
    for (const Case& c : cases) {
        const IdNumber id = check(c.typed);
        EXPECT_EQ(id.status, c.status) << c.typed.toStdString();
        EXPECT_EQ(id.reason(), c.reason) << c.typed.toStdString();
    }
    // The reason names the right check character however the number is wrong in its digits.
    EXPECT_EQ(check(QStringLiteral("110105194912310020")).expectedCheck, QLatin1Char('X'));
}

TEST(IdNumber, LeapDaysAndTheFuture) {
    EXPECT_EQ(check(QStringLiteral("130102190002290046")).status, Status::BadBirthDate)
        << "1900 was no leap year";
    EXPECT_TRUE(check(QStringLiteral("650101200002291569")).isValid()) << "2000 was";
    // Born today is fine, tomorrow is not (check characters computed for each).
    const QString today17 = QStringLiteral("11010520261207001");
    const QString tomorrow17 = QStringLiteral("11010520261208001");
    EXPECT_TRUE(check(today17 + records::idCheckCharacter(today17)).isValid());
    EXPECT_EQ(check(tomorrow17 + records::idCheckCharacter(tomorrow17)).status, Status::BadBirthDate);
}

TEST(IdNumber, FifteenDigitNumbersConvertToEighteen) {
    const std::pair<const char*, const char*> pairs[] = {
        {"110105491231002", "11010519491231002X"},
        {"440301580612301", "440301195806123016"},
        {"320106850611331", "320106198506113315"},
        {"510108770505112", "510108197705051122"},
    };
    for (const auto& [fifteen, eighteen] : pairs) {
        const IdNumber id = check(QString::fromLatin1(fifteen));
        ASSERT_TRUE(id.isValid()) << fifteen;
        EXPECT_TRUE(id.isOldForm());
        EXPECT_EQ(id.number18, QString::fromLatin1(eighteen));
        EXPECT_EQ(records::idNumber15(id.number18), QString::fromLatin1(fifteen));
        EXPECT_EQ(id.birth, check(QString::fromLatin1(eighteen)).birth);
        EXPECT_EQ(id.male, check(QString::fromLatin1(eighteen)).male) << "sex from the last digit";
    }
    EXPECT_FALSE(check(QStringLiteral("11010519491231002X")).isOldForm());
    EXPECT_EQ(records::idNumber15(QStringLiteral("650101200002291569")), QString()) << "not of the 1900s";
}

TEST(IdNumber, FullWidthInputAndBlanksAreNormalised) {
    // Full-width digits, a full-width blank and a lower-case x, as an input method types them.
    const QString typed = QStringLiteral("　１１０１０５ １９４９１２３１００２ｘ ");
    const IdNumber id = check(typed);
    EXPECT_TRUE(id.isValid()) << id.reason().toStdString();
    EXPECT_EQ(id.text, QStringLiteral("11010519491231002X"));
    EXPECT_EQ(check(QStringLiteral("11010519491231002x")).text, QStringLiteral("11010519491231002X"));
    EXPECT_TRUE(check(QStringLiteral("11010519491231002x")).isValid());
    EXPECT_TRUE(check(QStringLiteral("  ")).isEmpty());
    EXPECT_TRUE(check(QString()).reason().isEmpty()) << "no number is not a wrong number";
}
