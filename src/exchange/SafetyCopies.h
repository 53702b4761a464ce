#pragma once

#include "store/Job.h"
#include "store/OperatorLog.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace store {
class Database;
}

namespace exchange {

// The operation names of the copies, as their file names carry them.
inline const QString kCopyBeforeInitialise = QStringLiteral("初始化");
inline const QString kCopyBeforeCategoryReplace = QStringLiteral("转类别");
inline const QString kCopyBeforeImport = QStringLiteral("导入");
inline const QString kCopyBeforeMerge = QStringLiteral("合并");
inline const QString kCopyBeforeUpgrade = QStringLiteral("升级");
inline const QString kCopyBeforeRestore = QStringLiteral("恢复");
inline const QString kDailyCopy = QStringLiteral("每日");

// One safety copy in backup/auto.
struct SafetyCopy {
    QString path;
    QDateTime made;                // from the name, to the second
    QString operation;             // what was about to happen
    std::optional<qint64> persons; // the persons it holds, when known
    qint64 bytes = 0;
};

// A copy that could not be made; nothing of it is left behind. `cause` says why in the
// operator's words.
class SafetyCopyFailed : public std::runtime_error {
public:
    SafetyCopyFailed(QString cause, const QString& detail)
        : std::runtime_error(detail.toStdString()), cause_(std::move(cause)) {}
    const QString& cause() const { return cause_; }

private:
    QString cause_;
};

// The copies of lib.mdb made before every bulk change, in backup/auto of the program folder,
// named "yyyyMMdd-hhmmss-操作.mdb" ("-2", "-3", ... after the operation when another copy
// fell in the same second). The newest kKept are kept, and fewer while together they take more
// than a fifth of the free disk.
class SafetyCopies {
public:
    static constexpr int kKept = 20;
    // Free bytes on the disk that holds `folder`; tests give their own.
    using FreeBytes = std::function<qint64(const QString& folder)>;

    SafetyCopies(QString programFolder, store::Clock clock, FreeBytes freeBytes = {});

    QString folder() const;

    // Copies the database under `live` page by page through the connection (the backup API:
    // consistent, encrypted with the same key), checks the copy with integrity_check, then
    // deletes the copies beyond the limits (never `spare`, a copy about to be restored).
    // `control` hears the progress and may stop the copy. Throws SafetyCopyFailed or
    // store::Cancelled, with no copy left behind.
    SafetyCopy make(store::Database& live, const QString& operation,
                    store::JobControl& control = store::untracked(), const QString& spare = {});

    // Newest first.
    std::vector<SafetyCopy> list() const;
    // Whether a copy of this operation was made on `day` (the daily copy).
    bool madeOn(const QDate& day, const QString& operation) const;

private:
    void rotate(const QString& spare);
    QString freeName(const QString& stamp, const QString& operation) const;

    QString programFolder_;
    store::Clock clock_;
    FreeBytes freeBytes_;
};

// "正在制作安全副本...45%"
QString safetyCopyProgressText(qint64 done, qint64 total);

} // namespace exchange
