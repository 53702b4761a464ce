#include "query/ConditionParser.h"

#include "store/Database.h"
#include "store/JetLike.h"
#include "store/JetValues.h"

#include <QRegularExpression>

#include <optional>

namespace query {

namespace {

enum class Tok { Identifier, Text, Date, Number, Operator, Open, Close, Comma, Dot, End };

// Far beyond any condition an operator writes; what a hostile file nests deeper is refused
// before the recursion can exhaust a thread's stack.
constexpr int kMaxDepth = 64;

struct Token {
    Tok kind;
    QString text;
};

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            QString text;
            ++i;
            for (;;) {
                if (i >= n)
                    throw ConditionError("unterminated text literal");
                if (s.at(i) == c) {
                    if (i + 1 < n && s.at(i + 1) == c) {
                        text += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s.at(i++);
            }
            tokens.push_back({Tok::Text, text});
        } else if (c == QLatin1Char('#')) {
            const qsizetype close = s.indexOf(QLatin1Char('#'), i + 1);
            if (close < 0)
                throw ConditionError("unterminated date literal");
            tokens.push_back({Tok::Date, s.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = s.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                throw ConditionError("unterminated bracketed name");
            tokens.push_back({Tok::Identifier, s.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s.at(i + 1).isDigit())) {
            qsizetype j = i;
            while (j < n && (s.at(j).isDigit() || s.at(j) == QLatin1Char('.')))
                ++j;
            // An exponent: 1.5E3, 2e-4.
            if (j < n && (s.at(j) == QLatin1Char('e') || s.at(j) == QLatin1Char('E'))) {
                qsizetype k = j + 1;
                if (k < n && (s.at(k) == QLatin1Char('+') || s.at(k) == QLatin1Char('-')))
                    ++k;
                if (k < n && s.at(k).isDigit()) {
                    while (k < n && s.at(k).isDigit())
                        ++k;
                    j = k;
                }
            }
            tokens.push_back({Tok::Number, s.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char('.')) {
            tokens.push_back({Tok::Dot, QStringLiteral(".")});
            ++i;
        } else if (c == QLatin1Char(',')) {
            tokens.push_back({Tok::Comma, QStringLiteral(",")});
            ++i;
        } else if (c == QLatin1Char(';')) {
            // A trailing semicolon ends the condition; anything after it would be a second statement.
            if (!s.mid(i + 1).trimmed().isEmpty())
                throw ConditionError("a second statement");
            break;
        } else if (c == QLatin1Char('(')) {
            tokens.push_back({Tok::Open, QStringLiteral("(")});
            ++i;
        } else if (c == QLatin1Char(')')) {
            tokens.push_back({Tok::Close, QStringLiteral(")")});
            ++i;
        } else if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('=')) {
            QString op(c);
            if (i + 1 < n && (s.at(i + 1) == QLatin1Char('=') ||
                              (c == QLatin1Char('<') && s.at(i + 1) == QLatin1Char('>'))))
                op += s.at(i + 1);
            tokens.push_back({Tok::Operator, op});
            i += op.size();
        } else if (c == QLatin1Char('-')) {
            tokens.push_back({Tok::Operator, QStringLiteral("-")});
            ++i;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype j = i;
            while (j < n && (s.at(j).isLetterOrNumber() || s.at(j) == QLatin1Char('_')))
                ++j;
            tokens.push_back({Tok::Identifier, s.mid(i, j - i)});
            i = j;
        } else {
            throw ConditionError("unexpected character");
        }
    }
    tokens.push_back({Tok::End, QString()});
    return tokens;
}

bool isKeyword(const Token& t, const char* word) {
    return t.kind == Tok::Identifier && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// A Jet date literal, optionally with a time of day, as the text it compares with: a date column
// holds "yyyy-mm-dd", so a time after midnight sorts after that day and equals no stored date.
std::optional<QString> jetDateTime(const QString& literal) {
    static const QRegularExpression withTime(
        QStringLiteral("^\\s*(.*?)\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?\\s*$"));
    QString date = literal;
    QTime time(0, 0);
    const QRegularExpressionMatch m = withTime.match(literal);
    if (m.hasMatch()) {
        date = m.captured(1);
        int hour = m.captured(2).toInt();
        const QString half = m.captured(5).toUpper();
        if (!half.isEmpty()) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (half == QLatin1String("PM") ? 12 : 0);
        }
        time = QTime(hour, m.captured(3).toInt(), m.captured(4).isEmpty() ? 0 : m.captured(4).toInt());
        if (!time.isValid())
            return std::nullopt;
    }
    const std::optional<QDate> d = store::parseJetDate(date);
    if (!d)
        return std::nullopt;
    QString text = store::storedDate(*d);
    if (time != QTime(0, 0))
        text += QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
    return text;
}

// An operand as it enters the SQL: a column, or a value bound as a parameter.
struct Operand {
    enum Kind { Column, Text, Date, Number, Boolean, Null } kind;
    QString column;
    store::JetType type = store::JetType::Other;
    QVariant value;
};

class Parser {
public:
    Parser(const QString& fragment, const std::vector<store::TableColumn>& columns)
        : tokens_(tokenize(fragment)), columns_(columns) {}

    SqlCondition parse() {
        if (peek().kind == Tok::End)
            throw ConditionError("empty condition");
        QString sql = orExpr();
        if (peek().kind != Tok::End)
            throw ConditionError("unexpected text after the condition");
        return {sql, params_};
    }

private:
    const Token& peek() const { return tokens_[pos_]; }
    const Token& next() { return tokens_[pos_++]; }

    QString orExpr() {
        QString sql = andExpr();
        while (isKeyword(peek(), "or")) {
            next();
            sql += QStringLiteral(" OR ") + andExpr();
        }
        return sql;
    }

    QString andExpr() {
        QString sql = notExpr();
        while (isKeyword(peek(), "and")) {
            next();
            sql += QStringLiteral(" AND ") + notExpr();
        }
        return sql;
    }

    // A run of NOT is read in a loop and counts towards the depth; NOT NOT x is x for a
    // condition (a Null stays Null), so at most one NOT reaches SQLite.
    QString notExpr() {
        int nots = 0;
        while (isKeyword(peek(), "not")) {
            next();
            enter();
            ++nots;
        }
        const QString sql = predicate();
        depth_ -= nots;
        return nots % 2 ? QStringLiteral("NOT ") + sql : sql;
    }

    void enter() {
        if (++depth_ > kMaxDepth)
            throw ConditionError("nested too deeply");
    }

    QString predicate() {
        if (peek().kind == Tok::Open) {
            next();
            enter();
            const QString inner = orExpr();
            if (next().kind != Tok::Close)
                throw ConditionError("unbalanced parenthesis");
            --depth_;
            return QLatin1Char('(') + inner + QLatin1Char(')');
        }
        const Operand left = operand();
        if (isKeyword(peek(), "is")) {
            next();
            bool negated = false;
            if (isKeyword(peek(), "not")) {
                next();
                negated = true;
            }
            if (!isKeyword(next(), "null"))
                throw ConditionError("IS must be followed by NULL");
            return render(left, store::JetType::Other) +
                   (negated ? QStringLiteral(" IS NOT NULL") : QStringLiteral(" IS NULL"));
        }
        bool negated = false;
        if (isKeyword(peek(), "not")) {
            next();
            negated = true;
            if (!isKeyword(peek(), "like") && !isKeyword(peek(), "between") && !isKeyword(peek(), "in"))
                throw ConditionError("NOT must be followed by LIKE, BETWEEN or IN here");
        }
        const QString no = negated ? QStringLiteral("NOT ") : QString();
        if (isKeyword(peek(), "between")) {
            next();
            if (left.kind != Operand::Column)
                throw ConditionError("BETWEEN needs a column");
            const Operand low = operand();
            if (!isKeyword(next(), "and"))
                throw ConditionError("BETWEEN needs AND");
            const Operand high = operand();
            const QString lowSql = render(low, left.type);
            return render(left, left.type) + QLatin1Char(' ') + no + QStringLiteral("BETWEEN ") + lowSql +
                   QStringLiteral(" AND ") + render(high, left.type);
        }
        if (isKeyword(peek(), "in")) {
            next();
            if (left.kind != Operand::Column)
                throw ConditionError("IN needs a column");
            if (next().kind != Tok::Open)
                throw ConditionError("IN needs a list");
            QStringList values;
            for (;;) {
                const Operand value = operand();
                if (value.kind == Operand::Column)
                    throw ConditionError("IN takes values only");
                values << render(value, left.type);
                const Token& t = next();
                if (t.kind == Tok::Close)
                    break;
                if (t.kind != Tok::Comma)
                    throw ConditionError("IN list malformed");
            }
            return render(left, left.type) + QLatin1Char(' ') + no + QStringLiteral("IN (") +
                   values.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        if (isKeyword(peek(), "like")) {
            next();
            const Operand pattern = operand();
            // Like Null is Null, negated or not: no one is found.
            if (pattern.kind == Operand::Null)
                return QStringLiteral("NULL");
            if (pattern.kind != Operand::Text && pattern.kind != Operand::Column)
                throw ConditionError("LIKE takes a text pattern");
            if (pattern.kind == Operand::Text && !store::jetLikePattern(pattern.value.toString()).isValid())
                throw ConditionError("malformed like pattern");
            if (const std::optional<QString> indexed = indexedLike(left, pattern))
                return no + *indexed;
            const QString sql =
                QStringLiteral("jetlike(%1, %2)")
                    .arg(render(left, store::JetType::Text), render(pattern, store::JetType::Text));
            return no + sql;
        }
        const Token& op = next();
        if (op.kind != Tok::Operator || op.text == QLatin1String("-"))
            throw ConditionError("a comparison is missing");
        const Operand right = operand();
        if (left.kind != Operand::Column && right.kind != Operand::Column)
            throw ConditionError("a comparison needs a column");
        const store::JetType leftType = left.kind == Operand::Column ? left.type : right.type;
        return render(left, leftType) + QLatin1Char(' ') + op.text + QLatin1Char(' ') +
               render(right, leftType);
    }

    // A like over a text column that NOCASE compares as Jet does, in a form an index answers:
    // an equality, or a range that the like itself then narrows.
    std::optional<QString> indexedLike(const Operand& left, const Operand& pattern) {
        if (left.kind != Operand::Column || left.type != store::JetType::Text ||
            pattern.kind != Operand::Text)
            return std::nullopt;
        const std::optional<store::NocaseLike> like = store::nocaseLike(pattern.value.toString());
        if (!like)
            return std::nullopt;
        const QString col = store::quoted(left.column);
        if (!like->prefix) {
            params_ << like->text;
            return QStringLiteral("%1 = ? COLLATE NOCASE").arg(col);
        }
        const QString above = store::nocaseUpperBound(like->text);
        if (above.isEmpty())
            return std::nullopt;
        params_ << like->text << above << pattern.value;
        return QStringLiteral("(%1 >= ? COLLATE NOCASE AND %1 < ? COLLATE NOCASE AND jetlike(%1, ?))")
            .arg(col);
    }

    Operand operand() {
        const Token t = next();
        switch (t.kind) {
        case Tok::Text:
            return {Operand::Text, {}, store::JetType::Other, t.text};
        case Tok::Date: {
            const std::optional<QString> d = jetDateTime(t.text);
            if (!d)
                throw ConditionError("not a date");
            return {Operand::Date, {}, store::JetType::Other, *d};
        }
        case Tok::Number:
            return number(t.text);
        case Tok::Operator:
            if (t.text == QLatin1String("-") && peek().kind == Tok::Number)
                return number(QLatin1Char('-') + next().text);
            break;
        case Tok::Identifier: {
            if (isKeyword(t, "true"))
                return {Operand::Boolean, {}, store::JetType::Other, 1};
            if (isKeyword(t, "false"))
                return {Operand::Boolean, {}, store::JetType::Other, 0};
            if (isKeyword(t, "null"))
                return {Operand::Null, {}, store::JetType::Other, QVariant()};
            // The persons table may qualify its columns: wslib.姓名, [wslib].[姓名].
            QString name = t.text.trimmed();
            if (peek().kind == Tok::Dot) {
                if (name.compare(QLatin1String("wslib"), Qt::CaseInsensitive) != 0)
                    throw ConditionError("unknown table");
                next();
                const Token& column = next();
                if (column.kind != Tok::Identifier)
                    throw ConditionError("a column must follow the table");
                name = column.text.trimmed();
            }
            for (const store::TableColumn& c : columns_) {
                if (c.name.compare(name, Qt::CaseInsensitive) == 0) {
                    if (peek().kind == Tok::Open)
                        throw ConditionError("function calls are not conditions");
                    return {Operand::Column, c.name, c.type, {}};
                }
            }
            throw ConditionError("unknown column");
        }
        default:
            break;
        }
        throw ConditionError("a value or column is missing");
    }

    static Operand number(const QString& text) {
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (!ok)
            throw ConditionError("malformed number");
        return {Operand::Number, {}, store::JetType::Other, v};
    }

    // A value takes the form its column compares with: dates as ISO text, yes/no as Jet's -1/0
    // (the column holds 1 for a tick, so it is compared negated: 劳模 = 1 finds no one).
    QString render(const Operand& o, store::JetType against) {
        if (o.kind == Operand::Column)
            return o.type == store::JetType::Boolean ? QStringLiteral("(-%1)").arg(store::quoted(o.column))
                                                     : store::quoted(o.column);
        if (o.kind == Operand::Null)
            return QStringLiteral("NULL");
        QVariant value = o.value;
        switch (against) {
        case store::JetType::Date:
            if (o.kind == Operand::Text) {
                const std::optional<QDate> d = store::parseJetDate(o.value.toString());
                if (!d)
                    throw ConditionError("text compared with a date");
                value = store::storedDate(*d);
            } else if (o.kind != Operand::Date) {
                throw ConditionError("a date column compares with dates");
            }
            break;
        case store::JetType::Boolean:
            if (o.kind == Operand::Boolean)
                value = o.value.toInt() ? -1 : 0;
            else if (o.kind == Operand::Number)
                value = o.value;
            else
                throw ConditionError("a yes/no column compares with true or false");
            break;
        case store::JetType::Single:
        case store::JetType::Long:
            if (o.kind == Operand::Text) {
                bool ok = false;
                value = o.value.toString().trimmed().toDouble(&ok);
                if (!ok)
                    throw ConditionError("text compared with a number");
            } else if (o.kind == Operand::Boolean) {
                value = o.value.toInt() ? -1 : 0;
            } else if (o.kind == Operand::Date) {
                throw ConditionError("a date compared with a number");
            }
            break;
        case store::JetType::Text:
        case store::JetType::Memo:
            if (o.kind != Operand::Text)
                throw ConditionError("a text column compares with text");
            break;
        default:
            break;
        }
        params_ << value;
        return QStringLiteral("?");
    }

    std::vector<Token> tokens_;
    const std::vector<store::TableColumn>& columns_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    QVariantList params_;
};

} // namespace

SqlCondition parseCondition(const QString& fragment, const std::vector<store::TableColumn>& columns) {
    return Parser(fragment, columns).parse();
}

} // namespace query
