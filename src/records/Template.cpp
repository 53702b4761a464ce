#include "records/Template.h"

#include "records/PersonsTable.h"
#include "records/StagingTable.h"
#include "store/Database.h"
#include "store/Schema.h"

namespace records {

void saveTemplate(store::Database& db, Entries entries) {
    entries.erase(0);
    store::Transaction tx(db);
    QVariant rowid = firstStagingRow(db);
    if (rowid.isNull())
        rowid = addEmptyStagingRow(db);
    writeRow(db, store::schema::kStaging, rowid.toLongLong(), entries);
    tx.commit();
}

QVariantList readTemplate(store::Database& db) {
    const QVariant rowid = firstStagingRow(db);
    return rowid.isNull() ? QVariantList() : readRow(db, store::schema::kStaging, rowid.toLongLong());
}

bool applyTemplate(store::Database& db, qint64 rowid, const Author& author) {
    const QVariantList model = readTemplate(db);
    if (model.isEmpty())
        return false;
    StoredValues values;
    for (const PersonColumn& c : personColumns()) {
        if (c.ordinal != 0 && c.kind != Kind::Photo && c.ordinal < model.size())
            values[c.ordinal] = model.at(c.ordinal);
    }
    writeStoredPerson(db, rowid, values, author, kHistoryAdded);
    return true;
}

} // namespace records
