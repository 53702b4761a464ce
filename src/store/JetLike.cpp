#include "store/JetLike.h"

#include <sqlite3.h>

#include <memory>
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

} // namespace store
