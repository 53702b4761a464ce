#include "login/ShippedDatabase.h"

#include "categories/CategoryTable.h"
#include "print/PrintSettings.h"
#include "records/PersonColumns.h"
#include "records/PersonsTable.h"
#include "settings/UserAccounts.h"
#include "store/Database.h"
#include "store/ProgramState.h"
#include "store/Schema.h"

namespace login {

using store::Database;

void writeShippedDatabase(const QString& path) {
    const std::unique_ptr<Database> db = Database::create(path);
    store::Transaction tx(*db);
    records::createTables(*db);
    settings::writeShippedUsers(*db);
    store::writeShippedSettings(*db);
    QStringList columns;
    for (const records::PersonColumn& c : records::personColumns())
        columns << c.columnName();
    categories::writeShippedCategories(*db, columns);
    print::writeShippedPrintRows(*db);
    tx.commit();
}

} // namespace login
