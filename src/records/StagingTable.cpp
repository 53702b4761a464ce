#include "records/StagingTable.h"

#include "records/PersonColumns.h"
#include "store/Database.h"

#include <QStringList>

namespace records {

namespace {

const QString kStaging = store::schema::kStaging;

} // namespace

std::vector<store::TableColumn> stagingColumns(store::Database& db) {
    return store::tableColumns(db, kStaging);
}

struct StagingAppender::Impl {
    store::RowAppender rows;
    int columns;
};

StagingAppender::StagingAppender(store::Database& db) {
    QStringList names;
    for (const store::TableColumn& c : stagingColumns(db))
        names << c.name;
    d_ = std::make_unique<Impl>(Impl{db.appendRows(kStaging, names), int(names.size())});
}

StagingAppender::~StagingAppender() = default;

void StagingAppender::append(const QVariantList& values) {
    QVariantList row = values.mid(0, d_->columns);
    while (row.size() < d_->columns)
        row << QVariant();
    d_->rows.add(row);
}

void StagingAppender::finish() {
    d_->rows.finish();
}

void clearStaging(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM %1").arg(kStaging));
}

qint64 countStaging(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(kStaging)).toLongLong();
}

void setStagingValue(store::Database& db, qint64 rowid, const QString& column, const QVariant& value) {
    db.exec(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?").arg(kStaging, store::quoted(column)),
            {value, rowid});
}

QVariant firstStagingRow(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid LIMIT 1").arg(kStaging));
}

qint64 addEmptyStagingRow(store::Database& db) {
    db.exec(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(kStaging));
    return db.lastInsertRowId();
}

store::Statement stagedIdNumbers(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(sqlName(kIdNumber), kStaging));
}

// ---- Reads for the preview before an import replaces the persons ----

store::Statement stagingRowsInStoredOrder(store::Database& db) {
    return db.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                          .arg(store::columnList(stagingColumns(db)), kStaging));
}

} // namespace records
