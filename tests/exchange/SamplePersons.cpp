#include "exchange/SamplePersons.h"

#include "records/PersonColumns.h"
#include "store/Database.h"

#include <QStringList>

namespace testing_support {

namespace {

QVariant sampleValue(const records::PersonColumn& c, int i) {
    using records::Kind;
    if (i % 7 == 3 && c.ordinal > 1)
        return QVariant(); // Null in every column but the number and name
    switch (c.kind) {
    case Kind::Text:
    case Kind::Coded:
        if (c.ordinal == 0)
            return QStringLiteral("%1").arg(900000 - i * 7, 6, 10, QLatin1Char('0'));
        if (c.ordinal == 1)
            return QStringLiteral("张%1").arg(i);
        if (c.ordinal == 8) // ID numbers: leading zero, an X at the end
            return i % 2 ? QStringLiteral("01010519491231002%1").arg(i % 10)
                         : QStringLiteral("11010519491231002X");
        if (i % 5 == 1)
            return QString(); // empty text comes back as Null
        return QStringLiteral("值%1_%2").arg(c.ordinal).arg(i).left(c.size);
    case Kind::Memo:
        return QStringLiteral("第一行\r\n第二行\n第三行 _x0041_ 完");
    case Kind::Date:
        return QStringLiteral("19%1-%2-%3")
            .arg(30 + i % 60)
            .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
            .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
    case Kind::YesNo:
        return (i + c.ordinal) % 2 == 0;
    case Kind::Number:
        return i % 4 == 0 ? 2345.5 : 1234.56 + i * 0.25;
    case Kind::Photo:
        return i % 3 == 0 ? QVariant(QByteArray("\xFF\xD8photo-", 8) + QByteArray::number(i)) : QVariant();
    }
    return QVariant();
}

std::vector<QVariantList> persons(store::Database& db, const QString& order) {
    QStringList names;
    for (const records::PersonColumn& c : records::personColumns()) {
        if (c.kind != records::Kind::Photo)
            names << store::quoted(c.columnName());
    }
    store::Statement st = db.prepare(
        QStringLiteral("SELECT %1 FROM wslib ORDER BY %2").arg(names.join(QStringLiteral(", ")), order));
    std::vector<QVariantList> rows;
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i < st.columnCount(); ++i)
            row << st.value(i);
        rows.push_back(row);
    }
    return rows;
}

} // namespace

void addSamplePersons(store::Database& db, int count) {
    QStringList names;
    QStringList marks;
    for (const records::PersonColumn& c : records::personColumns()) {
        names << store::quoted(c.columnName());
        marks << QStringLiteral("?");
    }
    store::Transaction tx(db);
    store::Statement insert =
        db.prepare(QStringLiteral("INSERT INTO wslib (%1) VALUES (%2)")
                       .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (int i = 0; i < count; ++i) {
        insert.reset();
        for (const records::PersonColumn& c : records::personColumns())
            insert.bind(c.ordinal + 1, sampleValue(c, i));
        insert.run();
    }
    tx.commit();
}

std::vector<QVariantList> personsInExportOrder(store::Database& db) {
    return persons(db, QStringLiteral("\"个人编号\", rowid"));
}

std::vector<QVariantList> personsInStoredOrder(store::Database& db) {
    return persons(db, QStringLiteral("rowid"));
}

} // namespace testing_support
