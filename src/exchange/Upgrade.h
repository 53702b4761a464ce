#pragma once

#include "store/Job.h"

#include <QString>

#include <stdexcept>

namespace store {
class Database;
}

namespace exchange {

class SourceDatabase;

// Why the upgrade stopped; nothing was changed.
class UpgradeError : public std::runtime_error {
public:
    enum class Kind { NoSuchColumn, ValueRefused };
    UpgradeError(Kind kind, QString table, QString column, qint64 row = 0);
    Kind kind() const { return kind_; }
    const QString& table() const { return table_; }
    const QString& column() const { return column_; }
    qint64 row() const { return row_; } // 1-based row of the old table

private:
    Kind kind_;
    QString table_;
    QString column_;
    qint64 row_;
};

// Replaces the rows of the seven tables of `target` with the rows of the same tables of the old
// file, in the order basic, km, Print, system, user, wslib, wslib0: the five small tables old
// column j into new column j, wslib by column name, wslib0 by name without its last old column.
// km then gets the definition rows of the persons columns the old file lacked (工作时间, 指纹存档,
// 归侨, 相片), after the old rows, so every persons column keeps its category position.
// `control` hears each old row copied (rows of the table being copied, "正在升级中...") and may
// stop the upgrade. One transaction: on any failure or a stop every table stays as it was.
// Throws UpgradeError, SourceError, store::SqlError or store::Cancelled.
void upgradeFrom(store::Database& target, SourceDatabase& old,
                 store::JobControl& control = store::untracked());

// What the status label shows while the upgrade runs.
inline const QString kUpgradeProgress = QStringLiteral("正在升级中...");

// The message for a failed upgrade: what went wrong, naming the table and column where known.
QString upgradeFailureText(const std::exception& e);

} // namespace exchange
