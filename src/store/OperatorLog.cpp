#include "store/OperatorLog.h"

#include "store/Database.h"
#include "store/ProgramState.h"
#include "store/Schema.h"

namespace store {

QString logStamp(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy年MM月dd日HH时mm分"));
}

std::vector<std::array<QString, 3>> readLogRows(Database& db) {
    std::vector<std::array<QString, 3>> rows;
    Statement st = db.prepare(QStringLiteral("SELECT %1 FROM \"user\" ORDER BY rowid")
                                  .arg(columnList(tableColumns(db, QStringLiteral("user")))));
    while (st.step())
        rows.push_back({st.text(0), st.text(1), st.text(2)});
    return rows;
}

OperatorLog::OperatorLog(Database& db, const ProgramState& state, Clock clock)
    : db_(db), state_(state), clock_(std::move(clock)) {}

void OperatorLog::write(const QString& action) {
    db_.exec(QStringLiteral("INSERT INTO \"user\" VALUES (?, ?, ?)"),
             {logStamp(clock_()), state_.currentUser, action});
}

qint64 OperatorLog::count() {
    return db_.scalar(QStringLiteral("SELECT count(*) FROM \"user\"")).toLongLong();
}

void clearLog(Database& db) {
    db.exec(QStringLiteral("DELETE FROM \"user\""));
}

void OperatorLog::clear() {
    clearLog(db_);
}

} // namespace store
