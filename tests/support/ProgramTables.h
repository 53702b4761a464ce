#pragma once

#include <QString>

#include <memory>

namespace store {
class Database;
enum class Dialect;
} // namespace store

namespace testing_support {

// The seven tables with the rows the program ships with, made in `db` on either engine.
void writeProgramTables(store::Database& db);

// A new database of this program: the file `path`, or a fresh database on the test cluster.
std::unique_ptr<store::Database> programDatabase(store::Dialect dialect, const QString& path);

} // namespace testing_support
