#pragma once

#include <QDate>
#include <QString>
#include <QStringView>

namespace records {

// A citizen ID number as an operator typed it, checked: 18 characters (region, birth date
// yyyymmdd, sequence whose last digit is odd for men, check character), or the older 15-digit
// form (birth date yymmdd of the 1900s, no check character).
struct IdNumber {
    enum class Status { Empty, Valid, BadLength, BadCharacter, BadBirthDate, BadCheckCharacter };

    // Full-width digits and letters become ASCII, blanks go, x becomes X. `today` bounds the
    // birth date.
    static IdNumber check(const QString& typed, const QDate& today);

    Status status = Status::Empty;
    QString text;     // the normalised text
    QString number18; // the 18-character form of a valid number (a 15-digit one converted)
    QDate birth;      // valid numbers only
    bool male = false;
    QChar expectedCheck; // BadCheckCharacter: what the last character should be
    int badPosition = 0; // BadCharacter: 1-based position of the first wrong character

    bool isValid() const { return status == Status::Valid; }
    bool isEmpty() const { return status == Status::Empty; }
    bool isOldForm() const { return isValid() && text.size() == 15; }
    QString sex() const; // "男" or "女"; empty unless valid
    // Why the number is wrong, for the operator; empty when it is valid or empty.
    QString reason() const;
};

QString normaliseIdNumber(const QString& typed);

// The check character over the first 17 digits; a null QChar when they are not 17 digits.
QChar idCheckCharacter(QStringView first17);

// The first 17 digits of a valid number as one integer: equal keys, equal numbers.
quint64 idNumberKey(const IdNumber& id);

// The 15-digit form of an 18-character number born in the 1900s; empty otherwise.
QString idNumber15(const QString& number18);

} // namespace records
