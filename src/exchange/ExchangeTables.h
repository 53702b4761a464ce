#pragma once

#include "store/Schema.h"

#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

namespace store {
class Database;
class Statement;
} // namespace store

namespace exchange {

// The bulk statements the exchange runs on the persons table wslib (its row-by-row statements are
// in records/PersonsTable) and on the staging table wslib0 (whose first row is the entry template).

// The persons table's columns but the last (the photo), as the file declares them.
std::vector<store::TableColumn> personsColumns(store::Database& db);
// The staging table's columns, in order.
std::vector<store::TableColumn> stagingColumns(store::Database& db);

// Every person in ascending 个人编号, all columns but the photo; `row` reads the statement.
void forEachPerson(store::Database& db, const std::function<void(const store::Statement&)>& row);
// The persons with these rowids, in this order, all columns but the photo.
void forEachPersonOf(store::Database& db, const std::vector<qint64>& rowids,
                     const std::function<void(const store::Statement&)>& row);

// Appends staging rows; a null value leaves its column unset.
class StagingAppender {
public:
    explicit StagingAppender(store::Database& db);
    ~StagingAppender();
    StagingAppender(const StagingAppender&) = delete;
    StagingAppender& operator=(const StagingAppender&) = delete;
    void append(const QVariantList& values);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

void clearStaging(store::Database& db);
qint64 countStaging(store::Database& db);
// One staging value, written as the review grid edits it.
void setStagingValue(store::Database& db, qint64 rowid, const QString& column, const QVariant& value);

struct Replacement {
    qint64 persons = 0;
    qint64 photosKept = 0;
};

// Replaces every person with the staging rows, in their stored order, in one transaction: on any
// failure the persons table stays exactly as it was. A new person whose 个人编号 and 姓名 both
// equal those of a replaced person keeps that person's photo (the first such in stored order).
// `progress` gets the count of rows copied so far. Throws store::SqlError.
Replacement replacePersons(store::Database& db, const std::function<void(qint64)>& progress = {});

} // namespace exchange
