#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <unordered_map>
#include <vector>

namespace store {

class Database;

// An ordered list of rowids over one table with a current position; rows are read on demand
// (a small cache keeps the rows a grid is showing, without their pictures), so a million persons
// cost a vector of ids.
class RecordSet {
public:
    // `where` may be empty; `orderBy` is SQL after ORDER BY (empty: stored order).
    RecordSet(Database& db, QString table, QString where = {}, QVariantList params = {},
              QString orderBy = {});

    void reload();
    int count() const { return int(ids_.size()); }
    bool isEmpty() const { return ids_.empty(); }
    qint64 rowid(int index) const { return ids_.at(std::size_t(index)); }

    int position() const { return position_; }
    // -1 when the list is empty or the current row was deleted.
    qint64 currentRowid() const;
    void setPosition(int index);

    // Every column of the row at `index`, in column order, pictures included. Returned as a
    // (shared) copy: the next fetch may drop the cache it came from.
    QVariantList row(int index);
    // The same without pictures (their columns hold null): what a grid shows.
    QVariantList cells(int index);
    void forget(qint64 rowid);
    // The row at `index` when it was read already, without asking the database; null otherwise.
    std::optional<QVariantList> cached(int index) const;

    // A row added through this set goes to its end, as a new row of a dynaset does.
    void append(qint64 rowid);
    // Removes the current row from the list; the set has no current row until the next move.
    void removeCurrent();
    // Leaves the set without a current row until the next move (the row shown is gone).
    void leaveRow() { currentDeleted_ = true; }

private:
    void fetchBlock(int index);
    QString selectList() const;

    Database& db_;
    QString table_;
    QString where_;
    QVariantList params_;
    QString orderBy_;
    std::vector<qint64> ids_;
    int position_ = -1;
    bool currentDeleted_ = false;
    std::unordered_map<qint64, QVariantList> cache_;
    std::vector<int> pictureColumns_; // long binary columns, fetched for one row at a time
    QStringList columns_;
    qint64 fullRowid_ = -1;
    QVariantList fullRow_;
};

} // namespace store
