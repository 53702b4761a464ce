#include "stats/ElderlyDue.h"

#include "records/PersonColumns.h"
#include "records/PersonsStats.h"
#include "stats/AgeBands.h"
#include "store/Database.h"
#include "store/JetValues.h"

#include <algorithm>

namespace stats {

QString DuePerson::reasonText() const {
    return reason == Reason::Milestone ? QStringLiteral("年满%1岁").arg(age) : QStringLiteral("本月生日");
}

std::vector<DuePerson> elderlyDue(store::Database& db, const DueSettings& settings) {
    const QDate today = settings.today;
    const QDate last = today.addDays(std::max(0, settings.days));
    std::vector<DuePerson> due;
    store::Statement st = records::personsDue(db);
    while (st.step()) {
        const QDate birth = effectiveBirth(st.text(1), st.text(2), today);
        if (!birth.isValid() || birth > last)
            continue;
        DuePerson p;
        // A milestone birthday in the window wins over this month's birthday.
        for (int year = today.year(); year <= last.year() && !p.due.isValid(); ++year) {
            const QDate day = birthdayIn(birth, year);
            const int age = year - birth.year();
            if (day >= today && day <= last &&
                std::find(std::begin(kMilestones), std::end(kMilestones), age) != std::end(kMilestones)) {
                p.due = day;
                p.age = age;
                p.reason = DuePerson::Reason::Milestone;
            }
        }
        if (!p.due.isValid()) {
            const QDate day = birthdayIn(birth, today.year());
            const int age = today.year() - birth.year();
            if (day.month() != today.month() || age < settings.birthdayMinAge)
                continue;
            p.due = day;
            p.age = age;
            p.reason = DuePerson::Reason::Birthday;
        }
        p.rowid = st.integer(0);
        p.birth = birth;
        p.birthText = store::displayYearMonth(st.value(1));
        p.number = st.text(3);
        p.name = st.text(4);
        p.sex = st.text(5);
        p.address = st.text(6);
        p.phone = st.text(7);
        due.push_back(std::move(p));
    }
    std::sort(due.begin(), due.end(), [](const DuePerson& a, const DuePerson& b) {
        return std::tie(a.due, a.number, a.rowid) < std::tie(b.due, b.number, b.rowid);
    });
    return due;
}

QStringList dueHeaders() {
    // The person's columns under the persons table's names.
    const auto column = [](int ordinal) { return records::personColumn(ordinal).columnName(); };
    return {column(records::kPersonalNumber), column(records::kPersonName), column(records::kSex),
            column(records::kBirth),          QStringLiteral("年龄"),       QStringLiteral("到期日"),
            QStringLiteral("事由"),           column(records::kAddress),    QStringLiteral("联系电话")};
}

QStringList dueCells(const DuePerson& p) {
    return {p.number,
            p.name,
            p.sex,
            p.birthText,
            QString::number(p.age),
            p.due.toString(QStringLiteral("yyyy-MM-dd")),
            p.reasonText(),
            p.address,
            p.phone};
}

} // namespace stats
