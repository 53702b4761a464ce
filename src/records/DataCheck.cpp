#include "records/DataCheck.h"

#include "records/IdNumber.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"
#include "store/Database.h"
#include "store/JetValues.h"
#include "store/RowScan.h"

#include <QHash>
#include <QLoggingCategory>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

Q_LOGGING_CATEGORY(lcDataCheck, "tessaly.records")

namespace records {

namespace {

// A personal number as a sort key: its UTF-16 units inline, so that sorting a million of them
// compares small arrays instead of chasing a string each. Stored numbers hold at most 12
// characters; a longer one (from an older file) is compared in full.
struct NumberKey {
    static constexpr std::size_t kUnits = 12;
    std::array<std::uint64_t, 3> words{}; // four units each, the first in the highest bits
    std::uint16_t size = 0;
    std::int32_t longAt = -1; // into Pools::longNumbers

    bool isEmpty() const { return size == 0 && longAt < 0; }
};

// Names and ID numbers are kept as UTF-8 in one buffer (a million persons, few of them
// reported), read back as text only for a finding.
struct Person {
    qint64 rowid;
    NumberKey number;
    std::uint32_t nameAt;
    std::uint32_t nameSize;
    std::uint32_t idAt;
    std::uint32_t idSize;
};

struct Pools {
    std::string bytes;
    std::vector<QString> longNumbers;

    std::uint32_t add(std::string_view b) {
        const auto at = std::uint32_t(bytes.size());
        bytes += b;
        return at;
    }
    QString text(std::uint32_t at, std::uint32_t size) const {
        return QString::fromUtf8(bytes.data() + at, qsizetype(size));
    }
    QString number(const NumberKey& k) const {
        if (k.longAt >= 0)
            return longNumbers[std::size_t(k.longAt)];
        QString text(k.size, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(k.words[std::size_t(i / 4)] >> (48 - 16 * (i % 4))));
        return text;
    }
    // Ordered as the numbers' texts are (QString's order of UTF-16 units).
    int compare(const NumberKey& a, const NumberKey& b) const {
        for (std::size_t i = 0; i < a.words.size(); ++i) {
            if (a.words[i] != b.words[i])
                return a.words[i] < b.words[i] ? -1 : 1;
        }
        if (a.longAt >= 0 && b.longAt >= 0)
            return QString::compare(longNumbers[std::size_t(a.longAt)], longNumbers[std::size_t(b.longAt)]);
        // Equal first units, zero-padded: the shorter is a prefix of the longer.
        const qsizetype sa = a.longAt >= 0 ? longNumbers[std::size_t(a.longAt)].size() : a.size;
        const qsizetype sb = b.longAt >= 0 ? longNumbers[std::size_t(b.longAt)].size() : b.size;
        return sa < sb ? -1 : sa > sb ? 1 : 0;
    }
};

bool isAsciiBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// 个人编号 trimmed as QString::trimmed trims; ASCII numbers without a text copy.
void setUnit(NumberKey& key, std::size_t i, char16_t unit) {
    key.words[i / 4] |= std::uint64_t(unit) << (48 - 16 * (i % 4));
}

NumberKey numberKey(std::string_view stored, Pools& pools) {
    bool ascii = true;
    for (char c : stored)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    NumberKey key;
    QString longOne;
    if (ascii) {
        while (!stored.empty() && isAsciiBlank(stored.front()))
            stored.remove_prefix(1);
        while (!stored.empty() && isAsciiBlank(stored.back()))
            stored.remove_suffix(1);
        if (stored.size() <= NumberKey::kUnits) {
            for (std::size_t i = 0; i < stored.size(); ++i)
                setUnit(key, i, char16_t(stored[i]));
            key.size = std::uint16_t(stored.size());
            return key;
        }
        longOne = QString::fromLatin1(stored.data(), qsizetype(stored.size()));
    } else {
        longOne = QString::fromUtf8(stored.data(), qsizetype(stored.size())).trimmed();
    }
    const qsizetype inlined = std::min<qsizetype>(longOne.size(), qsizetype(NumberKey::kUnits));
    for (qsizetype i = 0; i < inlined; ++i)
        setUnit(key, std::size_t(i), longOne.at(i).unicode());
    if (longOne.size() <= qsizetype(NumberKey::kUnits)) {
        key.size = std::uint16_t(longOne.size());
        return key;
    }
    key.longAt = std::int32_t(pools.longNumbers.size());
    pools.longNumbers.push_back(longOne);
    return key;
}

// A calendar day without QDate's Julian arithmetic on every read.
struct Day {
    int year;
    int month;
    int day;
    int yearMonth() const { return year * 12 + month; }
    auto operator<=>(const Day&) const = default;
    QDate date() const { return QDate(year, month, day); }
};

Day dayOf(const QDate& d) {
    int y = 0, m = 0, dd = 0;
    d.getDate(&y, &m, &dd);
    return {y, m, dd};
}

int digitsAt(std::string_view bytes, std::size_t from, std::size_t n) {
    int v = 0;
    for (std::size_t i = from; i < from + n; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9')
            return -1;
        v = v * 10 + (bytes[i] - '0');
    }
    return v;
}

// Stored dates are "YYYY-MM-DD"; anything else an older file left goes the slow way.
std::optional<Day> storedDate(std::string_view bytes) {
    if (bytes.empty())
        return std::nullopt;
    if (bytes.size() == 10 && bytes[4] == '-' && bytes[7] == '-') {
        const int y = digitsAt(bytes, 0, 4), m = digitsAt(bytes, 5, 2), d = digitsAt(bytes, 8, 2);
        if (y >= 0 && m >= 0 && d >= 0 && QDate::isValid(y, m, d))
            return Day{y, m, d};
    }
    const std::optional<QDate> parsed =
        store::parseDate(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    if (!parsed)
        return std::nullopt;
    return dayOf(*parsed);
}

// What the pass needs of a checked ID number.
struct CheckedId {
    bool empty = true;
    bool valid = false;
    bool oldForm = false;
    Day birth{};
    bool male = false;
    quint64 key = 0;
    QString reason;   // invalid ones
    QString number18; // old ones
};

// The usual stored number, 17 digits and a digit or X, is checked on its bytes; everything else
// (and every number this finds wrong, for its reason) goes through IdNumber::check.
CheckedId checkId(std::string_view bytes, const QDate& today, const Day& todayDay) {
    if (bytes.size() == 18 && digitsAt(bytes, 0, 17) >= 0 &&
        ((bytes[17] >= '0' && bytes[17] <= '9') || bytes[17] == 'X')) {
        const Day birth{digitsAt(bytes, 6, 4), digitsAt(bytes, 10, 2), digitsAt(bytes, 12, 2)};
        if (QDate::isValid(birth.year, birth.month, birth.day) && birth <= todayDay && birth.year >= 1880) {
            std::array<char16_t, 17> first17{};
            quint64 key = 0;
            for (std::size_t i = 0; i < 17; ++i) {
                first17[i] = char16_t(bytes[i]);
                key = key * 10 + quint64(bytes[i] - '0');
            }
            const QChar check =
                idCheckCharacter(QStringView(reinterpret_cast<const QChar*>(first17.data()), 17));
            if (check.unicode() == char16_t(bytes[17])) {
                CheckedId c;
                c.empty = false;
                c.valid = true;
                c.birth = birth;
                c.male = (bytes[16] - '0') % 2 == 1;
                c.key = key;
                return c;
            }
        }
    }
    const IdNumber id = IdNumber::check(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())), today);
    CheckedId c;
    c.empty = id.isEmpty();
    c.valid = id.isValid();
    if (!c.empty && !c.valid)
        c.reason = id.reason();
    if (c.valid) {
        c.oldForm = id.isOldForm();
        c.birth = dayOf(id.birth);
        c.male = id.male;
        c.key = idNumberKey(id);
        c.number18 = id.number18;
    }
    return c;
}

// 性别 trimmed, when it is not one of the two usual values.
QString storedSex(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).trimmed();
}

QString ym(const Day& d) {
    return d.date().toString(QStringLiteral("yyyy-MM"));
}

// Groups of two or more persons with equal keys, each ordered by personal number, the groups by
// their first member. Sorting beats hashing here: no allocation per person.
template <class Key, class Less>
std::vector<std::vector<int>> groupsOf(std::vector<std::pair<Key, int>> keyed, const Less& keyLess,
                                       const std::vector<Person>& persons, const Pools& pools) {
    std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        if (keyLess(a.first, b.first))
            return true;
        if (keyLess(b.first, a.first))
            return false;
        return a.second < b.second;
    });
    const auto before = [&](int a, int b) {
        const Person& x = persons[std::size_t(a)];
        const Person& y = persons[std::size_t(b)];
        const int c = pools.compare(x.number, y.number);
        return c < 0 || (c == 0 && x.rowid < y.rowid);
    };
    std::vector<std::vector<int>> groups;
    for (std::size_t i = 0; i < keyed.size();) {
        std::size_t j = i + 1;
        while (j < keyed.size() && !keyLess(keyed[i].first, keyed[j].first))
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
    Pools pools;
    std::vector<std::pair<quint64, int>> byId;
    std::vector<std::pair<NumberKey, int>> byNumber;
    const Day todayDay = dayOf(today);
    const auto add = [&](Fault fault, const Person& p, const QString& detail) {
        report.findings.push_back({fault, p.rowid, pools.number(p.number), pools.text(p.nameAt, p.nameSize),
                                   pools.text(p.idAt, p.idSize), detail});
    };

    scanPersonsForCheck(db, [&](const store::ScannedRow& st) {
        const int index = int(persons.size());
        if (index % 1024 == 0)
            control.report(index, 0, QStringLiteral("正在检查第%1人……").arg(index + 1));
        const std::string_view name = st.utf8(kCheckName);
        const std::string_view idBytes = st.utf8(kCheckId);
        const std::uint32_t nameAt = pools.add(name);
        const std::uint32_t idAt = pools.add(idBytes);
        persons.push_back({st.integer(kCheckRowid), numberKey(st.utf8(kCheckNumber), pools), nameAt,
                           std::uint32_t(name.size()), idAt, std::uint32_t(idBytes.size())});
        const Person& p = persons.back();
        const std::optional<Day> birth = storedDate(st.utf8(kCheckBirth));
        const std::optional<Day> retired = storedDate(st.utf8(kCheckRetired));

        const CheckedId id = checkId(idBytes, today, todayDay);
        if (!id.empty && !id.valid)
            add(Fault::InvalidId, p, id.reason);
        if (id.valid) {
            byId.emplace_back(id.key, index);
            if (id.oldForm)
                add(Fault::OldId, p, QStringLiteral("可转换为 ") + id.number18);
            if (birth && birth->yearMonth() != id.birth.yearMonth())
                add(Fault::BirthContradictsId, p,
                    QStringLiteral("出生年月 %1，身份证号码为 %2").arg(ym(*birth), ym(id.birth)));
            const std::string_view sexBytes = st.utf8(kCheckSex);
            const QString idSex = id.male ? QStringLiteral("男") : QStringLiteral("女");
            if (sexBytes == "男" || sexBytes == "女") {
                if ((sexBytes == "男") != id.male)
                    add(Fault::SexContradictsId, p,
                        QStringLiteral("性别 %1，身份证号码为 %2").arg(storedSex(sexBytes), idSex));
            } else {
                const QString sex = storedSex(sexBytes);
                if (!sex.isEmpty() && sex != idSex)
                    add(Fault::SexContradictsId, p,
                        QStringLiteral("性别 %1，身份证号码为 %2").arg(sex, idSex));
            }
        }
        if (birth && retired && retired->yearMonth() < birth->yearMonth())
            add(Fault::RetiredBeforeBirth, p,
                QStringLiteral("退休年月 %1，出生年月 %2").arg(ym(*retired), ym(*birth)));
        if (birth && *birth > todayDay)
            add(Fault::BornInFuture, p, QStringLiteral("出生年月 %1").arg(ym(*birth)));
    });
    report.persons = int(persons.size());
    for (std::size_t i = 0; i < persons.size(); ++i) {
        if (!persons[i].number.isEmpty())
            byNumber.emplace_back(persons[i].number, int(i));
    }

    const auto addGroups = [&](Fault fault, auto keyed, const auto& keyLess) {
        int n = 0;
        for (const std::vector<int>& g : groupsOf(std::move(keyed), keyLess, persons, pools)) {
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
    addGroups(Fault::DuplicateId, std::move(byId), std::less<quint64>());
    addGroups(Fault::DuplicateNumber, std::move(byNumber),
              [&](const NumberKey& a, const NumberKey& b) { return pools.compare(a, b) < 0; });
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
