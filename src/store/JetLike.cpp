#include "store/JetLike.h"

#include <sqlite3.h>

#include <memory>

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

void registerJetLike(sqlite3* db) {
    sqlite3_create_function_v2(db, "jetlike", 2, SQLITE_UTF8, new PatternCache, &likeFunction, nullptr,
                               nullptr, [](void* p) { delete static_cast<PatternCache*>(p); });
}

} // namespace store
