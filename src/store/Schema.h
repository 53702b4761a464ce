#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace store {

class Database;

// Jet kinds of a column, read back from the declared type that the schema gives it.
enum class JetType {
    Boolean = 1,
    Long = 4,
    Single = 6,
    Date = 8,
    Text = 10,
    LongBinary = 11,
    Memo = 12,
    Other = 0
};

JetType jetTypeOf(const QString& declaredType);
// The n of TEXT(n); 0 for other types.
int textSize(const QString& declaredType);

// A column as the file declares it: the kind is read from the file, not from a list in code.
struct TableColumn {
    QString name;
    QString declaredType;
    JetType type;
};
std::vector<TableColumn> tableColumns(Database& db, const QString& table);
// The columns' quoted names joined by ", ", for a select or insert list.
QString columnList(const std::vector<TableColumn>& columns);

// Whether an index of that name exists, on either engine.
bool hasIndex(Database& db, const QString& name);
// Gathers the planner's figures for a table.
void analyze(Database& db, const QString& table);
// The table's row count as last gathered by analyze (the embedded engine reads it from the
// figures of `index`); -1 when none were gathered.
qint64 analyzedRows(Database& db, const QString& table, const QString& index);

namespace schema {

// The seven tables of lib.mdb.
QStringList tableNames();
inline const QString kPersons = QStringLiteral("wslib");
inline const QString kStaging = QStringLiteral("wslib0");
inline const QString kCategories = QStringLiteral("km");
inline const QString kPrint = QStringLiteral("Print");
inline const QString kUsers = QStringLiteral("basic");
inline const QString kSettings = QStringLiteral("system");
inline const QString kLog = QStringLiteral("user");

// A column to create: the declared type carries the Jet kind; `size` bounds sized text.
struct ColumnSpec {
    QString name;
    QString type;
    int size = 0;
};
// CREATE TABLE with the Jet rules: text compares without case and refuses values longer than
// its size, dates are ISO text, yes/no is 0 or 1.
void createTable(Database& db, const QString& table, const QList<ColumnSpec>& columns);

// The five small tables (km, Print, basic, system, user); the persons tables follow the
// column table of records/.
void createSmallTables(Database& db);

// Names of the Print table's columns in ordinal order (the four shifts at 25 to 28).
QStringList printColumns();

} // namespace schema
} // namespace store
