#pragma once

#include <QHash>
#include <QString>
#include <QVariantList>

#include <unordered_map>
#include <vector>

namespace store {
class Database;
}

namespace exchange {

class SourceTable;

// Columns 0 to 60: what a merge copies from another office's persons.
constexpr int kMergedColumns = 61;

// A person is matched by personal number and name together.
struct PersonKey {
    QString number;
    QString name;
    bool operator==(const PersonKey&) const = default;
};

struct PersonKeyHash {
    std::size_t operator()(const PersonKey& k) const noexcept { return qHashMulti(0, k.number, k.name); }
};

// Persons by number and name, in stored order within each key; Null never matches. A person
// added by the merge itself has no rowid yet (0).
using PersonKeyIndex = std::unordered_map<PersonKey, std::vector<qint64>, PersonKeyHash>;

PersonKeyIndex indexPersonsByKey(store::Database& db);

// Where each merged column stands in another office's persons table; SourceError when one is
// missing.
std::vector<int> mergedColumnPositions(const SourceTable& persons);

// The next row of another office's persons table; a read that fails is that file's fault, not
// ours, and is thrown as a SourceError.
bool nextSourceRow(SourceTable& persons, QVariantList& row);

} // namespace exchange
