#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

namespace store {
class Database;
}

namespace stats {

// The ages from which offices pay an old-age allowance and visit.
inline constexpr int kMilestones[] = {70, 80, 90, 100};

// One person due for a visit: a milestone birthday within the window, or a birthday this month.
struct DuePerson {
    enum class Reason { Milestone, Birthday };
    qint64 rowid = 0;
    QString number;    // 个人编号
    QString name;      // 姓名
    QString sex;       // 性别 as stored
    QString birthText; // 出生年月 as shown ("yyyy-mm")
    QDate birth;       // the date the age runs from
    QDate due;         // the birthday that makes them due
    int age = 0;       // the age they reach on `due`
    Reason reason = Reason::Milestone;
    QString address; // 现居住地
    QString phone;   // 现居住地电话

    // "年满80岁" or "本月生日".
    QString reasonText() const;
};

struct DueSettings {
    QDate today;
    int days = 30;           // milestones from today to today + days
    int birthdayMinAge = 70; // birthdays this month of persons reaching at least this age
};

// The persons due, by due date, then personal number. A person both reaching a milestone in the
// window and having a birthday this month is listed once, for the milestone.
std::vector<DuePerson> elderlyDue(store::Database& db, const DueSettings& settings);

// The list's columns, as the window, the printed list and the workbook show them.
QStringList dueHeaders();
QStringList dueCells(const DuePerson& person);

} // namespace stats
