#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <stdexcept>
#include <vector>

#include "store/Database.h"
#include "store/Schema.h"

namespace query {

// A condition that is not one this program writes or reads: unknown column, stray token,
// unbalanced parenthesis or quote, a second statement, a sub-select, a function call.
class ConditionError : public std::runtime_error {
public:
    // `reason` says, for the operator, what was not understood ("看不懂的地方：“1950”，这里应当是日期。").
    explicit ConditionError(const QString& reason);
    const QString& reason() const { return reason_; }

private:
    QString reason_;
};

struct SqlCondition {
    QString sql; // SQLite SQL over the persons table with ? placeholders
    QVariantList params;
};

// Turns a Jet where-fragment over the persons table into parameterised SQLite SQL: persons
// columns bare or in [ ], 'text' literals ('' doubles a quote), #date# literals (1950-03-15,
// 1950-03, 3/15/1950), numbers, true, false, null, = <> < > <= >=, [not] like with Jet's
// wildcards, [not] between (bounds in either order), [not] in, is [not] null, not, and, or and
// parentheses. Long chains of and/or are grouped so that the engine's expression depth stays
// small, and a condition with more values than the engine binds carries them as literals.
// Throws ConditionError.
// On the server a like's pattern is a value, never a column.
SqlCondition parseCondition(const QString& fragment, const std::vector<store::TableColumn>& columns,
                            store::Dialect dialect = store::Dialect::Embedded);

} // namespace query
