#include "categories/CategoryTable.h"

#include "store/Database.h"

namespace categories {

void clearAllValues(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM km WHERE trim(coalesce(kmbz, '')) <> ''"));
}

} // namespace categories
