#pragma once

#include <QByteArray>
#include <QString>

namespace store {
class Database;
}

namespace maintenance_test {

// Persons 000001 … `count`, each with a photo of its own bytes.
void addPersons(store::Database& db, int count);
QByteArray photoFor(int n);

// Overwrites part of one page of the persons table in a closed file, as a failing disk would.
void damagePersonsPage(const QString& path);

} // namespace maintenance_test
