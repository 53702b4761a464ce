#include "ProgramTables.h"

#include "PgCluster.h"

#include "categories/CategoryTable.h"
#include "print/PrintSettings.h"
#include "records/PersonColumns.h"
#include "records/PersonsTable.h"
#include "settings/UserAccounts.h"
#include "store/Database.h"
#include "store/ProgramState.h"

namespace testing_support {

void writeProgramTables(store::Database& db) {
    store::Transaction tx(db);
    records::createTables(db);
    settings::writeShippedUsers(db);
    store::writeShippedSettings(db);
    QStringList columns;
    for (const records::PersonColumn& c : records::personColumns())
        columns << c.columnName();
    categories::writeShippedCategories(db, columns);
    print::writeShippedPrintRows(db);
    tx.commit();
}

std::unique_ptr<store::Database> programDatabase(store::Dialect dialect, const QString& path) {
    std::unique_ptr<store::Database> db =
        dialect == store::Dialect::Server ? store::Database::connect(PgCluster::instance().createDatabase())
                                          : store::Database::create(path);
    writeProgramTables(*db);
    return db;
}

} // namespace testing_support
