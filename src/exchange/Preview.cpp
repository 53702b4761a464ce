#include "exchange/Preview.h"

#include "exchange/PersonKeys.h"

#include "exchange/SourceDatabase.h"
#include "records/PersonColumns.h"
#include "records/PersonsBulk.h"
#include "records/PersonsTable.h"
#include "records/StagingTable.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QHash>

#include <unordered_map>
#include <unordered_set>

namespace exchange {

namespace {

bool filled(const QVariant& v) {
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString)
        return !v.toString().trimmed().isEmpty();
    return true;
}

// Compares one person's stored columns with the incoming ones and notes what would be emptied.
class EmptiedCheck {
public:
    EmptiedCheck(store::Database& db, ReplacementPreview& preview, int columns)
        : reader_(records::personReader(db)), preview_(preview), columns_(columns) {}

    template <typename Incoming> void compare(qint64 rowid, const Incoming& incoming) {
        reader_.reset();
        reader_.bind(1, rowid);
        if (!reader_.step())
            return;
        QStringList fields;
        for (int ordinal = 0; ordinal < columns_ && ordinal < reader_.columnCount(); ++ordinal) {
            if (filled(reader_.value(ordinal)) && !filled(incoming(ordinal)))
                fields << records::personColumn(ordinal).columnName();
        }
        if (fields.isEmpty())
            return;
        ++preview_.emptiedPersons;
        if (preview_.emptied.size() < kListedEmptied)
            preview_.emptied.push_back({reader_.text(0), reader_.text(1), fields});
    }

private:
    store::Statement reader_;
    ReplacementPreview& preview_;
    int columns_;
};

} // namespace

QString previewProgressText(qint64 done, qint64 total) {
    const qint64 percent = total > 0 ? done * 100 / total : 0;
    return QStringLiteral("正在计算将要改变的人员...%1%").arg(percent);
}

ReplacementPreview previewMerge(store::Database& target, SourceDatabase& source, store::JobControl& control) {
    std::unique_ptr<SourceTable> persons = source.table(store::schema::kPersons);
    const std::vector<int> from = mergedColumnPositions(*persons);
    ReplacementPreview preview;
    preview.current = records::countPersons(target);
    preview.incoming = persons->rowCount();
    PersonKeyIndex index = indexPersonsByKey(target);
    EmptiedCheck check(target, preview, kMergedColumns);
    QVariantList row;
    const auto value = [&](int ordinal) -> const QVariant& { return row.at(from[std::size_t(ordinal)]); };
    qint64 read = 0;
    while (nextSourceRow(*persons, row)) {
        ++read;
        control.report(read, preview.incoming, previewProgressText(read, preview.incoming));
        const bool keyed = !value(0).isNull() && !value(1).isNull();
        const PersonKey key = keyed ? PersonKey{value(0).toString(), value(1).toString()} : PersonKey{};
        const auto match = keyed ? index.find(key) : index.end();
        if (match == index.end()) {
            ++preview.added;
            if (keyed)
                index[key].push_back(0);
            continue;
        }
        for (const qint64 rowid : match->second) {
            ++preview.updated;
            if (rowid > 0)
                check.compare(rowid, value);
        }
    }
    return preview;
}

ReplacementPreview previewImport(store::Database& db, store::JobControl& control) {
    ReplacementPreview preview;
    preview.current = records::countPersons(db);
    preview.incoming = records::countStaging(db);
    const PersonKeyIndex index = indexPersonsByKey(db);
    const int columns = int(records::stagingColumns(db).size());
    EmptiedCheck check(db, preview, columns);
    std::unordered_set<PersonKey, PersonKeyHash> named;
    store::Statement rows = records::stagingRowsInStoredOrder(db);
    const auto value = [&](int ordinal) { return rows.value(ordinal); };
    qint64 read = 0;
    while (rows.step()) {
        ++read;
        control.report(read, preview.incoming, previewProgressText(read, preview.incoming));
        const bool keyed = !rows.isNull(0) && !rows.isNull(1);
        const PersonKey key = keyed ? PersonKey{rows.text(0), rows.text(1)} : PersonKey{};
        const auto match = keyed ? index.find(key) : index.end();
        if (match == index.end()) {
            ++preview.added;
            continue;
        }
        ++preview.updated;
        // The person the row stands for is the first of that number and name (whose photo it keeps).
        check.compare(match->second.front(), value);
        named.insert(key);
    }
    // Each number and name a row gives takes over one person (the first); every other person goes.
    preview.removed = preview.current - qint64(named.size());
    return preview;
}

} // namespace exchange
