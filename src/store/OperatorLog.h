#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace store {

class Database;
struct ProgramState;

using Clock = std::function<QDateTime()>;

// "2008年06月23日05时00分": the stamp of a log row.
QString logStamp(const QDateTime& when);

// Appends rows to the operator log table.
class OperatorLog {
public:
    OperatorLog(Database& db, const ProgramState& state, Clock clock);
    void write(const QString& action);
    qint64 count();
    void clear();

private:
    Database& db_;
    const ProgramState& state_;
    Clock clock_;
};

} // namespace store
