#include "records/PersonColumns.h"

#include "store/Database.h"

#include <array>

namespace records {

namespace {

constexpr int kCodedSize = 50;

using K = Kind;
using P = Page;

// clang-format off
// Captions are the texts beside (or on) each control; `place` is the order in which the
// controls are laid out on their page, `tab` their place in the focus order (0: never reached by
// Tab); `edit` says whether changing the control makes the record worth saving.
//  ordinal name kind control page group limit size caption place tab edit
constexpr std::array<PersonColumn, kColumnCount> kColumns{{
    {0, "个人编号", K::Text, "Text1", P::Basic, "", 12, 12, "个人编号", 1, 1, true},
    {1, "姓名", K::Text, "Text4", P::Basic, "", 8, 8, "姓    名", 5, 5, true},
    {2, "档案编号", K::Text, "Text2", P::Basic, "", 12, 12, "档案编号", 2, 2, true},
    {3, "NO", K::Text, "Text3", P::Basic, "", 12, 12, "NO：", 4, 4, true},
    {4, "自管小组", K::Coded, "Combo3", P::Basic, "", 0, kCodedSize, "自管小组", 3, 3, true},
    {5, "性别", K::Coded, "Combo4", P::Basic, "", 0, kCodedSize, "性    别", 6, 6, true},
    {6, "民族", K::Coded, "Combo5", P::Basic, "", 0, kCodedSize, "民    族", 7, 7, true},
    {7, "出生年月", K::Date, "Text5", P::Basic, "", 10, 0, "出生年月", 8, 8, true},
    {8, "身份证号码", K::Text, "Text6", P::Basic, "", 18, 18, "身份证号码", 9, 9, true},
    {9, "政治面貌", K::Coded, "Combo6", P::Basic, "", 0, kCodedSize, "政治面貌", 11, 10, true},
    {10, "健康状况", K::Coded, "Combo7", P::Basic, "", 0, kCodedSize, "健康状况", 12, 11, true},
    {11, "原工作单位", K::Text, "Text7", P::Basic, "", 80, 80, "原工作单位", 13, 12, true},
    {12, "原任职务", K::Coded, "Combo8", P::Basic, "", 0, kCodedSize, "原任职务", 14, 13, true},
    {13, "退休年月", K::Date, "Text8", P::Basic, "", 10, 0, "退休年月", 15, 14, true},
    {14, "档案存放地点", K::Coded, "Combo9", P::Basic, "", 0, kCodedSize, "档案存放地点", 16, 15, true},
    {15, "文化程度", K::Coded, "Combo10", P::Basic, "", 0, kCodedSize, "文化程度", 17, 16, true},
    {16, "特长技能", K::Text, "Text9", P::Basic, "", 60, 60, "特长技能", 19, 18, true},
    {17, "兴趣及爱好", K::Text, "Text11", P::Basic, "", 60, 60, "兴趣及爱好", 20, 19, true},
    {18, "从事专业技术服务", K::YesNo, "Check1", P::Basic, "发挥作用情况", 0, 0, "从事专业技术服务", 21, 20, true},
    {19, "创办经济实体", K::YesNo, "Check2", P::Basic, "发挥作用情况", 0, 0, "创 办 经 济 实体", 22, 21, true},
    {20, "从事社会公益活动", K::YesNo, "Check3", P::Basic, "发挥作用情况", 0, 0, "从事社会公益活动", 23, 22, true},
    {21, "建国前参加工作", K::YesNo, "Check4", P::Basic, "特殊人员情况", 0, 0, "建国前参加工作", 24, 23, true},
    {22, "七十以上高龄", K::YesNo, "Check5", P::Basic, "特殊人员情况", 0, 0, "七十以上高龄", 25, 24, true},
    {23, "孤寡老人", K::YesNo, "Check6", P::Basic, "特殊人员情况", 0, 0, "孤 寡 老 人", 26, 25, true},
    {24, "劳模", K::YesNo, "Check7", P::Basic, "特殊人员情况", 0, 0, "劳         模", 27, 26, true},
    {25, "特困", K::YesNo, "Check8", P::Basic, "特殊人员情况", 0, 0, "特         困", 28, 27, true},
    {26, "重病", K::YesNo, "Check9", P::Basic, "特殊人员情况", 0, 0, "重         病", 29, 28, true},
    {27, "基本养老金", K::Number, "Text12", P::Security, "", 12, 0, "基本养老金", 33, 29, true},
    {28, "医疗保险号码", K::Text, "Text13", P::Security, "", 40, 40, "医疗保险号码", 34, 30, true},
    {29, "工伤等级", K::Coded, "Combo11", P::Security, "", 0, kCodedSize, "工伤 等 级", 35, 31, true},
    {30, "是否享受低保", K::YesNo, "Check10", P::Security, "", 0, 0, "是否享受低保", 36, 37, true},
    {31, "社会保险关系所在地", K::Coded, "Combo12", P::Security, "", 0, kCodedSize, "社会保险关系所在地", 37, 32, true},
    {32, "养老", K::YesNo, "Check11", P::Security, "参保情况", 0, 0, "养老", 38, 38, true},
    {33, "医疗", K::YesNo, "Check12", P::Security, "参保情况", 0, 0, "医疗", 39, 39, true},
    {34, "工伤", K::YesNo, "Check13", P::Security, "参保情况", 0, 0, "工伤", 40, 40, true},
    {35, "本地人员", K::YesNo, "Check14", P::Family, "居住情况", 0, 0, "本地人员", 45, 41, true},
    {36, "异地人员", K::YesNo, "Check15", P::Family, "居住情况", 0, 0, "异地人员", 46, 42, true},
    {37, "出国定居", K::YesNo, "Check16", P::Family, "居住情况", 0, 0, "出国定居", 47, 43, false},
    {38, "户口所在地", K::Coded, "Combo16", P::Family, "居住情况", 0, kCodedSize, "户口所在地", 48, 44, true},
    {39, "户口所在地电话", K::Text, "Text15", P::Family, "居住情况", 40, 40, "电 话", 49, 45, true},
    {40, "现居住地", K::Text, "Text16", P::Family, "居住情况", 80, 80, "现居住地", 50, 46, true},
    {41, "现居住地电话", K::Text, "Text17", P::Family, "居住情况", 40, 40, "电 话", 51, 47, true},
    {42, "配偶姓名", K::Text, "Text14", P::Family, "配偶情况", 8, 8, "姓    名", 52, 48, true},
    {43, "配偶出生年月", K::Date, "Text23", P::Family, "配偶情况", 10, 0, "出  生  年   月", 53, 49, true},
    {44, "配偶联系电话", K::Text, "Text24", P::Family, "配偶情况", 40, 40, "联系电话", 54, 50, true},
    {45, "配偶工作单位", K::Text, "Text25", P::Family, "配偶情况", 60, 60, "原（现工作单位）", 55, 51, true},
    {46, "配偶在职", K::YesNo, "Check17", P::Family, "配偶情况", 0, 0, "在职", 57, 63, true},
    {47, "配偶无职业", K::YesNo, "Check18", P::Family, "配偶情况", 0, 0, "无职业", 58, 62, true},
    {48, "配偶离退休", K::YesNo, "Check19", P::Family, "配偶情况", 0, 0, "离退休", 59, 61, true},
    {49, "配偶健康状况", K::Coded, "Combo13", P::Family, "配偶情况", 0, kCodedSize, "健康状况", 56, 52, true},
    {50, "联系人姓名", K::Text, "Text18", P::Family, "家庭其他联系人", 8, 8, "姓   名", 60, 53, true},
    {51, "家庭其他联系人关系", K::Coded, "Combo17", P::Family, "家庭其他联系人", 0, kCodedSize, "关系", 61, 54, true},
    {52, "联系人工作单位", K::Text, "Text21", P::Family, "家庭其他联系人", 60, 60, "工   作   单    位", 63, 56, true},
    {53, "联系人电话", K::Text, "Text20", P::Family, "家庭其他联系人", 40, 40, "联系电话", 62, 55, true},
    {54, "联系人地址", K::Text, "Text22", P::Family, "家庭其他联系人", 60, 60, "详细地址及邮政编码", 64, 57, true},
    {55, "退休情况", K::Coded, "Combo14", P::Security, "附加资料", 0, kCodedSize, "退休情况", 41, 33, true},
    {56, "特殊情况", K::Coded, "Combo15", P::Security, "附加资料", 0, kCodedSize, "特殊情况", 42, 34, true},
    {57, "档案份数", K::Text, "Text29", P::Security, "附加资料", 12, 12, "档案份数", 44, 36, true},
    {58, "备注", K::Memo, "Text26", P::Remarks, "", 0, 0, "", 65, 60, true},
    {59, "单位性质", K::Coded, "Combo18", P::Basic, "", 0, kCodedSize, "单位性质", 18, 17, true},
    {60, "社区名称", K::Coded, "Combo19", P::Security, "附加资料", 0, kCodedSize, "社区名称", 43, 35, true},
    {61, "工作时间", K::Date, "Text10", P::Basic, "", 10, 0, "工作时间", 10, 67, false},
    {62, "指纹存档", K::YesNo, "Check21", P::Basic, "特殊人员情况", 0, 0, "是否有指纹存档", 31, 68, false},
    {63, "归侨", K::YesNo, "Check22", P::Basic, "特殊人员情况", 0, 0, "归         侨", 30, 69, false},
    {64, "相片", K::Photo, "Image1", P::Basic, "", 0, 0, "", 32, 0, false},
}};
// clang-format on

} // namespace

std::span<const PersonColumn> personColumns() {
    return kColumns;
}

const PersonColumn& personColumn(int ordinal) {
    return kColumns.at(std::size_t(ordinal));
}

int ordinalOf(QStringView name) {
    for (const PersonColumn& c : kColumns) {
        if (name == QString::fromUtf8(c.name))
            return c.ordinal;
    }
    return -1;
}

QString declaredType(const PersonColumn& column) {
    switch (column.kind) {
    case Kind::Text:
    case Kind::Coded:
        return QStringLiteral("TEXT(%1)").arg(column.size);
    case Kind::Memo:
        return QStringLiteral("LONGTEXT");
    case Kind::Date:
        return QStringLiteral("DATETIME");
    case Kind::YesNo:
        return QStringLiteral("BOOLEAN");
    case Kind::Number:
        return QStringLiteral("SINGLE");
    case Kind::Photo:
        return QStringLiteral("LONGBINARY");
    }
    return QString();
}

QString sqlName(int ordinal) {
    return store::quoted(personColumn(ordinal).columnName());
}

} // namespace records
