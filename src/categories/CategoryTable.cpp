#include "categories/CategoryTable.h"

#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Job.h"
#include "store/Schema.h"

#include <QSet>
#include <QStringList>

#include <utility>
#include <vector>

namespace categories {

namespace {

// Definition and value rows are told apart by kmbz alone.
const QString kIsDefinition = QStringLiteral("trim(coalesce(kmbz, '')) = ''");

// `expr` equals a bound text, case and all (the columns compare case-blind).
QString sameText(store::Database& db, const QString& expr) {
    return db.sql(QStringLiteral("%1 = ? COLLATE BINARY"), QStringLiteral("%1::text = ?::text")).arg(expr);
}

} // namespace

QString percentDone(qint64 done, qint64 total, int decimals) {
    return QStringLiteral("完成") + store::formatFixed(double(done) / double(total) * 100.0, decimals) +
           QStringLiteral("%");
}

QStringList loadKM(store::Database& db) {
    QStringList names;
    store::Statement st =
        db.prepare(QStringLiteral("SELECT kmmc FROM km WHERE %1 ORDER BY rowid").arg(kIsDefinition));
    while (st.step())
        names << st.text(0);
    return names;
}

QStringList Loadkmmx(store::Database& db, const QString& category) {
    QStringList values;
    store::Statement st = db.prepare(QStringLiteral("SELECT kmbz FROM km WHERE %1 AND NOT %2 ORDER BY rowid")
                                         .arg(sameText(db, QStringLiteral("kmmc")), kIsDefinition));
    st.bind(1, category.trimmed());
    while (st.step())
        values << st.text(0);
    return values;
}

int GetfieldiD(store::Database& db, const QString& category) {
    const QVariant v = db.scalar(QStringLiteral("SELECT filednum FROM km WHERE %1 ORDER BY rowid LIMIT 1")
                                     .arg(sameText(db, QStringLiteral("kmmc"))),
                                 {category.trimmed()});
    return v.isNull() ? 0 : int(qint16(v.toLongLong()));
}

QStringList settingsList(store::Database& db) {
    QStringList names;
    store::Statement st =
        db.prepare(QStringLiteral("SELECT kmmc, km_eng FROM km WHERE %1 ORDER BY rowid").arg(kIsDefinition));
    while (st.step())
        names << (st.text(0).trimmed().isEmpty() ? st.text(1) : st.text(0));
    return names;
}

int definitionColumn(store::Database& db, const QString& category) {
    const QVariant v =
        db.scalar(QStringLiteral("SELECT filednum FROM km WHERE %1 AND %2 ORDER BY rowid LIMIT 1")
                      .arg(sameText(db, QStringLiteral("trim(kmmc)")), kIsDefinition),
                  {category.trimmed()});
    return v.isNull() ? -1 : int(v.toLongLong());
}

QStringList statisticsValues(store::Database& db, const QString& item) {
    QStringList values;
    store::Statement st = db.prepare(QStringLiteral("SELECT kmbz FROM km WHERE %1 AND NOT %2 ORDER BY rowid")
                                         .arg(sameText(db, QStringLiteral("trim(kmmc)")), kIsDefinition));
    st.bind(1, item.trimmed());
    while (st.step())
        values << st.text(0);
    return values;
}

std::vector<std::pair<QString, QString>> valueRows(store::Database& db) {
    std::vector<std::pair<QString, QString>> rows;
    store::Statement st = db.prepare(
        QStringLiteral("SELECT kmmc, kmbz FROM km WHERE NOT %1 ORDER BY rowid").arg(kIsDefinition));
    while (st.step())
        rows.emplace_back(st.text(0).trimmed(), st.text(1).trimmed());
    return rows;
}

bool hasRows(store::Database& db) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM km")).toLongLong() > 0;
}

AddResult addValue(store::Database& db, const QString& category, int position, const QString& value) {
    const QString name = category.trimmed();
    const QString text = value.trimmed();
    if (text.isEmpty())
        return AddResult::EmptyValue;
    if (!hasRows(db))
        return AddResult::NoTable;
    if (db.scalar(QStringLiteral("SELECT count(*) FROM km WHERE %1 AND %2")
                      .arg(sameText(db, QStringLiteral("kmmc")), sameText(db, QStringLiteral("kmbz"))),
                  {name, text})
            .toLongLong() > 0)
        return AddResult::Exists;
    const QStringList columns = db.columnNames(store::schema::kPersons);
    const QString field = position >= 0 && position < columns.size() ? columns.at(position) : QString();
    db.exec(QStringLiteral("INSERT INTO km VALUES (?, ?, ?, ?)"), {position, name, text, field});
    return AddResult::Added;
}

bool deleteValue(store::Database& db, const QString& category, const QString& value) {
    const QVariant rowid = db.scalar(
        QStringLiteral("SELECT rowid FROM km WHERE %1 AND %2 AND NOT %3 ORDER BY rowid LIMIT 1")
            .arg(sameText(db, QStringLiteral("kmbz")), sameText(db, QStringLiteral("kmmc")), kIsDefinition),
        {value.trimmed(), category.trimmed()});
    if (rowid.isNull())
        return false;
    db.exec(QStringLiteral("DELETE FROM km WHERE rowid = ?"), {rowid});
    return true;
}

void replaceValues(store::Database& db, const QString& category, int column, const QStringList& values) {
    replaceValues(db, category, column, values, store::untracked());
}

void replaceValues(store::Database& db, const QString& category, int column, const QStringList& values,
                   store::JobControl& control) {
    const QString name = category.trimmed();
    const QString field = db.columnNames(store::schema::kPersons).value(column);
    store::Transaction tx(db);
    db.exec(QStringLiteral("DELETE FROM km WHERE %1 AND NOT %2")
                .arg(sameText(db, QStringLiteral("trim(kmmc)")), kIsDefinition),
            {name});
    store::Statement insert = db.prepare(QStringLiteral("INSERT INTO km VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < values.size(); ++i) {
        insert.reset();
        insert.bindAll({column, name, values.at(i).trimmed(), field}).run();
        // Counts from 0, so the last report is short of 100.
        control.report(i, values.size(), percentDone(i, values.size(), 2));
    }
    control.checkpoint();
    tx.commit();
}

void clearAllValues(store::Database& db) {
    db.exec(QStringLiteral("DELETE FROM km WHERE NOT %1").arg(kIsDefinition));
}

namespace {

// Value lists of the coded categories. Where a national code list exists the values follow it
// in its order (ethnic groups GB/T 3304, political status GB/T 4762, education GB/T 4658,
// health GB/T 2261.3, family relation GB/T 4761); the others are plain lists an office starts with.
std::vector<std::pair<QString, QStringList>> categoryValues() {
    const QStringList health = {QStringLiteral("健康或良好"), QStringLiteral("一般或较弱"),
                                QStringLiteral("有慢性病"), QStringLiteral("残疾")};
    return {
        {QStringLiteral("自管小组"),
         QString::fromUtf8("第一小组 第二小组 第三小组 第四小组 第五小组").split(QLatin1Char(' '))},
        {QStringLiteral("性别"), {QStringLiteral("男"), QStringLiteral("女")}},
        {QStringLiteral("民族"),
         QString::fromUtf8(
             "汉族 蒙古族 回族 藏族 维吾尔族 苗族 彝族 壮族 布依族 朝鲜族 满族 侗族 瑶族 白族 "
             "土家族 哈尼族 哈萨克族 傣族 黎族 傈僳族 佤族 畲族 高山族 拉祜族 水族 东乡族 纳西族 "
             "景颇族 柯尔克孜族 土族 达斡尔族 仫佬族 羌族 布朗族 撒拉族 毛南族 仡佬族 锡伯族 阿昌族 "
             "普米族 塔吉克族 怒族 乌孜别克族 俄罗斯族 鄂温克族 德昂族 保安族 裕固族 京族 塔塔尔族 "
             "独龙族 鄂伦春族 赫哲族 门巴族 珞巴族 基诺族")
             .split(QLatin1Char(' '))},
        {QStringLiteral("政治面貌"),
         QString::fromUtf8("中共党员 中共预备党员 共青团员 民革党员 民盟盟员 民建会员 民进会员 农工党党员 "
                           "致公党党员 九三学社社员 台盟盟员 无党派人士 群众")
             .split(QLatin1Char(' '))},
        {QStringLiteral("健康状况"), health},
        {QStringLiteral("原任职务"),
         QString::fromUtf8("厅局级 县处级 乡科级 科员 办事员 高级工程师 工程师 技术员 工人 其他")
             .split(QLatin1Char(' '))},
        {QStringLiteral("档案存放地点"),
         QString::fromUtf8("本单位 人才交流中心 社会保险经办机构 街道社区").split(QLatin1Char(' '))},
        {QStringLiteral("文化程度"),
         QString::fromUtf8(
             "研究生 大学本科 大学专科 中等专科 职业高中 技工学校 普通高中 初中 小学 文盲或半文盲")
             .split(QLatin1Char(' '))},
        {QStringLiteral("单位性质"),
         QString::fromUtf8("机关 事业单位 国有企业 集体企业 股份制企业 私营企业 其他")
             .split(QLatin1Char(' '))},
        {QStringLiteral("工伤等级"),
         QString::fromUtf8("一级 二级 三级 四级 五级 六级 七级 八级 九级 十级").split(QLatin1Char(' '))},
        {QStringLiteral("社会保险关系所在地"),
         QString::fromUtf8("市社会保险局 区社会保险局 县社会保险局 省社会保险局").split(QLatin1Char(' '))},
        {QStringLiteral("配偶健康状况"), health},
        {QStringLiteral("退休情况"), QString::fromUtf8("退休 离休 退职 内退").split(QLatin1Char(' '))},
        {QStringLiteral("特殊情况"), QString::fromUtf8("无 空巢 独居 失独 重残").split(QLatin1Char(' '))},
        {QStringLiteral("社区名称"),
         QString::fromUtf8("东城社区 西城社区 南湖社区 北园社区 新华社区").split(QLatin1Char(' '))},
        {QStringLiteral("户口所在地"), QString::fromUtf8("本市 本省外市 外省").split(QLatin1Char(' '))},
        {QStringLiteral("家庭其他联系人关系"),
         QString::fromUtf8("子 女 儿媳 女婿 孙子 孙女 外孙子 外孙女 兄弟 姐妹 侄子 侄女 其他亲属 朋友 邻居")
             .split(QLatin1Char(' '))},
    };
}

} // namespace

void writeShippedCategories(store::Database& db, const QStringList& personsColumns) {
    store::Statement insert = db.prepare(
        QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?)").arg(store::quoted(store::schema::kCategories)));
    auto add = [&](int column, const QString& name, const QString& value) {
        insert.reset();
        insert.bindAll({column, name, value, name}).run();
    };
    for (int column = 0; column < personsColumns.size(); ++column)
        add(column, personsColumns.at(column), QString());
    for (const auto& [category, values] : categoryValues()) {
        const int column = int(personsColumns.indexOf(category));
        for (const QString& value : values)
            add(column, category, value);
    }
}

} // namespace categories
