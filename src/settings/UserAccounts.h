#pragma once

#include <QString>

namespace store {
class Database;
}

namespace settings {

// The users table: names as typed, passwords kept as hashes. Look-ups by name reach the first
// row of that name in stored order.
void addUser(store::Database& db, const QString& name, const QString& password);
// False when no row has that name.
bool changePassword(store::Database& db, const QString& name, const QString& password);
bool deleteUser(store::Database& db, const QString& name);

} // namespace settings
