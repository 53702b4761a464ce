#include "store/RecordSet.h"

#include "store/Database.h"
#include "store/Schema.h"

#include <QStringList>

#include <algorithm>

namespace store {

namespace {
constexpr int kBlock = 64;
constexpr std::size_t kCacheLimit = 256;
constexpr int kFirstIds = 2000; // a server list's first page: far more than a grid shows
} // namespace

RecordSet::RecordSet(Database& db, QString table, QString where, QVariantList params, QString orderBy)
    : db_(db), table_(std::move(table)), where_(std::move(where)), params_(std::move(params)),
      orderBy_(std::move(orderBy)) {
    for (const TableColumn& c : tableColumns(db_, table_)) {
        if (c.type == JetType::LongBinary)
            pictureColumns_.push_back(int(columns_.size()));
        columns_ << quoted(c.name);
    }
    reload();
}

void RecordSet::forget(qint64 rowid) {
    cache_.erase(rowid);
    if (rowid == fullRowid_)
        fullRowid_ = -1;
}

QString RecordSet::idQuery() const {
    QString sql = QStringLiteral("SELECT rowid FROM %1").arg(quoted(table_));
    if (!where_.isEmpty())
        sql += QStringLiteral(" WHERE ") + where_;
    return sql + QStringLiteral(" ORDER BY ") + (orderBy_.isEmpty() ? QStringLiteral("rowid") : orderBy_);
}

void RecordSet::reload() {
    ids_.clear();
    complete_ = true;
    const bool paged = db_.dialect() == Dialect::Server;
    Statement st = db_.prepare(idQuery() + (paged ? QStringLiteral(" LIMIT %1").arg(kFirstIds) : QString()));
    st.bindAll(params_);
    while (st.step())
        ids_.push_back(st.integer(0));
    if (paged && int(ids_.size()) == kFirstIds) {
        QString count = QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table_));
        if (!where_.isEmpty())
            count += QStringLiteral(" WHERE ") + where_;
        expected_ = int(db_.scalar(count, params_).toLongLong());
        complete_ = expected_ <= kFirstIds;
    }
    cache_.clear();
    fullRowid_ = -1;
    position_ = count() == 0 ? -1 : 0;
    currentDeleted_ = false;
}

void RecordSet::readRest() const {
    if (complete_)
        return;
    Statement st = db_.prepare(idQuery() + QStringLiteral(" OFFSET %1").arg(ids_.size()));
    st.bindAll(params_);
    while (st.step())
        ids_.push_back(st.integer(0));
    // Others may have added or removed persons since the count: the list keeps the length it
    // showed until it is read again (刷新).
    ids_.resize(std::size_t(expected_), -1);
    complete_ = true;
}

int RecordSet::indexOf(qint64 rowid) const {
    readRest();
    const auto at = std::find(ids_.begin(), ids_.end(), rowid);
    return at == ids_.end() ? -1 : int(at - ids_.begin());
}

qint64 RecordSet::rowid(int index) const {
    if (index >= int(ids_.size()))
        readRest();
    return ids_.at(std::size_t(index));
}

qint64 RecordSet::currentRowid() const {
    if (currentDeleted_ || position_ < 0 || position_ >= count())
        return -1;
    return rowid(position_);
}

void RecordSet::setPosition(int index) {
    if (isEmpty())
        return;
    position_ = std::clamp(index, 0, count() - 1);
    currentDeleted_ = false;
}

QVariantList RecordSet::row(int index) {
    QVariantList cached = cells(index);
    if (pictureColumns_.empty() || cached.isEmpty())
        return cached;
    const qint64 id = rowid(index);
    if (id != fullRowid_) {
        QStringList pictures;
        for (int c : pictureColumns_)
            pictures << columns_.at(c);
        Statement st = db_.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                       .arg(pictures.join(QStringLiteral(", ")), quoted(table_)));
        st.bind(1, id);
        QVariantList full = cached;
        if (st.step()) {
            for (int i = 0; i < int(pictureColumns_.size()); ++i)
                full[pictureColumns_[std::size_t(i)]] = st.value(i);
        }
        fullRow_ = std::move(full);
        fullRowid_ = id;
    }
    return fullRow_;
}

QVariantList RecordSet::cells(int index) {
    const qint64 id = rowid(index);
    auto it = cache_.find(id);
    if (it == cache_.end()) {
        fetchBlock(index);
        it = cache_.find(id);
        if (it == cache_.end())
            it = cache_.emplace(id, QVariantList()).first; // deleted behind our back
    }
    return it->second;
}

std::optional<QVariantList> RecordSet::cached(int index) const {
    if (index < 0 || index >= count())
        return std::nullopt;
    if (index >= int(ids_.size()))
        return std::nullopt;
    const auto it = cache_.find(ids_[std::size_t(index)]);
    if (it == cache_.end())
        return std::nullopt;
    return it->second;
}

void RecordSet::fetchBlock(int index) {
    if (cache_.size() > kCacheLimit)
        cache_.clear();
    const int first = index - index % kBlock;
    const int last = std::min(count(), first + kBlock);
    QStringList marks;
    QVariantList ids;
    for (int i = first; i < last; ++i) {
        marks << QStringLiteral("?");
        ids << rowid(i);
    }
    Statement st = db_.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid IN (%3)")
                                   .arg(selectList(), quoted(table_), marks.join(QLatin1Char(','))));
    st.bindAll(ids);
    while (st.step()) {
        QVariantList values;
        values.reserve(st.columnCount() - 1);
        for (int c = 1; c < st.columnCount(); ++c)
            values << st.value(c);
        cache_[st.integer(0)] = std::move(values);
    }
}

// Every column by name, a picture as null in its place.
QString RecordSet::selectList() const {
    QStringList list = columns_;
    for (int c : pictureColumns_)
        list[c] = QStringLiteral("NULL");
    return list.join(QStringLiteral(", "));
}

void RecordSet::append(qint64 rowid) {
    readRest();
    ids_.push_back(rowid);
    position_ = count() - 1;
    currentDeleted_ = false;
}

void RecordSet::removeCurrent() {
    const qint64 id = currentRowid();
    if (id < 0)
        return;
    readRest();
    ids_.erase(ids_.begin() + position_);
    forget(id);
    currentDeleted_ = true;
    if (position_ >= count())
        position_ = count() - 1;
}

} // namespace store
