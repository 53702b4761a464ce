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

bool applyTemplate(store::Database& db, qint64 rowid) {
    const QVariantList model = readTemplate(db);
    if (model.isEmpty())
        return false;
    StoredValues values;
    for (const PersonColumn& c : personColumns()) {
        if (c.ordinal != 0 && c.kind != Kind::Photo && c.ordinal < model.size())
            values[c.ordinal] = model.at(c.ordinal);
    }
    writeStoredRow(db, store::schema::kPersons, rowid, values);
    return true;
}

} // namespace records
