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
    Statement st = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)));
    while (st.step())
        columns.push_back({st.text(1), st.text(2), jetTypeOf(st.text(2))});
    return columns;
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

void createTable(Database& db, const QString& table, const QList<ColumnSpec>& columns) {
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
