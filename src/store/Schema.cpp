#include "store/Schema.h"

#include "store/Database.h"

namespace store {

JetType jetTypeOf(const QString& declaredType) {
    const QString t = declaredType.trimmed().toUpper();
    if (t == QLatin1String("BOOLEAN"))
        return JetType::Boolean;
    if (t == QLatin1String("LONG"))
        return JetType::Long;
    if (t == QLatin1String("SINGLE"))
        return JetType::Single;
    if (t == QLatin1String("DATETIME"))
        return JetType::Date;
    if (t.startsWith(QLatin1String("TEXT")))
        return JetType::Text;
    if (t == QLatin1String("LONGTEXT"))
        return JetType::Memo;
    if (t == QLatin1String("LONGBINARY"))
        return JetType::LongBinary;
    return JetType::Other;
}

int textSize(const QString& declaredType) {
    const QString t = declaredType.trimmed().toUpper();
    if (!t.startsWith(QLatin1String("TEXT(")) || !t.endsWith(QLatin1Char(')')))
        return 0;
    return t.mid(5, t.size() - 6).toInt();
}

QString columnList(const std::vector<TableColumn>& columns) {
    QStringList names;
    for (const TableColumn& c : columns)
        names << quoted(c.name);
    return names.join(QStringLiteral(", "));
}

std::vector<TableColumn> tableColumns(Database& db, const QString& table) {
    std::vector<TableColumn> columns;
    for (const auto& [name, type] : db.declaredColumns(table))
        columns.push_back({name, type, jetTypeOf(type)});
    return columns;
}

bool hasIndex(Database& db, const QString& name) {
    return db.scalar(db.sql(QStringLiteral(
                                "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = ?"),
                            QStringLiteral("SELECT count(*) FROM pg_catalog.pg_indexes WHERE schemaname = "
                                           "current_schema() AND indexname = lower(?)")),
                     {name})
               .toLongLong() > 0;
}

void analyze(Database& db, const QString& table) {
    db.exec(QStringLiteral("ANALYZE %1").arg(quoted(table)));
}

qint64 analyzedRows(Database& db, const QString& table, const QString& index) {
    if (db.dialect() == Dialect::Server) {
        // Never analysed (nor vacuumed) reads -1.
        const QVariant rows = db.scalar(
            QStringLiteral(
                "SELECT c.reltuples::bigint FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace s "
                "ON s.oid = c.relnamespace WHERE s.nspname = current_schema() AND c.relname = lower(?) "
                "AND c.relkind = 'r'"),
            {table});
        return rows.isNull() ? -1 : rows.toLongLong();
    }
    if (db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_stat1'"))
            .toLongLong() == 0)
        return -1;
    const QVariant stat =
        db.scalar(QStringLiteral("SELECT stat FROM sqlite_stat1 WHERE tbl = ? AND idx = ?"), {table, index});
    return stat.isNull() ? -1 : stat.toString().section(QLatin1Char(' '), 0, 0).toLongLong();
}

namespace schema {

namespace {

// Text columns compare without regard to letter case, as Jet does, and refuse values longer
// than their declared size; dates are ISO text that SQLite itself can read back.
QString columnDefinition(const QString& name, const QString& type, int size) {
    const QString q = quoted(name);
    QString def = q + QLatin1Char(' ') + type;
    switch (jetTypeOf(type)) {
    case JetType::Text:
        def += QStringLiteral(" COLLATE NOCASE CHECK(length(%1) <= %2)").arg(q).arg(size);
        break;
    case JetType::Memo:
        def += QStringLiteral(" COLLATE NOCASE");
        break;
    case JetType::Date:
        def += QStringLiteral(" CHECK(%1 IS NULL OR coalesce(date(%1) = %1, 0))").arg(q);
        break;
    case JetType::Boolean:
        def += QStringLiteral(" CHECK(%1 IS NULL OR %1 IN (0, 1))").arg(q);
        break;
    default:
        break;
    }
    return def;
}

QString text(int size) {
    return QStringLiteral("TEXT(%1)").arg(size);
}

} // namespace

namespace {

// On the server each Jet type is a domain named as the embedded file declares it ("TEXT(50)"),
// so reflection reads the same types back. Text is citext under the C collation: it compares and
// sorts by ASCII-folded bytes, as NOCASE does, whatever the server's own locale.
QString serverDomain(const QString& type, int size) {
    switch (jetTypeOf(type)) {
    case JetType::Text:
        return QStringLiteral("citext COLLATE \"C\" CHECK (length(VALUE) <= %1)").arg(size);
    case JetType::Memo:
        return QStringLiteral("citext COLLATE \"C\"");
    case JetType::Long:
        return QStringLiteral("integer");
    case JetType::Single:
        return QStringLiteral("double precision");
    case JetType::Date:
        return QStringLiteral("date");
    case JetType::Boolean:
        return QStringLiteral("integer CHECK (VALUE IN (0, 1))");
    case JetType::LongBinary:
        return QStringLiteral("bytea");
    case JetType::Other:
        break;
    }
    return {};
}

void createServerTable(Database& db, const QString& table, const QList<ColumnSpec>& columns) {
    db.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"));
    // Every update moves the row version on, so a save can tell that another operator changed the row.
    db.exec(
        QStringLiteral("CREATE OR REPLACE FUNCTION next_row_version() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN NEW.rowversion := OLD.rowversion + 1; RETURN NEW; END $$"));
    QStringList defs;
    for (const ColumnSpec& c : columns) {
        const QString domain = serverDomain(c.type, c.size);
        if (!domain.isEmpty())
            db.exec(QStringLiteral("DO $$ BEGIN CREATE DOMAIN %1 AS %2; EXCEPTION WHEN duplicate_object THEN "
                                   "NULL; END $$")
                        .arg(quoted(c.type), domain));
        defs << quoted(c.name) + QLatin1Char(' ') + (domain.isEmpty() ? c.type : quoted(c.type));
    }
    // The hidden identity and row version come after the table's own columns, so every column keeps
    // its ordinal; the identity is called rowid, so statements that name the embedded row identity
    // read the same on both engines.
    defs << QStringLiteral("rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
         << QStringLiteral("rowversion bigint NOT NULL DEFAULT 1");
    db.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(table), defs.join(QLatin1String(", "))));
    db.exec(QStringLiteral(
                "CREATE TRIGGER %1 BEFORE UPDATE ON %2 FOR EACH ROW EXECUTE FUNCTION next_row_version()")
                .arg(quoted(table + QStringLiteral("_rowversion")), quoted(table)));
}

} // namespace

void createTable(Database& db, const QString& table, const QList<ColumnSpec>& columns) {
    if (db.dialect() == Dialect::Server) {
        createServerTable(db, table, columns);
        return;
    }
    QStringList defs;
    for (const ColumnSpec& c : columns)
        defs << columnDefinition(c.name, c.type, c.size);
    db.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(table), defs.join(QLatin1String(", "))));
}

QStringList tableNames() {
    return {kPersons, kStaging, kCategories, kPrint, kUsers, kSettings, kLog};
}

QStringList printColumns() {
    return {QStringLiteral("hang1"),     QStringLiteral("left"),         QStringLiteral("ding"),
            QStringLiteral("lie1"),      QStringLiteral("lie2"),         QStringLiteral("lie3"),
            QStringLiteral("lie4"),      QStringLiteral("lie5"),         QStringLiteral("lie6"),
            QStringLiteral("lie7"),      QStringLiteral("lie8"),         QStringLiteral("lie9"),
            QStringLiteral("lie10"), // kept for the layout; printing never reads it
            QStringLiteral("fontsize1"), QStringLiteral("fontsize2"),    QStringLiteral("fonts1"),
            QStringLiteral("fonts2"),    QStringLiteral("biaopagesize"), QStringLiteral("bz1"),
            QStringLiteral("bz2"),       QStringLiteral("bz3"),          QStringLiteral("bz4"),
            QStringLiteral("bz5"),       QStringLiteral("bz6"),          QStringLiteral("bz7"),
            QStringLiteral("lie17"),     QStringLiteral("lie18"),        QStringLiteral("lie19"),
            QStringLiteral("lie20")};
}

void createSmallTables(Database& db) {
    createTable(db, kCategories,
                {{QStringLiteral("filednum"), QStringLiteral("LONG")},
                 {QStringLiteral("kmmc"), text(50), 50},
                 {QStringLiteral("kmbz"), text(50), 50},
                 {QStringLiteral("km_eng"), text(50), 50}});

    QList<ColumnSpec> print;
    for (const QString& name : printColumns()) {
        const bool isText = name.startsWith(QLatin1String("bz")) || name == QLatin1String("fonts1") ||
                            name == QLatin1String("fonts2");
        print.append({name, isText ? text(100) : QStringLiteral("SINGLE"), 100});
    }
    createTable(db, kPrint, print);

    // A password hash is up to 128 characters.
    createTable(db, kUsers,
                {{QStringLiteral("name"), text(20), 20},
                 {QStringLiteral("pass"), text(128), 128},
                 {QStringLiteral("attrib"), QStringLiteral("BOOLEAN")}});
    createTable(db, kSettings,
                {{QStringLiteral("dwmc"), text(100), 100},
                 {QStringLiteral("dwxz"), text(50), 50},
                 {QStringLiteral("systempass"), text(20), 20},
                 {QStringLiteral("bakpath"), text(255), 255},
                 {QStringLiteral("backpicture"), text(50), 50}});
    createTable(db, kLog,
                {{QStringLiteral("日期时间"), text(30), 30},
                 {QStringLiteral("操作员"), text(20), 20},
                 {QStringLiteral("操作内容"), text(50), 50}});
}

} // namespace schema
} // namespace store
