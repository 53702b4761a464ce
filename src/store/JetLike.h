#pragma once

#include <QRegularExpression>
#include <QString>

struct sqlite3;

namespace store {

// Jet's LIKE: * any run, ? any one character, # one digit, [abc] [a-z] one of, [!abc] none of;
// letter case is ignored. Returns an invalid expression for a malformed pattern.
QRegularExpression jetLikePattern(const QString& pattern);
bool jetLike(const QString& value, const QString& pattern);

// Registers jetlike(value, pattern) on a connection.
void registerJetLike(sqlite3* db);

} // namespace store
