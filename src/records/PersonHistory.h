#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace store {
class Database;
class Session;
} // namespace store

namespace records {

// The change history of the persons: one row per changed column of a person, written by the
// persons module in the same transaction as the change, so no window or bulk path can leave it
// out. A table of our own beside the seven; files made before get it when they are opened.

inline const QString kHistoryTable = QStringLiteral("history");

inline const QString kHistoryAdded = QStringLiteral("新增");
inline const QString kHistoryChanged = QStringLiteral("修改");
inline const QString kHistoryDeleted = QStringLiteral("删除");
inline const QString kHistoryBulk = QStringLiteral("批量");

// What the bulk operations' summary rows say was done (the count follows as the new value).
inline const QString kPhotoImportWhat = QStringLiteral("导入全部相片");
inline const QString kMergeWhat = QStringLiteral("合并数据");
inline const QString kImportWhat = QStringLiteral("Excel导入");
inline const QString kUpgradeWhat = QStringLiteral("数据升级");
inline const QString kInitialiseWhat = QStringLiteral("数据初始化");
inline const QString kConvertIdsWhat = QStringLiteral("一键转换身份证号码");

// Who changes persons, and when. A plain name converts, with the time taken at once.
struct Author {
    Author(QString name, QDateTime time = QDateTime::currentDateTime())
        : name(std::move(name)), time(std::move(time)) {}
    QString name;
    QDateTime time;
};
// The session's current user at the session's clock.
Author authorOf(const store::Session& session);

bool hasHistoryTable(store::Database& db);
// Makes the table and its indexes when the file lacks them; nothing on a read-only file.
// True when the table is there afterwards.
bool ensureHistoryTable(store::Database& db);
// Every history row of `from` into the empty history of `to`, either engine to either, ids kept;
// `copied` after each row (it may throw to stop).
void copyHistoryRows(store::Database& from, store::Database& to, const std::function<void()>& copied);

// A row as the history window shows it. A photo's old bytes are not read here: `oldBytes` is
// their size (-1 when the old value is not a picture), `newBytes` the new picture's size.
struct HistoryRow {
    qint64 id = 0;
    qint64 change = 0; // the rows of one write share it
    QString time;      // yyyy-MM-dd HH:mm:ss
    QString operatorName;
    qint64 person = -1; // the person's row identity; -1 for a bulk row
    QString number;
    QString name;
    QString kind;
    QString field; // the column; for a bulk row what was done
    QVariant oldValue;
    QVariant newValue;
    qint64 oldBytes = -1;
    qint64 newBytes = -1;
};

struct HistoryFilter {
    std::optional<qint64> person = {}; // a row identity
    QString personText = {};           // a personal number or a name as recorded
    QString operatorName = {};
    QDate from = {}; // inclusive; invalid: open
    QDate to = {};
    QString kind = {}; // empty: every kind
    // Answered through an index, so fast on any size of history.
    bool narrowsToPerson() const { return person.has_value() || !personText.trimmed().isEmpty(); }
};

// Newest first, at most `limit` rows.
std::vector<HistoryRow> readHistory(store::Database& db, const HistoryFilter& filter, int limit);

// One row with its stored old value (a photo's bytes included); nothing when it is gone.
std::optional<HistoryRow> historyRow(store::Database& db, qint64 id);

// What a value reads in the grid: photos as their size, yes/no as 是/否, null as empty.
QString shownHistoryValue(const QString& field, const QVariant& value, qint64 bytes);

inline const QString kUndoOthersRefused = QStringLiteral("您不是超级用户，只能撤销自己所做的修改！");
inline const QString kUndoOnlyChanges = QStringLiteral("只能撤销“修改”类的记录；被删除的人请用“恢复此人”。");
inline const QString kUndoUnknownColumn = QStringLiteral("人员表中没有“%1”这一项，无法撤销。");
inline const QString kRestoreOnlyDeleted = QStringLiteral("请先选择一条“删除”类的记录，再恢复此人。");

// Why an undo or a restore did not happen, in the operator's words.
class HistoryRefused : public std::runtime_error {
public:
    explicit HistoryRefused(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Puts back the old values of these 修改 rows (the oldest selected change of a column wins),
// through the recorded writes; refuses rows of other operators unless `author` is the super
// user, and rows of other kinds. Returns the persons changed. Throws HistoryRefused,
// RecordMissing, WriteError or store::SqlError; nothing is written then.
std::vector<qint64> undoChanges(store::Database& db, const std::vector<qint64>& ids, const Author& author);

struct Restored {
    qint64 rowid = 0;
    QString number;         // the personal number the person has now
    QString originalNumber; // differs when the original was taken
};
// Adds the deleted person of this 删除 row again with every recorded value; the original personal
// number unless another person has it now, then the number 新增 gives. Same rights as undo.
Restored restorePerson(store::Database& db, qint64 id, const Author& author);

} // namespace records

namespace records {

// For the persons module's writes: the rows of one change (one save, add, delete, photo or bulk
// operation) under one change number. Makes the table when missing. Throws store::SqlError.
class HistoryWriter {
public:
    HistoryWriter(store::Database& db, const Author& author, QString kind);
    // The person the following rows are about, with the number and name it has at the time.
    void person(qint64 rowid, const QVariant& number, const QVariant& name);
    void add(const QString& field, const QVariant& oldValue, const QVariant& newValue);

private:
    store::Database& db_;
    QString time_;
    QString operator_;
    QString kind_;
    qint64 change_ = 0;
    QVariant rowid_;
    QVariant number_;
    QVariant name_;
};

// Whether two stored values differ as the table holds them.
bool sameStoredValue(const QVariant& a, const QVariant& b);

} // namespace records
