#include "ui/JobRunner.h"
#include "TestFolder.h"
#include "exchange/StagingModel.h"
#include "records/PersonListModel.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/Session.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <sqlite3.h>

#include <atomic>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

QPushButton* runnerCancel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = w->findChild<QPushButton*>(QStringLiteral("JobCancel")); b && w->isVisible())
            return b;
    return nullptr;
}

// Keeps reporting until the operator asks to stop, at most a few seconds.
void reportUntilStopped(store::JobControl& control, const std::function<void(int)>& step = {}) {
    for (int i = 0; i < 5000; ++i) {
        if (step)
            step(i);
        control.report(i, 5000, QStringLiteral("第%1步").arg(i));
        QThread::msleep(1);
    }
}

} // namespace

TEST(JobRunnerTest, ProgressArrivesAndAReadOnlyJobCannotWrite) {
    TestFolder folder;
    auto session = folder.session();
    QWidget window;
    QStringList shown;
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::ReadOnly;
    setup.show = [&](const store::Progress& p) { shown << p.text; };
    bool refused = false;
    ui::runJob(&window, *session, setup, [&](store::Database* db, store::JobControl& control) {
        ASSERT_NE(db, nullptr);
        EXPECT_NE(db, &session->db()); // its own connection
        try {
            db->exec(QStringLiteral("DELETE FROM basic"));
        } catch (const store::SqlError&) {
            refused = true;
        }
        for (int i = 0; i < 20; ++i) {
            control.report(i, 20, QStringLiteral("读取中%1").arg(i));
            QThread::msleep(10);
        }
    });
    EXPECT_TRUE(refused);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), QStringLiteral("读取中19"));
    EXPECT_GT(countRows(session->db(), QStringLiteral("basic")), 0);
}

TEST(JobRunnerTest, CancelRollsBackAllOrNothingWorkAndInputIsRefused) {
    TestFolder folder;
    auto session = folder.session();
    const qint64 before = countRows(session->db(), QStringLiteral("basic"));
    QWidget window;
    QPushButton other(QStringLiteral("别的按钮"), &window);
    window.show();
    int otherClicks = 0;
    QObject::connect(&other, &QPushButton::clicked, [&] { ++otherClicks; });
    bool sawWriting = false;
    ui::JobSetup setup;
    setup.cancellable = true;
    QTimer::singleShot(200, [&] {
        sawWriting = session->jobWriting();
        QTest::mouseClick(&other, Qt::LeftButton);
        QPushButton* cancel = runnerCancel();
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    EXPECT_THROW(ui::runJob(&window, *session, setup,
                            [&](store::Database* db, store::JobControl& control) {
                                store::Transaction t(*db);
                                db->exec(QStringLiteral("DELETE FROM basic"));
                                reportUntilStopped(control);
                                t.commit();
                            }),
                 store::Cancelled);
    EXPECT_TRUE(sawWriting);
    EXPECT_FALSE(session->jobWriting());
    EXPECT_EQ(otherClicks, 0);
    EXPECT_EQ(countRows(session->db(), QStringLiteral("basic")), before);
}

TEST(JobRunnerTest, AWindowsOwnCancelButtonStopsTheWorkAndErrorsComeBackTyped) {
    TestFolder folder;
    auto session = folder.session();
    QWidget window;
    QPushButton cancel(QStringLiteral("取消"), &window);
    window.show();
    ui::JobSetup setup;
    setup.cancellable = true;
    setup.cancelButton = &cancel;
    int reached = 0;
    QTimer::singleShot(100, [&] { QTest::mouseClick(&cancel, Qt::LeftButton); });
    EXPECT_THROW(ui::runJob(&window, *session, setup,
                            [&](store::Database*, store::JobControl& control) {
                                reportUntilStopped(control, [&](int i) { reached = i; });
                            }),
                 store::Cancelled);
    EXPECT_LT(reached, 4999);

    EXPECT_THROW(ui::runJob(&window, *session, {},
                            [](store::Database* db, store::JobControl&) {
                                db->exec(QStringLiteral("SELECT * FROM no_such_table"));
                            }),
                 store::SqlError);
}

TEST(JobRunnerTest, GridsServeWhatTheyHoldWhileAJobWrites) {
    TestFolder folder;
    auto session = folder.session();
    auto& db = session->db();
    const QString many =
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                       "SELECT printf('%06d', i), '张三' FROM n");
    db.exec(QStringLiteral("INSERT INTO wslib (\"个人编号\", \"姓名\") ") + many);
    db.exec(QStringLiteral("INSERT INTO wslib0 (\"个人编号\", \"姓名\") ") + many);
    store::RecordSet list(db, store::schema::kPersons);
    records::PersonListModel persons(db.columnNames(store::schema::kPersons));
    persons.followJobs(*session);
    persons.setList(&list);
    exchange::StagingModel staging(db, {});
    staging.followJobs(*session);
    staging.reload();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    for (QAbstractItemModel* model :
         {static_cast<QAbstractItemModel*>(&persons), static_cast<QAbstractItemModel*>(&staging)}) {
        auto* view = new QTableView(&window);
        view->setModel(model);
        layout->addWidget(view);
    }
    window.show();
    const QVariant heldPerson = persons.index(0, 0).data();
    const QVariant heldStaged = staging.index(0, 0).data();
    ASSERT_EQ(heldPerson.toString(), QStringLiteral("000001"));

    int statements = 0;
    sqlite3_trace_v2(
        db.handle(), SQLITE_TRACE_STMT,
        [](unsigned, void* count, void*, void*) {
            ++*static_cast<int*>(count);
            return 0;
        },
        &statements);
    std::atomic<bool> painted{false};
    QVariant shownPerson, shownStaged, unheldPerson, unheldStaged;
    QTimer::singleShot(0, [&] {
        for (QTableView* view : window.findChildren<QTableView*>()) {
            view->scrollToBottom(); // rows never read so far
            view->viewport()->repaint();
            view->scrollToTop();
            view->viewport()->repaint();
        }
        shownPerson = persons.index(0, 0).data();
        shownStaged = staging.index(0, 0).data();
        unheldPerson = persons.index(199, 0).data();
        unheldStaged = staging.index(199, 0).data();
        painted = true;
    });
    ui::runJob(&window, *session, {}, [&](store::Database* own, store::JobControl&) {
        store::Transaction t(*own);
        own->exec(QStringLiteral("UPDATE wslib SET \"姓名\" = '李四'"));
        for (int i = 0; i < 5000 && !painted; ++i)
            QThread::msleep(1);
        t.commit();
    });
    sqlite3_trace_v2(db.handle(), 0, nullptr, nullptr);
    EXPECT_TRUE(painted);
    EXPECT_EQ(statements, 0) << "no grid asked the database while the job wrote";
    EXPECT_EQ(shownPerson, heldPerson);
    EXPECT_EQ(shownStaged, heldStaged);
    EXPECT_FALSE(unheldPerson.isValid());
    EXPECT_FALSE(unheldStaged.isValid());
    EXPECT_EQ(persons.index(199, 0).data().toString(), QStringLiteral("000200"))
        << "read again after the job";
}
