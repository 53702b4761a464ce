#pragma once

#include <QString>

#include <functional>

namespace store {
class Database;
}

namespace exchange {

class SourceDatabase;

struct MergeCounts {
    qint64 updated = 0;   // target rows overwritten
    qint64 added = 0;     // source rows appended
    qint64 processed = 0; // source rows read
};

// Called before each source row: rows read so far (this one included) out of all.
using MergeProgress = std::function<void(qint64 processed, qint64 total)>;

// Merges the persons of `source` into wslib of `target`. Every target row whose 个人编号 and
// 姓名 both equal the source row's exactly (letter case and blanks count; Null never matches)
// gets the source's columns 0 to 60; a source row without a match is appended with those
// columns, and is a candidate for later source rows. The source's columns are taken by name.
// Matching goes through a hash of number and name kept up to date as rows are added, with the
// result of scanning the whole target for every source row.
// All in one transaction: on any failure nothing is merged. Throws SourceError or
// store::SqlError.
MergeCounts mergePersons(store::Database& target, SourceDatabase& source, const MergeProgress& progress = {});

// "正在合并，请稍候...12.5%"
QString mergeProgressText(qint64 processed, qint64 total);
// "共更新了3条记录！  增加了2条记录！"
QString mergeResultText(const MergeCounts& counts);

} // namespace exchange
