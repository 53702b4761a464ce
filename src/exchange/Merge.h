#pragma once

#include "store/Job.h"

#include <QString>
#include <QVariant>

#include <stdexcept>

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

// Merges the persons of `source` into wslib of `target`. Every target row whose 个人编号 and
// 姓名 both equal the source row's exactly (letter case and blanks count; Null never matches)
// gets the source's columns 0 to 60; a source row without a match is appended with those
// columns, and is a candidate for later source rows. The source's columns are taken by name.
// Matching goes through a hash of number and name kept up to date as rows are added, with the
// result of scanning the whole target for every source row.
// Before each source row `control` hears the rows read so far (this one included) out of all,
// with the progress text, and may stop the merge.
// All in one transaction: on any failure or a stop nothing is merged. Throws SourceError (the
// source cannot be read), MergeRefused, store::SqlError (the target failed) or store::Cancelled.
MergeCounts mergePersons(store::Database& target, SourceDatabase& source,
                         store::JobControl& control = store::untracked());

// A source row that wslib refused (a value it does not take, or a rule of the database); nothing
// was merged.
class MergeRefused : public std::runtime_error {
public:
    MergeRefused(qint64 row, QVariant number, QVariant name, int column, QVariant value, int code,
                 const QString& detail);
    qint64 row() const { return row_; } // 1-based, in the source's stored order
    const QVariant& number() const { return number_; }
    const QVariant& name() const { return name_; }
    int column() const { return column_; } // persons ordinal of the refused value; -1 when unknown
    const QVariant& value() const { return value_; }
    int code() const { return code_; } // the database's extended result code
    const QString& detail() const { return detail_; }

private:
    qint64 row_;
    QVariant number_;
    QVariant name_;
    int column_;
    QVariant value_;
    int code_;
    QString detail_;
};

// The line shown under "选择的库不是合法数据库！" for what the merge can tell: the file that did not
// open or has no persons table, or the row refused. Empty for anything else (the caller names
// a failure of its own database).
QString mergeFailureCause(const std::exception& e);

// "正在合并，请稍候...12.5%"
QString mergeProgressText(qint64 processed, qint64 total);
// "共更新了3条记录！  增加了2条记录！"
QString mergeResultText(const MergeCounts& counts);

} // namespace exchange
