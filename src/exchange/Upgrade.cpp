#include "exchange/Upgrade.h"

#include "exchange/SourceDatabase.h"
#include "records/PersonColumns.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QStringList>

#include <vector>

namespace exchange {

UpgradeError::UpgradeError(Kind kind, QString table, QString column, qint64 row)
    : std::runtime_error(QStringLiteral("%1.%2 row %3").arg(table, column).arg(row).toStdString()),
      kind_(kind), table_(std::move(table)), column_(std::move(column)), row_(row) {}

namespace {

enum class Match { ByPosition, ByName, ByNameWithoutLast };

struct Rule {
    QString table;
    Match match;
};

const std::vector<Rule>& rules() {
    static const std::vector<Rule> r = {
        {store::schema::kUsers, Match::ByPosition},
        {store::schema::kCategories, Match::ByPosition},
        {store::schema::kPrint, Match::ByPosition},
        {store::schema::kSettings, Match::ByPosition},
        {store::schema::kLog, Match::ByPosition},
        {store::schema::kPersons, Match::ByName},
        {store::schema::kStaging, Match::ByNameWithoutLast},
    };
    return r;
}

// The new column of each old column (-1: left out).
std::vector<int> columnMap(const SourceTable& old, const std::vector<store::TableColumn>& columns,
                           const Rule& rule) {
    std::vector<int> map;
    const int oldCount = int(old.columns().size());
    for (int j = 0; j < oldCount; ++j) {
        const QString& name = old.columns()[std::size_t(j)].name;
        if (rule.match == Match::ByNameWithoutLast && j == oldCount - 1) {
            map.push_back(-1);
            continue;
        }
        int to = -1;
        if (rule.match == Match::ByPosition) {
            to = j < int(columns.size()) ? j : -1;
        } else {
            for (std::size_t k = 0; k < columns.size(); ++k) {
                if (columns[k].name.compare(name, Qt::CaseInsensitive) == 0)
                    to = int(k);
            }
        }
        if (to < 0)
            throw UpgradeError(UpgradeError::Kind::NoSuchColumn, rule.table, name);
        map.push_back(to);
    }
    return map;
}

// The first column whose value the new table refuses on its own, found by trying each value
// alone in a savepoint that is always rolled back.
QString refusedColumn(store::Database& db, const QString& table, const QStringList& names,
                      const QVariantList& values) {
    for (int i = 0; i < names.size(); ++i) {
        store::Savepoint probe(db);
        bool refused = false;
        try {
            db.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (?)")
                        .arg(store::quoted(table), store::quoted(names[i])),
                    {values[i]});
        } catch (const store::SqlError&) {
            refused = true;
        }
        probe.rollback();
        if (refused)
            return names[i];
    }
    return QString();
}

void copyTable(store::Database& target, SourceDatabase& oldFile, const Rule& rule,
               store::JobControl& control) {
    std::unique_ptr<SourceTable> old = oldFile.table(rule.table);
    const std::vector<store::TableColumn> columns = store::tableColumns(target, rule.table);
    const std::vector<int> map = columnMap(*old, columns, rule);

    QStringList names;
    QStringList marks;
    for (const int to : map) {
        if (to < 0)
            continue;
        names << columns[std::size_t(to)].name;
        marks << QStringLiteral("?");
    }
    QStringList quotedNames;
    for (const QString& n : names)
        quotedNames << store::quoted(n);

    target.exec(QStringLiteral("DELETE FROM %1").arg(store::quoted(rule.table)));
    if (names.isEmpty()) {
        QVariantList ignored;
        if (old->next(ignored))
            throw UpgradeError(UpgradeError::Kind::NoSuchColumn, rule.table, QString());
        return;
    }
    store::Statement insert =
        target.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(store::quoted(rule.table), quotedNames.join(QLatin1Char(',')),
                                marks.join(QLatin1Char(','))));
    QVariantList row;
    QVariantList values;
    qint64 number = 0;
    const qint64 total = old->rowCount();
    while (old->next(row)) {
        ++number;
        control.report(number, total, kUpgradeProgress);
        values.clear();
        for (std::size_t j = 0; j < map.size(); ++j) {
            if (map[j] >= 0)
                values << row.at(qsizetype(j));
        }
        insert.reset();
        insert.bindAll(values);
        try {
            insert.run();
        } catch (const store::SqlError& e) {
            if (!e.isConstraint())
                throw;
            insert.reset();
            throw UpgradeError(UpgradeError::Kind::ValueRefused, rule.table,
                               refusedColumn(target, rule.table, names, values), number);
        }
    }
}

// Definition rows for the persons columns after 60 that an old km does not define.
void addMissingDefinitions(store::Database& db) {
    store::Statement insert = db.prepare(QStringLiteral("INSERT INTO km VALUES (?, ?, '', ?)"));
    for (const int ordinal :
         {records::kWorkStart, records::kFingerprint, records::kReturnee, records::kPhoto}) {
        const QString name = records::personColumn(ordinal).columnName();
        const bool defined =
            db.scalar(db.sql(QStringLiteral("SELECT count(*) FROM km WHERE trim(coalesce(kmbz, '')) = '' AND "
                                            "(km_eng = ? COLLATE BINARY OR kmmc = ? COLLATE BINARY)"),
                             QStringLiteral("SELECT count(*) FROM km WHERE trim(coalesce(kmbz, '')) = '' AND "
                                            "(km_eng::text = ?::text OR kmmc::text = ?::text)")),
                      {name, name})
                .toLongLong() > 0;
        if (defined)
            continue;
        insert.reset();
        insert.bindAll({ordinal, name, name});
        insert.run();
    }
}

} // namespace

void upgradeFrom(store::Database& target, SourceDatabase& old, store::JobControl& control) {
    // Every table must be there before anything is replaced.
    for (const Rule& rule : rules()) {
        if (!old.hasTable(rule.table))
            throw SourceError(SourceFailure::MissingTable, QString(),
                              QStringLiteral("no table %1").arg(rule.table), rule.table);
    }
    store::Transaction tx(target);
    // The persons are replaced whole: their indexes are made once at the end, which also gives
    // them to a file that lacked them.
    records::dropSearchIndexes(target);
    for (const Rule& rule : rules()) {
        copyTable(target, old, rule, control);
        if (rule.table == store::schema::kCategories)
            addMissingDefinitions(target);
    }
    records::addPersonIndexes(target);
    control.checkpoint();
    tx.commit();
}

QString upgradeFailureText(const std::exception& e) {
    const QString unchanged = QStringLiteral("原有的数据没有改变。");
    if (const auto* u = dynamic_cast<const UpgradeError*>(&e)) {
        if (u->kind() == UpgradeError::Kind::NoSuchColumn)
            return QStringLiteral("升级失败：表 %1 的列“%2”在本系统的表中没有。")
                       .arg(u->table(), u->column()) +
                   unchanged;
        if (u->column().isEmpty())
            return QStringLiteral("升级失败：表 %1 第 %2 行的值不能存入本系统的表。")
                       .arg(u->table())
                       .arg(u->row()) +
                   unchanged;
        return QStringLiteral("升级失败：表 %1 第 %2 行的列“%3”的值不能存入本系统的表。")
                   .arg(u->table())
                   .arg(u->row())
                   .arg(u->column()) +
               unchanged;
    }
    if (const auto* s = dynamic_cast<const SourceError*>(&e)) {
        switch (s->kind()) {
        case SourceFailure::Missing:
        case SourceFailure::NotADatabase:
            return QStringLiteral("升级失败：选择的文件不是以前版本的数据库。") + unchanged;
        case SourceFailure::WrongPassword:
            return QStringLiteral("升级失败：选择的库的密码不对。") + unchanged;
        case SourceFailure::MissingTable:
            if (s->table().isEmpty())
                return QStringLiteral("升级失败：选择的库缺少必需的表。") + unchanged;
            return QStringLiteral("升级失败：选择的库中没有表 %1。").arg(s->table()) + unchanged;
        case SourceFailure::MissingColumn:
        case SourceFailure::Unreadable:
            break;
        }
        if (!s->table().isEmpty())
            return QStringLiteral("升级失败：选择的库中表 %1 读不出来。").arg(s->table()) + unchanged;
        return QStringLiteral("升级失败：选择的库读不出来。") + unchanged;
    }
    return QStringLiteral("升级失败。") + unchanged;
}

} // namespace exchange
