#include "exchange/Merge.h"

#include "exchange/PersonKeys.h"
#include "exchange/SourceDatabase.h"
#include "records/PersonColumns.h"
#include "records/PersonsBulk.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Job.h"
#include "store/Schema.h"

#include <QHash>
#include <QStringList>

#include <unordered_map>
#include <vector>

namespace exchange {

namespace {

// Rows that a database rule (a trigger) refuses are refused as rows; a value the table does not
// take is looked for column by column.
bool isRuleRefusal(int code) {
    return store::SqlError(code, QString()).failure() == store::SqlFailure::RuleRefused;
}

QString shown(const QVariant& v) {
    return v.isNull() ? QStringLiteral("（空）") : QStringLiteral("“%1”").arg(v.toString());
}

QString refusalText(const MergeRefused& r) {
    const QString who = QStringLiteral("选择的库中第%1个人员（个人编号%2，姓名%3）")
                            .arg(r.row())
                            .arg(shown(r.number()), shown(r.name()));
    if (isRuleRefusal(r.code()))
        return who + QStringLiteral("被本库的数据库规则拒绝：%1").arg(r.detail());
    if (r.column() < 0)
        return who + QStringLiteral("不能存入本库。");
    const records::PersonColumn& column = records::personColumn(r.column());
    const QString value = r.value().toString();
    QString why;
    if (column.kind == records::Kind::Date)
        why = QStringLiteral("“%1”不是正确的日期。").arg(value);
    else if (column.kind == records::Kind::YesNo)
        why = QStringLiteral("“%1”不是“是/否”的值。").arg(value);
    else if (column.size > 0 && value.toUcs4().size() > column.size)
        why = QStringLiteral("“%1”超过了%2个字。").arg(value).arg(column.size);
    else
        why = QStringLiteral("本库不接受“%1”。").arg(value);
    return who + QStringLiteral("的“%1”不能存入本库：").arg(column.columnName()) + why;
}

} // namespace

MergeRefused::MergeRefused(qint64 row, QVariant number, QVariant name, int column, QVariant value, int code,
                           const QString& detail)
    : std::runtime_error(QStringLiteral("source row %1 refused: %2").arg(row).arg(detail).toStdString()),
      row_(row), number_(std::move(number)), name_(std::move(name)), column_(column),
      value_(std::move(value)), code_(code), detail_(detail) {}

QString mergeFailureCause(const std::exception& e) {
    if (const auto* r = dynamic_cast<const MergeRefused*>(&e))
        return refusalText(*r);
    const auto* s = dynamic_cast<const SourceError*>(&e);
    if (!s)
        return QString();
    if (const std::optional<store::OpenFailure> failure = s->openFailure())
        return QStringLiteral("选择的库") + store::openFailureCause(*failure);
    switch (s->kind()) {
    case SourceFailure::MissingTable:
        return QStringLiteral("选择的库中没有人员表。");
    case SourceFailure::MissingColumn:
        return QStringLiteral("选择的库的人员表缺少本系统的列。");
    default:
        break;
    }
    return QStringLiteral("选择的库的人员表读不出来，文件可能已损坏。");
}

MergeCounts mergePersons(store::Database& target, SourceDatabase& source, store::JobControl& control) {
    std::unique_ptr<SourceTable> persons = source.table(store::schema::kPersons);

    const std::vector<int> from = mergedColumnPositions(*persons);

    store::Transaction tx(target);
    records::dropSearchIndexesFor(target, persons->rowCount());
    PersonKeyIndex index = indexPersonsByKey(target);
    // A matched row already holds the source's number and name, exactly: the update leaves
    // them (and the index on the number) alone.
    records::PersonWriter writer(target, kMergedColumns);

    MergeCounts counts;
    const qint64 total = persons->rowCount();
    QVariantList row;
    // The current source row's value of each merged column, by ordinal.
    const records::PersonWriter::Values value = [&](int ordinal) -> const QVariant& {
        return row.at(from[std::size_t(ordinal)]);
    };
    while (nextSourceRow(*persons, row)) {
        ++counts.processed;
        control.report(counts.processed, total, mergeProgressText(counts.processed, total));
        const QVariant& number = value(0);
        const QVariant& name = value(1);
        // Names the source row, its column and the reason when the persons table refuses the row.
        const auto refused = [&](const store::SqlError& e, qint64 rowid) {
            store::SqlError why = e;
            const int column = isRuleRefusal(e.code()) ? -1 : writer.refusedColumn(rowid, value, &why);
            return MergeRefused(counts.processed, number, name, column,
                                column < 0 ? QVariant() : value(column), why.code(),
                                QString::fromUtf8(why.what()));
        };
        const bool keyed = !number.isNull() && !name.isNull();
        const PersonKey key = keyed ? PersonKey{number.toString(), name.toString()} : PersonKey{};
        const auto match = keyed ? index.find(key) : index.end();
        if (match != index.end()) {
            for (const qint64 rowid : match->second) {
                try {
                    writer.update(rowid, value);
                } catch (const store::SqlError& e) {
                    if (!e.isConstraint())
                        throw;
                    throw refused(e, rowid);
                }
                ++counts.updated;
            }
            continue;
        }
        qint64 added = 0;
        try {
            added = writer.insert(value);
        } catch (const store::SqlError& e) {
            if (!e.isConstraint())
                throw;
            throw refused(e, -1);
        }
        ++counts.added;
        if (keyed)
            index[key].push_back(added);
    }
    records::addPersonIndexes(target);
    tx.commit();
    return counts;
}

QString mergeProgressText(qint64 processed, qint64 total) {
    const double share = total > 0 ? double(processed) / double(total) * 100.0 : 0.0;
    return QStringLiteral("正在合并，请稍候...") + store::formatHashDotZero(share) + QStringLiteral("%");
}

QString mergeResultText(const MergeCounts& counts) {
    return QStringLiteral("共更新了") + QString::number(counts.updated) + QStringLiteral("条记录！") +
           QStringLiteral("  增加了") + QString::number(counts.added) + QStringLiteral("条记录！");
}

std::vector<int> mergedColumnPositions(const SourceTable& persons) {
    std::vector<int> from;
    for (int ordinal = 0; ordinal < kMergedColumns; ++ordinal) {
        const QString name = records::personColumn(ordinal).columnName();
        const int at = persons.columnIndex(name);
        if (at < 0)
            throw SourceError(SourceFailure::MissingColumn, QString(),
                              QStringLiteral("persons column %1 missing").arg(name), persons.name());
        from.push_back(at);
    }
    return from;
}

bool nextSourceRow(SourceTable& persons, QVariantList& row) {
    try {
        return persons.next(row);
    } catch (const store::SqlError& e) {
        throw SourceError(SourceFailure::Unreadable, QString(), QString::fromUtf8(e.what()), persons.name());
    }
}

PersonKeyIndex indexPersonsByKey(store::Database& db) {
    PersonKeyIndex index;
    store::Statement st = records::personsKeysInStoredOrder(db);
    while (st.step()) {
        if (st.isNull(1) || st.isNull(2))
            continue; // Null never matches
        index[PersonKey{st.text(1), st.text(2)}].push_back(st.integer(0));
    }
    return index;
}

} // namespace exchange
