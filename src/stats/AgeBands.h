#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace store {
class Database;
class JobControl;
} // namespace store

namespace stats {

// Whole years (周岁) on `on` of a person born on `birth`; a birthday on 29 February counts on
// 1 March in common years.
int ageOn(const QDate& birth, const QDate& on);
// The day the birthday of `birth` falls on in `year`.
QDate birthdayIn(const QDate& birth, int year);

// The birth date a person's age runs from. A date typed without its day is stored as the first
// of its month: the ID number then gives the day when its own birth date lies in that month;
// otherwise the first of the month stands. Null when no date is stored.
QDate effectiveBirth(const QString& stored, const QString& idNumber, const QDate& today);

enum class AgeBand { Under60, Sixties, Seventies, Eighties, Nineties, Hundred, Unknown };
inline constexpr int kAgeBands = 7;
// "60岁以下", "60－69岁", ... "100岁及以上", "出生年月不详".
QString bandName(AgeBand band);
AgeBand bandOf(int age);

enum class Sex { Male, Female, Unknown };
inline constexpr int kSexes = 3;
// "男", "女", "未知".
QString sexName(Sex sex);
// 男 and 女 as stored (blanks around them ignored); anything else, empty included, is unknown.
Sex sexOf(const QString& stored);

// The persons by age band and sex on one day.
struct AgeStructure {
    QDate on;
    std::array<std::array<qint64, kSexes>, kAgeBands> counts{};
    qint64 persons = 0;
    qint64 aged = 0;     // persons with a known age
    qint64 ageTotal = 0; // sum of the known ages
    int oldest = -1;     // -1 when no age is known

    qint64 count(AgeBand band, Sex sex) const { return counts[std::size_t(band)][std::size_t(sex)]; }
    qint64 inBand(AgeBand band) const;
    qint64 ofSex(Sex sex) const;
    // Average of the known ages; 0 when none is known.
    double averageAge() const { return aged ? double(ageTotal) / double(aged) : 0.0; }
    // "共 N 人，平均年龄 x.x 岁，最大年龄 y 岁，出生年月不详 z 人。"
    QString summary() const;
};

// One pass over the persons table: everyone, or only the rows named in `rows`. A person born
// after `on` has no age on that day and counts as unknown.
AgeStructure ageStructure(store::Database& db, const QDate& on,
                          const std::optional<std::vector<qint64>>& rows = std::nullopt);

} // namespace stats
