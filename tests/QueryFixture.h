#pragma once

#include "TestFolder.h"

#include "store/Database.h"

namespace testing_support {

// Five persons that the query and statistics tests share.
inline void addFivePersons(store::Database& db) {
    const QVariantList rows = {
        "000001", "张三",  "男", "汉族", "1950-03-15", 1, 1000.0,     "第一机床厂", "曾获先进工作者称号",
        "000002", "李四",  "女", "回族", "1955-07-01", 0, 2000.5,     "市纺织公司", "",
        "000003", "王五",  "男", "汉族", "1950-11-30", 0, 0.0,        "第一机床厂", QVariant(),
        "000004", "赵六",  "女", "汉族", QVariant(),   1, 1500.0,     "It's Co",    "",
        "000005", "Smith", "男", "满族", "1962-01-01", 0, QVariant(), "ABC Corp",   ""};
    for (int i = 0; i < rows.size(); i += 9) {
        db.exec(QStringLiteral(
                    "INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"民族\", \"出生年月\", \"劳模\", "
                    "\"基本养老金\", \"原工作单位\", \"备注\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                rows.mid(i, 9));
    }
}

} // namespace testing_support
