#include "settings/UserAccounts.h"

#include "store/Database.h"
#include "store/Passwords.h"
#include "store/ProgramState.h"
#include "store/Schema.h"

namespace settings {

namespace {

QVariant firstRowNamed(store::Database& db, const QString& name) {
    // The login tells names apart by case, as the list shows them.
    return db.scalar(db.sql(QStringLiteral("SELECT rowid FROM basic WHERE name = ? COLLATE BINARY ORDER BY "
                                           "rowid LIMIT 1"),
                            QStringLiteral("SELECT rowid FROM basic WHERE name::text = ?::text ORDER BY "
                                           "rowid LIMIT 1")),
                     {name});
}

} // namespace

std::vector<UserEntry> readUsers(store::Database& db) {
    std::vector<UserEntry> users;
    store::Statement st = db.prepare(QStringLiteral("SELECT rowid, name, pass FROM basic ORDER BY rowid"));
    while (st.step())
        users.push_back({st.integer(0), st.text(1), st.text(2)});
    return users;
}

void storePasswordHash(store::Database& db, qint64 rowid, const QString& password) {
    db.exec(QStringLiteral("UPDATE basic SET pass = ? WHERE rowid = ?"),
            {store::hashPassword(password), rowid});
}

void addUser(store::Database& db, const QString& name, const QString& password) {
    db.exec(QStringLiteral("INSERT INTO basic VALUES (?, ?, 0)"), {name, store::hashPassword(password)});
}

bool changePassword(store::Database& db, const QString& name, const QString& password) {
    const QVariant rowid = firstRowNamed(db, name);
    if (rowid.isNull())
        return false;
    db.exec(QStringLiteral("UPDATE basic SET pass = ? WHERE rowid = ?"),
            {store::hashPassword(password), rowid});
    return true;
}

bool deleteUser(store::Database& db, const QString& name) {
    const QVariant rowid = firstRowNamed(db, name);
    if (rowid.isNull())
        return false;
    db.exec(QStringLiteral("DELETE FROM basic WHERE rowid = ?"), {rowid});
    return true;
}

void writeShippedUsers(store::Database& db) {
    db.exec(QStringLiteral("INSERT INTO %1 VALUES (?, ?, 0)").arg(store::quoted(store::schema::kUsers)),
            {store::kSuperUser, store::hashPassword(QString())});
}

} // namespace settings
