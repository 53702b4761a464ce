#include "TestFolder.h"

#include "print/PrintSettings.h"
#include "print/PrintSettingsWindow.h"
#include "store/Database.h"
#include "ui/ScriptedDialogs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace print;

namespace {

struct Fixture {
    Fixture() : session(folder.session()) {}

    QVariant stored(const QString& column, int row = kCurrentRow) {
        return session->db().scalar(
            QStringLiteral("SELECT %1 FROM \"Print\" ORDER BY rowid LIMIT 1 OFFSET %2")
                .arg(store::quoted(column))
                .arg(row));
    }
    void store(const QString& column, const QVariant& value, int row = kCurrentRow) {
        session->db().exec(
            QStringLiteral("UPDATE \"Print\" SET %1 = ? WHERE rowid = (SELECT rowid FROM \"Print\" "
                           "ORDER BY rowid LIMIT 1 OFFSET %2)")
                .arg(store::quoted(column))
                .arg(row),
            {value});
    }
    // Every column of a row, to compare a row before and after.
    QVariantList row(int position) {
        store::Statement st = session->db().prepare(
            QStringLiteral("SELECT * FROM \"Print\" ORDER BY rowid LIMIT 1 OFFSET %1").arg(position));
        QVariantList values;
        if (st.step()) {
            for (int i = 0; i < st.columnCount(); ++i)
                values << st.value(i);
        }
        return values;
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
};

template <class W> W* child(QWidget& window, const char* name) {
    W* w = window.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void click(QWidget& window, const char* button) {
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

} // namespace

TEST(PrintSettings, ShippedRowsHoldNumbersWithTheShiftsAtOrdinals25To28) {
    Fixture f;
    const QStringList columns = f.session->db().columnNames(QStringLiteral("Print"));
    EXPECT_EQ(columns.mid(25, 4).join(QLatin1Char(' ')), QStringLiteral("lie17 lie18 lie19 lie20"));
    EXPECT_NE(f.stored(QStringLiteral("fontsize1")).typeId(), QMetaType::QString) << "a number, not text";
    EXPECT_EQ(f.stored(QStringLiteral("fontsize1")).toDouble(), 18.0);
    EXPECT_EQ(f.stored(QStringLiteral("fontsize2")).toDouble(), 10.0);
    const PrintFields defaults = loadFields(f.session->db(), kDefaultsRow);
    EXPECT_EQ(defaults.titleSize, QStringLiteral("18"));
    EXPECT_EQ(defaults.titleFont, QStringLiteral("黑体"));
    EXPECT_EQ(defaults.pageChoice, 1);
    const store::PrintRecord r = loadRecord(f.session->db());
    EXPECT_EQ(r.titleSize, 18);
    EXPECT_EQ(r.bodySize, 10);
    EXPECT_EQ(r.columns[8], 267);
    EXPECT_EQ(r.title, QStringLiteral("离退休人员花名册"));
}

TEST(PrintSettings, RecordRoundsHalvesToEvenAndReadsShiftsByOrdinal) {
    Fixture f;
    f.store(QStringLiteral("lie1"), 12.5);
    f.store(QStringLiteral("lie2"), 13.5);
    f.store(QStringLiteral("hang1"), 2.5);
    f.store(QStringLiteral("lie19"), 7.0);
    f.store(QStringLiteral("lie20"), -3.5);
    f.store(QStringLiteral("bz3"), QVariant());
    f.store(QStringLiteral("ding"), QVariant());
    f.store(QStringLiteral("biaopagesize"), 2);
    const store::PrintRecord r = loadRecord(f.session->db());
    EXPECT_EQ(r.columns[0], 12);
    EXPECT_EQ(r.columns[1], 14);
    EXPECT_EQ(r.rowHeight, 2);
    EXPECT_EQ(r.rosterLeft, 7);
    EXPECT_EQ(r.rosterTop, -4);
    EXPECT_EQ(r.location, QString()) << "a Null note reads as empty text";
    EXPECT_EQ(r.topMargin, 0);
    EXPECT_EQ(r.pageLong, 297) << "A4 landscape whatever the page choice holds";
    EXPECT_EQ(r.pageShort, 210);

    f.store(QStringLiteral("lie5"), 40000.0);
    try {
        loadRecord(f.session->db());
        FAIL() << "a stored value beyond 16 bits is refused";
    } catch (const PrintTableError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("5列"))) << e.message().toStdString();
    }
}

TEST(PrintSettings, FewerThanThreeRowsIsAClearFailure) {
    Fixture f;
    f.session->db().exec(
        QStringLiteral("DELETE FROM \"Print\" WHERE rowid = (SELECT max(rowid) FROM \"Print\")"));
    EXPECT_THROW(loadRecord(f.session->db()), PrintTableError);
    EXPECT_NO_THROW(loadFields(f.session->db(), kDefaultsRow));
    EXPECT_THROW(saveFields(f.session->db(), PrintFields{}), PrintTableError);

    PrintSettingsWindow window(*f.session);
    EXPECT_EQ(f.dialogs.last().text, kPrintRowsMissing);
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Critical);
    EXPECT_EQ(child<QLineEdit>(window, "Text1")->text(), QStringLiteral("离退休人员花名册"))
        << "row 0 was shown";
}

TEST(PrintSettingsWindow, ControlsCaptionsAndCentring) {
    Fixture f;
    PrintSettingsWindow window(*f.session);
    EXPECT_EQ(window.objectName(), QStringLiteral("Form5"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("打印设置"));
    const std::pair<const char*, const char*> buttons[] = {{"Command4", "保存"}, {"Command5", "取默认值"},
                                                           {"Command6", "返回"}, {"Command1", "返回"},
                                                           {"Command2", "确定"}, {"Command3", "保存"}};
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(child<QPushButton>(window, name)->text(), QString::fromUtf8(caption)) << name;
    const char* frames[] = {"花名册设计", "基本信息表打印边距调整值", "花名册表打印边距调整值"};
    QStringList titles;
    for (QGroupBox* box : window.findChildren<QGroupBox*>())
        titles << box->title();
    for (const char* frame : frames)
        EXPECT_TRUE(titles.contains(QString::fromUtf8(frame))) << frame;
    QStringList labels;
    for (QLabel* label : window.findChildren<QLabel*>())
        labels << label->text();
    for (const char* text : {"单位：毫米", "纸张大小：A4纸", "打印方向：横向", "行高", "左边距", "上边距",
                             "1列", "9列", "标题字号", "表体字号", "标题字体", "表体字体", "标题内容",
                             "单位名称", "所处位置", "日期", "注1", "注2", "注3"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
    const char* boxes[] = {"Text1",  "Text2",  "Text3",  "Text4",  "Text5",  "Text6",  "Text7",  "Text8",
                           "Text10", "Text11", "Text12", "Text13", "Text14", "Text15", "Text16", "Text17"};
    for (const char* box : boxes)
        child<QLineEdit>(window, box);
    for (int k = 0; k < 9; ++k)
        EXPECT_NE(window.findChild<QLineEdit*>(QStringLiteral("Text9_%1").arg(k)), nullptr) << k;
    for (const char* combo : {"Combo3", "Combo4"}) {
        QComboBox* c = child<QComboBox>(window, combo);
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        EXPECT_EQ(items, kFontNames) << combo;
    }
    child<QRadioButton>(window, "Option1");
    child<QRadioButton>(window, "Option2");

    const QRect screen = window.screen()->availableGeometry();
    EXPECT_NEAR(window.frameGeometry().center().x(), screen.center().x(), 2);
}

TEST(PrintSettingsWindow, OpensOnTheCurrentRowAndKeepsUnknownPageChoice) {
    Fixture f;
    f.store(QStringLiteral("bz1"), QStringLiteral("二〇〇八年花名册"));
    f.store(QStringLiteral("fonts1"), QStringLiteral("华文行楷"));
    f.store(QStringLiteral("bz6"), QVariant());
    f.store(QStringLiteral("lie19"), 6.5);
    f.store(QStringLiteral("biaopagesize"), 7);
    PrintSettingsWindow window(*f.session);
    EXPECT_EQ(window.rowPosition(), kCurrentRow);
    EXPECT_EQ(child<QLineEdit>(window, "Text1")->text(), QStringLiteral("二〇〇八年花名册"));
    EXPECT_EQ(child<QComboBox>(window, "Combo3")->currentText(), QStringLiteral("华文行楷"))
        << "shown as stored";
    EXPECT_EQ(child<QLineEdit>(window, "Text12")->text(), QString()) << "Null shows empty";
    EXPECT_EQ(child<QLineEdit>(window, "Text16")->text(), QStringLiteral("6.5")) << "ordinal 27";
    EXPECT_EQ(child<QLineEdit>(window, "Text8")->text(), QStringLiteral("18"));
    EXPECT_TRUE(child<QRadioButton>(window, "Option1")->isChecked()) << "7 leaves row 0's choice";
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}

TEST(PrintSettingsWindow, SaveWritesRowTwoAndTheRecord) {
    Fixture f;
    const QVariantList defaults = f.row(kDefaultsRow);
    PrintSettingsWindow window(*f.session);
    child<QLineEdit>(window, "Text9_0")->setText(QStringLiteral("12.5"));
    child<QLineEdit>(window, "Text9_1")->setText(QStringLiteral("13.5毫米"));
    child<QLineEdit>(window, "Text5")->setText(QStringLiteral("abc"));
    child<QLineEdit>(window, "Text1")->setText(QStringLiteral("  退休职工花名册 "));
    child<QComboBox>(window, "Combo4")->setEditText(QStringLiteral(" 楷体_GB2312 "));
    child<QLineEdit>(window, "Text17")->setText(QStringLiteral("-2.5"));
    child<QRadioButton>(window, "Option2")->setChecked(true);
    click(window, "Command4");

    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("保存好了！"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    EXPECT_EQ(f.stored(QStringLiteral("lie1")).toDouble(), 12.5);
    EXPECT_EQ(f.stored(QStringLiteral("lie2")).toDouble(), 13.5);
    EXPECT_EQ(f.stored(QStringLiteral("hang1")).toDouble(), 0.0);
    EXPECT_EQ(f.stored(QStringLiteral("bz1")).toString(), QStringLiteral("退休职工花名册"));
    EXPECT_EQ(f.stored(QStringLiteral("fonts2")).toString(), QStringLiteral("楷体_GB2312"));
    EXPECT_EQ(f.stored(QStringLiteral("lie20")).toDouble(), -2.5);
    EXPECT_EQ(f.stored(QStringLiteral("biaopagesize")).toInt(), 2);
    EXPECT_EQ(f.row(kDefaultsRow), defaults) << "row 0 is never written";

    const store::PrintRecord& r = f.session->printSettings();
    EXPECT_EQ(r.columns[0], 12);
    EXPECT_EQ(r.columns[1], 14);
    EXPECT_EQ(r.rowHeight, 0);
    EXPECT_EQ(r.title, QStringLiteral("退休职工花名册"));
    EXPECT_EQ(r.bodyFont, QStringLiteral(" 楷体_GB2312 "))
        << "the record keeps the blanks until the next load";
    EXPECT_EQ(r.rosterTop, -2);
    EXPECT_EQ(r.pageLong, 297);
    EXPECT_EQ(loadRecord(f.session->db()).bodyFont, QStringLiteral("楷体_GB2312"));
}

TEST(PrintSettingsWindow, DefaultsThenReturnLeavesTheStoredSettings) {
    Fixture f;
    f.store(QStringLiteral("bz1"), QStringLiteral("自定标题"));
    const QVariantList current = f.row(kCurrentRow);
    auto* window = new PrintSettingsWindow(*f.session);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<PrintSettingsWindow> alive(window);
    window->show();
    click(*window, "Command5");
    EXPECT_EQ(window->rowPosition(), kDefaultsRow);
    EXPECT_EQ(child<QLineEdit>(*window, "Text1")->text(), QStringLiteral("离退休人员花名册"));
    click(*window, "Command6");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()) << "返回 closes the window";
    EXPECT_EQ(f.row(kCurrentRow), current);
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}

TEST(PrintSettingsWindow, TheOtherButtonsDoNothing) {
    Fixture f;
    const QVariantList current = f.row(kCurrentRow);
    PrintSettingsWindow window(*f.session);
    window.show();
    child<QLineEdit>(window, "Text1")->setText(QStringLiteral("改了"));
    click(window, "Command2");
    click(window, "Command3");
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(f.row(kCurrentRow), current);
    click(window, "Command1");
    EXPECT_FALSE(window.isVisible());
}

TEST(PrintSettingsWindow, ValuesBeyondSixteenBitsAreRefused) {
    Fixture f;
    const QVariantList current = f.row(kCurrentRow);
    const store::PrintRecord before = f.session->printSettings();
    PrintSettingsWindow window(*f.session);
    child<QLineEdit>(window, "Text9_3")->setText(QStringLiteral("32767.6"));
    click(window, "Command4");
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("“4列”的值超出范围，只能在 -32768 到 32767 之间。打印设置没有保存。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Exclamation);
    EXPECT_EQ(f.row(kCurrentRow), current);
    EXPECT_EQ(f.session->printSettings().columns, before.columns);

    child<QLineEdit>(window, "Text9_3")->setText(QStringLiteral("-32768"));
    click(window, "Command4");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("保存好了！"));
    EXPECT_EQ(f.session->printSettings().columns[3], -32768);
}

TEST(PrintSettingsWindow, AFailedSaveSaysSoAndKeepsTheRecord) {
    Fixture f;
    f.session->db().exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE ON \"Print\" BEGIN SELECT RAISE(ABORT, 'disk trouble'); END"));
    PrintSettingsWindow window(*f.session);
    child<QLineEdit>(window, "Text1")->setText(QStringLiteral("新标题"));
    click(window, "Command4");
    EXPECT_TRUE(f.dialogs.last().text.startsWith(QStringLiteral("打印设置没有保存。\n")));
    EXPECT_NE(f.session->printSettings().title, QStringLiteral("新标题"));
    EXPECT_EQ(child<QLineEdit>(window, "Text1")->text(), QStringLiteral("新标题")) << "what was typed stays";
}
