#include "store/JetValues.h"

#include <QRegularExpression>
#include <QVariant>

#include <cmath>

namespace store {

namespace {
// Sign, digits, one decimal point: no exponent, no grouping.
constexpr QLatin1String kNumber("[+-]?(?:\\d+\\.?\\d*|\\.\\d+)");
} // namespace

double numericPrefix(const QString& text) {
    static const QRegularExpression prefix(QStringLiteral("^\\s*(%1)").arg(kNumber));
    const QRegularExpressionMatch m = prefix.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

bool isWholeNumber(const QString& text) {
    static const QRegularExpression whole(QStringLiteral("^\\s*(?:%1)?\\s*$").arg(kNumber));
    return whole.match(text).hasMatch();
}

qint64 roundHalfEven(double value) {
    return qint64(std::nearbyint(value));
}

std::optional<QDate> parseDate(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{4})[-/.](\\d{1,2})(?:[-/.](\\d{1,2}))?(?:[ T]00:00:00)?\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int day = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> parseJetDate(const QString& text) {
    if (auto iso = parseDate(text))
        return iso;
    static const QRegularExpression mdy(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    const QRegularExpressionMatch m = mdy.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

QString storedDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString displayYearMonth(const QVariant& stored) {
    if (stored.isNull())
        return QString();
    const std::optional<QDate> date = parseDate(stored.toString());
    return date ? date->toString(QStringLiteral("yyyy-MM")) : QString();
}

} // namespace store

namespace store {
QString formatFixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return QString::number(std::round(value * scale) / scale, 'f', decimals);
}

QString formatHashDotZero(double value) {
    const QString fixed = formatFixed(value, 1);
    if (fixed.startsWith(QLatin1String("0.")))
        return fixed.mid(1);
    if (fixed.startsWith(QLatin1String("-0.")))
        return QLatin1Char('-') + fixed.mid(2);
    return fixed;
}
} // namespace store
