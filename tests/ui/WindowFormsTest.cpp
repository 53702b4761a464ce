#include "TestFolder.h"

#include "categories/CategorySettingsWindow.h"
#include "help/HelpWindow.h"
#include "login/LogWindow.h"
#include "login/Login.h"
#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "print/ResultsWindow.h"
#include "query/QueryWindow.h"
#include "records/CategoryScan.h"
#include "records/EntryForm.h"
#include "settings/SystemSettingsWindow.h"
#include "settings/UsersWindow.h"
#include "stats/ChartTab.h"
#include "stats/ElderlyWindow.h"
#include "stats/StatisticsWindow.h"
#include "store/Session.h"
#include "ui/CharacterLimit.h"
#include "ui/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

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
    QStringList toolbar = {}; // Toolbar1's buttons in order: key and caption
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
        {"Form1",
         "企事业离Tessaly系统V4.1",
         [](store::Session& s, const QString&) {
             return std::make_unique<login::LoginWindow>(s, login::readUsers(s.db()));
         },
         {{"Frame1", "QGroupBox", "用户登录"},
          {"Label1", "QLabel", "用户名", "用户登录"},
          {"Combo1", "QComboBox", nullptr, "用户登录"},
          {"Label2", "QLabel", "密  码", "用户登录"},
          {"Text1", "QLineEdit", nullptr, "用户登录"},
          {"Command1", "QPushButton", "登录", "用户登录"},
          {"Command2", "QPushButton", "退出", "用户登录"},
          {"Picture1", "QLabel"},
          {"Image1", "QLabel"}}},
        {"Form2",
         "企事业离Tessaly系统V4.1",
         [](store::Session& s, const QString&) {
             return std::make_unique<login::MainWindow>(s, login::MainHooks{[] {}, [] {}});
         },
         {{"Toolbar1", "QToolBar"},
          {"Picture1", "QWidget"},
          {"Image1", "QLabel"},
          {"Label1", "QLabel", ""},
          {"Label2", "QLabel", ""},
          {"StatusBar1", "QStatusBar"},
          {"Panel1", "QLabel"},
          {"Panel2", "QLabel"},
          {"Panel3", "QLabel"}}},
        {"Form8",
         "资料统计",
         make<stats::StatisticsWindow>(),
         {{"List1", "QListWidget", nullptr, "类别"},
          {"List2", "QListWidget"},
          {"Command3", "QPushButton", "", "", "添加统计项"},
          {"Command4", "QPushButton", "", "", "删除统计项"},
          {"Command1", "QPushButton", "统计"},
          {"Text1", "QPlainTextEdit", nullptr, "统计结果"},
          {"Picture1", "QWidget"},
          {"Label2", "QLabel", ""},
          {"Command2", "QPushButton", "输出"},
          {"cmdCancel", "QPushButton", "返回"},
          {"ByResults", "QCheckBox", "按查询结果统计"},
          {"ResultsNote", "QLabel"},
          {"Tabs", "QTabWidget"}}},
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
         [](store::Session& session, const QString&) {
             return std::make_unique<categories::CategorySettingsWindow>(session, records::scanDistinct);
         },
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
        {"Form7",
         "查询结果",
         [](store::Session& s, const QString&) {
             s.pendingExpression() = QStringLiteral("姓名 like '*'");
             return std::make_unique<print::ResultsWindow>(s);
         },
         {{"Toolbar1", "QToolBar"},
          {"DBGrid1", "QTableView"},
          {"Frame1", "QFrame"},
          {"Picture2", "QWidget"},
          {"Picture3", "QWidget"},
          {"HScroll1", "QScrollBar"},
          {"VScroll1", "QScrollBar"},
          {"Label1", "QLabel"},
          {"Command1", "QPushButton", "导出查询结果"}},
         {"tt1 上一页", "tt2 下一页", "tt3 打印预览", "tt4 记录显示", "tt5 多人一页", "tt6 单人一页",
          "tt7 打印", "tt9 打印设置", "tt10 输出PDF", "tt8 返回"}},
        {"ElderlyDue",
         "高龄提醒",
         [](store::Session& s, const QString&) { return std::make_unique<stats::ElderlyWindow>(s, nullptr); },
         {{"DaysLabel", "QLabel", "今后"},
          {"Days", "QSpinBox"},
          {"MilestonesLabel", "QLabel", "天内年满70、80、90、100岁的人员；本月过生日、年满"},
          {"BirthdayAge", "QSpinBox"},
          {"BirthdayLabel", "QLabel", "岁及以上的人员"},
          {"Refresh", "QPushButton", "刷新"},
          {"Summary", "QLabel"},
          {"Grid", "QTableView"},
          {"Hint", "QLabel", "双击一行可在信息录入中打开此人。"},
          {"Print", "QPushButton", "打印"},
          {"SavePdf", "QPushButton", "存为PDF"},
          {"Export", "QPushButton", "导出EXCEL"},
          {"Leave", "QPushButton", "返回"}}},
        {"ChartTab",
         "",
         [](store::Session& s, const QString&) { return std::make_unique<stats::ChartTab>(s, nullptr); },
         {{"ChartList", "QListWidget"},
          {"AgeDateLabel", "QLabel", "年龄计算日期："},
          {"AgeDate", "QDateEdit"},
          {"ChartView", "QChartView"},
          {"ChartNote", "QLabel", ""},
          {"SavePicture", "QPushButton", "存为图片"},
          {"PrintChart", "QPushButton", "打印图表"},
          {"SavePdf", "QPushButton", "存为PDF"}}},
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
        if (!form.toolbar.isEmpty()) {
            QStringList buttons;
            for (const QAction* a : window->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions())
                buttons << a->objectName() + QLatin1Char(' ') + a->text();
            EXPECT_EQ(buttons, form.toolbar);
        }
    }
    settings::SystemSettingsWindow system(*session, [] {});
    const auto* tabs = system.findChild<QTabWidget*>(QStringLiteral("tbsOptions"));
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("基本设置"));
    EXPECT_EQ(system.findChild<QWidget*>(QStringLiteral("Combo1"))->font().family(), QStringLiteral("宋体"));

    login::LoginWindow login(*session, login::readUsers(session->db()));
    const QFont names = login.findChild<QWidget*>(QStringLiteral("Combo1"))->font();
    EXPECT_EQ(names.family(), QStringLiteral("宋体"));
    EXPECT_TRUE(names.bold());
    EXPECT_EQ(names.pointSizeF(), 10.5);
    const QFont password = login.findChild<QWidget*>(QStringLiteral("Text1"))->font();
    EXPECT_EQ(password.family(), QStringLiteral("宋体"));
    EXPECT_EQ(password.pointSizeF(), 12);
}

// The main window's menus and toolbar by the names the commands are known by, in their order;
// "-" is a separator.
TEST(WindowForms, MainWindowMenusAndToolbarCarryTheirNames) {
    struct Menu {
        const char* name;
        const char* title;
        QStringList items; // name, caption, shortcut, and "hidden" when not shown
    };
    const std::vector<Menu> menus = {
        {"S0",
         "系统管理(&s)",
         {"S1 系统设置(&T)", "S2 用户设置(&U)", "S5 重新登录(&R)", "s3 类别设置(&L) Ctrl+L", "-",
          "S4 退出系统(&X)"}},
        {"W0",
         "人员管理(&W)",
         {"W1 信息录入(&D) Ctrl+E", "W2 综合查询(&F) Ctrl+F", "W3 数据统计(&Z)",
          "w4 工资处理(&S) Ctrl+G hidden", "-", "History 修改记录", "ElderlyDue 高龄提醒",
          "DataCheck 数据检查"}},
        {"D0",
         "数据库(&D)",
         {"Data 数据库维护(&K)", "upServer 上传到服务器 hidden", "INexcel 导入EXCEL文件(&O)",
          "OUTexcel 导出EXCEL文件(&I)", "upV 升级以前版本(&U)", "hebin 数据库合并(&H)",
          "Datastar 数据初始化(&B)", "user 上机记录(&R)"}},
        {"H0", "帮助(&H)", {"H1 帮助主题(&M)", "H2 关于(&A)"}},
    };
    const QStringList toolbar = {"tt1 系统",   "tt2 用户", "tt3 类别", "-", "tt4 录入",
                                 "tt5 查询",   "tt6 统计", "tt7 工资", "-", "tt8 库维护",
                                 "tt9 计算器", "-",        "tt11 退出"};
    const auto describe = [](const QList<QAction*>& actions) {
        QStringList out;
        for (const QAction* a : actions) {
            if (a->isSeparator()) {
                out << QStringLiteral("-");
                continue;
            }
            QStringList parts = {a->objectName(), a->text()};
            if (!a->shortcut().isEmpty())
                parts << a->shortcut().toString(QKeySequence::PortableText);
            if (!a->isVisible())
                parts << QStringLiteral("hidden");
            out << parts.join(QLatin1Char(' '));
        }
        return out;
    };

    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    login::MainWindow main(*session, {[] {}, [] {}});
    const QList<QAction*> bar = main.menuBar()->actions();
    ASSERT_EQ(bar.size(), qsizetype(menus.size()));
    for (std::size_t i = 0; i < menus.size(); ++i) {
        SCOPED_TRACE(menus[i].name);
        const QMenu* menu = bar[qsizetype(i)]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QString::fromLatin1(menus[i].name));
        EXPECT_EQ(menu->title(), QString::fromUtf8(menus[i].title));
        EXPECT_EQ(describe(menu->actions()), menus[i].items);
    }
    const auto* tools = main.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    EXPECT_EQ(describe(tools->actions()), toolbar);
    EXPECT_FALSE(tools->isMovable());
    const auto* timer = main.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 2000);
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
         [](store::Session& s) {
             return std::make_unique<categories::CategorySettingsWindow>(s, records::scanDistinct);
         },
         "Text2", 50},
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
