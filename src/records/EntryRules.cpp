#include "records/EntryRules.h"

#include "store/Database.h"
#include "store/JetLike.h"
#include "store/JetValues.h"

#include <QLocale>
#include <QStringList>

namespace records {

namespace {
QString quotedName(const PersonColumn& column) {
    return QStringLiteral("“%1”").arg(column.columnName());
}
} // namespace

QString numberNotes(const Entries& saved) {
    QStringList notes;
    for (const auto& [ordinal, entry] : saved) {
        const PersonColumn& column = personColumn(ordinal);
        if (column.kind != Kind::Number || store::isWholeNumber(entry.text))
            continue;
        const double stored = store::numericPrefix(entry.text.trimmed());
        notes << QStringLiteral("%1中的“%2”不是一个完整的数，保存的是%3")
                     .arg(quotedName(column), entry.text.trimmed(),
                          QString::number(stored, 'f', QLocale::FloatingPointShortest));
    }
    return notes.join(QStringLiteral("；"));
}

QString refusedNote(const WriteError& error, const Entries& typed) {
    const auto entry = typed.find(error.ordinal());
    if (error.ordinal() < 0 || entry == typed.end())
        return {};
    const PersonColumn& column = personColumn(error.ordinal());
    if (column.kind == Kind::Date)
        return QStringLiteral("%1中的“%2”不是日期，这次没有保存")
            .arg(quotedName(column), entry->second.text.trimmed());
    return QStringLiteral("%1太长（最多%2个字），这次没有保存").arg(quotedName(column)).arg(column.size);
}

TypedDate checkTypedDate(const QString& typed, int latestYear) {
    const QString s = typed.trimmed();
    const qsizetype n = s.size();
    if (n >= 5 && s.at(4) == QLatin1Char('-'))
        return {true, typed};
    const auto part = [&](int from, int length) { return store::numericPrefix(s.mid(from, length)); };
    const bool wrong =
        (n > 1 && n < 6) || n == 7 || n > 8 || part(0, 4) > latestYear || part(4, 2) > 12 || part(6, 2) > 31;
    if (wrong)
        return {false, typed};
    if (n == 8)
        return {true, s.left(4) + QLatin1Char('-') + s.mid(4, 2) + QLatin1Char('-') + s.mid(6, 2)};
    if (n == 6)
        return {true, s.left(4) + QLatin1Char('-') + s.mid(4, 2)};
    return {true, typed};
}

std::optional<Condition> categorySearch(store::JetType type, const QString& column, const QString& value,
                                        store::Dialect dialect) {
    const QString col = store::quoted(column);
    switch (type) {
    case store::JetType::Text:
    case store::JetType::Memo: {
        // Without pattern characters Jet's like is a case-blind equality, which an index serves
        // where NOCASE folds the value's letters as Jet does.
        // On the server the column's citext already compares so.
        if (const std::optional<store::NocaseLike> like = store::nocaseLike(value); like && !like->prefix)
            return Condition{dialect == store::Dialect::Server
                                 ? QStringLiteral("%1 = ?").arg(col)
                                 : QStringLiteral("%1 = ? COLLATE NOCASE").arg(col),
                             {value}};
        const store::LikeCondition like = store::jetLikeCondition(dialect, col, value);
        return Condition{like.sql, {like.parameter}};
    }
    case store::JetType::Date: {
        const std::optional<QDate> date = store::parseJetDate(value);
        if (!date)
            return std::nullopt;
        return Condition{QStringLiteral("%1 = ?").arg(col), {store::storedDate(*date)}};
    }
    case store::JetType::Single:
    case store::JetType::Long: {
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
        return Condition{QStringLiteral("%1 = ?").arg(col), {number}};
    }
    case store::JetType::Boolean:
        return Condition{QStringLiteral("%1 = ?").arg(col), {value == QStringLiteral("是") ? 1 : 0}};
    default:
        return std::nullopt;
    }
}

} // namespace records
