#include "stats/AgeBands.h"

#include "records/IdNumber.h"
#include "records/PersonsStats.h"
#include "store/Database.h"
#include "store/JetValues.h"

#include <unordered_set>

namespace stats {

namespace {

// Stored dates are "YYYY-MM-DD"; anything else an older file left goes the slow way.
QDate storedDate(const QString& text) {
    if (text.size() == 10 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-')) {
        const QStringView v(text);
        const QDate d(v.left(4).toInt(), v.mid(5, 2).toInt(), v.mid(8, 2).toInt());
        if (d.isValid())
            return d;
    }
    if (text.trimmed().isEmpty())
        return {};
    return store::parseDate(text).value_or(QDate());
}

} // namespace

QDate birthdayIn(const QDate& birth, int year) {
    if (birth.month() == 2 && birth.day() == 29 && !QDate::isLeapYear(year))
        return QDate(year, 3, 1);
    return QDate(year, birth.month(), birth.day());
}

int ageOn(const QDate& birth, const QDate& on) {
    const int years = on.year() - birth.year();
    return on < birthdayIn(birth, on.year()) ? years - 1 : years;
}

QDate effectiveBirth(const QString& stored, const QString& idNumber, const QDate& today) {
    const QDate date = storedDate(stored);
    if (!date.isValid() || date.day() != 1 || idNumber.trimmed().isEmpty())
        return date;
    const records::IdNumber id = records::IdNumber::check(idNumber, today);
    if (id.isValid() && id.birth.year() == date.year() && id.birth.month() == date.month())
        return id.birth;
    return date;
}

QString bandName(AgeBand band) {
    switch (band) {
    case AgeBand::Under60:
        return QStringLiteral("60岁以下");
    case AgeBand::Sixties:
        return QStringLiteral("60－69岁");
    case AgeBand::Seventies:
        return QStringLiteral("70－79岁");
    case AgeBand::Eighties:
        return QStringLiteral("80－89岁");
    case AgeBand::Nineties:
        return QStringLiteral("90－99岁");
    case AgeBand::Hundred:
        return QStringLiteral("100岁及以上");
    case AgeBand::Unknown:
        break;
    }
    return QStringLiteral("出生年月不详");
}

AgeBand bandOf(int age) {
    if (age < 0)
        return AgeBand::Unknown;
    if (age < 60)
        return AgeBand::Under60;
    if (age >= 100)
        return AgeBand::Hundred;
    return AgeBand(int(AgeBand::Sixties) + (age - 60) / 10);
}

QString sexName(Sex sex) {
    switch (sex) {
    case Sex::Male:
        return QStringLiteral("男");
    case Sex::Female:
        return QStringLiteral("女");
    case Sex::Unknown:
        break;
    }
    return QStringLiteral("未知");
}

Sex sexOf(const QString& stored) {
    const QString s = stored.trimmed();
    if (s == QStringLiteral("男"))
        return Sex::Male;
    if (s == QStringLiteral("女"))
        return Sex::Female;
    return Sex::Unknown;
}

qint64 AgeStructure::inBand(AgeBand band) const {
    qint64 n = 0;
    for (qint64 c : counts[std::size_t(band)])
        n += c;
    return n;
}

qint64 AgeStructure::ofSex(Sex sex) const {
    qint64 n = 0;
    for (const auto& band : counts)
        n += band[std::size_t(sex)];
    return n;
}

QString AgeStructure::summary() const {
    QString text = QStringLiteral("共 %1 人").arg(persons);
    if (aged > 0)
        text += QStringLiteral("，平均年龄 %1 岁，最大年龄 %2 岁")
                    .arg(store::formatFixed(averageAge(), 1))
                    .arg(oldest);
    return text + QStringLiteral("，出生年月不详 %1 人。").arg(inBand(AgeBand::Unknown));
}

AgeStructure ageStructure(store::Database& db, const QDate& on,
                          const std::optional<std::vector<qint64>>& rows) {
    std::unordered_set<qint64> wanted;
    if (rows)
        wanted.insert(rows->begin(), rows->end());
    AgeStructure s;
    s.on = on;
    store::Statement st = records::personsAges(db);
    while (st.step()) {
        if (rows && !wanted.contains(st.integer(0)))
            continue;
        ++s.persons;
        const QDate birth = effectiveBirth(st.text(1), st.text(3), on);
        const int age = birth.isValid() && birth <= on ? ageOn(birth, on) : -1;
        const AgeBand band = bandOf(age);
        ++s.counts[std::size_t(band)][std::size_t(sexOf(st.text(2)))];
        if (age >= 0) {
            ++s.aged;
            s.ageTotal += age;
            s.oldest = std::max(s.oldest, age);
        }
    }
    return s;
}

} // namespace stats
