#include "records/ShippedDatabase.h"

#include "categories/CategoryTable.h"
#include "print/PrintSettings.h"
#include "records/PersonColumns.h"
#include "records/PersonsTable.h"
#include "settings/UserAccounts.h"
#include "store/Database.h"
#include "store/ProgramState.h"
#include "store/Schema.h"

namespace records {

using store::Database;

namespace {

QList<store::schema::ColumnSpec> personsColumns(bool withPhoto) {
    QList<store::schema::ColumnSpec> cols;
    for (const PersonColumn& c : personColumns()) {
        if (c.kind == Kind::Photo && !withPhoto)
            continue;
        cols.append({c.columnName(), declaredType(c), c.size});
    }
    return cols;
}

} // namespace

void createTables(Database& db) {
    store::schema::createTable(db, store::schema::kPersons, personsColumns(true));
    store::schema::createTable(db, store::schema::kStaging, personsColumns(false));
    store::schema::createSmallTables(db);
    addPersonIndexes(db);
}

void writeShippedDatabase(const QString& path) {
    const std::unique_ptr<Database> db = Database::create(path);
    store::Transaction tx(*db);
    createTables(*db);
    settings::writeShippedUsers(*db);
    store::writeShippedSettings(*db);
    categories::writeShippedCategories(*db);
    print::writeShippedPrintRows(*db);
    tx.commit();
}

} // namespace records
