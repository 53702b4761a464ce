#pragma once

#include <QString>

namespace store {

// User passwords are kept as argon2id hashes. A stored value that is not a hash comes from an
// older database and is compared as plain text; the caller replaces it after a successful login.
QString hashPassword(const QString& password);
bool isPasswordHash(const QString& stored);

struct PasswordCheck {
    bool matches = false;
    bool needsRehash = false;
};
// Exact comparison: case-sensitive, no trimming on either side.
PasswordCheck checkPassword(const QString& stored, const QString& typed);

} // namespace store
