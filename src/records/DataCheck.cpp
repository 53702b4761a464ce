#include "records/DataCheck.h"

#include "records/IdNumber.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"
#include "store/Database.h"
#include "store/JetValues.h"

#include <QHash>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

Q_LOGGING_CATEGORY(lcDataCheck, "tessaly.records")

namespace records {

namespace {

// Names are kept as UTF-8 in one buffer (a million persons, few of them reported), read back as
// text only for a finding.
struct Person {
    qint64 rowid;
    QString number;
    QString idNumber;
    std::uint32_t nameAt;
    std::uint32_t nameSize;
};

struct Names {
    std::string bytes;
    QString of(const Person& p) const {
        return QString::fromUtf8(bytes.data() + p.nameAt, qsizetype(p.nameSize));
    }
};

// Stored dates are "YYYY-MM-DD"; anything else an older file left goes the slow way.
std::optional<QDate> storedDate(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    if (text.size() == 10 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-')) {
        const QStringView v(text);
        const QDate d(v.left(4).toInt(), v.mid(5, 2).toInt(), v.mid(8, 2).toInt());
        if (d.isValid())
            return d;
    }
    return store::parseDate(text);
}

// The same from the stored bytes, without a text copy for the usual "YYYY-MM-DD".
std::optional<QDate> storedDate(std::string_view bytes) {
    const auto digits = [&](std::size_t from, std::size_t n) {
        int v = 0;
        for (std::size_t i = from; i < from + n; ++i) {
            if (bytes[i] < '0' || bytes[i] > '9')
                return -1;
            v = v * 10 + (bytes[i] - '0');
        }
        return v;
    };
    if (bytes.size() == 10 && bytes[4] == '-' && bytes[7] == '-') {
        const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
        if (y >= 0 && m >= 0 && d >= 0 && QDate::isValid(y, m, d))
            return QDate(y, m, d);
    }
    return storedDate(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
}

// 性别 trimmed; the two usual values without a text copy.
QString storedSex(std::string_view bytes) {
    static const QString male = QStringLiteral("男"), female = QStringLiteral("女");
    if (bytes == "男")
        return male;
    if (bytes == "女")
        return female;
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).trimmed();
}

int yearMonth(const QDate& d) {
    return d.year() * 12 + d.month();
}

QString ym(const QDate& d) {
    return d.toString(QStringLiteral("yyyy-MM"));
}

// Groups of two or more persons with equal keys, each ordered by personal number, the groups by
// their first member. Sorting beats hashing here: no allocation per person.
template <class Key>
std::vector<std::vector<int>> groupsOf(std::vector<std::pair<Key, int>> keyed,
                                       const std::vector<Person>& persons) {
    std::sort(keyed.begin(), keyed.end());
    const auto before = [&](int a, int b) {
        const Person& x = persons[std::size_t(a)];
        const Person& y = persons[std::size_t(b)];
        return std::tie(x.number, x.rowid) < std::tie(y.number, y.rowid);
    };
    std::vector<std::vector<int>> groups;
    for (std::size_t i = 0; i < keyed.size();) {
        std::size_t j = i + 1;
        while (j < keyed.size() && keyed[j].first == keyed[i].first)
            ++j;
        if (j - i > 1) {
            std::vector<int> g;
            for (std::size_t k = i; k < j; ++k)
                g.push_back(keyed[k].second);
            std::sort(g.begin(), g.end(), before);
            groups.push_back(std::move(g));
        }
        i = j;
    }
    std::sort(groups.begin(), groups.end(), [&](const auto& a, const auto& b) { return before(a[0], b[0]); });
    return groups;
}

QString rowList(const QList<int>& rows, int total) {
    QStringList parts;
    for (int r : rows)
        parts << QString::number(r);
    return QStringLiteral("第 %1 行%2")
        .arg(parts.join(QStringLiteral("、")), total > rows.size() ? QStringLiteral("等") : QString());
}

} // namespace

QString faultName(Fault fault) {
    switch (fault) {
    case Fault::InvalidId:
        return QStringLiteral("身份证号码无效");
    case Fault::OldId:
        return QStringLiteral("15位身份证号码");
    case Fault::BirthContradictsId:
        return QStringLiteral("出生年月与身份证号码不符");
    case Fault::SexContradictsId:
        return QStringLiteral("性别与身份证号码不符");
    case Fault::DuplicateId:
        return QStringLiteral("身份证号码重复");
    case Fault::DuplicateNumber:
        return QStringLiteral("个人编号重复");
    case Fault::RetiredBeforeBirth:
        return QStringLiteral("退休年月早于出生年月");
    case Fault::BornInFuture:
        return QStringLiteral("出生年月晚于今天");
    }
    return {};
}

int DataCheckReport::count(Fault fault) const {
    return int(std::count_if(findings.begin(), findings.end(),
                             [fault](const Finding& f) { return f.fault == fault; }));
}

DataCheckReport checkData(store::Database& db, const QDate& today, store::JobControl& control) {
    DataCheckReport report;
    std::vector<Person> persons;
    Names names;
    std::vector<std::pair<quint64, int>> byId;
    std::vector<std::pair<QStringView, int>> byNumber; // views into `persons`, filled after the pass
    const auto add = [&](Fault fault, const Person& p, const QString& detail) {
        report.findings.push_back({fault, p.rowid, p.number, names.of(p), p.idNumber, detail});
    };

    store::Statement st = personsForCheck(db);
    while (st.step()) {
        const int index = int(persons.size());
        if (index % 1024 == 0)
            control.report(index, 0, QStringLiteral("正在检查第%1人……").arg(index + 1));
        const std::string_view name = st.utf8(kCheckName);
        persons.push_back({st.integer(kCheckRowid), st.text(kCheckNumber).trimmed(), st.text(kCheckId),
                           std::uint32_t(names.bytes.size()), std::uint32_t(name.size())});
        names.bytes += name;
        const Person& p = persons.back();
        const std::optional<QDate> birth = storedDate(st.utf8(kCheckBirth));
        const std::optional<QDate> retired = storedDate(st.utf8(kCheckRetired));

        const IdNumber id = IdNumber::check(p.idNumber, today);
        if (!id.isEmpty() && !id.isValid())
            add(Fault::InvalidId, p, id.reason());
        if (id.isValid()) {
            byId.emplace_back(idNumberKey(id), index);
            if (id.isOldForm())
                add(Fault::OldId, p, QStringLiteral("可转换为 ") + id.number18);
            if (birth && yearMonth(*birth) != yearMonth(id.birth))
                add(Fault::BirthContradictsId, p,
                    QStringLiteral("出生年月 %1，身份证号码为 %2").arg(ym(*birth), ym(id.birth)));
            const QString sex = storedSex(st.utf8(kCheckSex));
            if (!sex.isEmpty() && sex != id.sex())
                add(Fault::SexContradictsId, p,
                    QStringLiteral("性别 %1，身份证号码为 %2").arg(sex, id.sex()));
        }
        if (birth && retired && yearMonth(*retired) < yearMonth(*birth))
            add(Fault::RetiredBeforeBirth, p,
                QStringLiteral("退休年月 %1，出生年月 %2").arg(ym(*retired), ym(*birth)));
        if (birth && *birth > today)
            add(Fault::BornInFuture, p, QStringLiteral("出生年月 %1").arg(ym(*birth)));
    }
    report.persons = int(persons.size());
    for (std::size_t i = 0; i < persons.size(); ++i) {
        if (!persons[i].number.isEmpty())
            byNumber.emplace_back(persons[i].number, int(i));
    }

    const auto addGroups = [&](Fault fault, auto keyed) {
        int n = 0;
        for (const std::vector<int>& g : groupsOf(std::move(keyed), persons)) {
            ++n;
            for (int i : g) {
                add(fault, persons[std::size_t(i)], QStringLiteral("第%1组，共%2人").arg(n).arg(g.size()));
                report.findings.back().group = n;
            }
        }
    };
    // Listed per kind: the pass above wrote its findings in stored order, the groups come sorted.
    std::stable_sort(report.findings.begin(), report.findings.end(), [](const Finding& a, const Finding& b) {
        return std::tie(a.fault, a.number, a.rowid) < std::tie(b.fault, b.number, b.rowid);
    });
    addGroups(Fault::DuplicateId, std::move(byId));
    addGroups(Fault::DuplicateNumber, std::move(byNumber));
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.fault < b.fault; });
    return report;
}

int convertOldIdNumbers(store::Database& db, const QDate& today, store::JobControl& control) {
    std::vector<std::pair<qint64, QString>> changes;
    {
        store::Statement st = personsWithLongIdNumbers(db);
        while (st.step()) {
            const IdNumber id = IdNumber::check(st.text(1), today);
            if (id.isOldForm())
                changes.emplace_back(st.integer(0), id.number18);
        }
    }
    store::Transaction tx(db);
    store::Statement update = idNumberWriter(db);
    qint64 done = 0;
    for (const auto& [rowid, number] : changes) {
        control.report(done++, qint64(changes.size()), QStringLiteral("正在转换身份证号码……"));
        update.reset();
        update.bind(1, number).bind(2, rowid).run();
    }
    tx.commit();
    qCInfo(lcDataCheck) << "converted" << changes.size() << "15-digit ID numbers";
    return int(changes.size());
}

QString IdSummary::message() const {
    if (isClean())
        return QStringLiteral("身份证号码检查：没有发现无效或重复的身份证号码。");
    QStringList parts;
    if (invalid > 0)
        parts
            << QStringLiteral("%1 行的身份证号码无效（%2）").arg(invalid).arg(rowList(invalidRows, invalid));
    if (duplicated > 0)
        parts << QStringLiteral("%1 个身份证号码重复出现（%2）")
                     .arg(duplicated)
                     .arg(rowList(duplicatedRows, duplicated));
    return QStringLiteral("身份证号码检查：") + parts.join(QStringLiteral("；")) + QStringLiteral("。");
}

IdSummary summariseIds(const std::vector<StagedId>& rows, const QDate& today, int rowsListed) {
    IdSummary s;
    QHash<QString, int> seen; // number -> how often so far
    for (const StagedId& r : rows) {
        const IdNumber id = IdNumber::check(r.idNumber, today);
        if (id.isEmpty())
            continue;
        if (!id.isValid()) {
            if (++s.invalid <= rowsListed)
                s.invalidRows << r.row;
            continue;
        }
        // A number counts once, at the row where it first recurs.
        if (++seen[id.number18] == 2 && ++s.duplicated <= rowsListed)
            s.duplicatedRows << r.row;
    }
    return s;
}

IdSummary summariseStagedIds(store::Database& db, const QDate& today, int rowsListed) {
    std::vector<StagedId> rows;
    store::Statement st = stagedIdNumbers(db);
    for (int row = 3; st.step(); ++row)
        rows.push_back({row, st.text(0)});
    return summariseIds(rows, today, rowsListed);
}

std::optional<PersonRef> personWithSameId(store::Database& db, const QString& typed, qint64 exceptRowid,
                                          const QDate& today) {
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const IdNumber id = IdNumber::check(trimmed, today);
    QStringList forms = {trimmed, id.text};
    if (id.isValid())
        forms << id.number18 << idNumber15(id.number18);
    forms.removeAll(QString());
    forms.removeDuplicates();
    return firstPersonWithIdNumber(db, forms, exceptRowid);
}

int personsSharingIds(store::Database& db, const QDate& today) {
    QHash<QString, int> counts;
    store::Statement st = personsIdNumbers(db);
    while (st.step()) {
        const IdNumber id = IdNumber::check(st.text(0), today);
        if (id.isValid())
            ++counts[id.number18];
    }
    int sharing = 0;
    for (int n : counts) {
        if (n > 1)
            sharing += n;
    }
    return sharing;
}

} // namespace records
