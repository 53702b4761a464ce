#pragma once

#include <QString>

#include <optional>

namespace query {

inline const QString kConditionFile = QStringLiteral("条件.txt");

struct SavedCondition {
    QString readable;
    QString expression;
    bool hasExpression = false; // false when the file holds no "#####" line
};

// Writes the readable text as it is, then "#####" and the expression, in GBK with CR LF.
// Returns false when the file cannot be written.
bool saveCondition(const QString& path, const QString& readable, const QString& expression);

// A saved condition is a few lines; a larger file is not one of ours and is never read into memory.
inline constexpr qint64 kMaxConditionBytes = 1024 * 1024;
inline const QString kConditionTooLarge = QStringLiteral("“条件.txt”太大，不是本系统保存的条件，没有读取。");
// A pipe would keep the window waiting for ever and a device may never end: only a regular file
// (a link is followed) is read.
inline const QString kConditionNotAFile =
    QStringLiteral("“条件.txt”不是普通文件，不是本系统保存的条件，没有读取。");
// Why the file is left unread: one of the two texts above; empty when it may be read or is not there.
QString conditionFileRefusal(const QString& path);

// Reads it back: every line that is not the expression line is appended after a line break,
// so the readable text starts with one. Nothing when the file is missing, unreadable, not a
// regular file or oversized.
std::optional<SavedCondition> loadCondition(const QString& path);

} // namespace query
