#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace store {
class Database;
}

namespace stats {

struct Bar {
    QString label; // the report's label without its number: "男", "1998年", "其他"
    qint64 count = 0;
};

// The bars of one report item, read back from the report's own block for it, so that a chart
// shows exactly the report's numbers: its values (or years) and ".其他".
struct ItemBars {
    QString item;
    qint64 persons = 0;
    bool counted = true; // false when the report says the item could not be counted
    std::vector<Bar> bars;
};

// Builds the report for `item` alone over `persons` persons and reads its counts back.
ItemBars itemBars(store::Database& db, const QString& item, qint64 persons, int lastYear);

// Reads the counts of one item's report block. `values` are the category's values in report
// order (empty for a date item, whose lines are years).
ItemBars barsOfBlock(const QString& block, const QString& item, const QStringList& values);

// The categories with coded values, in the category list's order: the ones a bar chart is
// offered for.
QStringList codedCategories(store::Database& db);

// The date column a retirement chart counts by year.
inline const QString kRetirementItem = QStringLiteral("退休年月");

} // namespace stats
