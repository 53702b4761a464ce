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
    QStringList sets;
    QVariantList values;
    for (const PersonColumn& c : personColumns()) {
        if (c.ordinal == 0 || c.kind == Kind::Photo || c.ordinal >= model.size())
            continue;
        sets << store::quoted(c.columnName()) + QStringLiteral(" = ?");
        values << model.at(c.ordinal);
    }
    values << rowid;
    try {
        db.exec(QStringLiteral("UPDATE wslib SET %1 WHERE rowid = ?").arg(sets.join(QStringLiteral(", "))),
                values);
    } catch (const store::SqlError& e) {
        if (!e.isConstraint())
            throw;
        throw WriteError(-1, QString::fromUtf8(e.what()));
    }
    return true;
}

} // namespace records
