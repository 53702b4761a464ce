#include "TestFolder.h"
#include "exchange/Export.h"
#include "exchange/ExportCommands.h"
#include "exchange/Import.h"
#include "exchange/ImportWindow.h"
#include "exchange/PreviewWindow.h"
#include "exchange/SamplePersons.h"
#include "exchange/SheetReader.h"
#include "exchange/Workbook.h"
#include "login/MainWindow.h"
#include "print/ResultsWindow.h"
#include "records/PersonRecord.h"
#include "store/Database.h"
#include "ui/JobRunner.h"
#include "ui/JobScript.h"
#include "ui/ScriptedDialogs.h"
#include "ui/WindowScript.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>

using testing_support::countRows;
using Kind = ui::ScriptedDialogs::Kind;
using exchange::kImportQuestion;

namespace {

std::vector<exchange::SheetRow> readBack(const QString& path) {
    auto sheet = exchange::openSheet(path, 100);
    std::vector<exchange::SheetRow> rows;
    exchange::SheetRow row;
    while (sheet->next(row))
        rows.push_back(row);
    return rows;
}

struct MainFixture {
    MainFixture() : session(folder.session()) {
        session->state().unitName = QStringLiteral("某某离退休处");
        testing_support::addSamplePersons(session->db(), 30);
        window = std::make_unique<login::MainWindow>(*session, login::MainHooks{[] {}, [] {}});
    }
    QString file(const char* name) const { return folder.file(QString::fromUtf8(name)); }
    QStringList folderFiles() const {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<login::MainWindow> window;
};

struct ImportFixture {
    ImportFixture() : session(folder.session()), window(*session) {
        testing_support::addSamplePersons(session->db(), 12);
    }
    QPushButton* button(const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QString label() { return window.findChild<QLabel*>(QStringLiteral("Label1"))->text(); }
    QAbstractItemModel* grid() { return window.findChild<QTableView*>(QStringLiteral("DBGrid1"))->model(); }
    void click(const char* name) { button(name)->click(); }
    // An exchange workbook of the persons table as it is now.
    QString exported(const char* name) {
        const QString path = folder.file(QString::fromLatin1(name));
        exchange::WorkbookWriter book(path);
        exchange::writePersons(book, session->db(), QStringLiteral("单位"));
        book.save();
        return path;
    }

    ui::ScriptedDialogs dialogs;
    ui::PressWhenShown preview{exchange::kImportPreviewTitle, QStringLiteral("Continue")}; // 继续
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    exchange::ImportWindow window;
};

} // namespace

TEST(ExcelExportCommand, WritesEveryPersonAfterTheSaveDialog) {
    MainFixture f;
    f.dialogs.files.enqueue(f.file("名单"));
    testing_support::trigger(*f.window, QStringLiteral("OUTexcel"));
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.shown[0].kind, Kind::SaveFile);
    EXPECT_EQ(f.dialogs.shown[0].text, QStringLiteral("请输入文件名"));
    EXPECT_EQ(f.dialogs.shown[1].kind, Kind::Message);
    EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("导出完毕！"));
    EXPECT_EQ(f.dialogs.shown[1].title, ui::kProgramTitle);
    EXPECT_EQ(f.dialogs.shown[1].icon, ui::Icon::None);
    auto* label2 = f.window->findChild<QLabel*>(QStringLiteral("Label2"));
    EXPECT_FALSE(label2->isVisible());
    EXPECT_EQ(label2->text(), QStringLiteral("正在导出！100.0%"));
    EXPECT_EQ(f.folderFiles(), QStringList({QStringLiteral("lib.mdb"), QStringLiteral("名单.xlsx")}));

    const auto rows = readBack(f.file("名单.xlsx"));
    ASSERT_EQ(rows.size(), 32u);
    EXPECT_EQ(rows[0].cells.at(0), QStringLiteral("某某离退休处"));
    EXPECT_EQ(rows[1].cells.size(), 64u);
    EXPECT_EQ(rows[2].cells.at(0),
              testing_support::personsInExportOrder(f.session->db()).front().at(0).toString());

    // A name that already ends in .xlsx keeps its one ending.
    f.dialogs.clear();
    f.dialogs.files.enqueue(f.file("二.xlsx"));
    testing_support::trigger(*f.window, QStringLiteral("OUTexcel"));
    EXPECT_TRUE(f.folderFiles().contains(QStringLiteral("二.xlsx")));
    EXPECT_FALSE(f.folderFiles().contains(QStringLiteral("二.xlsx.xlsx")));
}

TEST(ExcelExportCommand, CancellingWritesNothingAndAFailedSaveLeavesNoFile) {
    MainFixture f;
    testing_support::trigger(*f.window, QStringLiteral("OUTexcel"));
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().kind, Kind::SaveFile);
    EXPECT_EQ(f.folderFiles(), QStringList(QStringLiteral("lib.mdb")));

    // The closing step fails after the completion message: a folder holds the chosen name.
    QDir(f.folder.path()).mkdir(QStringLiteral("占用.xlsx"));
    f.dialogs.clear();
    f.dialogs.files.enqueue(f.file("占用"));
    testing_support::trigger(*f.window, QStringLiteral("OUTexcel"));
    ASSERT_EQ(f.dialogs.shown.size(), 3);
    EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("导出完毕！"));
    EXPECT_EQ(f.dialogs.shown[2].text, QStringLiteral("出错！请重新来。"));
    EXPECT_EQ(f.dialogs.shown[2].icon, ui::Icon::None);
    EXPECT_EQ(f.folderFiles(), QStringList(QStringLiteral("lib.mdb")));

    // A folder that does not exist fails before any row is written.
    f.dialogs.clear();
    f.dialogs.files.enqueue(f.file("无此目录/名单"));
    testing_support::trigger(*f.window, QStringLiteral("OUTexcel"));
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("出错！请重新来。"));
}

TEST(ExcelImportCommand, OpensTheImportWindowOnce) {
    MainFixture f;
    testing_support::trigger(*f.window, QStringLiteral("INexcel"));
    testing_support::trigger(*f.window, QStringLiteral("INexcel"));
    const auto windows = f.window->findChildren<exchange::ImportWindow*>();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows.front()->isVisible());
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}

TEST(ResultsExport, WritesTheResultWithTitlesInRowOne) {
    MainFixture f;
    f.session->pendingExpression() = QStringLiteral("姓名 = '张1' or 姓名 = '张2' or 姓名 = '张4'");
    print::ResultsWindow results(*f.session);
    ASSERT_EQ(results.resultCount(), 3);
    f.dialogs.files.enqueue(f.file("结果.xlsx"));
    results.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.shown[0].text, QStringLiteral("请输入文件名!"));
    EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("导出完毕！"));
    EXPECT_EQ(results.status(), QStringLiteral("正在导出！100.0%"));
    const auto rows = readBack(f.file("结果.xlsx"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(rows[0].cells.size(), 64u);
    EXPECT_EQ(rows[0].cells.at(1), QStringLiteral("姓名"));
    EXPECT_EQ(rows[1].cells.at(1), QStringLiteral("张1"));
    EXPECT_EQ(rows[3].cells.at(1), QStringLiteral("张4"));
}

TEST(ImportWindow, ControlsAndCaptions) {
    ImportFixture f;
    EXPECT_EQ(f.window.objectName(), QStringLiteral("Form13"));
    EXPECT_EQ(f.window.windowTitle(), QStringLiteral("导入EXCEL文件"));
    const std::vector<std::pair<const char*, const char*>> buttons = {{"Command1", "打开文件"},
                                                                      {"Command4", "最后的检查数据"},
                                                                      {"Command2", "导入到库中"},
                                                                      {"Command3", "返回"}};
    for (const auto& [name, caption] : buttons) {
        ASSERT_NE(f.button(name), nullptr) << name;
        EXPECT_EQ(f.button(name)->text(), QString::fromUtf8(caption)) << name;
    }
    EXPECT_NE(f.window.findChild<QLineEdit*>(QStringLiteral("Text1")), nullptr);
    EXPECT_NE(f.window.findChild<QLabel*>(QStringLiteral("Label1")), nullptr);
    EXPECT_NE(f.window.findChild<QTableView*>(QStringLiteral("DBGrid1")), nullptr);
    EXPECT_FALSE(f.button("Command2")->isEnabled());
    f.click("Command4");
    EXPECT_TRUE(f.button("Command2")->isEnabled());
}

TEST(ImportWindow, ReadsReviewsAndImportsKeepingPhotos) {
    ImportFixture f;
    const QString path = f.exported("all.xlsx");
    const qint64 photos =
        countRows(f.session->db(), QStringLiteral("wslib"), QStringLiteral("\"相片\" IS NOT NULL"));
    f.dialogs.files.enqueue(path);
    f.click("Command1");
    ASSERT_GE(f.dialogs.shown.size(), 2); // a word on odd ID numbers may follow
    EXPECT_EQ(f.dialogs.shown[0].kind, Kind::OpenFile);
    EXPECT_EQ(f.dialogs.shown[0].text, QStringLiteral("请选择要导入的文件！"));
    EXPECT_EQ(f.dialogs.shown[1].text, QStringLiteral("检查完毕！请在表中修改，确定无误后导入库中。"));
    EXPECT_EQ(f.window.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), path);
    EXPECT_TRUE(f.button("Command2")->isEnabled());
    EXPECT_EQ(f.label(), QString());
    ASSERT_EQ(f.grid()->rowCount(), 12);

    // Each person's photo by number, the renamed one's gone with the old name.
    const auto photosByNumber = [&] {
        std::map<QString, QByteArray> byNumber;
        store::Statement st = f.session->db().prepare(
            QStringLiteral("SELECT \"个人编号\", \"相片\" FROM wslib WHERE \"相片\" IS NOT NULL"));
        while (st.step())
            byNumber[st.value(0).toString()] = st.value(1).toByteArray();
        return byNumber;
    };
    std::map<QString, QByteArray> expected = photosByNumber();
    ASSERT_EQ(qint64(expected.size()), photos);
    int renamed = 0;
    while (!expected.count(f.grid()->index(renamed, 0).data().toString()))
        ++renamed;
    expected.erase(f.grid()->index(renamed, 0).data().toString());

    // A correction in the grid goes into the staging table.
    ASSERT_TRUE(f.grid()->setData(f.grid()->index(renamed, 1), QStringLiteral("张改"), Qt::EditRole));
    EXPECT_EQ(f.grid()->index(renamed, 1).data().toString(), QStringLiteral("张改"));

    f.dialogs.clear();
    f.dialogs.answer({false});
    f.click("Command2");
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().kind, Kind::Question);
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("数据导入将会覆盖原有的数据（建议备份数据后才操作），\r\n"
                             "如果记录含有相片数据，请进入录入界面中导出全部相片后才操作此步。\r\n"
                             "您真的要操作吗？\r\n"
                             "库中现有12人，将被替换为12人。"));
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib"), QStringLiteral("\"姓名\" = '张改'")), 0);

    f.dialogs.clear();
    f.dialogs.answer({true});
    f.click("Command2");
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导入完毕！共导入12条记录！"));
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib")), 12);
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("wslib"), QStringLiteral("\"姓名\" = '张改'")), 1);
    EXPECT_EQ(countRows(f.session->db(), QStringLiteral("history"),
                        QStringLiteral("kind = '批量' AND field = 'Excel导入' AND new_value = 12")),
              1);
    EXPECT_EQ(photosByNumber(), expected);
    EXPECT_EQ(f.label(), QStringLiteral("已保留原有相片%1张。").arg(photos - 1));
}

// Persons without a number come first in an export and end its reading at once: the operator is
// told what was left unread, and the question says how many persons an import would replace.
TEST(ImportWindow, AnExportThatWouldEmptyTheTableSaysSoBeforeReplacing) {
    ImportFixture f;
    f.session->db().exec(QStringLiteral("UPDATE wslib SET \"个人编号\" = '' WHERE rowid = 2"));
    f.session->db().exec(QStringLiteral("UPDATE wslib SET \"个人编号\" = NULL WHERE rowid = 5"));
    const auto before = testing_support::personsInStoredOrder(f.session->db());
    f.dialogs.files.enqueue(f.exported("all.xlsx"));
    f.click("Command1");
    ASSERT_GE(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.shown[1].text,
              QStringLiteral("检查完毕！请在表中修改，确定无误后导入库中。\n"
                             "第3行的A列为空，读取到此为止：从该行起还有12行没有读入。"));
    EXPECT_EQ(f.grid()->rowCount(), 0);

    f.dialogs.clear();
    f.click("Command2"); // answered No
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, kImportQuestion + QStringLiteral("\r\n库中现有12人，将被替换为0人。"));
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_EQ(testing_support::personsInStoredOrder(f.session->db()), before);
}

// A database failure while the workbook is read is told with its cause under the cell message;
// a value the table itself refuses keeps the cell message alone.
TEST(ImportWindow, DatabaseFailuresWhileReadingNameTheirCause) {
    struct Case {
        const char* what;
        std::function<void(store::Database& own, store::Database& other)> fail;
        const char* cell;  // the cell being processed; nullptr where the failing row varies
        const char* cause; // nullptr: the cell message alone
    };
    const std::vector<Case> cases = {
        {"disk full",
         [](store::Database& own, store::Database&) {
             own.exec(QStringLiteral("VACUUM")); // no free pages left to fill
             const qint64 pages = own.scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
             own.scalar(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
         },
         nullptr, "磁盘已满。"},
        {"read-only",
         [](store::Database& own, store::Database&) { own.exec(QStringLiteral("PRAGMA query_only = 1")); },
         "A3", "数据库文件是只读的，不能写入。"},
        {"locked",
         [](store::Database& own, store::Database& other) {
             own.exec(QStringLiteral("PRAGMA busy_timeout = 50"));
             other.exec(QStringLiteral("BEGIN EXCLUSIVE"));
         },
         nullptr, "数据库文件正被其他程序占用。"},
        {"refused by the table", // 张5 is the seventh person in the order of 个人编号
         [](store::Database& own, store::Database&) {
             own.exec(
                 QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON wslib0 WHEN NEW.\"姓名\" = '张5' "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
         },
         "A9", nullptr},
    };
    for (const Case& c : cases) {
        ImportFixture f;
        // Long remarks, so that the staged rows need pages of their own.
        f.session->db().exec(QStringLiteral("UPDATE wslib SET \"备注\" = hex(zeroblob(1500))"));
        const QString path = f.exported("all.xlsx");
        auto other = std::make_unique<store::Database>(f.folder.file(QStringLiteral("lib.mdb")));
        // The workbook is read on the job's own connection: that one is made to fail.
        f.session->db().exec(QStringLiteral("PRAGMA busy_timeout = 50"));
        ui::setJobConnectionHook([&](store::Database& own) { c.fail(own, *other); });
        f.dialogs.files.enqueue(path);
        f.click("Command1");
        ui::setJobConnectionHook({});
        other.reset(); // lets go of its lock
        ASSERT_EQ(f.dialogs.shown.size(), 2) << c.what;
        const QString text = f.dialogs.last().text;
        const QString tail = QStringLiteral("”单元格数据。") +
                             (c.cause ? QStringLiteral("\n") + QString::fromUtf8(c.cause) : QString());
        if (c.cell) {
            EXPECT_EQ(text, QStringLiteral("出错！请检查EXCEL文件“") + QString::fromLatin1(c.cell) + tail)
                << c.what;
        } else {
            EXPECT_TRUE(text.startsWith(QStringLiteral("出错！请检查EXCEL文件“A")))
                << c.what << ": " << text.toStdString();
            EXPECT_TRUE(text.endsWith(tail)) << c.what << ": " << text.toStdString();
        }
        EXPECT_FALSE(f.button("Command2")->isEnabled()) << c.what;
    }
}

TEST(ImportWindow, RefusedWorkbooksAndCancelledDialogs) {
    ImportFixture f;
    f.click("Command4");
    f.click("Command1"); // cancelled
    EXPECT_FALSE(f.button("Command2")->isEnabled());
    EXPECT_EQ(f.window.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QString());

    f.session->db().exec(QStringLiteral("INSERT INTO wslib0 (\"姓名\") VALUES ('模板')"));
    const QString misspelt = f.folder.file(QStringLiteral("bad.xlsx"));
    {
        exchange::WorkbookWriter book(misspelt);
        book.setPlain(1, 0, QStringLiteral("个人编号"));
        book.setPlain(1, 1, QStringLiteral("名字"));
        book.save();
    }
    f.dialogs.files.enqueue(misspelt);
    f.click("Command1");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("文件格式不符合！请查列标题“名字”"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    EXPECT_FALSE(f.button("Command2")->isEnabled());
    EXPECT_EQ(f.grid()->rowCount(), 1);

    // A word in the date column of the third person.
    f.session->db().exec(QStringLiteral("UPDATE wslib SET \"出生年月\" = NULL"));
    const QString path = f.exported("date.xlsx");
    {
        auto rows = readBack(path);
        exchange::WorkbookWriter book(path);
        for (const auto& row : rows) {
            for (std::size_t j = 0; j < row.cells.size(); ++j) {
                const QString text = row.number == 5 && j == 7 ? QStringLiteral("不详") : row.cells[j];
                if (row.number <= 2)
                    book.setPlain(row.number - 1, int(j), text);
                else
                    book.setText(row.number - 1, int(j), text);
            }
        }
        book.save();
    }
    f.dialogs.clear();
    f.dialogs.files.enqueue(path);
    f.click("Command1");
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("出错！请检查EXCEL文件“H5”单元格数据。\n该列只能填日期，如1950-03-15。"));
    EXPECT_FALSE(f.button("Command2")->isEnabled());
    EXPECT_EQ(f.grid()->rowCount(), 2);

    // Something that is no workbook at all.
    f.dialogs.clear();
    f.dialogs.files.enqueue(f.folder.file(QStringLiteral("lib.mdb")));
    f.click("Command1");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("文件“lib.mdb”不是EXCEL文件，不能导入。"));
    EXPECT_EQ(f.grid()->rowCount(), 2);
    // A workbook cut short.
    const QString cut = f.folder.file(QStringLiteral("cut.xlsx"));
    {
        QFile whole(path);
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        QFile part(cut);
        ASSERT_TRUE(part.open(QIODevice::WriteOnly));
        part.write(whole.read(whole.size() / 2));
    }
    f.dialogs.clear();
    f.dialogs.files.enqueue(cut);
    f.click("Command1");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("EXCEL文件“cut.xlsx”已损坏，不能读出。"));
}

TEST(ImportWindow, GridEditsFollowTheColumnRules) {
    ImportFixture f;
    f.session->db().exec(
        QStringLiteral("INSERT INTO wslib0 (\"个人编号\", \"出生年月\") VALUES ('000001', '1950-03-15')"));
    f.click("Command4");
    QAbstractItemModel* grid = f.grid();
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->index(0, 7).data().toString(), QStringLiteral("1950-03-15"));
    EXPECT_TRUE(grid->flags(grid->index(0, 7)) & Qt::ItemIsEditable);

    EXPECT_FALSE(grid->setData(grid->index(0, 7), QStringLiteral("不详"), Qt::EditRole));
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, records::kWriteFailed);
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"出生年月\" FROM wslib0")),
              QVariant(QStringLiteral("1950-03-15")));

    EXPECT_FALSE(grid->setData(grid->index(0, 1), QStringLiteral("一二三四五六七八九"), Qt::EditRole));
    EXPECT_TRUE(grid->setData(grid->index(0, 7), QStringLiteral("1960-1-2"), Qt::EditRole));
    EXPECT_EQ(grid->index(0, 7).data().toString(), QStringLiteral("1960-01-02"));
    EXPECT_TRUE(grid->setData(grid->index(0, 18), QStringLiteral("True"), Qt::EditRole));
    EXPECT_EQ(grid->index(0, 18).data().toString(), QStringLiteral("True"));
    EXPECT_TRUE(grid->setData(grid->index(0, 7), QStringLiteral(" "), Qt::EditRole));
    EXPECT_TRUE(f.session->db().scalar(QStringLiteral("SELECT \"出生年月\" FROM wslib0")).isNull());
}

TEST(ImportWindow, AFailedImportSaysSoAndChangesNothing) {
    ImportFixture f;
    const auto before = testing_support::personsInStoredOrder(f.session->db());
    f.session->db().exec(QStringLiteral(
        "INSERT INTO wslib0 (\"个人编号\", \"姓名\") VALUES ('000001', '甲'), ('000002', '坏')"));
    f.session->db().exec(
        QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON wslib WHEN NEW.\"姓名\" = '坏' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    f.click("Command4");
    f.dialogs.answer({true});
    f.click("Command2");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("出错了。"));
    EXPECT_EQ(f.label(), QString());
    EXPECT_EQ(testing_support::personsInStoredOrder(f.session->db()), before);
}

// Every table and index of the file, row by row, to compare before and after.
static QStringList wholeFile(store::Database& db) {
    QStringList lines;
    store::Statement tables =
        db.prepare(QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY type, name"));
    QStringList names;
    while (tables.step()) {
        lines << tables.text(0) + QLatin1Char(' ') + tables.text(1) + QLatin1Char(' ') + tables.text(2);
        if (tables.text(0) == QLatin1String("table"))
            names << tables.text(1);
    }
    for (const QString& name : names) {
        store::Statement rows =
            db.prepare(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(store::quoted(name)));
        while (rows.step()) {
            QStringList values;
            for (int c = 0; c < rows.columnCount(); ++c)
                values << rows.value(c).toString();
            lines << name + QLatin1Char(':') + values.join(QLatin1Char('|'));
        }
    }
    return lines;
}

TEST(ImportWindow, CancelWhileImportingLeavesEveryTableAsItWas) {
    ImportFixture f;
    f.window.show();
    for (int i = 1; i <= 30; ++i)
        f.session->db().exec(
            QStringLiteral("INSERT INTO wslib0 (\"个人编号\", \"姓名\") VALUES (?, ?)"),
            {QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), QStringLiteral("新%1").arg(i)});
    f.click("Command4");
    const QStringList before = wholeFile(f.session->db());
    f.dialogs.answer({true});
    f.dialogs.clear();
    // Held part way through the rows; 返回 pressed meanwhile is refused.
    ui::CancelJobAt cancel(30, f.window.findChild<QLabel*>(QStringLiteral("Label1")),
                           [&] { QTest::mouseClick(f.button("Command3"), Qt::LeftButton); });
    f.click("Command2");
    ASSERT_TRUE(cancel.pressed());
    EXPECT_TRUE(cancel.progressSeen().startsWith(QStringLiteral("正在导入第")))
        << cancel.progressSeen().toStdString();
    EXPECT_TRUE(f.window.isVisible()) << "返回 was refused while the job ran";
    EXPECT_EQ(f.dialogs.last().text, ui::kCancelledNothingChanged);
    EXPECT_EQ(f.dialogs.shown.size(), 2); // the question, then the word on 取消
    EXPECT_EQ(f.label(), QString());
    EXPECT_EQ(wholeFile(f.session->db()), before);
}

TEST(ImportWindow, AnEditInTheGridsEditorIsCheckedToo) {
    ImportFixture f;
    f.session->db().exec(
        QStringLiteral("INSERT INTO wslib0 (\"个人编号\", \"出生年月\") VALUES ('000001', '1950-03-15')"));
    f.click("Command4");
    f.window.show();
    auto* view = f.window.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    const auto typeInto = [&](int column, const QString& text) {
        const QModelIndex index = view->model()->index(0, column);
        view->setCurrentIndex(index);
        view->edit(index);
        auto* editor = view->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        // What Enter does in the editor: hand the text to the model, then close.
        QMetaObject::invokeMethod(view, "commitData", Q_ARG(QWidget*, editor));
        QMetaObject::invokeMethod(view, "closeEditor", Q_ARG(QWidget*, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    typeInto(7, QStringLiteral("不详"));
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, records::kWriteFailed);
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"出生年月\" FROM wslib0")),
              QVariant(QStringLiteral("1950-03-15")));
    typeInto(13, QStringLiteral("2010-10"));
    EXPECT_EQ(f.session->db().scalar(QStringLiteral("SELECT \"退休年月\" FROM wslib0")),
              QVariant(QStringLiteral("2010-10-01")));
}
