#pragma once

#include "store/Job.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace store {
class Database;
}

namespace exchange {

class SourceDatabase;

// A person whose filled-in fields the incoming copy would empty.
struct EmptiedPerson {
    QString number;
    QString name;
    QStringList fields; // column names, in column order
};

// What a merge or an import would do to the persons, counted before it does it.
struct ReplacementPreview {
    qint64 current = 0;  // persons now in the table
    qint64 incoming = 0; // rows of the other copy
    qint64 updated = 0;  // persons overwritten by a row for the same 个人编号 and 姓名
    qint64 added = 0;    // rows that become new persons
    qint64 removed = 0;  // persons that go with no row for them (import only)
    qint64 emptiedPersons = 0;
    std::vector<EmptiedPerson> emptied; // the first kListedEmptied of them
};

inline constexpr std::size_t kListedEmptied = 1000;

// The merge's own matching, as mergePersons does it: columns 0 to 60 of every person whose
// number and name equal a source row's (rows added by earlier source rows included).
// Throws SourceError as the merge does, or store::Cancelled.
ReplacementPreview previewMerge(store::Database& target, SourceDatabase& source,
                                store::JobControl& control = store::untracked());

// The import's replacement of every person by the staging rows: a staging row whose number and
// name equal a person's updates that person, any other is added, and a person no row names goes.
ReplacementPreview previewImport(store::Database& db, store::JobControl& control = store::untracked());

// "正在计算将要改变的人员...45%"
QString previewProgressText(qint64 done, qint64 total);

} // namespace exchange
