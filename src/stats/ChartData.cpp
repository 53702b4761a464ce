#include "stats/ChartData.h"

#include "categories/CategoryTable.h"
#include "records/PersonColumns.h"
#include "stats/Report.h"

#include <QRegularExpression>

namespace stats {

ItemBars barsOfBlock(const QString& block, const QString& item, const QStringList& values) {
    ItemBars result;
    result.item = item;
    if (block.contains(kNotCounted)) {
        result.counted = false;
        return result;
    }
    static const QRegularExpression year(QStringLiteral("^(\\d{4})年"));
    const QStringList lines = block.split(QStringLiteral("\r\n"));
    // Line 0 is the title; the numbered lines run up to the rule.
    for (qsizetype i = 1, k = 1; i < lines.size(); ++i, ++k) {
        const QString prefix = QString::number(k) + QLatin1Char('.');
        if (!lines.at(i).startsWith(prefix))
            break;
        const QString rest = lines.at(i).mid(prefix.size());
        QString label; // as the report writes it; the bar shows it without outer blanks
        if (k <= values.size() && rest.startsWith(values.at(k - 1)))
            label = values.at(k - 1);
        else if (rest.startsWith(QStringLiteral("其他")))
            label = QStringLiteral("其他");
        else if (const auto m = year.match(rest); m.hasMatch())
            label = m.captured(0);
        else
            break;
        const QString tail = rest.mid(label.size()).trimmed();
        const qsizetype person = tail.indexOf(QStringLiteral("人"));
        bool ok = false;
        const qint64 count = tail.left(person).toLongLong(&ok);
        if (person < 0 || !ok)
            break;
        result.bars.push_back({label.trimmed(), count});
    }
    return result;
}

ItemBars itemBars(store::Database& db, const QString& item, qint64 persons, int lastYear) {
    const QString block = buildReport(db, {item}, persons, lastYear);
    const int ordinal = categories::definitionColumn(db, item);
    const bool dated = ordinal >= 0 && ordinal < records::kColumnCount &&
                       records::personColumn(ordinal).kind == records::Kind::Date;
    ItemBars bars = barsOfBlock(block, item, dated ? QStringList() : categories::statisticsValues(db, item));
    bars.persons = persons;
    return bars;
}

QStringList codedCategories(store::Database& db) {
    QStringList coded;
    for (const QString& item : categories::loadKM(db)) {
        const int ordinal = categories::definitionColumn(db, item);
        if (ordinal >= 0 && ordinal < records::kColumnCount &&
            records::personColumn(ordinal).kind == records::Kind::Coded)
            coded << item;
    }
    return coded;
}

} // namespace stats
