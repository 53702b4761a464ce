#pragma once

#include <QDateTime>
#include <QString>

namespace store {
class Database;
}

namespace login {

// Panel 3 of the main window's status bar: "星期一 2008年06月23日   9时5分".
QString statusClockText(const QDateTime& now);

inline const QString kNotSuperUser = QStringLiteral("您不是超级用户！无此权限！");
// The server panel of the status bar in server mode: "在线：3  服务器：db/tessaly". The count
// comes first: the three panels before it leave little room on a narrow screen.
QString serverStatusText(const QString& server, qint64 connected);

inline const QString kNotSuperUserInit = QStringLiteral("您不是超级用户，无此权限！");

// Empties the persons table and the operator log, and the category values when asked, all in
// one transaction: a failure leaves every table as it was. Throws store::SqlError.
void initialiseData(store::Database& db, bool clearCategoryValues);

} // namespace login
