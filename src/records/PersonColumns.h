#pragma once

#include <QString>
#include <QStringView>

#include <span>

namespace records {

enum class Kind { Text, Coded, Date, YesNo, Number, Memo, Photo };

// Tabs of the entry window.
enum class Page { Basic, Security, Family, Remarks };

// One column of the persons table: the one place that knows its ordinal, kind, entry control,
// page, group, entry limit, declared size, caption, place on the page, place in the focus order
// and whether an edit of it counts. Coded columns take their pick list from the category of the
// same name.
struct PersonColumn {
    int ordinal;
    const char* name;
    Kind kind;
    const char* control;
    Page page;
    const char* group;   // empty when the control sits directly on its page
    int limit;           // characters the entry box accepts; 0 means no limit
    int size;            // declared text size; 0 for columns that are not sized text
    const char* caption; // the label beside the control, or a check box's own text
    int place;           // order of the controls on their page
    int tab;             // place in the entry window's focus order; 0 when Tab never reaches it
    bool countsAsEdit;   // changing the control enables 保存

    QString captionText() const { return QString::fromUtf8(caption); }

    QString columnName() const { return QString::fromUtf8(name); }
    QString controlName() const { return QString::fromLatin1(control); }
    bool isText() const { return kind == Kind::Text || kind == Kind::Coded || kind == Kind::Memo; }
};

// Ordinals of the columns that the windows address by name. The three named columns follow
// column 60 in this order, and the photo is always last.
inline constexpr int kWorkStart = 61;   // 工作时间
inline constexpr int kFingerprint = 62; // 指纹存档
inline constexpr int kReturnee = 63;    // 归侨
inline constexpr int kPhoto = 64;       // 相片
inline constexpr int kColumnCount = 65;

// Ordinals of the columns the persons table's statements name.
inline constexpr int kPersonalNumber = 0; // 个人编号
inline constexpr int kPersonName = 1;     // 姓名
inline constexpr int kSex = 5;            // 性别
inline constexpr int kNation = 6;         // 民族
inline constexpr int kBirth = 7;          // 出生年月
inline constexpr int kIdNumber = 8;       // 身份证号码
inline constexpr int kRetired = 13;       // 退休年月
inline constexpr int kAddress = 40;       // 现居住地
inline constexpr int kAddressPhone = 41;  // 现居住地电话

// Places in the entry window's focus order of the controls that show no column.
inline constexpr int kTabSearchCategory = 58; // Combo1
inline constexpr int kTabSearchValue = 59;    // Combo2
inline constexpr int kTabUseTemplate = 64;    // Check20
inline constexpr int kTabSaveTemplate = 65;   // Command1
inline constexpr int kTabInputColour = 66;    // Command2

std::span<const PersonColumn> personColumns();
const PersonColumn& personColumn(int ordinal);
// -1 when no persons column has that name.
int ordinalOf(QStringView name);
// The declared SQL type that carries the column's Jet kind (see store/Schema).
QString declaredType(const PersonColumn& column);
// The column's name as a statement spells it (double-quoted).
QString sqlName(int ordinal);

} // namespace records
