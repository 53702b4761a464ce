#include "TestFolder.h"

#include "login/AppController.h"
#include "login/MainWindow.h"
#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "records/HistoryWindow.h"
#include "records/PersonsTable.h"
#include "records/Photo.h"
#include "records/Template.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace records;
using testing_support::countRows;
using testing_support::TestFolder;

namespace {

const QString kSuper = QStringLiteral("超级用户");

struct Row {
    QString operatorName, kind, field;
    QVariant oldValue, newValue;
    qint64 person;
    QString number;
};

// Every history row, oldest first, as stored.
QList<Row> historyRows(store::Database& db) {
    QList<Row> rows;
    if (!hasHistoryTable(db))
        return rows;
    store::Statement st = db.prepare(QStringLiteral(
        "SELECT operator, kind, field, old_value, new_value, person, number FROM history ORDER BY id"));
    while (st.step())
        rows.append({st.text(0), st.text(1), st.text(2), st.value(3), st.value(4),
                     st.isNull(5) ? -1 : st.integer(5), st.text(6)});
    return rows;
}

struct History {
    explicit History(const QString& user = QStringLiteral("张三")) : session(folder.session(user)) {}
    // Added as the super user; the name is written past the history.
    qint64 addPerson(const QString& number, const QString& name) {
        const qint64 rowid = addNumberedPerson(db(), number, kSuper);
        db().exec(QStringLiteral("UPDATE wslib SET \"姓名\" = ? WHERE rowid = ?"), {name, rowid});
        return rowid;
    }
    store::Database& db() { return session->db(); }
    QVariant value(const QString& number, const char* column) {
        return testing_support::personValue(db(), number, column);
    }
    HistoryWindow& window(std::optional<HistoryWindow::Person> person = std::nullopt) {
        history = std::make_unique<HistoryWindow>(*session, person, [this](qint64 r) { changed << r; });
        return *history;
    }
    QPushButton* button(const char* name) {
        return history->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    // The grid row of the newest history row of this kind and column.
    int gridRow(const QString& kind, const QString& field) {
        for (int i = 0; i < history->model().rowCount(); ++i) {
            if (history->model().at(i).kind == kind && history->model().at(i).field == field)
                return i;
        }
        return -1;
    }

    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<HistoryWindow> history;
    QList<qint64> changed;
};

} // namespace

// The entry window's writes, clicked, and the photo writes each leave their rows with the values
// before and after and the operator who made them.
TEST(PersonHistory, EveryWriteOfOnePersonIsRecordedWithItsOperator) {
    History f;
    EntryWindow entry(*f.session, [] {});
    Entries model;
    model[kSex] = {QStringLiteral("男")};
    saveTemplate(f.db(), model);
    entry.form().findChild<QCheckBox*>(QStringLiteral("Check20"))->setChecked(true);
    testing_support::trigger(entry, QStringLiteral("tt1")); // 新增 with the template
    entry.form().findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("王五"));
    testing_support::trigger(entry, QStringLiteral("tt2")); // 保存
    const qint64 rowid = entry.list().currentRowid();
    testing_support::trigger(entry, QStringLiteral("tt9")); // 修改记录 of the person shown
    auto* shown = entry.findChild<HistoryWindow*>();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->windowTitle(), QStringLiteral("修改记录 - 000001 王五"));
    EXPECT_EQ(shown->model().rowCount(), 3);
    EXPECT_EQ(shown->model().at(0).field, QStringLiteral("姓名")) << "newest first";
    const QByteArray photo("\xff\xd8 picture bytes", 17);
    storePhoto(f.db(), rowid, photo, QStringLiteral("李四"));
    clearPhoto(f.db(), rowid, QStringLiteral("李四"));
    f.dialogs.answer({true});
    testing_support::trigger(entry, QStringLiteral("tt3")); // 删除

    const QList<Row> rows = historyRows(f.db());
    struct Expected {
        QString operatorName, kind, field;
        QVariant oldValue, newValue;
    };
    const QList<Expected> expected = {
        {"张三", kHistoryAdded, "个人编号", {}, "000001"},
        {"张三", kHistoryAdded, "性别", {}, "男"},
        {"张三", kHistoryChanged, "姓名", {}, "王五"},
        {"李四", kHistoryChanged, "相片", {}, qint64(photo.size())},
        {"李四", kHistoryChanged, "相片", photo, {}},
        {"张三", kHistoryDeleted, "个人编号", "000001", {}},
        {"张三", kHistoryDeleted, "姓名", "王五", {}},
        {"张三", kHistoryDeleted, "性别", "男", {}},
    };
    // The deletion keeps every value the person had; the ones checked here come first.
    ASSERT_GE(rows.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(rows[i].operatorName, e.operatorName) << i;
        EXPECT_EQ(rows[i].kind, e.kind) << i;
        EXPECT_EQ(rows[i].field, e.field) << i;
        EXPECT_TRUE(sameStoredValue(rows[i].oldValue, e.oldValue))
            << i << " " << rows[i].oldValue.toString().toStdString();
        EXPECT_TRUE(sameStoredValue(rows[i].newValue, e.newValue))
            << i << " " << rows[i].newValue.toString().toStdString();
        EXPECT_EQ(rows[i].person, rowid) << i;
    }
    for (const Row& r : rows.mid(expected.size()))
        EXPECT_EQ(r.kind, kHistoryDeleted) << "yes/no columns hold false";
    EXPECT_EQ(countRows(f.db(), QStringLiteral("wslib")), 0);
}

// The history row is written with the change or not at all: a refusal of either leaves both out.
TEST(PersonHistory, AFailingSaveLeavesNeitherTheChangeNorItsRow) {
    const QStringList triggers = {
        QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON wslib BEGIN SELECT RAISE(FAIL, 'disk'); END"),
        QStringLiteral(
            "CREATE TRIGGER refuse BEFORE INSERT ON history BEGIN SELECT RAISE(FAIL, 'disk'); END"),
    };
    for (const QString& trigger : triggers) {
        History f;
        f.addPerson(QStringLiteral("000001"), QStringLiteral("王五"));
        ensureHistoryTable(f.db());
        const qint64 before = countRows(f.db(), kHistoryTable);
        f.db().exec(trigger);
        EntryWindow entry(*f.session, [] {});
        entry.form().findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("赵六"));
        EXPECT_FALSE(entry.saveRecord()) << trigger.toStdString();
        EXPECT_EQ(f.dialogs.shown.size(), 1) << "the operator is told";
        EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("王五"));
        EXPECT_EQ(countRows(f.db(), kHistoryTable), before) << trigger.toStdString();
    }
}

TEST(HistoryWindow, UndoPutsTheOldValueBackAsAChangeOfItsOwn) {
    History f;
    const qint64 rowid = f.addPerson(QStringLiteral("000001"), QStringLiteral("王五"));
    writePerson(f.db(), rowid, {{kPersonName, {QStringLiteral("赵六")}}, {27, {QStringLiteral("2345.5")}}},
                QStringLiteral("张三"));
    HistoryWindow& w =
        f.window(HistoryWindow::Person{rowid, QStringLiteral("000001"), QStringLiteral("赵六")});
    EXPECT_EQ(w.model().rowCount(), 3) << "the person's rows, newest first";
    EXPECT_EQ(w.model().at(0).operatorName, QStringLiteral("张三"));
    EXPECT_EQ(w.statusText(), kHistoryCount.arg(3));
    w.select({f.gridRow(kHistoryChanged, QStringLiteral("姓名")),
              f.gridRow(kHistoryChanged, QStringLiteral("基本养老金"))});
    f.button("Undo")->click();
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("王五"));
    EXPECT_TRUE(f.value(QStringLiteral("000001"), "基本养老金").isNull());
    EXPECT_EQ(f.changed, QList<qint64>{rowid});
    EXPECT_EQ(w.statusText(), kUndone);
    EXPECT_EQ(w.model().rowCount(), 5);
    const HistoryRow& undo = w.model().at(0);
    EXPECT_EQ(undo.kind, kHistoryChanged);
    EXPECT_EQ(undo.operatorName, QStringLiteral("张三"));
    const HistoryRow& name = w.model().at(f.gridRow(kHistoryChanged, QStringLiteral("姓名")));
    EXPECT_EQ(name.oldValue.toString(), QStringLiteral("赵六"));
    EXPECT_EQ(name.newValue.toString(), QStringLiteral("王五"));
}

TEST(HistoryWindow, OnlyTheSuperUserUndoesAnotherOperatorsChange) {
    for (const QString& user : {QStringLiteral("张三"), kSuper}) {
        History f(user);
        const qint64 rowid = f.addPerson(QStringLiteral("000001"), QStringLiteral("王五"));
        writePerson(f.db(), rowid, {{kPersonName, {QStringLiteral("赵六")}}}, QStringLiteral("李四"));
        HistoryWindow& w = f.window();
        w.select({f.gridRow(kHistoryChanged, QStringLiteral("姓名"))});
        f.button("Undo")->click();
        if (user == kSuper) {
            EXPECT_TRUE(f.dialogs.shown.isEmpty());
            EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("王五"));
            continue;
        }
        ASSERT_EQ(f.dialogs.shown.size(), 1);
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("您不是超级用户，只能撤销自己所做的修改！"));
        EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
        EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Exclamation);
        EXPECT_EQ(f.value(QStringLiteral("000001"), "姓名").toString(), QStringLiteral("赵六"));
    }
}

// A deleted person comes back whole under the old number, or under the number 新增 would give
// when another person has taken it meanwhile.
TEST(HistoryWindow, RestoreADeletedPerson) {
    for (const bool taken : {false, true}) {
        History f;
        f.addPerson(QStringLiteral("000003"), QStringLiteral("甲"));
        const qint64 rowid = f.addPerson(QStringLiteral("000005"), QStringLiteral("王五"));
        f.addPerson(QStringLiteral("000009"), QStringLiteral("乙"));
        const QByteArray photo("photo", 5);
        storePhoto(f.db(), rowid, photo, QStringLiteral("张三"));
        deletePerson(f.db(), rowid, QStringLiteral("张三"));
        if (taken)
            f.addPerson(QStringLiteral("000005"), QStringLiteral("新人"));
        HistoryWindow& w = f.window();
        w.select({f.gridRow(kHistoryDeleted, QStringLiteral("姓名"))});
        f.button("Restore")->click();
        const QString number = taken ? QStringLiteral("000010") : QStringLiteral("000005");
        EXPECT_EQ(testing_support::personValue(f.db(), number, "姓名").toString(), QStringLiteral("王五"));
        EXPECT_EQ(testing_support::personValue(f.db(), number, "相片").toByteArray(), photo);
        EXPECT_EQ(w.statusText(), kRestoredAs.arg(number));
        if (taken) {
            ASSERT_EQ(f.dialogs.shown.size(), 1);
            EXPECT_EQ(f.dialogs.last().text,
                      QStringLiteral("原个人编号000005已被其他人使用，此人已按新增的编号000010恢复。"));
            EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Information);
        } else {
            EXPECT_TRUE(f.dialogs.shown.isEmpty());
            EXPECT_EQ(f.changed, QList<qint64>{rowid}) << "the person keeps its row identity";
        }
        EXPECT_EQ(w.model().at(0).kind, kHistoryAdded) << "the restore is recorded";
    }
}

// A file from before gets the table at start-up and its writes go on; a read-only file gets none
// and the window says so. Every user opens the window from the persons menu.
TEST(HistoryWindow, TableMadeOnOpenAndUnavailableOnAReadOnlyFile) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    {
        std::unique_ptr<store::Session> s = folder.session();
        ASSERT_FALSE(hasHistoryTable(s->db())) << "the shipped file has none yet";
    }
    {
        login::AppController app(folder.path());
        ASSERT_TRUE(app.start());
        EXPECT_TRUE(hasHistoryTable(app.session().db()));
        EXPECT_GT(addNumberedPerson(app.session().db(), QStringLiteral("000001"), kSuper), 0);
    }
    {
        std::unique_ptr<store::Session> s = folder.session(QStringLiteral("张三"));
        login::MainWindow main(*s, login::MainHooks{[] {}, [] {}});
        QAction* item = main.findChild<QAction*>(QStringLiteral("History"));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), QStringLiteral("修改记录"));
        item->trigger();
        auto* w = main.findChild<HistoryWindow*>();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->model().rowCount(), 1);
        EXPECT_EQ(w->windowTitle(), QStringLiteral("修改记录"));
    }
    TestFolder readOnly;
    auto session = std::make_unique<store::Session>(readOnly.path());
    session->openOptions().readOnly = true;
    session->open();
    HistoryWindow w(*session, std::nullopt, {});
    EXPECT_EQ(w.statusText(), QStringLiteral("修改记录不可用：数据库文件是只读的，其中没有修改记录表。"));
    EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("Undo"))->isEnabled());
    EXPECT_FALSE(hasHistoryTable(session->db()));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

// The filters: a person by number or name as recorded, an operator, a date range whose last day
// counts whole, a kind; newest first.
TEST(PersonHistory, FiltersFindTheirRowsNewestFirst) {
    History f;
    const auto at = [](int day, int hour) { return QDateTime(QDate(2024, 3, day), QTime(hour, 0)); };
    const qint64 a =
        addNumberedPerson(f.db(), QStringLiteral("000001"), Author(QStringLiteral("张三"), at(1, 9)));
    const qint64 b =
        addNumberedPerson(f.db(), QStringLiteral("000002"), Author(QStringLiteral("李四"), at(2, 23)));
    writePerson(f.db(), a, {{kPersonName, {QStringLiteral("王五")}}},
                Author(QStringLiteral("李四"), at(3, 8)));
    deletePerson(f.db(), b, Author(QStringLiteral("张三"), at(4, 10)));
    recordBulkChange(f.db(), Author(kSuper, at(5, 12)), kMergeWhat, 40);
    struct Case {
        HistoryFilter filter;
        QStringList expected; // kind and field of each row found
    };
    const QList<Case> cases = {
        {{}, {"批量 合并数据", "删除 个人编号", "修改 姓名", "新增 个人编号", "新增 个人编号"}},
        {{.person = a}, {"修改 姓名", "新增 个人编号"}},
        {{.personText = QStringLiteral("王五")}, {"修改 姓名"}},
        {{.personText = QStringLiteral(" 000002 ")}, {"删除 个人编号", "新增 个人编号"}},
        {{.operatorName = QStringLiteral("李四")}, {"修改 姓名", "新增 个人编号"}},
        {{.from = QDate(2024, 3, 2), .to = QDate(2024, 3, 3)}, {"修改 姓名", "新增 个人编号"}},
        {{.kind = kHistoryBulk}, {"批量 合并数据"}},
    };
    for (const Case& c : cases) {
        QStringList found;
        for (const HistoryRow& r : readHistory(f.db(), c.filter, 100))
            found << r.kind + QLatin1Char(' ') + r.field;
        EXPECT_EQ(found, c.expected);
    }
    EXPECT_EQ(readHistory(f.db(), {}, 2).size(), 2u) << "bounded";
}
