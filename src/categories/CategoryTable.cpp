#include "categories/CategoryTable.h"

#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Job.h"
#include "store/Schema.h"

#include <QSet>

namespace categories {

namespace {

// Definition and value rows are told apart by kmbz alone.
const QString kIsDefinition = QStringLiteral("trim(coalesce(kmbz, '')) = ''");

} // namespace

QString percentDone(qint64 done, qint64 total, int decimals) {
    return QStringLiteral("完成") + store::formatFixed(double(done) / double(total) * 100.0, decimals) +
           QStringLiteral("%");
}

QStringList loadKM(store::Database& db) {
    QStringList names;
    store::Statement st =
        db.prepare(QStringLiteral("SELECT kmmc FROM km WHERE %1 ORDER BY rowid").arg(kIsDefinition));
    while (st.step())
        names << st.text(0);
    return names;
}

QStringList Loadkmmx(store::Database& db, const QString& category) {
    QStringList values;
    store::Statement st = db.prepare(
        QStringLiteral("SELECT kmbz FROM km WHERE kmmc = ? COLLATE BINARY AND NOT %1 ORDER BY rowid")
            .arg(kIsDefinition));
    st.bind(1, category.trimmed());
    while (st.step())
        values << st.text(0);
    return values;
}

int GetfieldiD(store::Database& db, const QString& category) {
    const QVariant v = db.scalar(
        QStringLiteral("SELECT filednum FROM km WHERE kmmc = ? COLLATE BINARY ORDER BY rowid LIMIT 1"),
        {category.trimmed()});
    return v.isNull() ? 0 : int(qint16(v.toLongLong()));
}

QStringList settingsList(store::Database& db) {
    QStringList names;
    store::Statement st =
        db.prepare(QStringLiteral("SELECT kmmc, km_eng FROM km WHERE %1 ORDER BY rowid").arg(kIsDefinition));
    while (st.step())
        names << (st.text(0).trimmed().isEmpty() ? st.text(1) : st.text(0));
    return names;
}

int definitionColumn(store::Database& db, const QString& category) {
    const QVariant v =
        db.scalar(QStringLiteral("SELECT filednum FROM km WHERE trim(kmmc) = ? COLLATE BINARY AND %1 "
                                 "ORDER BY rowid LIMIT 1")
                      .arg(kIsDefinition),
                  {category.trimmed()});
    return v.isNull() ? -1 : int(v.toLongLong());
}

QStringList statisticsValues(store::Database& db, const QString& item) {
    QStringList values;
    store::Statement st =
        db.prepare(QStringLiteral("SELECT kmbz FROM km WHERE trim(kmmc) = ? COLLATE BINARY AND NOT %1 "
                                  "ORDER BY rowid")
                       .arg(kIsDefinition));
    st.bind(1, item.trimmed());
    while (st.step())
        values << st.text(0);
    return values;
}

std::vector<std::pair<QString, QString>> valueRows(store::Database& db) {
    std::vector<std::pair<QString, QString>> rows;
    store::Statement st = db.prepare(
        QStringLiteral("SELECT kmmc, kmbz FROM km WHERE NOT %1 ORDER BY rowid").arg(kIsDefinition));
    while (st.step())
        rows.emplace_back(st.text(0).trimmed(), st.text(1).trimmed());
    return rows;
}

bool hasRows(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM km")).toLongLong() > 0;
}

AddResult addValue(store::Database& db, const QString& category, int position, const QString& value) {
    const QString name = category.trimmed();
    const QString text = value.trimmed();
    if (text.isEmpty())
        return AddResult::EmptyValue;
    if (!hasRows(db))
        return AddResult::NoTable;
    if (db.scalar(QStringLiteral(
                      "SELECT count(*) FROM km WHERE kmmc = ? COLLATE BINARY AND kmbz = ? COLLATE BINARY"),
                  {name, text})
            .toLongLong() > 0)
        return AddResult::Exists;
    const QStringList columns = db.columnNames(store::schema::kPersons);
    const QString field = position >= 0 && position < columns.size() ? columns.at(position) : QString();
    db.exec(QStringLiteral("INSERT INTO km VALUES (?, ?, ?, ?)"), {position, name, text, field});
    return AddResult::Added;
}

bool deleteValue(store::Database& db, const QString& category, const QString& value) {
    const QVariant rowid =
        db.scalar(QStringLiteral("SELECT rowid FROM km WHERE kmbz = ? COLLATE BINARY AND kmmc = ? "
                                 "COLLATE BINARY AND NOT %1 ORDER BY rowid LIMIT 1")
                      .arg(kIsDefinition),
                  {value.trimmed(), category.trimmed()});
    if (rowid.isNull())
        return false;
    db.exec(QStringLiteral("DELETE FROM km WHERE rowid = ?"), {rowid});
    return true;
}

void replaceValues(store::Database& db, const QString& category, int column, const QStringList& values) {
    replaceValues(db, category, column, values, store::untracked());
}

void replaceValues(store::Database& db, const QString& category, int column, const QStringList& values,
                   store::JobControl& control) {
    const QString name = category.trimmed();
    const QString field = db.columnNames(store::schema::kPersons).value(column);
    store::Transaction tx(db);
    db.exec(
        QStringLiteral("DELETE FROM km WHERE trim(kmmc) = ? COLLATE BINARY AND NOT %1").arg(kIsDefinition),
        {name});
    store::Statement insert = db.prepare(QStringLiteral("INSERT INTO km VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < values.size(); ++i) {
        insert.reset();
        insert.bindAll({column, name, values.at(i).trimmed(), field}).run();
        // Counts from 0, so the last report is short of 100.
        control.report(i, values.size(), percentDone(i, values.size(), 2));
    }
    control.checkpoint();
    tx.commit();
}

void clearAllValues(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM km WHERE NOT %1").arg(kIsDefinition));
}

} // namespace categories
