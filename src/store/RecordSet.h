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
// cost a vector of ids. On a server, where every id crosses the network, the list opens with its
// count and its first ids only; the others follow the first time a row beyond them is asked for.
class RecordSet {
public:
    // `where` may be empty; `orderBy` is SQL after ORDER BY (empty: stored order).
    RecordSet(Database& db, QString table, QString where = {}, QVariantList params = {},
              QString orderBy = {});

    void reload();
    int count() const { return complete_ ? int(ids_.size()) : expected_; }
    bool isEmpty() const { return count() == 0; }
    // -1 for a row that left the table between the count and the reading of its id.
    qint64 rowid(int index) const;

    // Where `rowid` stands, -1 when it is not listed. On a server this reads every id first.
    int indexOf(qint64 rowid) const;

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
    QString idQuery() const;
    // The ids after the first page; the count the list opened with stays.
    void readRest() const;
    void fetchBlock(int index);
    QString selectList() const;

    Database& db_;
    QString table_;
    QString where_;
    QVariantList params_;
    QString orderBy_;
    mutable std::vector<qint64> ids_;
    mutable bool complete_ = true; // false while only the first page of ids is read
    int expected_ = 0;
    int position_ = -1;
    bool currentDeleted_ = false;
    std::unordered_map<qint64, QVariantList> cache_;
    std::vector<int> pictureColumns_; // long binary columns, fetched for one row at a time
    QStringList columns_;
    qint64 fullRowid_ = -1;
    QVariantList fullRow_;
};

} // namespace store
