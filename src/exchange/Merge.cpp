#include "exchange/Merge.h"

#include "exchange/SourceDatabase.h"
#include "records/PersonColumns.h"
#include "stats/Report.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QHash>
#include <QStringList>

#include <unordered_map>
#include <vector>

namespace exchange {

namespace {

// Columns 0 to 60: what the merge copies.
constexpr int kMergedColumns = 61;

struct Key {
    QString number;
    QString name;
    bool operator==(const Key&) const = default;
};

struct KeyHash {
    std::size_t operator()(const Key& k) const noexcept { return qHashMulti(0, k.number, k.name); }
};

// Target rows by number and name, in stored order within each key.
using TargetIndex = std::unordered_map<Key, std::vector<qint64>, KeyHash>;

TargetIndex indexTarget(store::Database& db, const QString& number, const QString& name) {
    TargetIndex index;
    store::Statement st = db.prepare(QStringLiteral("SELECT rowid, %1, %2 FROM wslib ORDER BY rowid")
                                         .arg(store::quoted(number), store::quoted(name)));
    while (st.step()) {
        if (st.isNull(1) || st.isNull(2))
            continue; // Null never matches
        index[Key{st.text(1), st.text(2)}].push_back(st.integer(0));
    }
    return index;
}

} // namespace

MergeCounts mergePersons(store::Database& target, SourceDatabase& source, const MergeProgress& progress) {
    std::unique_ptr<SourceTable> persons = source.table(store::schema::kPersons);

    QStringList names;
    std::vector<int> from; // source position of each merged column
    for (int ordinal = 0; ordinal < kMergedColumns; ++ordinal) {
        const QString name = records::personColumn(ordinal).columnName();
        const int at = persons->columnIndex(name);
        if (at < 0)
            throw SourceError(SourceFailure::MissingColumn, QString(),
                              QStringLiteral("persons column %1 missing").arg(name), persons->name());
        names << store::quoted(name);
        from.push_back(at);
    }

    store::Transaction tx(target);
    TargetIndex index =
        indexTarget(target, records::personColumn(0).columnName(), records::personColumn(1).columnName());
    // A matched row already holds the source's number and name, exactly: the update leaves
    // them (and the index on the number) alone.
    QStringList sets;
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i >= 2)
            sets << names[i] + QStringLiteral(" = ?");
        marks << QStringLiteral("?");
    }
    store::Statement update = target.prepare(
        QStringLiteral("UPDATE wslib SET %1 WHERE rowid = ?").arg(sets.join(QStringLiteral(", "))));
    store::Statement insert =
        target.prepare(QStringLiteral("INSERT INTO wslib (%1) VALUES (%2)")
                           .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));

    MergeCounts counts;
    const qint64 total = persons->rowCount();
    QVariantList row;
    while (persons->next(row)) {
        ++counts.processed;
        if (progress)
            progress(counts.processed, total);
        // Binds the source's columns `first` to 60 from parameter 1 on.
        auto bindColumns = [&](store::Statement& st, int first) {
            st.reset();
            for (int i = first; i < kMergedColumns; ++i)
                st.bind(i - first + 1, row.at(from[std::size_t(i)]));
        };
        const QVariant& number = row.at(from[0]);
        const QVariant& name = row.at(from[1]);
        const bool keyed = !number.isNull() && !name.isNull();
        const Key key = keyed ? Key{number.toString(), name.toString()} : Key{};
        const auto match = keyed ? index.find(key) : index.end();
        if (match != index.end()) {
            for (const qint64 rowid : match->second) {
                bindColumns(update, 2);
                update.bind(kMergedColumns - 1, rowid);
                update.run();
                ++counts.updated;
            }
            continue;
        }
        bindColumns(insert, 0);
        insert.run();
        ++counts.added;
        if (keyed)
            index[key].push_back(target.lastInsertRowId());
    }
    tx.commit();
    return counts;
}

QString mergeProgressText(qint64 processed, qint64 total) {
    const double share = total > 0 ? double(processed) / double(total) * 100.0 : 0.0;
    return QStringLiteral("正在合并，请稍候...") + stats::formatHashDotZero(share) + QStringLiteral("%");
}

QString mergeResultText(const MergeCounts& counts) {
    return QStringLiteral("共更新了") + QString::number(counts.updated) + QStringLiteral("条记录！") +
           QStringLiteral("  增加了") + QString::number(counts.added) + QStringLiteral("条记录！");
}

} // namespace exchange
