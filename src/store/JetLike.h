#pragma once

#include <QRegularExpression>
#include <QString>

#include <optional>

struct sqlite3;

namespace store {

// Jet's LIKE: * any run, ? any one character, # one digit, [abc] [a-z] one of, [!abc] none of;
// letter case is ignored. Returns an invalid expression for a malformed pattern.
QRegularExpression jetLikePattern(const QString& pattern);
bool jetLike(const QString& value, const QString& pattern);

// A like pattern that a NOCASE index can answer: every character of `text` compares in NOCASE
// (ASCII letters folded) exactly as Jet's like compares it, and the pattern is `text` itself
// (`prefix` false) or `text` followed by a run of * (`prefix` true). Nothing for any other
// pattern: a wildcard inside, a letter with non-ASCII case partners (É, Ａ, or k with the Kelvin
// sign), an empty prefix.
struct NocaseLike {
    QString text;
    bool prefix = false;
};
std::optional<NocaseLike> nocaseLike(const QString& pattern);
// The least text above, in NOCASE order, every text that starts with `prefix`; empty when there
// is none to write.
QString nocaseUpperBound(const QString& prefix);

class Database;
enum class Dialect;

// `value like pattern` as a condition for `db`, with the one parameter it binds: the pattern on the
// embedded engine (its jetlike function), and on the server a regular expression for the `~`
// operator in which every letter stands with all its case partners, so it matches exactly what
// the embedded like matches (é and É, Ａ and ａ) whatever the server's locale. Throws SqlError
// for a malformed pattern on the server.
struct LikeCondition {
    QString sql;
    QString parameter;
};
LikeCondition jetLikeCondition(const Database& db, const QString& valueSql, const QString& pattern);
LikeCondition jetLikeCondition(Dialect dialect, const QString& valueSql, const QString& pattern);
// The server's regular expression for a Jet pattern; nothing for a malformed pattern.
std::optional<QString> serverLikePattern(const QString& pattern);

// Registers jetlike(value, pattern) on a connection.
void registerJetLike(sqlite3* db);

} // namespace store
