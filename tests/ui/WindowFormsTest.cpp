#include "TestFolder.h"

#include "categories/CategorySettingsWindow.h"
#include "help/HelpWindow.h"
#include "login/LogWindow.h"
#include "query/QueryWindow.h"
#include "records/EntryForm.h"
#include "settings/SystemSettingsWindow.h"
#include "settings/UsersWindow.h"
#include "ui/CharacterLimit.h"
#include "ui/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using testing_support::TestFolder;

namespace {

using Factory = std::function<std::unique_ptr<QWidget>(store::Session&, const QString& folder)>;

template <typename W> Factory make() {
    return [](store::Session& session, const QString&) { return std::make_unique<W>(session); };
}

struct Control {
    const char* name;
    const char* kind;
    const char* caption = nullptr; // text, or a frame's title; not checked when null
    const char* frame = "";        // the title of the frame that holds it
    const char* tip = "";
};

struct Form {
    const char* name;
    const char* title;
    Factory open;
    std::vector<Control> controls;
};

QString captionOf(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(w))
        return frame->title();
    return {};
}

QString frameOf(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (const auto* frame = qobject_cast<const QGroupBox*>(p))
            return frame->title();
    }
    return {};
}

// Types text one character per key press, as a keyboard or an input method delivers it: 𠮷 comes
// as one key with its two UTF-16 units.
void type(QLineEdit& box, const QString& text) {
    for (const char32_t c : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, &box, Qt::Key_unknown, QString::fromUcs4(&c, 1), Qt::NoModifier);
}

} // namespace

// The controls of the converted windows by the names and captions operators and the behaviour
// text use.
TEST(WindowForms, ControlsCarryTheirNamesAndCaptions) {
    const std::vector<Form> forms = {
        {"frmOptions1",
         "用户设置",
         make<settings::UsersWindow>(),
         {{"Frame1", "QGroupBox", "请选择用户名"},
          {"List1", "QListWidget", nullptr, "请选择用户名"},
          {"Label1", "QLabel", "用 户 名："},
          {"Text1", "QLineEdit"},
          {"Label2", "QLabel", "口    令："},
          {"Text2", "QLineEdit"},
          {"Label3", "QLabel", "确认口令："},
          {"Text3", "QLineEdit"},
          {"Command1", "QPushButton", "新增"},
          {"Command2", "QPushButton", "修改"},
          {"Command3", "QPushButton", "删除"},
          {"Command4", "QPushButton", "确定"},
          {"Frame3", "QGroupBox", "注意"},
          {"Label4", "QLabel", "“超级用户”才有新增和删除的权限，普通用户只能改本人的口令。", "注意"},
          {"cmdCancel", "QPushButton", "退出"}}},
        {"frmOptions",
         "系统设置",
         [](store::Session& s, const QString&) {
             return std::make_unique<settings::SystemSettingsWindow>(s, [] {});
         },
         {{"tbsOptions", "QTabWidget"},
          {"fraSample1", "QGroupBox", "单位信息"},
          {"Label1", "QLabel", "单位名称：", "单位信息", "超级用户才能修改！"},
          {"Text1", "QLineEdit", nullptr, "单位信息"},
          {"Label2", "QLabel", "单位性质：", "单位信息", "超级用户才能修改！"},
          {"Text2", "QLineEdit", nullptr, "单位信息"},
          {"Frame1", "QGroupBox", "系统参数"},
          {"Label3", "QLabel", "数据备份路径：", "系统参数", "超级用户才能修改！"},
          {"Text3", "QLineEdit", nullptr, "系统参数"},
          {"Label4", "QLabel", "背景图象选择：", "系统参数"},
          {"Combo1", "QComboBox", nullptr, "系统参数"},
          {"cmdOK", "QPushButton", "确定"},
          {"cmdCancel", "QPushButton", "退出"}}},
        {"frmOptions2",
         "类别设置",
         make<categories::CategorySettingsWindow>(),
         {{"List1", "QListWidget", nullptr, "类别选择"},
          {"List2", "QListWidget", nullptr, "类别明细设置"},
          {"Text2", "QLineEdit", nullptr, "类别明细设置"},
          {"Command3", "QPushButton", "增加", "类别明细设置"},
          {"Command4", "QPushButton", "删除", "类别明细设置"},
          {"Command1", "QPushButton", "查库", "类别明细设置", "查看库中不重复的值"},
          {"Command2", "QPushButton", "转类别", "类别明细设置",
           "将查看结果转入类别明细，该类别原有的明细将被删除！"},
          {"cmdCancel", "QPushButton", "退出"},
          {"Picture1", "QWidget"},
          {"Label1", "QLabel"}}},
        {"Form11",
         "上机记录",
         make<login::LogWindow>(),
         {{"DBGrid1", "QTableView"},
          {"Command2", "QPushButton", "清除记录"},
          {"Command1", "QPushButton", "退出"}}},
        {"Form6",
         "综合查询",
         [](store::Session& s, const QString&) { return std::make_unique<query::QueryWindow>(s, [] {}); },
         {{"Frame1", "QGroupBox", "查询条件设置"},
          {"lblCombo1", "QLabel", "类别", "查询条件设置"},
          {"lblCombo2", "QLabel", "关系", "查询条件设置"},
          {"lblCombo3", "QLabel", "值", "查询条件设置"},
          {"Combo1", "QComboBox", nullptr, "查询条件设置"},
          {"Combo2", "QComboBox", nullptr, "查询条件设置"},
          {"Combo3", "QComboBox", nullptr, "查询条件设置"},
          {"Command6", "QPushButton", "添加条件", "查询条件设置"},
          {"Command3", "QPushButton", "AND", "查询条件设置"},
          {"Command4", "QPushButton", "OR", "查询条件设置"},
          {"Command5", "QPushButton", "（", "查询条件设置"},
          {"Command8", "QPushButton", "）", "查询条件设置"},
          {"Text1", "QPlainTextEdit", nullptr, "查询条件设置"},
          {"Frame2", "QGroupBox", ""},
          {"Command1", "QPushButton", "开始查询"},
          {"Command2", "QPushButton", "清空条件"},
          {"Command9", "QPushButton", "保存条件"},
          {"Command10", "QPushButton", "取回条件"},
          {"Command7", "QPushButton", "返回"},
          {"Picture1", "QWidget"},
          {"Label3", "QLabel"}}},
        {"HelpWindow",
         "帮助主题",
         [](store::Session&, const QString& folder) { return std::make_unique<help::HelpWindow>(folder); },
         {{"WebBrowser1", "QTextBrowser"}}},
        {"frmAbout",
         "关于企事业离Tessaly系统V4.1",
         make<help::AboutBox>(),
         {{"lblDescription", "QLabel"},
          {"lblLogFile", "QLabel"},
          {"cmdSysInfo", "QPushButton", "系统信息(&S)..."},
          {"cmdOK", "QPushButton", "确定"}}},
    };
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        const std::unique_ptr<QWidget> window = form.open(*session, folder.path());
        EXPECT_EQ(window->objectName(), QString::fromLatin1(form.name));
        EXPECT_EQ(window->windowTitle(), QString::fromUtf8(form.title));
        for (const Control& c : form.controls) {
            SCOPED_TRACE(c.name);
            const QList<QWidget*> found = window->findChildren<QWidget*>(QString::fromLatin1(c.name));
            ASSERT_EQ(found.size(), 1);
            const QWidget* w = found.front();
            EXPECT_STREQ(w->metaObject()->className(), c.kind);
            if (c.caption) {
                EXPECT_EQ(captionOf(w), QString::fromUtf8(c.caption));
            }
            EXPECT_EQ(frameOf(w), QString::fromUtf8(c.frame));
            EXPECT_EQ(w->toolTip(), QString::fromUtf8(c.tip));
        }
    }
    settings::SystemSettingsWindow system(*session, [] {});
    const auto* tabs = system.findChild<QTabWidget*>(QStringLiteral("tbsOptions"));
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("基本设置"));
    EXPECT_EQ(system.findChild<QWidget*>(QStringLiteral("Combo1"))->font().family(), QStringLiteral("宋体"));
}

TEST(WindowForms, TheAboutBoxSaysWhereTheLogIs) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    help::AboutBox about(*session);
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("lblLogFile"))->text(),
              QStringLiteral("运行日志：%1\n程序出错时，请把这个文件（和旁边的tessaly.log.1）发给维护人员。")
                  .arg(folder.file(QStringLiteral("tessaly.log"))));
}

// Boxes count characters, not UTF-16 units: 𠮷 (U+20BB7) is one character of a name.
TEST(CharacterLimits, BoxesTakeTheirFullLengthInCharacters) {
    struct Box {
        const char* window;
        std::function<std::unique_ptr<QWidget>(store::Session&)> open;
        const char* box;
        int limit;
    };
    const std::vector<Box> boxes = {
        {"entry 姓名", [](store::Session&) { return std::make_unique<records::EntryForm>(); }, "Text4", 8},
        {"users", [](store::Session& s) { return std::make_unique<settings::UsersWindow>(s); }, "Text1", 20},
        {"system settings",
         [](store::Session& s) { return std::make_unique<settings::SystemSettingsWindow>(s, [] {}); },
         "Text2", 50},
        {"categories",
         [](store::Session& s) { return std::make_unique<categories::CategorySettingsWindow>(s); }, "Text2",
         50},
    };
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    const QString yoshi = QString::fromUcs4(U"\U00020BB7");
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.window);
        const std::unique_ptr<QWidget> window = b.open(*session);
        auto* box = window->findChild<QLineEdit*>(QString::fromLatin1(b.box));
        ASSERT_NE(box, nullptr);
        box->setEnabled(true);
        box->clear();
        const QString full = yoshi + QString(b.limit - 1, QChar(0x7530)); // 𠮷田田…
        type(*box, full);
        EXPECT_EQ(box->text(), full) << "accepted whole";
        type(*box, QStringLiteral("一"));
        EXPECT_EQ(box->text(), full) << "one character more is refused";
        box->setText(QString(b.limit, QChar(0x7530)));
        type(*box, yoshi);
        EXPECT_EQ(box->text(), QString(b.limit, QChar(0x7530)));
    }
    EXPECT_EQ(ui::characterCount(yoshi + QStringLiteral("田")), 2);
}
