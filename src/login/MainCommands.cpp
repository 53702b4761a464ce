#include "login/MainCommands.h"

#include "categories/CategoryTable.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/OperatorLog.h"

#include <QStringList>

namespace login {

QString statusClockText(const QDateTime& now) {
    static const QStringList weekdays = {QStringLiteral("星期一"), QStringLiteral("星期二"),
                                         QStringLiteral("星期三"), QStringLiteral("星期四"),
                                         QStringLiteral("星期五"), QStringLiteral("星期六"),
                                         QStringLiteral("星期日")};
    const QDate d = now.date();
    const QTime t = now.time();
    return QStringLiteral("%1 %2   %3时%4分")
        .arg(weekdays.at(d.dayOfWeek() - 1), d.toString(QStringLiteral("yyyy年MM月dd日")))
        .arg(t.hour())
        .arg(t.minute());
}

void initialiseData(store::Database& db, bool clearCategoryValues) {
    store::Transaction tx(db);
    records::deleteAllPersons(db);
    if (clearCategoryValues)
        categories::clearAllValues(db);
    store::clearLog(db);
    tx.commit();
}

QString serverStatusText(const QString& server, qint64 connected) {
    return QStringLiteral("在线：%1  服务器：%2").arg(connected).arg(server);
}

} // namespace login
