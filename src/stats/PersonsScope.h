#pragma once

#include <vector>

#include <QtGlobal>

namespace store {
class Database;
}

namespace stats {

// Narrows the persons table to the given rows on one connection for as long as it lives (see
// records::narrowPersons), so every count that reads the persons table (the report's among them)
// counts only them. Only for a connection of its own, such as a job's: every statement on the
// connection sees the narrowed table.
class PersonsScope {
public:
    PersonsScope(store::Database& db, const std::vector<qint64>& rows);
    ~PersonsScope();
    PersonsScope(const PersonsScope&) = delete;
    PersonsScope& operator=(const PersonsScope&) = delete;

    // How many of the rows are still persons.
    qint64 persons() const { return persons_; }

private:
    store::Database& db_;
    qint64 persons_ = 0;
};

} // namespace stats
