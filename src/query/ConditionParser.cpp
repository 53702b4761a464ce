#include "query/ConditionParser.h"

#include "store/Database.h"
#include "store/JetLike.h"
#include "store/JetValues.h"
#include "store/Schema.h"

#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace query {

ConditionError::ConditionError(const QString& reason)
    : std::runtime_error(reason.toStdString()), reason_(reason) {}

namespace {

enum class Tok { Identifier, Text, Date, Number, Operator, Open, Close, Comma, Dot, End };

// Far beyond any condition an operator writes; what a hostile file nests deeper is refused
// before the recursion can exhaust a thread's stack.
constexpr int kMaxDepth = 64;
// The engine nests a chain a and b and c ... one level per term and refuses 1,000 levels; a
// chain longer than this is grouped as a balanced tree instead.
constexpr qsizetype kFlatChain = 16;
// The engine binds at most 999 parameters to a statement.
constexpr qsizetype kMaxBound = 999;

// The line that tells the operator where the condition stopped making sense.
ConditionError notUnderstood(const QString& written, const QString& expected) {
    return ConditionError(QStringLiteral("看不懂的地方：%1，%2。").arg(written, expected));
}

QString quotedPart(const QString& text) {
    constexpr qsizetype kShown = 30;
    return QStringLiteral("“%1”").arg(text.size() > kShown ? text.left(kShown) + QStringLiteral("…") : text);
}

struct Token {
    Tok kind;
    QString text;

    // As the operator wrote it, for messages.
    QString written() const {
        if (kind == Tok::End)
            return QStringLiteral("条件的末尾");
        return quotedPart(kind == Tok::Text ? QLatin1Char('\'') + text + QLatin1Char('\'') : text);
    }
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
            const qsizetype start = i;
            ++i;
            for (;;) {
                if (i >= n)
                    throw ConditionError(QStringLiteral("引号没有配对：%1。").arg(quotedPart(s.mid(start))));
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
                throw ConditionError(QStringLiteral("#号没有配对：%1。").arg(quotedPart(s.mid(i))));
            tokens.push_back({Tok::Date, s.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = s.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                throw ConditionError(QStringLiteral("方括号没有配对：%1。").arg(quotedPart(s.mid(i))));
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
                throw ConditionError(QStringLiteral("“;”结束了条件，后面不能再有%1。")
                                         .arg(quotedPart(s.mid(i + 1).trimmed())));
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
            throw notUnderstood(quotedPart(QString(c)), QStringLiteral("条件中不能有这个字符"));
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
    QString written = {}; // as the operator wrote it, for messages
};

// Joins a chain of terms; a long one as a balanced tree of parenthesised halves.
QString chain(const QStringList& terms, const QString& joint, qsizetype from, qsizetype to) {
    if (to - from <= kFlatChain)
        return terms.mid(from, to - from).join(joint);
    const qsizetype middle = from + (to - from) / 2;
    return QLatin1Char('(') + chain(terms, joint, from, middle) + QStringLiteral(") ") + joint.trimmed() +
           QStringLiteral(" (") + chain(terms, joint, middle, to) + QLatin1Char(')');
}

// A value written into the SQL itself: only what this parser made from a literal it read whole.
QString sqlLiteral(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            throw ConditionError(QStringLiteral("数字太大。"));
        const QString text = QString::number(d, 'g', 17);
        return d < 0 ? QLatin1Char('(') + text + QLatin1Char(')') : text;
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QStringLiteral("(%1)").arg(value.toLongLong());
    default:
        break;
    }
    QString text = value.toString();
    if (text.contains(QChar(0)))
        throw ConditionError(QStringLiteral("引号中的文字含有不能处理的字符。"));
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

class Parser {
public:
    // `literals`: values go into the SQL as literals instead of parameters.
    Parser(const QString& fragment, const std::vector<store::TableColumn>& columns, bool literals,
           store::Dialect dialect)
        : tokens_(tokenize(fragment)), columns_(columns), literals_(literals), dialect_(dialect) {}

    SqlCondition parse() {
        if (peek().kind == Tok::End)
            throw ConditionError(QStringLiteral("条件是空的。"));
        QString sql = orExpr();
        if (peek().kind != Tok::End)
            throw notUnderstood(peek().written(), peek().kind == Tok::Close
                                                      ? QStringLiteral("这个“)”前面没有对应的“(”")
                                                      : QStringLiteral("条件到这里应当已经结束"));
        return {sql, params_};
    }

private:
    const Token& peek() const { return tokens_[pos_]; }
    const Token& next() { return tokens_[pos_++]; }

    QString orExpr() {
        QStringList terms{andExpr()};
        while (isKeyword(peek(), "or")) {
            next();
            terms << andExpr();
        }
        return chain(terms, QStringLiteral(" OR "), 0, terms.size());
    }

    QString andExpr() {
        QStringList terms{notExpr()};
        while (isKeyword(peek(), "and")) {
            next();
            terms << notExpr();
        }
        return chain(terms, QStringLiteral(" AND "), 0, terms.size());
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
            throw ConditionError(QStringLiteral("括号或not套得太深（最多%1层）。").arg(kMaxDepth));
    }

    QString predicate() {
        if (peek().kind == Tok::Open) {
            next();
            enter();
            const QString inner = orExpr();
            if (peek().kind != Tok::Close)
                throw notUnderstood(peek().written(), QStringLiteral("这里应当是与“(”对应的“)”"));
            next();
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
            if (!isKeyword(peek(), "null"))
                throw notUnderstood(peek().written(), QStringLiteral("is后面应当是null或not null"));
            next();
            return render(left, store::JetType::Other) +
                   (negated ? QStringLiteral(" IS NOT NULL") : QStringLiteral(" IS NULL"));
        }
        bool negated = false;
        if (isKeyword(peek(), "not")) {
            next();
            negated = true;
            if (!isKeyword(peek(), "like") && !isKeyword(peek(), "between") && !isKeyword(peek(), "in"))
                throw notUnderstood(peek().written(), QStringLiteral("这里的not后面应当是like、between或in"));
        }
        const QString no = negated ? QStringLiteral("NOT ") : QString();
        if (isKeyword(peek(), "between")) {
            next();
            if (left.kind != Operand::Column)
                throw notUnderstood(left.written, QStringLiteral("between前面应当是字段名"));
            const Operand low = operand();
            if (!isKeyword(peek(), "and"))
                throw notUnderstood(peek().written(), QStringLiteral("这里应当是between…and…的and"));
            next();
            const Operand high = operand();
            // Jet takes the bounds in either order: between 3000 and 1000 is between 1000 and 3000.
            const QString column = render(left, left.type);
            const QString forward =
                render(low, left.type) + QStringLiteral(" AND ") + render(high, left.type);
            const QString backward =
                render(high, left.type) + QStringLiteral(" AND ") + render(low, left.type);
            return no + QStringLiteral("(%1 BETWEEN %2 OR %1 BETWEEN %3)").arg(column, forward, backward);
        }
        if (isKeyword(peek(), "in")) {
            next();
            if (left.kind != Operand::Column)
                throw notUnderstood(left.written, QStringLiteral("in前面应当是字段名"));
            if (peek().kind != Tok::Open)
                throw notUnderstood(peek().written(), QStringLiteral("in后面应当是括号中的值"));
            next();
            QStringList values;
            for (;;) {
                const Operand value = operand();
                if (value.kind == Operand::Column)
                    throw notUnderstood(value.written, QStringLiteral("in的括号中只能是值，不能是字段"));
                values << render(value, left.type);
                const Token& t = next();
                if (t.kind == Tok::Close)
                    break;
                if (t.kind != Tok::Comma)
                    throw notUnderstood(t.written(), QStringLiteral("这里应当是逗号或“)”"));
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
                throw notUnderstood(pattern.written, QStringLiteral("like后面应当是引号中的文字"));
            if (pattern.kind == Operand::Text && !store::jetLikePattern(pattern.value.toString()).isValid())
                throw notUnderstood(pattern.written, QStringLiteral("like的样式有误（方括号没有配对）"));
            if (const std::optional<QString> indexed = indexedLike(left, pattern))
                return no + *indexed;
            if (pattern.kind == Operand::Column) {
                // The server matches a pattern given as a value only.
                if (server())
                    throw notUnderstood(pattern.written, QStringLiteral("like后面应当是引号中的文字"));
                return no +
                       QStringLiteral("jetlike(%1, %2)")
                           .arg(render(left, store::JetType::Text), render(pattern, store::JetType::Text));
            }
            return no + likeSql(render(left, store::JetType::Text), pattern.value.toString());
        }
        const Token& op = next();
        if (op.kind != Tok::Operator || op.text == QLatin1String("-"))
            throw notUnderstood(op.written(), QStringLiteral("这里应当是比较符号（=、<>、<、>、<=、>=）"));
        const Operand right = operand();
        if (left.kind != Operand::Column && right.kind != Operand::Column)
            throw notUnderstood(left.written, QStringLiteral("比较的一边应当是人员表的字段"));
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
        // The server's citext columns compare as NOCASE does without being told.
        const QString nocase = server() ? QString() : QStringLiteral(" COLLATE NOCASE");
        if (!like->prefix) {
            return QStringLiteral("%1 = %2%3").arg(col, slot(like->text), nocase);
        }
        const QString above = store::nocaseUpperBound(like->text);
        if (above.isEmpty())
            return std::nullopt;
        // One after the other: the parameters are bound in the order they are taken.
        const QString from = slot(like->text);
        const QString to = slot(above);
        return QStringLiteral("(%1 >= %2%4 AND %1 < %3%4 AND %5)")
            .arg(col, from, to, nocase, likeSql(col, pattern.value.toString()));
    }

    bool server() const { return dialect_ == store::Dialect::Server; }

    // The engine's like of `valueSql` against a pattern taken as a value.
    QString likeSql(const QString& valueSql, const QString& pattern) {
        const store::LikeCondition c = store::jetLikeCondition(dialect_, valueSql, pattern);
        const qsizetype mark = c.sql.lastIndexOf(QLatin1Char('?'));
        return c.sql.left(mark) + slot(c.parameter) + c.sql.mid(mark + 1);
    }

    Operand operand() {
        const Token t = next();
        const QString written = t.written();
        switch (t.kind) {
        case Tok::Text:
            return {Operand::Text, {}, store::JetType::Other, t.text, written};
        case Tok::Date: {
            const std::optional<QString> d = jetDateTime(t.text);
            if (!d)
                throw notUnderstood(written, QStringLiteral("这里应当是日期（如1950-03-15或1950-03）"));
            return {Operand::Date, {}, store::JetType::Other, *d, written};
        }
        case Tok::Number:
            return number(t.text);
        case Tok::Operator:
            if (t.text == QLatin1String("-") && peek().kind == Tok::Number)
                return number(QLatin1Char('-') + next().text);
            break;
        case Tok::Identifier: {
            if (isKeyword(t, "true"))
                return {Operand::Boolean, {}, store::JetType::Other, 1, written};
            if (isKeyword(t, "false"))
                return {Operand::Boolean, {}, store::JetType::Other, 0, written};
            if (isKeyword(t, "null"))
                return {Operand::Null, {}, store::JetType::Other, QVariant(), written};
            // The persons table may qualify its columns: wslib.姓名, [wslib].[姓名].
            QString name = t.text.trimmed();
            if (peek().kind == Tok::Dot) {
                if (name.compare(store::schema::kPersons, Qt::CaseInsensitive) != 0)
                    throw notUnderstood(
                        written, QStringLiteral("条件只能用人员表（%1）的字段").arg(store::schema::kPersons));
                next();
                const Token& column = next();
                if (column.kind != Tok::Identifier)
                    throw notUnderstood(column.written(), QStringLiteral("这里应当是字段名"));
                name = column.text.trimmed();
            }
            for (const store::TableColumn& c : columns_) {
                if (c.name.compare(name, Qt::CaseInsensitive) == 0) {
                    if (peek().kind == Tok::Open)
                        throw notUnderstood(quotedPart(name + QStringLiteral("(")),
                                            QStringLiteral("条件中不能用函数"));
                    return {Operand::Column, c.name, c.type, {}, quotedPart(name)};
                }
            }
            throw notUnderstood(quotedPart(name), QStringLiteral("它不是人员表的字段"));
        }
        default:
            break;
        }
        throw notUnderstood(written, QStringLiteral("这里应当是值或字段名"));
    }

    static Operand number(const QString& text) {
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            throw notUnderstood(quotedPart(text), QStringLiteral("这里应当是数字"));
        return {Operand::Number, {}, store::JetType::Other, v, quotedPart(text)};
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
                    throw notUnderstood(o.written, QStringLiteral("这里应当是日期（如1950-03-15或1950-03）"));
                value = store::storedDate(*d);
            } else if (o.kind != Operand::Date) {
                throw notUnderstood(o.written, QStringLiteral("这里应当是日期（如#1950-03-15#）"));
            }
            // The file compares a date with a time after it as text, later than the day itself;
            // the server's date column meets a time stamp alike.
            if (server())
                return QStringLiteral("CAST(%1 AS timestamp)").arg(slot(value));
            break;
        case store::JetType::Boolean:
            if (o.kind == Operand::Boolean)
                value = o.value.toInt() ? -1 : 0;
            else if (o.kind == Operand::Number)
                value = o.value;
            else
                throw notUnderstood(o.written, QStringLiteral("这里应当是true或false"));
            break;
        case store::JetType::Single:
        case store::JetType::Long:
            if (o.kind == Operand::Text) {
                bool ok = false;
                value = o.value.toString().trimmed().toDouble(&ok);
                if (!ok)
                    throw notUnderstood(o.written, QStringLiteral("这里应当是数字"));
            } else if (o.kind == Operand::Boolean) {
                value = o.value.toInt() ? -1 : 0;
            } else if (o.kind == Operand::Date) {
                throw notUnderstood(o.written, QStringLiteral("这里应当是数字"));
            }
            break;
        case store::JetType::Text:
        case store::JetType::Memo:
            if (o.kind != Operand::Text)
                throw notUnderstood(o.written, QStringLiteral("这里应当是引号中的文字"));
            break;
        default:
            break;
        }
        return slot(value);
    }

    // Where a value goes into the SQL: a parameter, or for very long conditions a literal.
    QString slot(const QVariant& value) {
        if (literals_)
            return sqlLiteral(value);
        params_ << value;
        return QStringLiteral("?");
    }

    std::vector<Token> tokens_;
    const std::vector<store::TableColumn>& columns_;
    bool literals_;
    store::Dialect dialect_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    QVariantList params_;
};

} // namespace

SqlCondition parseCondition(const QString& fragment, const std::vector<store::TableColumn>& columns,
                            store::Dialect dialect) {
    SqlCondition condition = Parser(fragment, columns, false, dialect).parse();
    // Thousands of values (a long or-chain) are more than the engine binds.
    if (condition.params.size() > kMaxBound)
        condition = Parser(fragment, columns, true, dialect).parse();
    return condition;
}

} // namespace query
