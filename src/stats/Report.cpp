#include "stats/Report.h"

#include "categories/CategoryTable.h"
#include "store/CodePage.h"
#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Schema.h"

#include <QHash>
#include <QLocale>
#include <QLoggingCategory>

#include <map>
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

// SQLite's NOCASE folds only ASCII letters; the counts use the same key.
QString foldAscii(const QString& s) {
    QString out = s;
    for (QChar& c : out) {
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() + 32);
    }
    return out;
}

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

// What one pass over the persons table gathers for one column.
struct Tally {
    QHash<QString, qint64> byValue; // text folded as NOCASE folds it; yes/no as "0" or "1"
    QHash<int, qint64> byYear;
    qint64 count = 0; // numbers other than 0
    Billionths sum = 0;
    Billionths max = 0;
    Billionths min = 0;
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

// Every count the per-value, per-year and aggregate queries would give, in one pass.
std::map<int, Tally> tally(store::Database& db, const std::vector<Column>& columns) {
    std::map<int, const Column*> wanted;
    for (const Column& c : columns) {
        if (c.type != store::JetType::Other && c.type != store::JetType::LongBinary)
            wanted[c.ordinal] = &c;
    }
    std::map<int, Tally> tallies;
    if (wanted.empty())
        return tallies;
    QStringList select;
    for (const auto& [ordinal, column] : wanted)
        select << store::quoted(column->name);
    store::Statement st =
        db.prepare(QStringLiteral("SELECT %1 FROM wslib").arg(select.join(QStringLiteral(", "))));
    while (st.step()) {
        int i = 0;
        for (const auto& [ordinal, column] : wanted) {
            Tally& t = tallies[ordinal];
            const int at = i++;
            if (st.isNull(at))
                continue;
            switch (column->type) {
            case store::JetType::Boolean:
                ++t.byValue[QString::number(st.integer(at) != 0)];
                break;
            case store::JetType::Date:
                ++t.byYear[st.text(at).left(4).toInt()];
                break;
            case store::JetType::Single:
            case store::JetType::Long: {
                const double stored = st.value(at).toDouble();
                if (stored == 0)
                    break;
                const Billionths v = toBillionths(stored);
                t.max = t.count == 0 ? v : std::max(t.max, v);
                t.min = t.count == 0 ? v : std::min(t.min, v);
                t.sum += v;
                ++t.count;
                break;
            }
            default:
                ++t.byValue[foldAscii(st.text(at))];
            }
        }
    }
    return tallies;
}

QString valueCounts(store::Database& db, const QString& item, const Column& column, const Tally& counts,
                    qint64 persons, const std::function<void(qint64)>& progress) {
    QString text;
    qint64 sum = 0;
    int k = 0;
    for (const QString& value : categories::statisticsValues(db, item)) {
        const QString key = column.type == store::JetType::Boolean
                                ? QString::number(value == QStringLiteral("是"))
                                : foldAscii(value);
        const qint64 count = counts.byValue.value(key);
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
        const qint64 count = counts.byYear.value(year);
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
    std::map<int, Tally> tallies;
    bool counted = true;
    try {
        tallies = tally(db, columns);
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
        const bool countable =
            column.type != store::JetType::Other && column.type != store::JetType::LongBinary;
        if (!counted && countable) {
            text += notCounted() + kEol + kEol;
            continue;
        }
        switch (column.type) {
        case store::JetType::Boolean:
        case store::JetType::Text:
        case store::JetType::Memo:
            try {
                text += valueCounts(db, item, column, counts, persons, report);
            } catch (const std::exception& e) {
                qCWarning(lcStats) << "counting" << item << "failed:" << e.what();
                text += notCounted();
            }
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
