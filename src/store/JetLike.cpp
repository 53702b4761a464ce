#include "store/JetLike.h"

#include "store/Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace store {

QRegularExpression jetLikePattern(const QString& pattern) {
    QString rx = QStringLiteral("\\A(?:");
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('*')) {
            rx += QStringLiteral(".*");
        } else if (c == QLatin1Char('?')) {
            rx += QLatin1Char('.');
        } else if (c == QLatin1Char('#')) {
            rx += QStringLiteral("[0-9]");
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = pattern.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                return QRegularExpression(QStringLiteral("(")); // invalid on purpose
            QString set = pattern.mid(i + 1, close - i - 1);
            QString cls = QStringLiteral("[");
            if (set.startsWith(QLatin1Char('!'))) {
                cls += QLatin1Char('^');
                set.remove(0, 1);
            }
            if (set.isEmpty()) {
                rx += QStringLiteral("(?:)"); // Jet: "[]" matches the empty string
                i = close;
                continue;
            }
            for (qsizetype k = 0; k < set.size(); ++k) {
                const QChar s = set.at(k);
                if (s == QLatin1Char('-') && k > 0 && k + 1 < set.size())
                    cls += QLatin1Char('-');
                else
                    cls += QRegularExpression::escape(QString(s));
            }
            rx += cls + QLatin1Char(']');
            i = close;
        } else {
            rx += QRegularExpression::escape(QString(c));
        }
    }
    rx += QStringLiteral(")\\z");
    return QRegularExpression(rx, QRegularExpression::CaseInsensitiveOption |
                                      QRegularExpression::DotMatchesEverythingOption |
                                      QRegularExpression::UseUnicodePropertiesOption);
}

bool jetLike(const QString& value, const QString& pattern) {
    const QRegularExpression rx = jetLikePattern(pattern);
    return rx.isValid() && rx.match(value).hasMatch();
}

namespace {

// Characters whose case Jet's like and NOCASE fold alike: ASCII non-letters, ASCII letters whose
// only partner is the other ASCII case, and characters without any case mapping to or from them.
class NocaseSafe {
public:
    NocaseSafe() : linked_(0x110000, false) {
        for (char32_t c = 0; c < 0x110000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            for (char32_t m :
                 {QChar::toLower(c), QChar::toUpper(c), QChar::toTitleCase(c), QChar::toCaseFolded(c)}) {
                if (m == c)
                    continue;
                linked_[c] = true;
                linked_[m] = true;
                if (c < 128 && m >= 128)
                    outside_[c | 0x20] = true;
                if (m < 128 && c >= 128)
                    outside_[m | 0x20] = true;
            }
        }
    }
    bool operator()(char32_t c) const {
        if (c < 128) {
            const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
            return !letter || !outside_[c | 0x20];
        }
        return !linked_[c];
    }

private:
    std::vector<bool> linked_;
    bool outside_[128] = {};
};

// The last pattern stays compiled: a query applies one pattern to every row.
struct PatternCache {
    QString pattern;
    QRegularExpression rx;
};

void likeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto* cache = static_cast<PatternCache*>(sqlite3_user_data(ctx));
    const auto text = [](sqlite3_value* v) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    };
    const QString pattern = text(argv[1]);
    if (pattern != cache->pattern || !cache->rx.isValid()) {
        cache->pattern = pattern;
        cache->rx = jetLikePattern(pattern);
    }
    if (!cache->rx.isValid()) {
        sqlite3_result_error(ctx, "malformed like pattern", -1);
        return;
    }
    sqlite3_result_int(ctx, cache->rx.match(text(argv[0])).hasMatch() ? 1 : 0);
}

} // namespace

std::optional<NocaseLike> nocaseLike(const QString& pattern) {
    static const NocaseSafe safe;
    NocaseLike like;
    like.text = pattern;
    while (like.text.endsWith(QLatin1Char('*'))) {
        like.text.chop(1);
        like.prefix = true;
    }
    if (like.prefix && like.text.isEmpty())
        return std::nullopt;
    for (char32_t c : like.text.toUcs4()) {
        if (c == '*' || c == '?' || c == '#' || c == '[' || !safe(c))
            return std::nullopt;
    }
    return like;
}

QString nocaseUpperBound(const QString& prefix) {
    QList<uint> folded = prefix.toLower().toUcs4();
    if (folded.isEmpty() || folded.back() >= 0x10FFFF || folded.back() == 0xD7FF)
        return {};
    ++folded.back();
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(folded.constData()), folded.size());
}

void registerJetLike(sqlite3* db) {
    sqlite3_create_function_v2(db, "jetlike", 2, SQLITE_UTF8, new PatternCache, &likeFunction, nullptr,
                               nullptr, [](void* p) { delete static_cast<PatternCache*>(p); });
}

namespace {

// Every character with a case mapping, grouped with the characters the embedded like takes for it
// without regard to case: its lower, upper and title case and all that fold to the same.
class CasePartners {
public:
    CasePartners() {
        for (char32_t c = 0; c < 0x110000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = QChar::toCaseFolded(c);
            if (f != c || QChar::toUpper(c) != c || QChar::toLower(c) != c || QChar::toTitleCase(c) != c)
                byFold_[f].insert(c);
        }
    }
    std::set<char32_t> of(char32_t c) const {
        std::set<char32_t> out{c, QChar::toLower(c), QChar::toUpper(c), QChar::toTitleCase(c)};
        if (const auto it = byFold_.find(QChar::toCaseFolded(c)); it != byFold_.end())
            out.insert(it->second.begin(), it->second.end());
        return out;
    }
    const std::map<char32_t, std::set<char32_t>>& all() const { return byFold_; }

private:
    std::map<char32_t, std::set<char32_t>> byFold_;
};

const CasePartners& casePartners() {
    static const CasePartners partners;
    return partners;
}

// One character in the server's regular expressions: ASCII letters and digits as they are,
// everything else as a \u escape, which means the character itself inside brackets too.
QString regexChar(char32_t c) {
    if (c < 128 && std::isalnum(int(c)))
        return QString(QChar(c));
    if (c <= 0xFFFF)
        return QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    return QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'));
}

} // namespace

std::optional<QString> serverLikePattern(const QString& pattern) {
    const CasePartners& partners = casePartners();
    const QList<uint> chars = pattern.toUcs4();
    QString rx = QStringLiteral("^(?:");
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const char32_t c = chars.at(i);
        if (c == '*') {
            rx += QStringLiteral(".*");
        } else if (c == '?') {
            rx += QLatin1Char('.');
        } else if (c == '#') {
            rx += QStringLiteral("[0-9]");
        } else if (c == '[') {
            const qsizetype close = chars.indexOf(uint(']'), i + 1);
            if (close < 0)
                return std::nullopt;
            QList<uint> set = chars.mid(i + 1, close - i - 1);
            i = close;
            const bool negated = !set.isEmpty() && set.front() == '!';
            if (negated)
                set.removeFirst();
            if (set.isEmpty()) {
                rx += QStringLiteral("(?:)"); // Jet: "[]" matches the empty string
                continue;
            }
            std::set<char32_t> singles;
            QString cls = negated ? QStringLiteral("[^") : QStringLiteral("[");
            for (qsizetype k = 0; k < set.size(); ++k) {
                const char32_t s = set.at(k);
                if (k + 2 < set.size() && set.at(k + 1) == '-') {
                    const char32_t to = set.at(k + 2);
                    if (to < s)
                        return std::nullopt;
                    cls += regexChar(s) + QLatin1Char('-') + regexChar(to);
                    // The partners of the letters in the range, found from the side that is shorter.
                    if (to - s < 0x4000) {
                        for (char32_t r = s; r <= to; ++r)
                            for (char32_t p : partners.of(r))
                                singles.insert(p);
                    } else {
                        for (const auto& [fold, group] : partners.all())
                            if (std::any_of(group.begin(), group.end(),
                                            [&](char32_t g) { return g >= s && g <= to; }))
                                for (char32_t g : group)
                                    for (char32_t p : partners.of(g))
                                        singles.insert(p);
                    }
                    k += 2;
                } else {
                    for (char32_t p : partners.of(s))
                        singles.insert(p);
                }
            }
            for (char32_t p : singles)
                cls += regexChar(p);
            rx += cls + QLatin1Char(']');
        } else {
            const std::set<char32_t> alike = partners.of(c);
            if (alike.size() == 1) {
                rx += regexChar(c);
            } else {
                rx += QLatin1Char('[');
                for (char32_t p : alike)
                    rx += regexChar(p);
                rx += QLatin1Char(']');
            }
        }
    }
    return rx + QStringLiteral(")$");
}

LikeCondition jetLikeCondition(const Database& db, const QString& valueSql, const QString& pattern) {
    return jetLikeCondition(db.dialect(), valueSql, pattern);
}

LikeCondition jetLikeCondition(Dialect dialect, const QString& valueSql, const QString& pattern) {
    if (dialect == Dialect::Embedded)
        return {QStringLiteral("jetlike(%1, ?)").arg(valueSql), pattern};
    const std::optional<QString> rx = serverLikePattern(pattern);
    if (!rx)
        throw SqlError(SqlFailure::Other, QStringLiteral("malformed like pattern"));
    // As text, so the match is the expression's own and not citext's case folding.
    return {QStringLiteral("(%1)::text ~ ?").arg(valueSql), *rx};
}

} // namespace store
