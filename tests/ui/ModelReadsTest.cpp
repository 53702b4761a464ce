#include "TestFolder.h"

#include "exchange/StagingModel.h"
#include "login/LogWindow.h"
#include "records/PersonListModel.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "ui/ModelReads.h"
#include "ui/ScriptedDialogs.h"

#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <functional>
#include <memory>

using testing_support::TestFolder;

// Another program holds the file while a grid repaints: the cells show empty, the operator hears
// of it once, and the grid reads again once the file is free.
TEST(ModelReads, ALockedDatabaseDuringARepaintShowsOneMessageAndNoAbort) {
    struct Case {
        const char* model;
        std::function<QAbstractItemModel*(store::Session&, QWidget*)> make;
        int messages; // the log grid holds its rows and never reads while it paints
        QString name; // the first row's second column once the file is free
    };
    std::unique_ptr<store::RecordSet> persons;
    const std::vector<Case> cases = {
        {"persons",
         [&](store::Session& s, QWidget* window) {
             auto* model = new records::PersonListModel(s.db().columnNames(store::schema::kPersons),
                                                        ui::tellOncePerBurst(window), window);
             persons = std::make_unique<store::RecordSet>(s.db(), store::schema::kPersons);
             model->setList(persons.get());
             return model;
         },
         1, QStringLiteral("王一")},
        {"staging",
         [](store::Session& s, QWidget* window) {
             auto* model = new exchange::StagingModel(s.db(), {}, ui::tellOncePerBurst(window), window);
             model->reload();
             return model;
         },
         1, QStringLiteral("王一")},
        {"log", [](store::Session& s, QWidget* window) { return new login::LogModel(s.db(), window); }, 0,
         QStringLiteral("超级用户")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        ui::ScriptedDialogs dialogs;
        TestFolder folder;
        auto session = folder.session();
        for (const QString& table : {store::schema::kPersons, store::schema::kStaging})
            session->db().exec(
                QStringLiteral("INSERT INTO %1(\"个人编号\", \"姓名\") VALUES ('000001', '王一'), "
                               "('000002', '李二')")
                    .arg(table));
        session->log().write(QStringLiteral("进入系统"));
        QWidget window;
        auto* view = new QTableView(&window);
        (new QVBoxLayout(&window))->addWidget(view);
        window.resize(640, 300);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QAbstractItemModel* model = c.make(*session, &window);

        store::Database holder(session->databasePath());
        holder.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        holder.exec(QStringLiteral("UPDATE system SET bakpath = bakpath"));
        sqlite3_busy_timeout(session->db().handle(), 20);
        view->setModel(model);
        for (int i = 0; i < 3; ++i) {
            view->viewport()->repaint();
            QTest::qWait(20);
        }
        ASSERT_EQ(dialogs.shown.size(), qsizetype(c.messages));
        if (c.messages) {
            EXPECT_EQ(dialogs.last().text,
                      ui::kGridUnreadable + QStringLiteral("\n数据库文件正被其他程序占用。"));
            EXPECT_EQ(dialogs.last().icon, ui::Icon::Exclamation);
            EXPECT_EQ(model->index(0, 1).data(), QVariant()) << "an empty cell while the file is held";
        }

        holder.exec(QStringLiteral("ROLLBACK"));
        view->viewport()->repaint();
        QTest::qWait(20);
        EXPECT_EQ(model->index(0, 1).data().toString(), c.name);
        EXPECT_EQ(dialogs.shown.size(), qsizetype(c.messages));
        persons.reset();
    }
}
