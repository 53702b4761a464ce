#include "records/ShippedDatabase.h"

#include "records/PersonColumns.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Passwords.h"
#include "store/ProgramState.h"
#include "store/Schema.h"

#include <QStringList>

#include <utility>
#include <vector>

namespace records {

using store::Database;
using store::Statement;

namespace {

QList<store::schema::ColumnSpec> personsColumns(bool withPhoto) {
    QList<store::schema::ColumnSpec> cols;
    for (const PersonColumn& c : personColumns()) {
        if (c.kind == Kind::Photo && !withPhoto)
            continue;
        cols.append({c.columnName(), declaredType(c), c.size});
    }
    return cols;
}

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

void insertCategories(Database& db) {
    Statement insert = db.prepare(QStringLiteral("INSERT INTO km VALUES (?, ?, ?, ?)"));
    auto add = [&](int column, const QString& name, const QString& value) {
        insert.reset();
        insert.bindAll({column, name, value, name}).run();
    };
    for (const PersonColumn& c : personColumns())
        add(c.ordinal, c.columnName(), QString());
    for (const auto& [category, values] : categoryValues()) {
        const int column = ordinalOf(category);
        for (const QString& value : values)
            add(column, category, value);
    }
}

// A roster of nine columns and fifteen rows on A4 landscape (297 × 210 mm).
void insertPrintRows(Database& db) {
    const QVariantList row = {10.0,
                              15.0,
                              30.0, // hang1, left, ding
                              20.0,
                              40.0,
                              52.0,
                              74.0,
                              134.0,
                              159.0,
                              181.0,
                              241.0,
                              267.0, // lie1 … lie9
                              0.0,   // lie10
                              18.0,
                              10.0,
                              QStringLiteral("黑体"),
                              QStringLiteral("宋体"),
                              1.0, // fonts, page choice
                              QStringLiteral("离退休人员花名册"),
                              QString(),
                              QString(),
                              QString(), // bz1 … bz4
                              QString(),
                              QString(),
                              QString(), // bz5 … bz7
                              0.0,
                              0.0,
                              0.0,
                              0.0}; // the four shifts
    QStringList marks;
    for (int i = 0; i < row.size(); ++i)
        marks << QStringLiteral("?");
    Statement insert =
        db.prepare(QStringLiteral("INSERT INTO \"Print\" VALUES (%1)").arg(marks.join(QLatin1Char(','))));
    for (int i = 0; i < 3; ++i) {
        insert.reset();
        insert.bindAll(row).run();
    }
}

} // namespace

void createTables(Database& db) {
    store::schema::createTable(db, store::schema::kPersons, personsColumns(true));
    store::schema::createTable(db, store::schema::kStaging, personsColumns(false));
    store::schema::createSmallTables(db);
    addPersonIndexes(db);
}

void writeShippedDatabase(const QString& path) {
    const std::unique_ptr<Database> db = Database::create(path);
    store::Transaction tx(*db);
    createTables(*db);
    db->exec(QStringLiteral("INSERT INTO basic VALUES (?, ?, 0)"),
             {store::kSuperUser, store::hashPassword(QString())});
    // Light yellow (255, 255, 204) as a Windows RGB value.
    db->exec(QStringLiteral("INSERT INTO \"system\" VALUES (?, ?, ?, ?, ?)"),
             {QStringLiteral("示例市离退休人员服务中心"), QStringLiteral("事业单位"),
              QStringLiteral("13434879"), QString(), QStringLiteral("1.jpg")});
    insertCategories(*db);
    insertPrintRows(*db);
    tx.commit();
}

} // namespace records
