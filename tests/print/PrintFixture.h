#pragma once

#include "TestFolder.h"

#include "store/Database.h"

#include <QStringList>

namespace testing_support {

// Names that Qt's PDF writer maps wrongly with some CJK faces.
inline QStringList printNames() {
    return {QStringLiteral("马文高"), QStringLiteral("黄金方"), QStringLiteral("高长龙"),
            QStringLiteral("方民心"), QStringLiteral("文见示"), QStringLiteral("张三"),
            QStringLiteral("李四"),   QStringLiteral("王五"),   QStringLiteral("赵六"),
            QStringLiteral("钱七"),   QStringLiteral("孙八"),   QStringLiteral("周九"),
            QStringLiteral("吴十"),   QStringLiteral("郑一"),   QStringLiteral("冯二"),
            QStringLiteral("陈十六")};
}

// Adds `count` persons numbered 000001 … with the names above (then 人员N), a birth date, an
// address and a telephone number.
inline void addPersons(store::Database& db, int count) {
    const QStringList names = printNames();
    store::Transaction tx(db);
    for (int i = 0; i < count; ++i) {
        const QString name = i < names.size() ? names.at(i) : QStringLiteral("人员%1").arg(i + 1);
        db.exec(
            QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"出生年月\", \"现居住地\", "
                           "\"现居住地电话\", \"档案编号\", \"NO\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0')), name,
             i % 2 ? QStringLiteral("女") : QStringLiteral("男"), QStringLiteral("1950-03-15"),
             QStringLiteral("东城区和平路%1号").arg(i + 1), QStringLiteral("6612345%1").arg(i % 10),
             QStringLiteral("DA%1").arg(i + 1, 4, 10, QLatin1Char('0')), QStringLiteral("%1").arg(101 + i)});
    }
    tx.commit();
}

} // namespace testing_support
