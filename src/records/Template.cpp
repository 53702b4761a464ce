#include "records/Template.h"

#include "store/Database.h"
#include "store/Schema.h"

namespace records {

void saveTemplate(store::Database& db, Entries entries) {
    entries.erase(0);
    store::Transaction tx(db);
    QVariant rowid = db.scalar(QStringLiteral("SELECT rowid FROM wslib0 ORDER BY rowid LIMIT 1"));
    if (rowid.isNull()) {
        db.exec(QStringLiteral("INSERT INTO wslib0 DEFAULT VALUES"));
        rowid = db.lastInsertRowId();
    }
    writeRow(db, store::schema::kStaging, rowid.toLongLong(), entries);
    tx.commit();
}

QVariantList readTemplate(store::Database& db) {
    const QVariant rowid = db.scalar(QStringLiteral("SELECT rowid FROM wslib0 ORDER BY rowid LIMIT 1"));
    return rowid.isNull() ? QVariantList() : readRow(db, store::schema::kStaging, rowid.toLongLong());
}

} // namespace records
