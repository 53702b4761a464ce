#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace store {

// The leading number of a text after leading blanks: sign, digits, one decimal point.
// "12.5元" gives 12.5; text without a leading number gives 0.
double numericPrefix(const QString& text);
// True when numericPrefix reads all of the text (blanks around it aside); a blank text is whole.
bool isWholeNumber(const QString& text);

// Whole number of a numeric prefix, halves to the even neighbour.
qint64 roundHalfEven(double value);

// A date text as the persons table stores it ("YYYY-MM-DD"), from the forms an operator or an
// older file may give: 1950-03-15, 1950-3-5, 1950-03 (the first of the month), 1950/03/15.
std::optional<QDate> parseDate(const QString& text);
QString storedDate(const QDate& date);
// Date literals as Jet reads them between # marks: the forms above and month/day/year.
std::optional<QDate> parseJetDate(const QString& text);

// "yyyy-mm" for display of a stored date value; empty for Null or unreadable values.
QString displayYearMonth(const QVariant& stored);

} // namespace store

namespace store {
// A number with a fixed count of decimals, halves away from zero ("0.0", "0.00" formats).
QString formatFixed(double value, int decimals);
// The classic "##.0" format: one decimal, halves away from zero, no leading zero (0.5 reads ".5").
QString formatHashDotZero(double value);
} // namespace store
