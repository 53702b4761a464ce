#include "stats/Report.h"

#include "store/CodePage.h"
#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Schema.h"

#include <QHash>

#include <cmath>

namespace stats {

namespace {

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
    return store::formatFixed(persons == 0 ? 0.0 : double(count) / double(persons) * 100.0, 2);
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

struct Column {
    int ordinal = 0;
    QString name;
    store::JetType type = store::JetType::Other;
};

Column columnOf(store::Database& db, const QString& item) {
    const QVariant filednum = db.scalar(
        QStringLiteral(
            "SELECT filednum FROM km WHERE trim(kmmc) = ? COLLATE BINARY AND trim(coalesce(kmbz, '')) = '' "
            "ORDER BY rowid LIMIT 1"),
        {item.trimmed()});
    Column c;
    c.ordinal = filednum.isNull() ? 0 : int(filednum.toLongLong());
    c.name = db.columnNames(store::schema::kPersons).value(c.ordinal);
    c.type = store::jetTypeOf(db.declaredTypes(store::schema::kPersons).value(c.ordinal));
    return c;
}

// One grouped pass gives every count the per-value queries would give.
QHash<QString, qint64> countsByValue(store::Database& db, const Column& column) {
    QHash<QString, qint64> counts;
    store::Statement st =
        db.prepare(QStringLiteral("SELECT %1, count(*) FROM wslib WHERE %1 IS NOT NULL GROUP BY %1")
                       .arg(store::quoted(column.name)));
    while (st.step()) {
        const QString key = column.type == store::JetType::Boolean ? QString::number(st.integer(0) != 0)
                                                                   : foldAscii(st.text(0));
        counts[key] += st.integer(1);
    }
    return counts;
}

QString valueCounts(store::Database& db, const QString& item, const Column& column, qint64 persons,
                    const std::function<void(qint64)>& progress) {
    const QHash<QString, qint64> counts = countsByValue(db, column);
    store::Statement values =
        db.prepare(QStringLiteral("SELECT kmbz FROM km WHERE trim(kmmc) = ? COLLATE BINARY AND "
                                  "trim(coalesce(kmbz, '')) <> '' ORDER BY rowid"));
    values.bind(1, item.trimmed());
    QString text;
    qint64 sum = 0;
    int k = 0;
    while (values.step()) {
        const QString value = values.text(0);
        const QString key = column.type == store::JetType::Boolean
                                ? QString::number(value == QStringLiteral("是"))
                                : foldAscii(value);
        const qint64 count = counts.value(key);
        ++k;
        text += valueLine(QString::number(k) + QLatin1Char('.') + value, count, persons);
        sum += count;
        progress(sum);
    }
    if (sum != persons)
        text += valueLine(QString::number(k + 1) + QStringLiteral(".其他"), persons - sum, persons);
    return text + rule() + totalLine(persons);
}

QString yearCounts(store::Database& db, const Column& column, qint64 persons, int lastYear,
                   const std::function<void(qint64)>& progress) {
    QHash<int, qint64> counts;
    store::Statement st = db.prepare(
        QStringLiteral("SELECT substr(%1, 1, 4), count(*) FROM wslib WHERE %1 IS NOT NULL GROUP BY 1")
            .arg(store::quoted(column.name)));
    while (st.step())
        counts[st.text(0).toInt()] += st.integer(1);
    QString text;
    qint64 sum = 0;
    int k = 0;
    for (int year = 1900; year <= lastYear; ++year) {
        const qint64 count = counts.value(year);
        if (count != 0) {
            ++k;
            text += valueLine(QString::number(k) + QLatin1Char('.') + QString::number(year) +
                                  QStringLiteral("年"),
                              count, persons);
        }
        sum += count;
        progress(sum);
    }
    if (sum != persons)
        text += valueLine(QString::number(k + 1) + QStringLiteral(".其他"), persons - sum, persons);
    return text + rule() + totalLine(persons);
}

QString aggregates(store::Database& db, const Column& column) {
    const QString n = store::quoted(column.name);
    store::Statement st = db.prepare(
        QStringLiteral("SELECT count(%1), sum(%1), avg(%1), max(%1), min(%1) FROM wslib WHERE %1 <> 0")
            .arg(n));
    QString text;
    if (st.step()) {
        const QStringList labels = {QStringLiteral("非空的个数："), QStringLiteral("总和："),
                                    QStringLiteral("平均值："), QStringLiteral("最大值："),
                                    QStringLiteral("最小值：")};
        for (int i = 0; i < labels.size(); ++i) {
            QString line = padTo(labels.at(i), 40);
            if (!st.isNull(i))
                line += store::formatFixed(st.value(i).toDouble(), 2);
            text += line + kEol;
        }
    }
    return text + rule();
}

} // namespace

QString padTo(const QString& line, int column) {
    const int width = store::displayWidth(line);
    return width >= column ? line : line + QString(column - width, QLatin1Char(' '));
}

QString formatHashDotZero(double value) {
    const QString fixed = store::formatFixed(value, 1);
    if (fixed.startsWith(QLatin1String("0.")))
        return fixed.mid(1);
    if (fixed.startsWith(QLatin1String("-0.")))
        return QLatin1Char('-') + fixed.mid(2);
    return fixed;
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
            progress(QStringLiteral("正在统计！") + formatHashDotZero(double(sum) / double(persons) * 100.0) +
                     QStringLiteral("%"));
    };
    QString text;
    for (const QString& item : items) {
        text += titleLine(item);
        // A step that fails is left out and the report goes on.
        try {
            const Column column = columnOf(db, item);
            switch (column.type) {
            case store::JetType::Boolean:
            case store::JetType::Text:
            case store::JetType::Memo:
                text += valueCounts(db, item, column, persons, report);
                break;
            case store::JetType::Date:
                text += yearCounts(db, column, persons, lastYear, report);
                break;
            case store::JetType::Single:
            case store::JetType::Long:
                text += aggregates(db, column);
                break;
            default:
                break;
            }
        } catch (const std::exception&) {
        }
        text += kEol + kEol;
    }
    return text;
}

} // namespace stats
