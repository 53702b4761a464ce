#include "query/ConditionParser.h"

#include "store/Database.h"
#include "store/JetLike.h"
#include "store/JetValues.h"

#include <optional>

namespace query {

namespace {

enum class Tok { Identifier, Text, Date, Number, Operator, Open, Close, End };

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
            tokens.push_back({Tok::Number, s.mid(i, j - i)});
            i = j;
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

    QString notExpr() {
        if (isKeyword(peek(), "not")) {
            next();
            return QStringLiteral("NOT ") + notExpr();
        }
        return predicate();
    }

    QString predicate() {
        if (peek().kind == Tok::Open) {
            next();
            const QString inner = orExpr();
            if (next().kind != Tok::Close)
                throw ConditionError("unbalanced parenthesis");
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
            if (!isKeyword(peek(), "like"))
                throw ConditionError("NOT must be followed by LIKE here");
        }
        if (isKeyword(peek(), "like")) {
            next();
            const Operand pattern = operand();
            if (pattern.kind != Operand::Text && pattern.kind != Operand::Column)
                throw ConditionError("LIKE takes a text pattern");
            if (pattern.kind == Operand::Text && !store::jetLikePattern(pattern.value.toString()).isValid())
                throw ConditionError("malformed like pattern");
            const QString sql =
                QStringLiteral("jetlike(%1, %2)")
                    .arg(render(left, store::JetType::Text), render(pattern, store::JetType::Text));
            return negated ? QStringLiteral("NOT ") + sql : sql;
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

    Operand operand() {
        const Token t = next();
        switch (t.kind) {
        case Tok::Text:
            return {Operand::Text, {}, store::JetType::Other, t.text};
        case Tok::Date: {
            const std::optional<QDate> d = store::parseJetDate(t.text);
            if (!d)
                throw ConditionError("not a date");
            return {Operand::Date, {}, store::JetType::Other, store::storedDate(*d)};
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
            for (const store::TableColumn& c : columns_) {
                if (c.name.compare(t.text.trimmed(), Qt::CaseInsensitive) == 0) {
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

    // A value takes the form its column compares with: dates as ISO text, yes/no as 0 or 1.
    QString render(const Operand& o, store::JetType against) {
        if (o.kind == Operand::Column)
            return store::quoted(o.column);
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
            if (o.kind == Operand::Number || o.kind == Operand::Boolean)
                value = o.value.toDouble() != 0 ? 1 : 0;
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
    QVariantList params_;
};

} // namespace

SqlCondition parseCondition(const QString& fragment, const std::vector<store::TableColumn>& columns) {
    return Parser(fragment, columns).parse();
}

} // namespace query
