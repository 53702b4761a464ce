// The entry window on a server database while another operator works on the same persons.

#include "PgCluster.h"
#include "ProgramTables.h"
#include "TestFolder.h"

#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "records/PersonHistory.h"
#include "records/PersonsTable.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace records;

namespace {

struct ServerEntry {
    ServerEntry() {
        const QString conninfo = testing_support::PgCluster::instance().createDatabase();
        other = store::Database::connect(conninfo);
        testing_support::writeProgramTables(*other);
        first = addPersonWith(
            *other, {{kPersonalNumber, QStringLiteral("000001")}, {kPersonName, QStringLiteral("王一")}},
            them);
        second = addPersonWith(
            *other, {{kPersonalNumber, QStringLiteral("000002")}, {kPersonName, QStringLiteral("王二")}},
            them);
        session = std::make_unique<store::Session>(folder.path(), folder.clock.clock());
        session->useServer(conninfo, QStringLiteral("server/db"));
        session->open();
        session->state().currentUser = QStringLiteral("张三");
        window = std::make_unique<EntryWindow>(*session, [] {});
    }
    QString shownName() const {
        return qobject_cast<QLineEdit*>(window->form().controlFor(kPersonName))->text();
    }
    QString storedName(qint64 rowid) {
        return other->scalar(QStringLiteral("SELECT \"姓名\" FROM wslib WHERE rowid = ?"), {rowid})
            .toString();
    }
    void type(const QString& name) { window->form().setEntries({{kPersonName, {name}}}); }
    std::vector<HistoryRow> changes(qint64 rowid) {
        return readHistory(*other, {.person = rowid, .kind = kHistoryChanged}, 100);
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder{false};
    const Author them{QStringLiteral("李")};
    std::unique_ptr<store::Database> other; // the other operator's connection
    qint64 first = 0;
    qint64 second = 0;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<EntryWindow> window;
};

} // namespace

TEST(EntryConflict, SavingOverAnotherOperatorsChangeAsksThreeWays) {
    struct Case {
        ui::Answer answer;
        QString onScreen;
        QString stored;
        bool unsaved; // 保存 still on: what was typed waits on screen
    };
    const Case cases[] = {
        {ui::Answer::Yes, QStringLiteral("李四"), QStringLiteral("李四"), false},   // 重新读取
        {ui::Answer::No, QStringLiteral("王五"), QStringLiteral("王五"), false},    // 覆盖
        {ui::Answer::Cancel, QStringLiteral("王五"), QStringLiteral("李四"), true}, // 取消
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.onScreen.toStdString() + "/" + c.stored.toStdString());
        ServerEntry f;
        ASSERT_EQ(f.shownName(), QStringLiteral("王一"));
        writeStoredPerson(*f.other, f.first, {{kPersonName, QStringLiteral("李四")}}, f.them);
        f.type(QStringLiteral("王五"));
        f.dialogs.replies.enqueue(c.answer);
        EXPECT_EQ(f.window->saveRecord(), c.answer == ui::Answer::No);
        ASSERT_EQ(f.dialogs.shown.size(), 1);
        const auto& asked = f.dialogs.last();
        EXPECT_EQ(asked.kind, ui::ScriptedDialogs::Kind::QuestionWithButtons);
        EXPECT_EQ(asked.text, QStringLiteral("该记录已被其他操作员修改。"));
        EXPECT_EQ(asked.title, ui::kProgramTitle);
        EXPECT_EQ(asked.icon, ui::Icon::Question);
        EXPECT_EQ(asked.items,
                  QStringList({QStringLiteral("重新读取"), QStringLiteral("覆盖"), QStringLiteral("取消")}));
        EXPECT_EQ(f.shownName(), c.onScreen);
        EXPECT_EQ(f.storedName(f.first), c.stored);
        EXPECT_EQ(f.window->action(QStringLiteral("tt2"))->isEnabled(), c.unsaved);
        // Each write that happened is in the history, with what it replaced.
        const std::vector<HistoryRow> history = f.changes(f.first);
        ASSERT_EQ(history.size(), c.answer == ui::Answer::No ? 2u : 1u);
        EXPECT_EQ(history.front().newValue.toString(), c.stored);
        EXPECT_EQ(history.front().oldValue.toString(),
                  c.answer == ui::Answer::No ? QStringLiteral("李四") : QStringLiteral("王一"));
        // Once re-read or overwritten, the next save knows the row's version and asks nothing.
        f.type(QStringLiteral("赵六"));
        f.dialogs.replies.enqueue(ui::Answer::Cancel);
        EXPECT_EQ(f.window->saveRecord(), c.answer != ui::Answer::Cancel);
        EXPECT_EQ(f.dialogs.shown.size(), c.answer == ui::Answer::Cancel ? 2 : 1);
    }
}

TEST(EntryConflict, DeletedByAnotherOperatorKeepsWhatWasTyped) {
    ServerEntry f;
    deletePerson(*f.other, f.first, f.them);
    f.type(QStringLiteral("王五"));
    EXPECT_FALSE(f.window->saveRecord());
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("该记录已被其他操作员删除。\n输入的内容没有保存，仍在框中。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Exclamation);
    EXPECT_EQ(f.shownName(), QStringLiteral("王五"));
    EXPECT_TRUE(f.window->action(QStringLiteral("tt2"))->isEnabled());
    EXPECT_EQ(countPersons(*f.other), 1);
    EXPECT_TRUE(f.changes(f.first).empty());
}

TEST(EntryConflict, RefreshAndMovesShowWhatOthersWrote) {
    ServerEntry f;
    EntryWindow& w = *f.window;
    EXPECT_EQ(w.action(QStringLiteral("tt10"))->text(), QStringLiteral("刷新"));
    EXPECT_EQ(w.action(QStringLiteral("tt10"))->shortcut(), QKeySequence(Qt::Key_F5));

    // A row changed after the list read it shows its new values when moved to, in the grid too.
    writeStoredPerson(*f.other, f.second, {{kPersonName, QStringLiteral("李二")}}, f.them);
    w.moveTo(1);
    EXPECT_EQ(f.shownName(), QStringLiteral("李二"));
    EXPECT_EQ(w.list().cells(1).at(kPersonName).toString(), QStringLiteral("李二"));
    f.type(QStringLiteral("张二"));
    EXPECT_TRUE(w.saveRecord()) << "what was read on the move is the row's version";
    EXPECT_TRUE(f.dialogs.shown.isEmpty());

    // Additions and deletions by others show on 刷新; the person shown stays current.
    deletePerson(*f.other, f.first, f.them);
    addPersonWith(*f.other, {{kPersonalNumber, QStringLiteral("000003")}}, f.them);
    addPersonWith(*f.other, {{kPersonalNumber, QStringLiteral("000000")}}, f.them);
    testing_support::trigger(w, QStringLiteral("tt10"));
    EXPECT_EQ(w.navigationCaption(), kAllPersons + QStringLiteral("3"));
    EXPECT_EQ(w.list().currentRowid(), f.second);
    EXPECT_EQ(w.list().position(), 1);
    EXPECT_EQ(f.shownName(), QStringLiteral("张二"));

    // The person shown deleted by another: what was typed stays, with no current row to save it to.
    f.type(QStringLiteral("王五"));
    deletePerson(*f.other, f.second, f.them);
    testing_support::trigger(w, QStringLiteral("tt10"));
    EXPECT_EQ(w.list().currentRowid(), -1);
    EXPECT_EQ(f.shownName(), QStringLiteral("王五"));
    EXPECT_EQ(w.statusLine(), kDeletedByOther);
    EXPECT_EQ(w.navigationCaption(), kAllPersons + QStringLiteral("2"));
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}
