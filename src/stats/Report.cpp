#include "stats/Report.h"

#include "categories/CategoryTable.h"
#include "records/PersonsStats.h"
#include "records/PersonsTable.h"
#include "store/CodePage.h"
#include "store/Database.h"
#include "store/JetValues.h"
#include "store/RowScan.h"
#include "store/Schema.h"

#include <QLocale>
#include <QLoggingCategory>

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <cmath>

Q_LOGGING_CATEGORY(lcStats, "tessaly.stats")

namespace stats {

namespace {

// Decimal arithmetic for the report: each value is taken as the shortest decimal that reads back
// as the stored number (what the operator typed), held in billionths, and rounded half away from
// zero at the end, so a figure that lies exactly on a half never prints one hundredth low.
using Billionths = __int128;
constexpr Billionths kBillion = 1000000000;

Billionths toBillionths(double value) {
    const QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QString digits = negative ? text.mid(1) : text;
    const qsizetype dot = digits.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? digits : digits.left(dot);
    QString fraction = dot < 0 ? QString() : digits.mid(dot + 1);
    Billionths result = 0;
    for (QChar c : whole)
        result = result * 10 + (c.unicode() - '0');
    const bool roundUp = fraction.size() > 9 && fraction.at(9).unicode() >= '5';
    fraction = fraction.left(9).leftJustified(9, QLatin1Char('0'));
    for (QChar c : fraction)
        result = result * 10 + (c.unicode() - '0');
    if (roundUp)
        ++result;
    return negative ? -result : result;
}

// numerator / denominator rounded half away from zero (denominator > 0).
Billionths roundedDivision(Billionths numerator, Billionths denominator) {
    const Billionths magnitude =
        (2 * (numerator < 0 ? -numerator : numerator) + denominator) / (2 * denominator);
    return numerator < 0 ? -magnitude : magnitude;
}

// A count of hundredths as "0.00".
QString hundredths(Billionths value) {
    const bool negative = value < 0;
    const Billionths magnitude = negative ? -value : value;
    const qint64 whole = qint64(magnitude / 100);
    const int cents = int(magnitude % 100);
    return (negative ? QStringLiteral("-") : QString()) + QString::number(whole) + QLatin1Char('.') +
           QStringLiteral("%1").arg(cents, 2, 10, QLatin1Char('0'));
}

const QString kEol = QStringLiteral("\r\n");

QString share(qint64 count, qint64 persons) {
    return percentOf(count, persons);
}

QString valueLine(const QString& label, qint64 count, qint64 persons) {
    QString line = padTo(label, 40) + QString::number(count) + QStringLiteral("人");
    return padTo(line, 60) + QStringLiteral("占： ") + share(count, persons) + QStringLiteral("%") + kEol;
}

QString rule() {
    return QString(77, QLatin1Char('_')) + kEol;
}

QString totalLine(qint64 persons) {
    return QStringLiteral("  合      计") + QString(28, QLatin1Char(' ')) + QString::number(persons) +
           QStringLiteral("人") + QString(19, QLatin1Char(' ')) + QStringLiteral("100%") + kEol;
}

// After the counted lines: what no line counted as ".其他", then the rule and the total.
QString closing(int lines, qint64 counted, qint64 persons) {
    QString text;
    if (counted != persons)
        text += valueLine(QString::number(lines + 1) + QStringLiteral(".其他"), persons - counted, persons);
    return text + rule() + totalLine(persons);
}

struct Column {
    int ordinal = 0;
    QString name;
    store::JetType type = store::JetType::Other;
};

bool isCountable(store::JetType type) {
    return type != store::JetType::Other && type != store::JetType::LongBinary;
}

bool countsValues(store::JetType type) {
    return type == store::JetType::Text || type == store::JetType::Memo || type == store::JetType::Boolean;
}

// NOCASE's folding (ASCII letters only) of eight bytes at once; bytes of multibyte characters
// are at least 0x80 and stay as they are.
std::uint64_t foldWord(std::uint64_t x) {
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t low = x & ~kHigh;
    const std::uint64_t atLeastA = low + 0x3f3f3f3f3f3f3f3full; // high bit set from 'A' on
    const std::uint64_t pastZ = low + 0x2525252525252525ull;    // high bit set after 'Z'
    return x | ((atLeastA & ~pastZ & ~x & kHigh) >> 2);
}

// Up to eight bytes as one word, the first byte lowest, zeros after the last; fixed-size loads
// only (a variable-length copy would stall the read that follows it).
[[gnu::always_inline]] inline std::uint64_t loadWord(const char* p, std::size_t n) {
    const auto load32 = [](const char* q) {
        std::uint32_t v = 0;
        std::memcpy(&v, q, 4);
        return std::uint64_t(v);
    };
    if (n >= 8) {
        std::uint64_t v = 0;
        std::memcpy(&v, p, 8);
        return v;
    }
    if (n >= 4) // two overlapping halves; the bytes they share are the same
        return load32(p) | (load32(p + n - 4) << (8 * (n - 4)));
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

// A text's bytes as folded eight-byte words, the last one padded with zeros.
class FoldedWords {
public:
    explicit FoldedWords(std::string_view bytes) : size_(bytes.size()) {
        count_ = (bytes.size() + 7) / 8;
        if (count_ > kInline) {
            heap_ = std::make_unique<std::uint64_t[]>(count_);
            words_ = heap_.get();
        }
        for (std::size_t i = 0; i < count_; ++i)
            words_[i] = foldWord(loadWord(bytes.data() + 8 * i, bytes.size() - 8 * i));
    }
    std::size_t size() const { return size_; }
    std::uint64_t first() const { return count_ ? words_[0] : 0; }
    std::size_t hash() const {
        std::uint64_t h = size_ * 0x9E3779B97F4A7C15ull;
        for (std::size_t i = 0; i < count_; ++i) {
            h = (h ^ words_[i]) * 0xff51afd7ed558ccdull;
            h ^= h >> 32;
        }
        return std::size_t(h);
    }
    bool operator==(const std::vector<std::uint64_t>& other) const {
        return other.size() == count_ && std::equal(words_, words_ + count_, other.begin());
    }
    std::vector<std::uint64_t> toVector() const { return {words_, words_ + count_}; }

private:
    static constexpr std::size_t kInline = 32; // a text column's 50 characters fit
    std::size_t size_;
    std::size_t count_ = 0;
    std::uint64_t inline_[kInline];
    std::unique_ptr<std::uint64_t[]> heap_; // memo texts
    std::uint64_t* words_ = inline_;
};

// Counts of the listed values of one text column, keyed by their UTF-8 bytes with ASCII letters
// folded as NOCASE folds them. A million cells are looked up where they lie, without a copy.
class ListedCounts {
public:
    void addKey(const QString& value) {
        const QByteArray bytes = value.toUtf8();
        const FoldedWords folded({bytes.constData(), std::size_t(bytes.size())});
        keys_.push_back({folded.size(), folded.toVector(), folded.hash()});
    }

    // After the last addKey.
    void build() {
        std::size_t capacity = 8;
        while (capacity < keys_.size() * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot{});
        counts_.assign(keys_.size(), 0);
        for (std::size_t k = 0; k < keys_.size(); ++k) {
            std::size_t at = keys_[k].hash & (capacity - 1);
            while (slots_[at].key >= 0 && !sameKey(keys_[std::size_t(slots_[at].key)], keys_[k]))
                at = (at + 1) & (capacity - 1);
            if (slots_[at].key < 0) // a value listed twice shares the first one's count
                slots_[at] = {keys_[k].words.empty() ? 0 : keys_[k].words[0], keys_[k].size, int(k)};
        }
    }

    void count(std::string_view cell) {
        const std::size_t n = cell.size();
        if (n > kSeenBytes) {
            countFolded(cell);
            return;
        }
        // A coded column holds a few dozen distinct values: each one's exact bytes are kept with
        // the key they found, so a cell costs a few loads and compares, without folding or
        // hashing. Up to 32 bytes as four words, unfolded; with the size known, equal words mean
        // equal bytes (the last word of a longer cell overlaps the one before it).
        const char* p = cell.data();
        const std::uint64_t w0 = loadWord(p, std::min<std::size_t>(n, 8));
        const std::uint64_t w1 = n > 8 ? load8(p + std::min<std::size_t>(n, 16) - 8) : 0;
        const std::uint64_t w2 = n > 16 ? load8(p + std::min<std::size_t>(n, 24) - 8) : 0;
        const std::uint64_t w3 = n > 24 ? load8(p + n - 8) : 0;
        const std::uint64_t h = w0 ^ std::rotl(w1, 17) ^ std::rotl(w2, 31) ^ std::rotl(w3, 47) ^ n;
        constexpr std::size_t kMask = (std::size_t(1) << kSeenBits) - 1;
        for (std::size_t at = std::size_t((h * 0x9E3779B97F4A7C15ull) >> (64 - kSeenBits));;
             at = (at + 1) & kMask) {
            Seen& s = seen_[at];
            if (s.size == n &&
                ((s.words[0] ^ w0) | (s.words[1] ^ w1) | (s.words[2] ^ w2) | (s.words[3] ^ w3)) == 0) {
                if (s.key >= 0)
                    ++counts_[std::size_t(s.key)];
                return;
            }
            if (s.size == kFree) {
                // A column of many distinct values fills the table to half and looks the rest up.
                if (seenCount_ < kMask / 2)
                    remember(s, cell, w0, w1, w2, w3);
                else
                    countFolded(cell);
                return;
            }
        }
    }

    // `times` cells of these bytes at once.
    void count(std::string_view cell, qint64 times) {
        if (const int k = find(FoldedWords(cell)); k >= 0)
            counts_[std::size_t(k)] += times;
    }

    qint64 countOf(const QString& value) const {
        const QByteArray bytes = value.toUtf8();
        const int k = find(FoldedWords({bytes.constData(), std::size_t(bytes.size())}));
        return k < 0 ? 0 : counts_[std::size_t(k)];
    }

private:
    static constexpr std::size_t kSeenBytes = 32;
    static constexpr int kSeenBits = 7;
    static constexpr std::uint32_t kFree = std::uint32_t(-1); // the size no cell has
    struct Seen {
        std::uint64_t words[4] = {0, 0, 0, 0};
        std::uint32_t size = kFree;
        int key = -1;
    };
    static std::uint64_t load8(const char* p) {
        std::uint64_t v = 0;
        std::memcpy(&v, p, 8);
        return v;
    }
    // Off the counting path, so that it keeps a small frame.
    [[gnu::noinline]] void remember(Seen& s, std::string_view cell, std::uint64_t w0, std::uint64_t w1,
                                    std::uint64_t w2, std::uint64_t w3) {
        s = {{w0, w1, w2, w3}, std::uint32_t(cell.size()), find(FoldedWords(cell))};
        ++seenCount_;
        if (s.key >= 0)
            ++counts_[std::size_t(s.key)];
    }
    [[gnu::noinline]] void countFolded(std::string_view cell) {
        if (const int k = find(FoldedWords(cell)); k >= 0)
            ++counts_[std::size_t(k)];
    }

    struct Key {
        std::size_t size;
        std::vector<std::uint64_t> words;
        std::size_t hash;
    };
    // The first word and the size sit in the table itself: most values are one or two words.
    struct Slot {
        std::uint64_t first = 0;
        std::size_t size = 0;
        int key = -1;
    };
    static bool sameKey(const Key& a, const Key& b) { return a.size == b.size && a.words == b.words; }

    int find(const FoldedWords& folded) const {
        if (slots_.empty())
            return -1;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = folded.hash() & mask; slots_[at].key >= 0; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.size == folded.size() && slot.first == folded.first() &&
                (slot.size <= 8 || folded == keys_[std::size_t(slot.key)].words))
                return slot.key;
        }
        return -1;
    }

    std::vector<Key> keys_;
    std::vector<Slot> slots_;
    std::vector<qint64> counts_;
    std::vector<Seen> seen_ = std::vector<Seen>(std::size_t(1) << kSeenBits);
    std::size_t seenCount_ = 0;
};

// Shortest decimals of the stored numbers, remembered: a column holds few distinct amounts.
class DecimalCache {
public:
    Billionths operator()(double value) {
        // An amount in whole hundredths (below 10^13) is that decimal: no shorter text reads back
        // as the same number, as doubles there lie far closer together than a hundredth.
        const double cents = std::round(value * 100);
        if (std::fabs(cents) < 1e15 && cents / 100 == value)
            return Billionths(qint64(cents)) * (kBillion / 100);
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        Entry& e = entries_[(bits ^ (bits >> 31)) * 0x9E3779B97F4A7C15ull >> (64 - kBits)];
        if (!e.used || e.bits != bits)
            e = {true, bits, toBillionths(value)};
        return e.value;
    }

private:
    static constexpr int kBits = 14;
    struct Entry {
        bool used = false;
        std::uint64_t bits = 0;
        Billionths value = 0;
    };
    std::vector<Entry> entries_ = std::vector<Entry>(std::size_t(1) << kBits);
};

// What one pass over the persons table gathers for one column.
struct Tally {
    ListedCounts byValue; // text and memo
    qint64 yesNo[2] = {0, 0};
    std::vector<qint64> byYear; // from 1900 on
    qint64 count = 0;           // numbers other than 0
    Billionths sum = 0;
    Billionths max = 0;
    Billionths min = 0;

    // `times` persons born (retired, ...) in `year`; years outside the report's are not counted.
    void addYear(qint64 year, qint64 times) {
        if (year >= 1900 && year - 1900 < qint64(byYear.size()))
            byYear[std::size_t(year - 1900)] += times;
    }
    // `times` persons with the amount `v` (not 0).
    void addAmount(Billionths v, qint64 times) {
        max = count == 0 ? v : std::max(max, v);
        min = count == 0 ? v : std::min(min, v);
        sum += v * times;
        count += times;
    }
};

Column columnOf(store::Database& db, const QString& item, const std::vector<store::TableColumn>& fields) {
    Column c;
    c.ordinal = std::max(0, categories::definitionColumn(db, item));
    if (c.ordinal >= 0 && c.ordinal < int(fields.size())) {
        c.name = fields[std::size_t(c.ordinal)].name;
        c.type = fields[std::size_t(c.ordinal)].type;
    }
    return c;
}

// The leading four characters of a stored date as a number, as QString::toInt reads them.
int yearOf(std::string_view cell) {
    if (cell.size() >= 4) {
        int year = 0;
        for (int i = 0; i < 4; ++i) {
            if (cell[std::size_t(i)] < '0' || cell[std::size_t(i)] > '9')
                return QString::fromUtf8(cell.data(), qsizetype(cell.size())).left(4).toInt();
            year = year * 10 + (cell[std::size_t(i)] - '0');
        }
        return year;
    }
    return QString::fromUtf8(cell.data(), qsizetype(cell.size())).left(4).toInt();
}

// The same counts from the server's groups: each group's value is counted as its persons' cells
// are one by one, so the figures are the ones the pass over the cells gives.
void tallyGroups(store::Database& db, const std::vector<std::pair<int, const Column*>>& order,
                 std::map<int, Tally>& tallies, DecimalCache& decimals) {
    std::vector<records::GroupedColumn> grouped;
    std::vector<std::pair<Tally*, store::JetType>> targets;
    for (const auto& [ordinal, column] : order) {
        const records::GroupBy by = column->type == store::JetType::Date ? records::GroupBy::Year
                                    : countsValues(column->type) && column->type != store::JetType::Boolean
                                        ? records::GroupBy::Text
                                        : records::GroupBy::Value;
        grouped.push_back({column->name, by});
        targets.emplace_back(&tallies[ordinal], column->type);
    }
    records::countPersonsGroups(
        db, grouped, [&](std::size_t i, const store::ScannedRow& row, int at, qint64 persons) {
            Tally& t = *targets[i].first;
            switch (targets[i].second) {
            case store::JetType::Text:
            case store::JetType::Memo:
                t.byValue.count(row.utf8(at), persons); // Null as empty text, as the pass reads it
                break;
            case store::JetType::Date:
                if (!row.isNull(at))
                    t.addYear(row.integer(at), persons);
                break;
            case store::JetType::Boolean:
                if (!row.isNull(at))
                    t.yesNo[row.integer(at) != 0] += persons;
                break;
            default: {
                if (row.isNull(at))
                    break;
                const double stored = row.real(at);
                if (stored == 0)
                    break;
                t.addAmount(decimals(stored), persons);
            }
            }
        });
}

// Every count the per-value, per-year and aggregate queries would give, in one pass. `lists`
// holds the values each column's items list; only those are counted.
std::map<int, Tally> tally(store::Database& db, const std::vector<Column>& columns,
                           const std::vector<std::optional<QStringList>>& lists, int lastYear) {
    std::map<int, const Column*> wanted;
    std::map<int, Tally> tallies;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        if (!isCountable(c.type))
            continue;
        wanted[c.ordinal] = &c;
        if (lists[i] && c.type != store::JetType::Boolean) {
            for (const QString& value : *lists[i])
                tallies[c.ordinal].byValue.addKey(value);
        }
    }
    if (wanted.empty())
        return tallies;
    // The columns grouped by kind, each with its place in the row: no choice per cell.
    struct Target {
        int at;
        Tally* tally;
    };
    std::vector<Target> texts, dates, numbers, booleans;
    QStringList select;
    // Amounts are asked of the engine before the text columns: reading an amount's cell after
    // the row's texts were copied stalled on it, a sixth of the report's time at 100,000 persons
    // (measured; the order of the other columns made no difference).
    std::vector<std::pair<int, const Column*>> order(wanted.begin(), wanted.end());
    std::stable_partition(order.begin(), order.end(), [](const auto& e) {
        return e.second->type == store::JetType::Single || e.second->type == store::JetType::Long;
    });
    for (const auto& [ordinal, column] : order) {
        Tally& t = tallies[ordinal];
        t.byValue.build();
        t.byYear.assign(std::size_t(std::max(0, lastYear - 1899)), 0);
        const Target target{int(select.size()), &t};
        switch (column->type) {
        case store::JetType::Boolean:
            booleans.push_back(target);
            break;
        case store::JetType::Date:
            dates.push_back(target);
            break;
        case store::JetType::Single:
        case store::JetType::Long:
            numbers.push_back(target);
            break;
        default:
            texts.push_back(target);
        }
        select << column->name;
    }
    DecimalCache decimals;
    if (db.dialect() == store::Dialect::Server) {
        tallyGroups(db, order, tallies, decimals);
        return tallies;
    }
    records::scanPersonsColumns(db, select, [&](const store::ScannedRow& st) {
        for (const Target& target : texts) {
            // Null reads as empty text, which no listed value is.
            target.tally->byValue.count(st.utf8(target.at));
        }
        for (const Target& target : dates) {
            // A date is Null or a date (the column refuses anything else); Null reads empty.
            const std::string_view cell = st.utf8(target.at);
            if (cell.empty())
                continue;
            target.tally->addYear(yearOf(cell), 1);
        }
        for (const Target& target : numbers) {
            if (st.isNull(target.at))
                continue;
            const double stored =
                st.holdsNumber(target.at) ? st.real(target.at) : st.value(target.at).toDouble();
            if (stored == 0)
                continue;
            target.tally->addAmount(decimals(stored), 1);
        }
        for (const Target& target : booleans) {
            if (!st.isNull(target.at))
                ++target.tally->yesNo[st.integer(target.at) != 0];
        }
    });
    return tallies;
}

QString valueCounts(const QStringList& values, const Column& column, const Tally& counts, qint64 persons,
                    const std::function<void(qint64)>& progress) {
    QString text;
    qint64 sum = 0;
    int k = 0;
    for (const QString& value : values) {
        const qint64 count = column.type == store::JetType::Boolean
                                 ? counts.yesNo[value == QStringLiteral("是")]
                                 : counts.byValue.countOf(value);
        ++k;
        text += valueLine(QString::number(k) + QLatin1Char('.') + value, count, persons);
        sum += count;
        progress(sum);
    }
    return text + closing(k, sum, persons);
}

QString yearCounts(const Tally& counts, qint64 persons, int lastYear,
                   const std::function<void(qint64)>& progress) {
    QString text;
    qint64 sum = 0;
    int k = 0;
    for (int year = 1900; year <= lastYear; ++year) {
        const qint64 count =
            year - 1900 < qsizetype(counts.byYear.size()) ? counts.byYear[std::size_t(year - 1900)] : 0;
        if (count != 0) {
            ++k;
            text += valueLine(QString::number(k) + QLatin1Char('.') + QString::number(year) +
                                  QStringLiteral("年"),
                              count, persons);
        }
        sum += count;
        progress(sum);
    }
    return text + closing(k, sum, persons);
}

// Zero counts as empty; a count of none still reads "0.00", the other values nothing.
QString aggregates(const Tally& t) {
    const QStringList labels = {QStringLiteral("非空的个数："), QStringLiteral("总和："),
                                QStringLiteral("平均值："), QStringLiteral("最大值："),
                                QStringLiteral("最小值：")};
    const Billionths toCents = kBillion / 100;
    const Billionths values[] = {Billionths(t.count) * 100, roundedDivision(t.sum, toCents),
                                 t.count ? roundedDivision(t.sum, toCents * t.count) : 0,
                                 roundedDivision(t.max, toCents), roundedDivision(t.min, toCents)};
    QString text;
    for (int i = 0; i < labels.size(); ++i) {
        QString line = padTo(labels.at(i), 40);
        if (i == 0 || t.count > 0)
            line += hundredths(values[i]);
        text += line + kEol;
    }
    return text + rule();
}

// What an item's block says instead of figures when its counting failed part way.
QString notCounted() {
    return kNotCounted + kEol + rule();
}

} // namespace

QString percentOf(qint64 count, qint64 persons) {
    if (persons <= 0)
        return QStringLiteral("0.00");
    return hundredths(roundedDivision(Billionths(count) * 10000, Billionths(persons)));
}

QString padTo(const QString& line, int column) {
    const int width = store::displayWidth(line);
    return width >= column ? line : line + QString(column - width, QLatin1Char(' '));
}

QString titleLine(const QString& item) {
    const QString heading = item + QStringLiteral(" 统计结果");
    const qint64 r = std::max<qint64>(0, store::roundHalfEven((76 - store::displayWidth(heading)) / 2.0));
    const QString bar(int(r), QLatin1Char('='));
    return bar + heading + bar + kEol;
}

QString buildReport(store::Database& db, const QStringList& items, qint64 persons, int lastYear,
                    const std::function<void(const QString&)>& progress) {
    const auto report = [&](qint64 sum) {
        if (progress && persons > 0)
            progress(QStringLiteral("正在统计！") +
                     store::formatHashDotZero(double(sum) / double(persons) * 100.0) + QStringLiteral("%"));
    };
    const std::vector<store::TableColumn> fields = store::tableColumns(db, store::schema::kPersons);
    std::vector<Column> columns;
    for (const QString& item : items)
        columns.push_back(columnOf(db, item, fields));
    // Each item's value list; one that cannot be read leaves only its own block without figures.
    std::vector<std::optional<QStringList>> lists(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!countsValues(columns[i].type))
            continue;
        try {
            lists[i] = categories::statisticsValues(db, items.at(qsizetype(i)));
        } catch (const std::exception& e) {
            qCWarning(lcStats) << "counting" << items.at(qsizetype(i)) << "failed:" << e.what();
        }
    }
    std::map<int, Tally> tallies;
    bool counted = true;
    try {
        tallies = tally(db, columns, lists, lastYear);
    } catch (const std::exception& e) {
        // Zeros must not pass for facts: every block says it was not counted.
        qCWarning(lcStats) << "counting failed:" << e.what();
        counted = false;
    }

    QString text;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString& item = items.at(i);
        const Column& column = columns[std::size_t(i)];
        text += titleLine(item);
        const auto found = tallies.find(column.ordinal);
        const Tally empty;
        const Tally& counts = found == tallies.end() ? empty : found->second;
        if (!counted && isCountable(column.type)) {
            text += notCounted() + kEol + kEol;
            continue;
        }
        switch (column.type) {
        case store::JetType::Boolean:
        case store::JetType::Text:
        case store::JetType::Memo:
            text += lists[std::size_t(i)]
                        ? valueCounts(*lists[std::size_t(i)], column, counts, persons, report)
                        : notCounted();
            break;
        case store::JetType::Date:
            text += yearCounts(counts, persons, lastYear, report);
            break;
        case store::JetType::Single:
        case store::JetType::Long:
            text += aggregates(counts);
            break;
        default:
            break;
        }
        text += kEol + kEol;
    }
    return text;
}

} // namespace stats
