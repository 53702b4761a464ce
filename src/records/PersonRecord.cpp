#include "records/PersonRecord.h"

#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Schema.h"

#include <QLocale>
#include <QStringList>

namespace records {

WriteError::WriteError(int ordinal, const QString& why)
    : std::runtime_error(why.toStdString()), ordinal_(ordinal) {}

QVariant storedValue(const PersonColumn& column, const EntryValue& entry) {
    switch (column.kind) {
    case Kind::Text:
    case Kind::Coded:
    case Kind::Memo: {
        const QString text = entry.text.trimmed();
        if (column.size > 0 && text.size() > column.size)
            throw WriteError(column.ordinal, QStringLiteral("too long"));
        return text;
    }
    case Kind::Date: {
        const QString text = entry.text.trimmed();
        if (text.isEmpty())
            return QVariant();
        const std::optional<QDate> date = store::parseDate(text);
        if (!date)
            throw WriteError(column.ordinal, QStringLiteral("not a date"));
        return store::storedDate(*date);
    }
    case Kind::YesNo:
        return entry.checked;
    case Kind::Number:
        return store::numericPrefix(entry.text.trimmed());
    case Kind::Photo:
        break;
    }
    throw WriteError(column.ordinal, QStringLiteral("the photo is not written from an entry"));
}

EntryValue shownValue(const PersonColumn& column, const QVariant& stored) {
    switch (column.kind) {
    case Kind::Date:
        return {store::displayYearMonth(stored), false};
    case Kind::YesNo:
        return {QString(), !stored.isNull() && stored.toLongLong() != 0};
    case Kind::Number:
        // Plain decimal with every significant digit: 12345678, never 1.234568e+07.
        return {stored.isNull() ? QString()
                                : QString::number(stored.toDouble(), 'f', QLocale::FloatingPointShortest),
                false};
    default:
        return {stored.isNull() ? QString() : stored.toString(), false};
    }
}

QString nextPersonalNumber(const QString& last) {
    const qint64 next = qint64(store::numericPrefix(last)) + 1;
    return (QStringLiteral("0000000") + QString::number(next)).right(6);
}

void writeRow(store::Database& db, const QString& table, qint64 rowid, const Entries& entries) {
    StoredValues values;
    for (const auto& [ordinal, entry] : entries)
        values[ordinal] = storedValue(personColumn(ordinal), entry);
    writeStoredRow(db, table, rowid, values);
}

void writeStoredRow(store::Database& db, const QString& table, qint64 rowid, const StoredValues& stored) {
    if (stored.empty()) {
        // Nothing to write, but the operator is still told when the row is gone.
        if (!db.scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE rowid = ?").arg(store::quoted(table)),
                       {rowid})
                 .toLongLong())
            throw RecordMissing();
        return;
    }
    QStringList sets;
    QVariantList values;
    for (const auto& [ordinal, value] : stored) {
        values << value;
        sets << store::quoted(personColumn(ordinal).columnName()) + QStringLiteral(" = ?");
    }
    values << rowid;
    try {
        db.exec(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                    .arg(store::quoted(table), sets.join(QStringLiteral(", "))),
                values);
    } catch (const store::SqlError& e) {
        if (!e.isConstraint())
            throw;
        throw WriteError(-1, QString::fromUtf8(e.what()));
    }
    if (db.changes() == 0)
        throw RecordMissing();
}

QVariantList readRow(store::Database& db, const QString& table, qint64 rowid) {
    store::Statement st =
        db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                       .arg(store::columnList(store::tableColumns(db, table)), store::quoted(table)));
    st.bind(1, rowid);
    QVariantList row;
    if (st.step()) {
        for (int i = 0; i < st.columnCount(); ++i)
            row << st.value(i);
    }
    return row;
}

} // namespace records
