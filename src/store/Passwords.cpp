#include "store/Passwords.h"

#include <sodium.h>

#include <stdexcept>

namespace store {

namespace {

// Cost kept moderate (two passes, 19 MiB) so that a login answers at once on an office PC.
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = 19u * 1024u * 1024u;

void ensureSodium() {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium failed to initialise");
}

} // namespace

QString hashPassword(const QString& password) {
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), quint64(utf8.size()), kOpsLimit, kMemLimit) != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return QString::fromLatin1(out);
}

bool isPasswordHash(const QString& stored) {
    return stored.startsWith(QLatin1String("$argon2id$"));
}

PasswordCheck checkPassword(const QString& stored, const QString& typed) {
    if (!isPasswordHash(stored))
        return {stored == typed, stored == typed};
    ensureSodium();
    const QByteArray hash = stored.toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    const bool ok = crypto_pwhash_str_verify(hash.constData(), utf8.constData(), quint64(utf8.size())) == 0;
    return {ok, ok && crypto_pwhash_str_needs_rehash(hash.constData(), kOpsLimit, kMemLimit) != 0};
}

} // namespace store
