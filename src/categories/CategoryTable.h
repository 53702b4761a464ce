#pragma once

#include <QString>
#include <QStringList>

namespace store {
class Database;
}

namespace categories {

// Deletes every value row of every category; definition rows stay.
void clearAllValues(store::Database& db);

} // namespace categories
