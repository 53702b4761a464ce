#include "TestFolder.h"

#include "exchange/GridExport.h"
#include "exchange/ImportWindow.h"
#include "exchange/SheetReader.h"
#include "exchange/Workbook.h"
#include "login/MainWindow.h"
#include "records/DataCheckWindow.h"
#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace records;
using testing_support::countRows;

namespace {

struct CheckWindow {
    CheckWindow() : session(folder.session(QStringLiteral("张三"))) {}
    void add(const QString& number, const QString& name, const QString& sex, const QString& id) {
        session->db().exec(
            QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"身份证号码\") "
                           "VALUES (?, ?, ?, ?)"),
            {number, name, sex, id});
    }
    DataCheckWindow& open() {
        window = std::make_unique<DataCheckWindow>(
            *session, [this](qint64 rowid) { opened << rowid; }, nullptr, exchange::exportGrid);
        return *window;
    }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QTableView* grid() { return window->findChild<QTableView*>(QStringLiteral("Grid")); }
    QString summary() { return window->findChild<QLabel*>(QStringLiteral("Summary"))->text(); }
    QString id(const QString& number) {
        return session->db()
            .scalar(QStringLiteral("SELECT \"身份证号码\" FROM wslib WHERE \"个人编号\" = ?"), {number})
            .toString();
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<DataCheckWindow> window;
    QList<qint64> opened;
};

} // namespace

TEST(DataCheckWindow, ListsTheFindingsUnderPinnedCaptions) {
    CheckWindow f;
    f.add("000001", "张一", "女", "11010519491231002X");
    f.add("000002", "李二", "", "110105194912310021");
    f.add("000003", "王三", "女", "440301580612301");
    DataCheckWindow& w = f.open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("数据检查"));
    const std::pair<const char*, const char*> buttons[] = {
        {"Recheck", "重新检查"}, {"ConvertAll", "一键转换"}, {"Export", "导出"}, {"Leave", "返回"}};
    for (const auto& [name, caption] : buttons) {
        ASSERT_NE(f.button(name), nullptr) << name;
        EXPECT_EQ(f.button(name)->text(), QString::fromUtf8(caption));
    }
    const QStringList headers = {"问题", "个人编号", "姓名", "身份证号码", "说明"};
    for (int i = 0; i < headers.size(); ++i)
        EXPECT_EQ(f.grid()->model()->headerData(i, Qt::Horizontal).toString(), headers[i]);

    EXPECT_EQ(f.summary(), QStringLiteral("共检查 3 人，发现问题 3 项。"));
    const auto cell = [&](int row, int column) {
        return f.grid()->model()->index(row, column).data().toString();
    };
    EXPECT_EQ(cell(0, 0), QStringLiteral("身份证号码无效"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("000002"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("李二"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("身份证号码校验位不符，应为X"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("15位身份证号码"));
    EXPECT_EQ(cell(2, 0), QStringLiteral("性别与身份证号码不符"));
    EXPECT_TRUE(f.button("ConvertAll")->isEnabled());
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}

TEST(DataCheckWindow, ConvertsAllOldNumbersOnlyAfterAYes) {
    CheckWindow f;
    f.add("000001", "张一", "", "110105491231002");
    f.add("000002", "李二", "", "440301580612301");
    const qint64 logRows = countRows(f.session->db(), QStringLiteral("user"));
    DataCheckWindow& w = f.open();
    QTest::mouseClick(f.button("ConvertAll"), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("将 2 个15位身份证号码全部转换为18位吗？"));
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_EQ(f.id("000001"), QStringLiteral("110105491231002")) << "否 changes nothing";

    f.dialogs.answer({true});
    QTest::mouseClick(f.button("ConvertAll"), Qt::LeftButton);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("已将 2 个身份证号码转换为18位。"));
    EXPECT_EQ(f.id("000001"), QStringLiteral("11010519491231002X"));
    EXPECT_EQ(f.id("000002"), QStringLiteral("440301195806123016"));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("history"),
                        QStringLiteral("kind = '批量' AND field = '一键转换身份证号码' AND new_value = 2")),
              1);
    EXPECT_EQ(w.report().count(Fault::OldId), 0) << "checked again";
    EXPECT_FALSE(f.button("ConvertAll")->isEnabled());
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("user")), logRows)
        << "the operator log is not written";
}

TEST(DataCheckWindow, AFailedConversionSaysWhyAndKeepsEveryNumber) {
    CheckWindow f;
    f.add("000001", "张一", "", "110105491231002");
    f.add("000002", "李二", "", "440301580612301");
    DataCheckWindow& w = f.open();
    f.session->db().exec(
        QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON wslib WHEN NEW.\"个人编号\" = '000002' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    f.dialogs.answer({true});
    w.convertAll();
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("转换没有完成，身份证号码都保持原样。\n输入的内容太长或格式不对。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Critical);
    EXPECT_EQ(f.id("000001"), QStringLiteral("110105491231002"));
}

TEST(DataCheckWindow, ExportsTheFindingsToAWorkbook) {
    CheckWindow f;
    f.add("000001", "张一", "", "110105194912310021");
    f.add("000002", "李二", "", "440301580612301");
    f.open();
    f.dialogs.files.enqueue(f.folder.file(QStringLiteral("检查结果")));
    QTest::mouseClick(f.button("Export"), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.shown[0].kind, ui::ScriptedDialogs::Kind::SaveFile);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导出完毕！"));

    std::unique_ptr<exchange::SheetReader> sheet =
        exchange::openSheet(f.folder.file(QStringLiteral("检查结果.xlsx")), 5);
    std::vector<std::vector<QString>> rows;
    for (exchange::SheetRow row; sheet->next(row);)
        rows.push_back(row.cells);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows[0][0].contains(QStringLiteral("共检查 2 人，发现问题 2 项。")));
    EXPECT_EQ(rows[1], (std::vector<QString>{"问题", "个人编号", "姓名", "身份证号码", "说明"}));
    EXPECT_EQ(rows[2], (std::vector<QString>{"身份证号码无效", "000001", "张一", "110105194912310021",
                                             "身份证号码校验位不符，应为X"}));
    EXPECT_EQ(rows[3][3], QStringLiteral("440301580612301")) << "numbers stay texts";

    // A cancelled dialog writes nothing.
    f.dialogs.clear();
    f.window->exportReport();
    EXPECT_EQ(f.dialogs.shown.size(), 1);
}

TEST(DataCheckWindow, AStagedWorkbookGetsAWordOnItsIdNumbers) {
    CheckWindow f;
    const QString path = f.folder.file(QStringLiteral("人员.xlsx"));
    {
        exchange::WorkbookWriter book(path);
        book.setPlain(0, 0, QStringLiteral("单位"));
        const auto columns = records::stagingColumns(f.session->db());
        for (int j = 0; j < int(columns.size()); ++j)
            book.setPlain(1, j, columns[std::size_t(j)].name);
        const char* ids[] = {"11010519491231002X", "110105194912310021", "110105491231002", "", "12345"};
        for (int r = 0; r < 5; ++r) {
            book.setText(2 + r, 0, QStringLiteral("%1").arg(r + 1, 6, 10, QLatin1Char('0')));
            book.setText(2 + r, 8, QString::fromLatin1(ids[r]));
        }
        book.save();
    }
    exchange::ImportWindow import(*f.session);
    f.dialogs.files.enqueue(path);
    import.openWorkbook();
    ASSERT_EQ(f.dialogs.shown.size(), 3);
    EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("检查完毕！请在表中修改，确定无误后导入库中。"))
        << "the import's own message first, unchanged";
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral(
                  "身份证号码检查：2 行的身份证号码无效（第 4、7 行）；1 个身份证号码重复出现（第 5 行）。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);

    // A clean workbook gets no extra word.
    f.session->db().exec(QStringLiteral("DELETE FROM wslib0"));
    {
        exchange::WorkbookWriter book(path);
        book.setPlain(0, 0, QStringLiteral("单位"));
        const auto columns = records::stagingColumns(f.session->db());
        for (int j = 0; j < int(columns.size()); ++j)
            book.setPlain(1, j, columns[std::size_t(j)].name);
        book.setText(2, 0, QStringLiteral("000001"));
        book.setText(2, 8, QStringLiteral("11010519491231002X"));
        book.save();
    }
    f.dialogs.clear();
    f.dialogs.files.enqueue(path);
    import.openWorkbook();
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("检查完毕！请在表中修改，确定无误后导入库中。"));
}

TEST(DataCheckWindow, PersonsSharingAnIdNumberAreCountedWhenThereAreAny) {
    CheckWindow f;
    f.add("000001", "张一", "", "11010519491231002X");
    f.add("000002", "李二", "", "440301580612301");
    tellSharedIdNumbers(nullptr, *f.session);
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    f.add("000003", "张一", "", "110105491231002");
    f.add("000004", "李二", "", "440301195806123016");
    f.add("000005", "王三", "", "440301195806123016");
    tellSharedIdNumbers(nullptr, *f.session);
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(
        f.dialogs.last().text,
        QStringLiteral("合并后共有 5 人的身份证号码与其他人员相同，可在“人员管理”的“数据检查”中查看。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
}

TEST(DataCheckWindow, DoubleClickOpensThePersonInTheEntryWindow) {
    CheckWindow f;
    f.add("000001", "张一", "男", "");
    f.add("000002", "李二", "女", "");
    f.add("000003", "王三", "女", "110105194912310021");
    EntryWindow entry(*f.session, [] {});
    // A search that hides the person: the entry window goes back to the whole list.
    entry.chooseCategory(5);
    entry.findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(5);
    entry.findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(QStringLiteral("男"));
    entry.searchByCategory();
    ASSERT_EQ(entry.navigationCaption(), QStringLiteral("找到人数：1"));

    f.window = std::make_unique<DataCheckWindow>(*f.session, [&](qint64 rowid) { entry.showPerson(rowid); });
    f.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.window.get()));
    QTableView* grid = f.grid();
    const QRect cell = grid->visualRect(grid->model()->index(0, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(entry.navigationCaption(), QStringLiteral("全部人数：3"));
    EXPECT_EQ(entry.form().findChild<QLineEdit*>(QStringLiteral("Text4"))->text(), QStringLiteral("王三"));
    EXPECT_EQ(entry.list().position(), 2);
}

TEST(DataCheckWindow, EveryUserOpensItFromThePersonsMenu) {
    CheckWindow f;
    f.add("000001", "张一", "男", "");
    f.add("000002", "李二", "男", "110105194912310021");
    login::MainWindow main(*f.session, login::MainHooks{[] {}, [] {}});
    QMenu* persons = main.findChild<QMenu*>(QStringLiteral("W0"));
    ASSERT_NE(persons, nullptr);
    QAction* item = main.findChild<QAction*>(QStringLiteral("DataCheck"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("数据检查"));
    EXPECT_EQ(persons->actions().last(), item) << "after the items the command table names";
    item->trigger();
    auto* check = main.findChild<DataCheckWindow*>();
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(check->isVisible());
    EXPECT_TRUE(f.dialogs.shown.isEmpty()) << "no rights needed";
    const qint64 logRows = countRows(f.session->db(), QStringLiteral("user"));
    item->trigger();
    EXPECT_EQ(main.findChildren<DataCheckWindow*>().size(), 1) << "a second request brings it forward";

    check->openRow(0);
    auto* entry = main.findChild<EntryWindow*>();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->form().findChild<QLineEdit*>(QStringLiteral("Text4"))->text(), QStringLiteral("李二"));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("user")), logRows + 1)
        << "only the entry window's own entry";
    EXPECT_EQ(testing_support::lastAction(f.session->db()), QStringLiteral("进入信息录入"));
}
