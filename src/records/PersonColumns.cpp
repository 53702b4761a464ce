#include "records/PersonColumns.h"

#include <array>

namespace records {

namespace {

constexpr int kCodedSize = 50;

using K = Kind;
using P = Page;

// clang-format off
constexpr std::array<PersonColumn, kColumnCount> kColumns{{
    {0,  "个人编号",          K::Text,   "Text1",   P::Basic,    "",               12, 12},
    {1,  "姓名",              K::Text,   "Text4",   P::Basic,    "",               8,  8},
    {2,  "档案编号",          K::Text,   "Text2",   P::Basic,    "",               12, 12},
    {3,  "NO",                K::Text,   "Text3",   P::Basic,    "",               12, 12},
    {4,  "自管小组",          K::Coded,  "Combo3",  P::Basic,    "",               0,  kCodedSize},
    {5,  "性别",              K::Coded,  "Combo4",  P::Basic,    "",               0,  kCodedSize},
    {6,  "民族",              K::Coded,  "Combo5",  P::Basic,    "",               0,  kCodedSize},
    {7,  "出生年月",          K::Date,   "Text5",   P::Basic,    "",               10, 0},
    {8,  "身份证号码",        K::Text,   "Text6",   P::Basic,    "",               18, 18},
    {9,  "政治面貌",          K::Coded,  "Combo6",  P::Basic,    "",               0,  kCodedSize},
    {10, "健康状况",          K::Coded,  "Combo7",  P::Basic,    "",               0,  kCodedSize},
    {11, "原工作单位",        K::Text,   "Text7",   P::Basic,    "",               80, 80},
    {12, "原任职务",          K::Coded,  "Combo8",  P::Basic,    "",               0,  kCodedSize},
    {13, "退休年月",          K::Date,   "Text8",   P::Basic,    "",               10, 0},
    {14, "档案存放地点",      K::Coded,  "Combo9",  P::Basic,    "",               0,  kCodedSize},
    {15, "文化程度",          K::Coded,  "Combo10", P::Basic,    "",               0,  kCodedSize},
    {16, "特长技能",          K::Text,   "Text9",   P::Basic,    "",               60, 60},
    {17, "兴趣及爱好",        K::Text,   "Text11",  P::Basic,    "",               60, 60},
    {18, "从事专业技术服务",  K::YesNo,  "Check1",  P::Basic,    "发挥作用情况",   0,  0},
    {19, "创办经济实体",      K::YesNo,  "Check2",  P::Basic,    "发挥作用情况",   0,  0},
    {20, "从事社会公益活动",  K::YesNo,  "Check3",  P::Basic,    "发挥作用情况",   0,  0},
    {21, "建国前参加工作",    K::YesNo,  "Check4",  P::Basic,    "特殊人员情况",   0,  0},
    {22, "七十以上高龄",      K::YesNo,  "Check5",  P::Basic,    "特殊人员情况",   0,  0},
    {23, "孤寡老人",          K::YesNo,  "Check6",  P::Basic,    "特殊人员情况",   0,  0},
    {24, "劳模",              K::YesNo,  "Check7",  P::Basic,    "特殊人员情况",   0,  0},
    {25, "特困",              K::YesNo,  "Check8",  P::Basic,    "特殊人员情况",   0,  0},
    {26, "重病",              K::YesNo,  "Check9",  P::Basic,    "特殊人员情况",   0,  0},
    {27, "基本养老金",        K::Number, "Text12",  P::Security, "",               12, 0},
    {28, "医疗保险号码",      K::Text,   "Text13",  P::Security, "",               40, 40},
    {29, "工伤等级",          K::Coded,  "Combo11", P::Security, "",               0,  kCodedSize},
    {30, "是否享受低保",      K::YesNo,  "Check10", P::Security, "",               0,  0},
    {31, "社会保险关系所在地", K::Coded, "Combo12", P::Security, "",               0,  kCodedSize},
    {32, "养老",              K::YesNo,  "Check11", P::Security, "参保情况",       0,  0},
    {33, "医疗",              K::YesNo,  "Check12", P::Security, "参保情况",       0,  0},
    {34, "工伤",              K::YesNo,  "Check13", P::Security, "参保情况",       0,  0},
    {35, "本地人员",          K::YesNo,  "Check14", P::Family,   "居住情况",       0,  0},
    {36, "异地人员",          K::YesNo,  "Check15", P::Family,   "居住情况",       0,  0},
    {37, "出国定居",          K::YesNo,  "Check16", P::Family,   "居住情况",       0,  0},
    {38, "户口所在地",        K::Coded,  "Combo16", P::Family,   "居住情况",       0,  kCodedSize},
    {39, "户口所在地电话",    K::Text,   "Text15",  P::Family,   "居住情况",       40, 40},
    {40, "现居住地",          K::Text,   "Text16",  P::Family,   "居住情况",       80, 80},
    {41, "现居住地电话",      K::Text,   "Text17",  P::Family,   "居住情况",       40, 40},
    {42, "配偶姓名",          K::Text,   "Text14",  P::Family,   "配偶情况",       8,  8},
    {43, "配偶出生年月",      K::Date,   "Text23",  P::Family,   "配偶情况",       10, 0},
    {44, "配偶联系电话",      K::Text,   "Text24",  P::Family,   "配偶情况",       40, 40},
    {45, "配偶工作单位",      K::Text,   "Text25",  P::Family,   "配偶情况",       60, 60},
    {46, "配偶在职",          K::YesNo,  "Check17", P::Family,   "配偶情况",       0,  0},
    {47, "配偶无职业",        K::YesNo,  "Check18", P::Family,   "配偶情况",       0,  0},
    {48, "配偶离退休",        K::YesNo,  "Check19", P::Family,   "配偶情况",       0,  0},
    {49, "配偶健康状况",      K::Coded,  "Combo13", P::Family,   "配偶情况",       0,  kCodedSize},
    {50, "联系人姓名",        K::Text,   "Text18",  P::Family,   "家庭其他联系人", 8,  8},
    {51, "家庭其他联系人关系", K::Coded, "Combo17", P::Family,   "家庭其他联系人", 0,  kCodedSize},
    {52, "联系人工作单位",    K::Text,   "Text21",  P::Family,   "家庭其他联系人", 60, 60},
    {53, "联系人电话",        K::Text,   "Text20",  P::Family,   "家庭其他联系人", 40, 40},
    {54, "联系人地址",        K::Text,   "Text22",  P::Family,   "家庭其他联系人", 60, 60},
    {55, "退休情况",          K::Coded,  "Combo14", P::Security, "附加资料",       0,  kCodedSize},
    {56, "特殊情况",          K::Coded,  "Combo15", P::Security, "附加资料",       0,  kCodedSize},
    {57, "档案份数",          K::Text,   "Text29",  P::Security, "附加资料",       12, 12},
    {58, "备注",              K::Memo,   "Text26",  P::Remarks,  "",               0,  0},
    {59, "单位性质",          K::Coded,  "Combo18", P::Basic,    "",               0,  kCodedSize},
    {60, "社区名称",          K::Coded,  "Combo19", P::Security, "附加资料",       0,  kCodedSize},
    {61, "工作时间",          K::Date,   "Text10",  P::Basic,    "",               10, 0},
    {62, "指纹存档",          K::YesNo,  "Check21", P::Basic,    "特殊人员情况",   0,  0},
    {63, "归侨",              K::YesNo,  "Check22", P::Basic,    "特殊人员情况",   0,  0},
    {64, "相片",              K::Photo,  "Image1",  P::Basic,    "",               0,  0},
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

} // namespace records
