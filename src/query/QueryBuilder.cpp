#include "query/QueryBuilder.h"

namespace query {

using store::JetType;

QStringList relationsFor(JetType type) {
    switch (type) {
    case JetType::Text:
    case JetType::Memo:
        return {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("like")};
    case JetType::Date:
    case JetType::Single:
    case JetType::Long:
        return {QStringLiteral("="),  QStringLiteral(">"),  QStringLiteral("<"),
                QStringLiteral(">="), QStringLiteral("<="), QStringLiteral("<>")};
    case JetType::Boolean:
        return {QStringLiteral("=")};
    default:
        return {};
    }
}

bool preselectsRelation(JetType type) {
    return type != JetType::Boolean && !relationsFor(type).isEmpty();
}

std::optional<Appended> conditionText(JetType type, const QString& c, const QString& r, const QString& v,
                                      const QString& n) {
    switch (type) {
    case JetType::Text:
    case JetType::Memo: {
        QString literal = v;
        literal.replace(QLatin1Char('\''), QLatin1String("''"));
        return Appended{c + r + QLatin1Char('\'') + v + QStringLiteral("' "),
                        n + QLatin1Char(' ') + r + QStringLiteral(" '") + literal + QStringLiteral("' ")};
    }
    case JetType::Date:
        return Appended{c + r + QLatin1Char('\'') + v + QStringLiteral("' "),
                        n + r + QLatin1Char('#') + v + QStringLiteral("# ")};
    case JetType::Single:
    case JetType::Long:
        return Appended{c + r + v + QLatin1Char(' '), n + r + v + QLatin1Char(' ')};
    case JetType::Boolean:
        return Appended{
            c + r + v + QLatin1Char(' '),
            n + r +
                (v.trimmed() == QStringLiteral("是") ? QStringLiteral(" true") : QStringLiteral(" false")) +
                QLatin1Char(' ')};
    default:
        return std::nullopt;
    }
}

Appended connectiveText(Connective c) {
    switch (c) {
    case Connective::And:
        return {QStringLiteral(" 并且 \r\n"), QStringLiteral(" and ")};
    case Connective::Or:
        return {QStringLiteral(" 或者 \r\n"), QStringLiteral(" or ")};
    case Connective::Open:
        return {QStringLiteral("("), QStringLiteral("( ")};
    case Connective::Close:
        break;
    }
    return {QStringLiteral(")"), QStringLiteral(")")};
}

} // namespace query
