#include "QueryFixture.h"

#include "login/AppController.h"
#include "login/LoginWindow.h"
#include "login/MainWindow.h"
#include "print/ResultsWindow.h"
#include "settings/SystemSettingsWindow.h"
#include "settings/UsersWindow.h"
#include "stats/StatisticsWindow.h"
#include "ui/CharacterLimit.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

using testing_support::TestFolder;
using testing_support::trigger;

namespace {

// Logs in through the login window: picks the list position and types the password.
void logIn(login::AppController& app, int position, const QString& password) {
    login::LoginWindow* window = app.loginWindow();
    window->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(position);
    QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("Text1")), password);
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
}

} // namespace

TEST(MainWindowClose, KeepsTheOtherWindowsAndTheProgramEndsWithTheLast) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    login::AppController app(folder.path(), folder.clock.clock());
    int quits = 0;
    app.quit = [&] { ++quits; };
    ASSERT_TRUE(app.start());
    logIn(app, 0, QString());
    QPointer<login::MainWindow> main = app.mainWindow();
    ASSERT_TRUE(main);
    trigger(*main, QStringLiteral("W1"));
    auto* label1 = main->findChild<QLabel*>(QStringLiteral("Label1"));
    EXPECT_EQ(label1->text(), QStringLiteral("正在进入信息录入,请等待..."));
    EXPECT_EQ(main->findChild<QWidget*>(QStringLiteral("Form3")), nullptr) << "the label is painted first";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return main->findChild<QWidget*>(QStringLiteral("Form3")) != nullptr; }));
    EXPECT_TRUE(label1->text().isEmpty()) << "cleared once the entry window is open";
    trigger(*main, QStringLiteral("W3"));
    QPointer<QWidget> entry = main->findChild<QWidget*>(QStringLiteral("Form3"));
    QPointer<QWidget> statistics = main->findChild<QWidget*>(QStringLiteral("Form8"));
    ASSERT_TRUE(entry && statistics);

    main->close(); // the frame's close box
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(entry) << "windows opened from the main window stay open";
    EXPECT_TRUE(entry->isVisible());
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(quits, 0);

    // The entry window still reaches the category window through the main window.
    trigger(*entry, QStringLiteral("tt5"));
    QPointer<QWidget> categories = main->findChild<QWidget*>(QStringLiteral("frmOptions2"));
    ASSERT_TRUE(categories);
    categories->close();
    entry->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(quits, 0) << "the statistics window is still open";
    statistics->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(quits, 1) << "the program ends with its last window";
}

TEST(MainWindowLook, OpensMaximisedWithinTheFreeAreaWithOneIconSize) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    login::MainWindow main(*session, {[] {}, [] {}});
    main.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(main.isMaximized());
    const QRect free = main.screen()->availableGeometry();
    EXPECT_TRUE(free.contains(main.frameGeometry())) << "title bar visible, nothing under a panel";

    auto* bar = main.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    ASSERT_NE(bar, nullptr);
    int buttons = 0;
    int height = -1;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator())
            continue;
        ++buttons;
        EXPECT_EQ(action->icon().availableSizes(), QList<QSize>{bar->iconSize()})
            << action->objectName().toStdString();
        EXPECT_FALSE(action->text().contains(QLatin1Char('\n')));
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        if (height < 0)
            height = button->sizeHint().height();
        EXPECT_EQ(button->sizeHint().height(), height) << "captions on one line";
    }
    EXPECT_EQ(buttons, 10);
}

TEST(LoginByPosition, ThePasswordComparedIsTheOneAtThePickedPosition) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    {
        auto session = folder.session();
        settings::addUser(session->db(), QStringLiteral("李四"), QStringLiteral("first"));
        settings::addUser(session->db(), QStringLiteral("李四"), QStringLiteral("second"));
    }
    login::AppController app(folder.path(), folder.clock.clock());
    app.quit = [] {};
    ASSERT_TRUE(app.start());
    auto* password = app.loginWindow()->findChild<QLineEdit*>(QStringLiteral("Text1"));
    QTest::keyClicks(password, QStringLiteral("abc"));
    EXPECT_EQ(password->displayText(), QStringLiteral("***"));
    password->clear();

    logIn(app, 2, QStringLiteral("first"));
    EXPECT_EQ(dialogs.last().text, QStringLiteral("密码错！请重新输入！"));
    ASSERT_EQ(app.mainWindow(), nullptr);
    password->clear();
    logIn(app, 2, QStringLiteral("second"));
    ASSERT_NE(app.mainWindow(), nullptr);
    EXPECT_EQ(app.session().state().currentUser, QStringLiteral("李四"));
}

TEST(UsersWindowMasks, PasswordBoxesShowStars) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    settings::UsersWindow window(*session);
    for (const char* name : {"Text2", "Text3"}) {
        auto* box = window.findChild<QLineEdit*>(QString::fromLatin1(name));
        ASSERT_NE(box, nullptr);
        box->setEnabled(true);
        QTest::keyClicks(box, QStringLiteral("pw1"));
        EXPECT_EQ(box->displayText(), QStringLiteral("***")) << name;
    }
}

TEST(SystemSettingsBoxes, HoldWhatTheirColumnsHoldAndOpenAtTheStart) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    const QString longName = QString(60, QChar(0x5355)); // 单 × 60
    session->db().exec(QStringLiteral("UPDATE system SET dwmc = ?"), {longName});
    session->open();
    session->state().currentUser = QStringLiteral("超级用户");
    settings::SystemSettingsWindow window(*session, [] {});
    auto* name = window.findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* type = window.findChild<QLineEdit*>(QStringLiteral("Text2"));
    auto* folderBox = window.findChild<QLineEdit*>(QStringLiteral("Text3"));
    EXPECT_EQ(ui::characterLimit(*name), 100);
    EXPECT_EQ(ui::characterLimit(*type), 50);
    EXPECT_EQ(ui::characterLimit(*folderBox), 255);
    for (QLineEdit* box : {name, type, folderBox})
        EXPECT_EQ(box->cursorPosition(), 0) << box->objectName().toStdString();

    type->clear();
    QTest::keyClicks(type, QString(70, QLatin1Char('x')));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    EXPECT_EQ(session->db().scalar(QStringLiteral("SELECT dwxz FROM system")).toString(),
              QString(50, QLatin1Char('x')))
        << "确定 cannot fail on length";
}

TEST(SystemSettingsBoxes, TheStateShowsOnlyWhatWasStored) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session();
    const QString unit = session->state().unitName;
    session->db().exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE ON system BEGIN SELECT RAISE(ABORT, 'read-only'); END"));
    settings::SystemSettingsWindow window(*session, [] {});
    auto* name = window.findChild<QLineEdit*>(QStringLiteral("Text1"));
    name->setText(QStringLiteral("新单位"));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    EXPECT_EQ(session->state().unitName, unit);
}

TEST(SystemSettingsBoxes, APictureThatCannotBeLoadedKeepsTheCurrentOne) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    QImage picture(80, 60, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(folder.file(QStringLiteral("1.jpg"))));
    auto session = folder.session();
    login::MainWindow main(*session, {[] {}, [] {}});
    auto* image = main.findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_FALSE(image->pixmap().isNull());
    trigger(main, QStringLiteral("S1"));
    auto* window = main.findChild<settings::SystemSettingsWindow*>(QStringLiteral("frmOptions"));
    ASSERT_NE(window, nullptr);
    window->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(1); // 2.jpg: not there
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    EXPECT_EQ(session->state().backgroundPicture, QStringLiteral("2.jpg"));
    EXPECT_FALSE(image->pixmap().isNull()) << "the current picture stays";
}

TEST(StatisticsReadable, AMonospacedChineseFaceWideEnoughForTheReport) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    testing_support::addFivePersons(session->db());
    stats::StatisticsWindow window(*session);
    window.resize(1024, 740);
    window.show();
    QCoreApplication::processEvents();
    auto* list1 = window.findChild<QListWidget*>(QStringLiteral("List1"));
    for (int row : {5, 7, 27}) {
        list1->scrollToItem(list1->item(row));
        QTest::mouseClick(list1->viewport(), Qt::LeftButton, {},
                          list1->visualItemRect(list1->item(row)).center());
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    }
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    EXPECT_EQ(QFontInfo(text->font()).family(), QStringLiteral("Noto Sans Mono CJK SC"));
    EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    const QFontMetrics metrics(text->font());
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("统")),
              2 * metrics.horizontalAdvance(QLatin1Char('x')))
        << "one Chinese character is two columns";
    int widest = 0;
    for (const QString& line : window.report().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    EXPECT_GT(widest, 0);
    EXPECT_LE(widest, text->viewport()->width()) << "every line readable without scrolling";
}

TEST(StatisticsPlace, TwentyItemsShowAndTheWindowOpensBelowTheMainMenu) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    login::MainWindow main(*session, {[] {}, [] {}});
    main.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(main.isMaximized());
    trigger(main, QStringLiteral("W3"));
    auto* window = main.findChild<stats::StatisticsWindow*>(QStringLiteral("Form8"));
    ASSERT_NE(window, nullptr);
    const QRect free = window->screen()->availableGeometry();
    const QWidget* menu = main.menuWidget();
    EXPECT_EQ(window->frameGeometry().topLeft(),
              QPoint(free.left(), menu->mapToGlobal(QPoint(0, menu->height())).y()));
    EXPECT_LE(window->frameGeometry().bottom(), free.bottom());

    window->resize(1000, 740); // its size below the menu on a 1280 × 800 screen
    auto* list1 = window->findChild<QListWidget*>(QStringLiteral("List1"));
    auto* list2 = window->findChild<QListWidget*>(QStringLiteral("List2"));
    for (int i = 0; i < list1->count(); ++i) {
        list1->setCurrentRow(i);
        window->addItem();
    }
    ASSERT_GE(list2->count(), 64);
    QCoreApplication::processEvents();
    for (QListWidget* list : {list1, list2})
        EXPECT_GE(list->viewport()->height() / list->sizeHintForRow(0), 20)
            << list->objectName().toStdString();
}

TEST(StatisticsReadable, OutputSaysWhereTheReportIsWhenNoEditorStarts) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    stats::StatisticsWindow window(*session);
    window.openInEditor = [](const QString&) { return false; };
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_TRUE(dialogs.last().text.contains(folder.file(QStringLiteral("tongji.txt"))));
    EXPECT_EQ(dialogs.last().icon, ui::Icon::Information);
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("tongji.txt"))));
}

TEST(ResultsList, OpensWithTheCountAndHeadersThatFit) {
    ui::ScriptedDialogs dialogs;
    TestFolder folder;
    auto session = folder.session(QStringLiteral("张三"));
    testing_support::addFivePersons(session->db());
    session->pendingExpression() = QStringLiteral("性别 = '男'");
    print::ResultsWindow window(*session);
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.status(), QStringLiteral("满足条件的记录数：3"));
    auto* grid = window.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    QHeaderView* header = grid->horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        EXPECT_GE(header->sectionSize(i), header->sectionSizeHint(i)) << i;
}
