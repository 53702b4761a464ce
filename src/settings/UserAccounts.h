#pragma once

#include <QString>

#include <vector>

namespace store {
class Database;
}

namespace settings {

// The users table `basic`: the one module that reads and writes it.
struct UserEntry {
    qint64 rowid;
    QString name;
    QString pass; // as stored: a hash, or a plain password an older database left
};

// Every user in stored order: the order of the login list.
std::vector<UserEntry> readUsers(store::Database& db);

// Replaces a user's stored password by the hash of `password` (a legacy plain one at login).
void storePasswordHash(store::Database& db, qint64 rowid, const QString& password);

// The users table: names as typed, passwords kept as hashes. Look-ups by name reach the first
// row of that name in stored order.
void addUser(store::Database& db, const QString& name, const QString& password);
// False when no row has that name.
bool changePassword(store::Database& db, const QString& name, const QString& password);
bool deleteUser(store::Database& db, const QString& name);

// Writes the one user the program is installed with: the super user, with an empty password.
void writeShippedUsers(store::Database& db);

} // namespace settings
