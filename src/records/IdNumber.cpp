#include "records/IdNumber.h"

namespace records {

namespace {

constexpr int kWeights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
const char kCheckCharacters[] = "10X98765432";
constexpr int kEarliestYear = 1880;

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isPlain(QStringView s) {
    for (QChar c : s) {
        if (!isDigit(c) && c != QLatin1Char('X'))
            return false;
    }
    return true;
}

int number(QStringView s) {
    int n = 0;
    for (QChar c : s)
        n = n * 10 + (c.unicode() - '0');
    return n;
}

} // namespace

QString normaliseIdNumber(const QString& typed) {
    // Most stored numbers are plain already; the compatibility mapping is only for the rest.
    if (isPlain(typed))
        return typed;
    const QString wide = typed.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(wide.size());
    for (QChar c : wide) {
        if (c.isSpace())
            continue;
        out += c == QLatin1Char('x') ? QLatin1Char('X') : c;
    }
    return out;
}

QChar idCheckCharacter(QStringView first17) {
    if (first17.size() != 17)
        return {};
    int sum = 0;
    for (int i = 0; i < 17; ++i) {
        if (!isDigit(first17[i]))
            return {};
        sum += (first17[i].unicode() - '0') * kWeights[i];
    }
    return QLatin1Char(kCheckCharacters[sum % 11]);
}

QString idNumber15(const QString& number18) {
    if (number18.size() != 18 || !number18.mid(6, 2).startsWith(QLatin1String("19")))
        return {};
    return number18.left(6) + number18.mid(8, 9);
}

quint64 idNumberKey(const IdNumber& id) {
    quint64 key = 0;
    for (QChar c : QStringView(id.number18).left(17))
        key = key * 10 + (c.unicode() - '0');
    return key;
}

IdNumber IdNumber::check(const QString& typed, const QDate& today) {
    IdNumber id;
    id.text = normaliseIdNumber(typed);
    const QString& s = id.text;
    if (s.isEmpty())
        return id;
    if (s.size() != 18 && s.size() != 15) {
        id.status = Status::BadLength;
        return id;
    }
    for (int i = 0; i < s.size(); ++i) {
        const bool lastOf18 = s.size() == 18 && i == 17;
        if (!isDigit(s[i]) && !(lastOf18 && s[i] == QLatin1Char('X'))) {
            id.status = Status::BadCharacter;
            id.badPosition = i + 1;
            return id;
        }
    }
    const bool old = s.size() == 15;
    const QString widened = old ? s.left(6) + QLatin1String("19") + s.mid(6, 9) : QString();
    const QStringView full17 = old ? QStringView(widened) : QStringView(s).left(17);
    const QDate birth(number(full17.mid(6, 4)), number(full17.mid(10, 2)), number(full17.mid(12, 2)));
    if (!birth.isValid() || birth > today || birth.year() < kEarliestYear) {
        id.status = Status::BadBirthDate;
        return id;
    }
    const QChar check = idCheckCharacter(full17);
    if (!old && s[17] != check) {
        id.status = Status::BadCheckCharacter;
        id.expectedCheck = check;
        return id;
    }
    id.status = Status::Valid;
    id.number18 = old ? widened + check : s;
    id.birth = birth;
    id.male = (full17[16].unicode() - '0') % 2 == 1;
    return id;
}

QString IdNumber::sex() const {
    if (!isValid())
        return {};
    return male ? QStringLiteral("男") : QStringLiteral("女");
}

QString IdNumber::reason() const {
    switch (status) {
    case Status::Empty:
    case Status::Valid:
        return {};
    case Status::BadLength:
        return QStringLiteral("身份证号码应为18位（旧号码15位），现为%1位").arg(text.size());
    case Status::BadCharacter:
        if (text.size() == 18 && badPosition == 18)
            return QStringLiteral("身份证号码第18位只能是数字或X");
        return QStringLiteral("身份证号码第%1位“%2”不是数字").arg(badPosition).arg(text.at(badPosition - 1));
    case Status::BadBirthDate: {
        const QString date = text.size() == 18 ? text.mid(6, 8) : QStringLiteral("19") + text.mid(6, 6);
        const QDate d(number(QStringView(date).left(4)), number(QStringView(date).mid(4, 2)),
                      number(QStringView(date).mid(6, 2)));
        if (d.isValid() && d.year() < kEarliestYear)
            return QStringLiteral("身份证号码中的出生日期%1早于%2年").arg(date).arg(kEarliestYear);
        if (d.isValid())
            return QStringLiteral("身份证号码中的出生日期%1晚于今天").arg(date);
        return QStringLiteral("身份证号码中的出生日期%1不是有效日期").arg(date);
    }
    case Status::BadCheckCharacter:
        return QStringLiteral("身份证号码校验位不符，应为%1").arg(expectedCheck);
    }
    return {};
}

} // namespace records
