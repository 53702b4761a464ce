#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace store {
class Database;
}

namespace stats {

// Pads `line` with blanks to display column `column` (nothing when it is already wider).
QString padTo(const QString& line, int column);

// "##.0" and "0.00" as the classic format strings write them (halves away from zero).
QString formatHashDotZero(double value);

// The line for a title: "=" on each side, (76 − width) / 2 rounded halves to even.
QString titleLine(const QString& item);

// The statistics report over the persons table: for every item (a category name) in order,
// value counts, year counts or aggregates by the kind of its column; lines end in CR LF.
// `persons` is the count every share is taken of; `progress` gets each progress text.
QString buildReport(store::Database& db, const QStringList& items, qint64 persons, int lastYear,
                    const std::function<void(const QString&)>& progress = {});

} // namespace stats
