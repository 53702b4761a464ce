#include "stats/PersonsScope.h"

#include "records/PersonsStats.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStats)

namespace stats {

PersonsScope::PersonsScope(store::Database& db, const std::vector<qint64>& rows)
    : db_(db), persons_(records::narrowPersons(db, rows)) {}

PersonsScope::~PersonsScope() {
    try {
        records::widenPersons(db_);
    } catch (const std::exception& e) {
        qCWarning(lcStats) << "the narrowed persons table stays on its connection:" << e.what();
    }
}

} // namespace stats
