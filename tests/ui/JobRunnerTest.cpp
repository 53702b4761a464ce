#include "ui/JobRunner.h"
#include "TestFolder.h"
#include "store/Database.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

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
