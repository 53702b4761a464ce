#pragma once

#include "store/Schema.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace query {

// The relations offered for a column kind, in the order shown; empty for other kinds.
QStringList relationsFor(store::JetType type);
// Yes/No lists "=" without choosing it.
bool preselectsRelation(store::JetType type);

// What one step of the query window appends to the readable text and to the expression.
struct Appended {
    QString readable;
    QString expression;
};

// A condition: category C, relation R, value V over field N. A single quote in a text value
// is doubled in the expression so that the value stays one literal. Nothing for other kinds.
std::optional<Appended> conditionText(store::JetType type, const QString& category, const QString& relation,
                                      const QString& value, const QString& field);

enum class Connective { And, Or, Open, Close };
Appended connectiveText(Connective c);

} // namespace query
