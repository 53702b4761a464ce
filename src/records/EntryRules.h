#pragma once

#include "records/PersonRecord.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QString>
#include <QVariantList>

#include <optional>

namespace records {

// A date typed into a date box, checked when the box loses the focus.
struct TypedDate {
    bool ok;
    QString text; // the box text after rewriting (unchanged when not ok)
};

// yyyymmdd becomes yyyy-mm-dd and yyyymm yyyy-mm; a text with "-" in the fifth place is taken
// as it is. The year may not lie after `latestYear` (the current year).
TypedDate checkTypedDate(const QString& typed, int latestYear);

inline const QString kBadDate = QStringLiteral("日期格式不对！");
inline const QString kBadSearch = QStringLiteral("输入的数据格式不符!");
// Writes the database refused: the typed values stay in the boxes; the cause follows on its own line.
inline const QString kAddFailed = QStringLiteral("新增记录没有完成。");
inline const QString kSaveFailed = QStringLiteral("保存没有完成，输入的内容仍在框中。");
inline const QString kDeleteFailed = QStringLiteral("删除没有完成，记录仍在库中。");
inline const QString kSearchFailed = QStringLiteral("查找没有完成。");
inline const QString kRefreshFailed = QStringLiteral("刷新没有完成。");
inline const QString kPersonGone =
    QStringLiteral("此人的记录已不在库中（可能已被删除），输入的内容没有保存，仍在框中。");

// What the status line says after a save, so that nothing changes unnoticed: each number box
// whose text was not read whole ("2,890.50" stores 2) with what was stored; empty when every
// number was read whole.
QString numberNotes(const Entries& saved);
// ... and after a save refused on one box (a date that is no date, a text too long).
QString refusedNote(const WriteError& error, const Entries& typed);

// The condition of the one-category search over `column` of declared kind `type`, with the
// value bound as a parameter; nothing when the value does not fit the kind.
struct Condition {
    QString sql;
    QVariantList params;
};
std::optional<Condition> categorySearch(store::JetType type, const QString& column, const QString& value,
                                        store::Dialect dialect = store::Dialect::Embedded);

} // namespace records
