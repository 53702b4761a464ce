#pragma once

#include "records/PersonsTable.h"
#include "store/Job.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace store {
class Database;
}

namespace records {

// What the data check finds in the persons table, in the order the report lists them.
enum class Fault {
    InvalidId,          // the ID number breaks its rules (the detail says how)
    OldId,              // a valid 15-digit number that can become 18 digits
    BirthContradictsId, // 出生年月 differs from the ID's birth date in year or month
    SexContradictsId,   // 性别 differs from the ID's sex
    DuplicateId,        // persons sharing one ID number (grouped)
    DuplicateNumber,    // persons sharing one 个人编号 (grouped)
    RetiredBeforeBirth, // 退休年月 before 出生年月
    BornInFuture,       // 出生年月 after today
};

QString faultName(Fault fault);

struct Finding {
    Fault fault;
    qint64 rowid;
    QString number; // 个人编号
    QString name;   // 姓名
    QString idNumber;
    QString detail;
    int group = 0; // duplicates: persons of one group share the number; 0 otherwise
};

struct DataCheckReport {
    int persons = 0;
    std::vector<Finding> findings;
    int count(Fault fault) const;
};

// One pass over the persons table. `today` bounds birth dates. Progress goes to `control`, whose
// 取消 ends the pass with store::Cancelled.
DataCheckReport checkData(store::Database& db, const QDate& today,
                          store::JobControl& control = store::untracked());

// Rewrites every valid 15-digit ID number as its 18-character form, in one transaction.
// Returns how many were rewritten. Throws store::SqlError or, after 取消, store::Cancelled (and
// then nothing is rewritten).
int convertOldIdNumbers(store::Database& db, const QDate& today,
                        store::JobControl& control = store::untracked());

// ID numbers of staged workbook rows, summed up for the operator after a workbook was read.
struct IdSummary {
    int invalid = 0;
    QList<int> invalidRows; // the first few row numbers
    int duplicated = 0;     // distinct ID numbers that occur more than once
    QList<int> duplicatedRows;
    bool isClean() const { return invalid == 0 && duplicated == 0; }
    // "3 行身份证号码无效（第 4、9、12 行）；2 个身份证号码重复出现（第 5、7 行）。"
    QString message() const;
};
struct StagedId {
    int row; // row number in the workbook
    QString idNumber;
};
IdSummary summariseIds(const std::vector<StagedId>& rows, const QDate& today, int rowsListed = 5);
// The same over the staging table just filled from a workbook (its row i came from row i + 3).
IdSummary summariseStagedIds(store::Database& db, const QDate& today, int rowsListed = 5);

// The first other person (by personal number) whose stored ID number is this one, in either
// form; nothing when there is none or the number is empty.
std::optional<PersonRef> personWithSameId(store::Database& db, const QString& typed, qint64 exceptRowid,
                                          const QDate& today);

// How many persons share their ID number with another person (numbers compared in their
// 18-character form; empty numbers do not count).
int personsSharingIds(store::Database& db, const QDate& today);

} // namespace records
