#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace store {
class Database;
}

namespace stats {

// count / persons as a percentage with two decimals, rounded half away from zero in exact
// arithmetic: 23 of 160 is 14.375 % and reads "14.38".
QString percentOf(qint64 count, qint64 persons);

// An item whose counting failed part way says so in its block instead of showing figures.
inline const QString kNotCounted = QStringLiteral("（此项统计时读数据库出错，没有统计完，故不列出数字。）");

// Pads `line` with blanks to display column `column` (nothing when it is already wider).
QString padTo(const QString& line, int column);

// The line for a title: "=" on each side, (76 − width) / 2 rounded halves to even.
QString titleLine(const QString& item);

// The statistics report over the persons table: for every item (a category name) in order,
// value counts, year counts or aggregates by the kind of its column; lines end in CR LF.
// `persons` is the count every share is taken of; `progress` gets each progress text.
QString buildReport(store::Database& db, const QStringList& items, qint64 persons, int lastYear,
                    const std::function<void(const QString&)>& progress = {});

} // namespace stats
