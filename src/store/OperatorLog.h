#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace store {

class Database;
struct ProgramState;

using Clock = std::function<QDateTime()>;

// "2008年06月23日05时00分": the stamp of a log row.
QString logStamp(const QDateTime& when);

// Empties the operator log table.
void clearLog(Database& db);

// Every row of the operator log (date and time, operator, action) in stored order.
std::vector<std::array<QString, 3>> readLogRows(Database& db);

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
