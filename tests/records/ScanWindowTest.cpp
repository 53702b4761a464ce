#include "TestFolder.h"

#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "records/Photo.h"
#include "records/PictureView.h"
#include "records/ScanWindow.h"
#include "store/RecordSet.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace records;

namespace {

// A scanner interface that cannot be started, as on a machine without one.
class NoScanner : public Scanner {
public:
    bool initialise() override { return false; }
    std::vector<Device> devices() override { return {}; }
    Scan acquire(const QString&, const std::function<bool()>&) override { return {}; }
};

void useSaneTestConfig() {
    ASSERT_TRUE(testing_support::useSaneTestDevice());
}

// A picture with something in every corner, so that turns and flips show.
QImage testPicture(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(0, 0, size.width() / 2, size.height() / 3, Qt::red);
    p.fillRect(size.width() / 2, size.height() / 2, size.width() / 2, size.height() / 2, Qt::blue);
    p.drawLine(0, size.height() - 1, size.width() - 1, 0);
    for (int x = 0; x < size.width() / 2; ++x)
        p.fillRect(x, size.height() * 2 / 3, 1, size.height() / 3,
                   QColor::fromHsv(x * 7 % 360, 120, 60 + x % 150));
    return image;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

struct Scanning {
    Scanning() : session(folder.session()) { useSaneTestConfig(); }
    qint64 addPerson(const QString& number, const QByteArray& photo = {}) {
        session->db().exec(QStringLiteral("INSERT INTO wslib(\"个人编号\", \"相片\") VALUES (?, ?)"),
                           {number, photo.isEmpty() ? QVariant() : QVariant(photo)});
        return session->db().lastInsertRowId();
    }
    QByteArray photoOf(const QString& number) {
        return readPhoto(
            session->db(),
            session->db()
                .scalar(QStringLiteral("SELECT rowid FROM wslib WHERE \"个人编号\" = ?"), {number})
                .toLongLong());
    }
    // The entry window under a host widget, as the main window holds it, and Form4 opened from its
    // toolbar button.
    ScanWindow* open() {
        entry = new EntryWindow(
            *session, [] {}, &host);
        entry->setAttribute(Qt::WA_DeleteOnClose);
        entry->show();
        entry->action(QStringLiteral("tt8"))->trigger();
        scan = host.findChild<ScanWindow*>();
        return scan;
    }
    QPushButton* button(const char* name) { return scan->findChild<QPushButton*>(QString::fromLatin1(name)); }
    void click(const char* name) {
        QPushButton* b = button(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    PictureView* viewer(const char* name) { return scan->findChild<PictureView*>(QString::fromLatin1(name)); }
    QString file(const QImage& image, const QString& name, const char* format) {
        const QString path = folder.file(name);
        image.save(path, format);
        return path;
    }
    void takeFile(const QString& path) {
        dialogs.files.enqueue(path);
        click("Command3");
    }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    QWidget host;
    QPointer<EntryWindow> entry;
    QPointer<ScanWindow> scan;
};

} // namespace

TEST(ScanWindow, RefusesToOpenWithoutAScannerInterface) {
    Scanning f;
    f.addPerson(QStringLiteral("000001"));
    EntryWindow entry(
        *f.session, [] {}, &f.host);
    EXPECT_EQ(ScanWindow::open(entry, std::make_unique<NoScanner>()), nullptr);
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("必须安装扫描驱动和接有扫描仪才能使用！"));
    EXPECT_EQ(f.dialogs.last().title, QStringLiteral("信息"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Critical);
    EXPECT_EQ(f.host.findChild<ScanWindow*>(), nullptr);
}

TEST(ScanWindow, OpensFromTheEntryWindowWithItsButtonsAndState) {
    Scanning f;
    f.addPerson(QStringLiteral("000001"));
    ScanWindow* w = f.open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
    EXPECT_EQ(w->objectName(), QStringLiteral("Form4"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("相片处理"));
    const struct {
        const char* name;
        QString caption;
        bool effect; // inside the frame "效果处理"
    } buttons[] = {
        {"cmdSelect", QStringLiteral("选驱动源"), false}, {"cmdAcquire", QStringLiteral("设备取图"), false},
        {"Command3", QStringLiteral("文件取图"), false},  {"Command26", QStringLiteral("库中取图"), false},
        {"Command16", QStringLiteral("保存入库"), false}, {"Command25", QStringLiteral("另存为"), false},
        {"cmdQuit", QStringLiteral("返回"), false},       {"Command2", QStringLiteral("-"), true},
        {"Command1", QStringLiteral("+"), true},          {"Command21", QStringLiteral("-"), true},
        {"Command20", QStringLiteral("+"), true},         {"Command17", QStringLiteral("-"), true},
        {"Command18", QStringLiteral("+"), true},         {"Command28", QStringLiteral("-"), true},
        {"Command29", QStringLiteral("+"), true},         {"Command11", QStringLiteral("红"), true},
        {"Command23", QStringLiteral("蓝"), true},        {"Command24", QStringLiteral("绿"), true},
        {"Command5", QStringLiteral("切割图片"), true},   {"Command6", QStringLiteral("图片倒置"), true},
        {"Command7", QStringLiteral("图片镜像"), true},   {"Command13", QStringLiteral("底片效果"), true},
        {"Command12", QStringLiteral("浮雕效果"), true},  {"Command10", QStringLiteral("模糊效果"), true},
        {"Command9", QStringLiteral("去斑效果"), true},   {"Command4", QStringLiteral("黑白效果"), true},
        {"Command14", QStringLiteral("撤消一步"), true},  {"Command15", QStringLiteral("重新开始"), true},
    };
    auto* effects = w->findChild<QGroupBox*>(QStringLiteral("effectsGroup"));
    ASSERT_NE(effects, nullptr);
    EXPECT_EQ(effects->title(), QStringLiteral("效果处理"));
    for (const auto& b : buttons) {
        QPushButton* button = f.button(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), b.caption) << b.name;
        EXPECT_EQ(effects->isAncestorOf(button), b.effect) << b.name;
    }
    QStringList captions;
    for (QPushButton* b : effects->findChildren<QPushButton*>())
        captions << b->text();
    for (const QString& c :
         {QStringLiteral("亮度"), QStringLiteral("对比"), QStringLiteral("旋转"), QStringLiteral("大小")})
        EXPECT_TRUE(captions.contains(c)) << c.toStdString();

    EXPECT_FALSE(f.button("Command14")->isEnabled());
    EXPECT_TRUE(f.button("Command26")->isEnabled());
    EXPECT_TRUE(f.button("Command16")->isEnabled());
    EXPECT_FALSE(f.viewer("ImagXpress1")->isVisible());
    EXPECT_TRUE(f.viewer("Xpress1")->isVisible());
    EXPECT_EQ(w->mainZoom(), 1.0);
    EXPECT_EQ(w->cropZoom(), 1.0);
    EXPECT_TRUE(w->cropMode());

    // A second press brings the same window forward.
    f.entry->action(QStringLiteral("tt8"))->trigger();
    EXPECT_EQ(f.host.findChildren<ScanWindow*>().size(), 1);
    f.click("cmdQuit");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.scan.isNull());
}

TEST(ScanWindow, AnEmptyListDisablesTheRecordButtons) {
    Scanning f;
    f.open();
    ASSERT_NE(f.scan, nullptr);
    EXPECT_FALSE(f.button("Command26")->isEnabled());
    EXPECT_FALSE(f.button("Command16")->isEnabled());
}

TEST(ScanWindow, RotationStartsFromTheWorkingPictureByTheRunningAngle) {
    Scanning f;
    f.open();
    const QImage original = testPicture({200, 120});
    f.takeFile(f.file(original, QStringLiteral("in.png"), "PNG"));
    ASSERT_FALSE(f.scan->editor().isEmpty());
    const auto turned = [&](int degrees) {
        PictureEditor e;
        e.takeIn(original);
        e.rotate(degrees);
        return e.picture();
    };
    for (int i = 0; i < 3; ++i)
        f.click("Command18");
    EXPECT_EQ(f.scan->editor().angle(), 3);
    EXPECT_EQ(f.scan->editor().picture(), turned(3));
    EXPECT_NE(f.scan->editor().picture().size(), turned(6).size());
    EXPECT_EQ(f.viewer("Xpress1")->picture(), turned(3)) << "the viewer shows it";
    EXPECT_TRUE(f.button("Command14")->isEnabled());

    f.click("Command15");
    EXPECT_FALSE(f.button("Command14")->isEnabled());
    EXPECT_EQ(f.scan->editor().picture(), f.scan->editor().working());
    f.click("Command18");
    EXPECT_EQ(f.scan->editor().picture(), turned(4));
    f.click("Command17");
    EXPECT_EQ(f.scan->editor().picture(), turned(3));
}

TEST(ScanWindow, UndoTakesBackOneStepAndBlackAndWhiteCannotBeUndone) {
    Scanning f;
    f.open();
    f.takeFile(f.file(testPicture({80, 60}), QStringLiteral("in.bmp"), "BMP"));
    const QImage before = f.scan->editor().picture();
    ASSERT_FALSE(before.isNull());

    using E = PictureEditor::Effect;
    const struct {
        const char* button;
        E effect;
    } effects[] = {{"Command1", E::Brighter},      {"Command2", E::Darker},  {"Command20", E::MoreContrast},
                   {"Command21", E::LessContrast}, {"Command11", E::Redder}, {"Command24", E::Greener},
                   {"Command23", E::Bluer},        {"Command6", E::Flip},    {"Command7", E::Mirror},
                   {"Command13", E::Negative},     {"Command12", E::Emboss}, {"Command10", E::Blur},
                   {"Command9", E::Despeckle}};
    for (const auto& e : effects) {
        f.click(e.button);
        PictureEditor expected;
        expected.takeIn(before);
        expected.apply(e.effect);
        EXPECT_EQ(f.scan->editor().picture(), expected.picture()) << e.button;
        EXPECT_NE(f.scan->editor().picture(), before) << e.button;
        EXPECT_TRUE(f.button("Command14")->isEnabled()) << e.button;
        f.click("Command14");
        EXPECT_EQ(f.scan->editor().picture(), before) << e.button;
        EXPECT_FALSE(f.button("Command14")->isEnabled()) << e.button;
    }
    // Pure colour shifts: red up by ten steps, the others down.
    f.click("Command11");
    EXPECT_EQ(f.scan->editor().picture().pixelColor(70, 50), QColor(10, 0, 245));
    f.click("Command14");

    // A flip is upside down, a mirror left to right.
    f.click("Command6");
    EXPECT_EQ(f.scan->editor().picture().pixelColor(5, 55), QColor(Qt::red));
    f.click("Command14");
    f.click("Command7");
    EXPECT_EQ(f.scan->editor().picture().pixelColor(74, 4), QColor(Qt::red));

    f.click("Command4");
    EXPECT_FALSE(f.button("Command14")->isEnabled());
    QSet<QRgb> colours;
    const QImage bw = f.scan->editor().picture();
    for (int y = 0; y < bw.height(); ++y)
        for (int x = 0; x < bw.width(); ++x)
            colours.insert(bw.pixel(x, y));
    EXPECT_LE(colours.size(), 2);
    for (QRgb c : colours)
        EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c));
}

TEST(ScanWindow, CropTakesTheSelectionInPicturePixels) {
    Scanning f;
    f.open();
    f.takeFile(f.file(testPicture({400, 300}), QStringLiteral("in.png"), "PNG"));
    f.click("Command1");
    const QImage before = f.scan->editor().picture();
    f.click("Command5");
    PictureView* crop = f.viewer("ImagXpress1");
    EXPECT_TRUE(crop->isVisible());
    EXPECT_EQ(f.scan->cropZoom(), 0.4);
    EXPECT_FALSE(f.button("Command5")->isEnabled());
    EXPECT_FALSE(f.button("Command14")->isEnabled());
    EXPECT_FALSE(f.scan->cropMode());
    EXPECT_EQ(crop->canvas()->size(), QSize(160, 120)) << "shown at 0.4";

    QTest::mousePress(crop->canvas(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(crop->dragging());
    QTest::mouseMove(crop->canvas(), QPoint(50, 30));
    EXPECT_EQ(crop->canvas()->cursor().shape(), Qt::CrossCursor);
    QTest::mouseRelease(crop->canvas(), Qt::LeftButton, {}, QPoint(60, 40));
    EXPECT_FALSE(crop->dragging());
    EXPECT_TRUE(f.button("Command5")->isEnabled());
    EXPECT_EQ(f.button("Command5")->text(), QStringLiteral("确定切割"));

    // What is done to the picture meanwhile does not count: the crop viewer's copy is cut.
    f.click("Command13");
    f.click("Command7");
    f.click("Command29");
    EXPECT_DOUBLE_EQ(f.scan->cropZoom(), 0.5);
    EXPECT_EQ(crop->selection(), QRect(50, 50, 100, 50));
    f.click("Command5");
    EXPECT_EQ(f.scan->editor().picture().size(), QSize(100, 50));
    EXPECT_EQ(f.scan->editor().picture(),
              before.copy(50, 50, 100, 50).convertToFormat(QImage::Format_RGB888));
    EXPECT_FALSE(crop->isVisible());
    EXPECT_EQ(f.button("Command5")->text(), QStringLiteral("切割图片"));
    EXPECT_TRUE(f.scan->cropMode());
    EXPECT_EQ(f.scan->mainZoom(), 1.0);
    EXPECT_FALSE(f.button("Command14")->isEnabled());
}

TEST(ScanWindow, ZoomStepsByATenthAndStaysPositive) {
    Scanning f;
    f.open();
    f.takeFile(f.file(testPicture({100, 100}), QStringLiteral("in.png"), "PNG"));
    f.click("Command29");
    EXPECT_DOUBLE_EQ(f.scan->mainZoom(), 1.1);
    EXPECT_EQ(f.viewer("Xpress1")->canvas()->size(), QSize(110, 110));
    for (int i = 0; i < 15; ++i)
        f.click("Command28");
    EXPECT_DOUBLE_EQ(f.scan->mainZoom(), 0.1);
    f.click("Command5");
    f.click("Command29");
    EXPECT_DOUBLE_EQ(f.scan->cropZoom(), 0.5) << "the crop viewer's own factor";
    EXPECT_DOUBLE_EQ(f.scan->mainZoom(), 0.1);
    f.click("Command15");
    EXPECT_DOUBLE_EQ(f.scan->mainZoom(), 1.0);
}

TEST(ScanWindow, StoresJpegBytesIntoTheEntryWindowsPerson) {
    Scanning f;
    f.addPerson(QStringLiteral("000001"));
    f.addPerson(QStringLiteral("000002"));
    f.open();
    f.entry->moveTo(1);
    f.takeFile(f.file(testPicture({64, 48}), QStringLiteral("in.bmp"), "BMP"));
    f.click("Command16");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("保存成功了！"));
    const QByteArray stored = f.photoOf(QStringLiteral("000002"));
    ASSERT_GE(stored.size(), 2);
    EXPECT_EQ(quint8(stored[0]), 0xFF);
    EXPECT_EQ(quint8(stored[1]), 0xD8);
    EXPECT_EQ(QImage::fromData(stored).size(), QSize(64, 48));
    EXPECT_TRUE(f.photoOf(QStringLiteral("000001")).isEmpty());
    EXPECT_FALSE(f.entry->form().photoFrame()->pixmap().isNull()) << "the frame shows it at once";

    QStringList beside = QDir(f.folder.path()).entryList({QStringLiteral("temp*")});
    EXPECT_TRUE(beside.isEmpty()) << "no transfer file";
}

TEST(ScanWindow, FollowsTheEntryWindowOpenedAgain) {
    Scanning f;
    f.addPerson(QStringLiteral("000001"), encoded(testPicture({30, 40}), "JPG"));
    f.addPerson(QStringLiteral("000002"));
    f.open();
    f.takeFile(f.file(testPicture({64, 48}), QStringLiteral("in.png"), "PNG"));

    // Without an entry window there is no person to take from or store into.
    f.entry->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(f.entry.isNull());
    ASSERT_FALSE(f.scan.isNull());
    EXPECT_FALSE(f.button("Command26")->isEnabled());
    EXPECT_FALSE(f.button("Command16")->isEnabled());

    // Opened again, its 相片 button brings the same window forward, now for its person.
    const QPointer<ScanWindow> first = f.scan;
    f.open();
    EXPECT_EQ(f.scan, first);
    f.entry->moveTo(1);
    f.click("Command16");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("保存成功了！"));
    EXPECT_EQ(QImage::fromData(f.photoOf(QStringLiteral("000002"))).size(), QSize(64, 48));
    const auto shown = f.dialogs.shown.size();
    f.entry->moveTo(0);
    f.click("Command26");
    EXPECT_EQ(f.viewer("Xpress1")->picture().size(), QSize(30, 40));
    EXPECT_EQ(f.dialogs.shown.size(), shown) << "no message";
}

TEST(ScanWindow, TakesThePictureFromTheRecord) {
    Scanning f;
    f.addPerson(QStringLiteral("000001"), encoded(testPicture({30, 40}), "JPG"));
    f.addPerson(QStringLiteral("000002"));
    f.addPerson(QStringLiteral("000003"), QByteArray("no picture at all"));
    f.open();
    f.click("Command26");
    EXPECT_EQ(f.viewer("Xpress1")->picture().size(), QSize(30, 40));
    EXPECT_EQ(f.scan->editor().working().size(), QSize(30, 40));

    f.entry->moveTo(1);
    f.click("Command26");
    EXPECT_TRUE(f.viewer("Xpress1")->picture().isNull()) << "an empty viewer";
    EXPECT_TRUE(f.dialogs.shown.isEmpty()) << "and no message";
    // The picture taken in before stays the one to start again from and to turn.
    f.click("Command15");
    EXPECT_EQ(f.viewer("Xpress1")->picture().size(), QSize(30, 40));
    f.click("Command26");
    f.click("Command18");
    EXPECT_FALSE(f.viewer("Xpress1")->picture().isNull());
    EXPECT_EQ(f.scan->editor().working().size(), QSize(30, 40));

    f.entry->moveTo(2);
    f.click("Command26");
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("出错了！取不到图片！"));
}

TEST(ScanWindow, FileInAndSaveAsWithTheirFilters) {
    Scanning f;
    f.open();
    f.click("Command3"); // cancelled
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().filter, QStringLiteral("文件JPG|*.JPG;*.jpeg|文件bmp|*.bmp|文件gif|*.gif|"
                                                      "文件tif|*.tif|文件png|*.png|所有文件*.*|*.*"));
    EXPECT_TRUE(f.scan->editor().isEmpty());

    f.takeFile(f.file(testPicture({50, 40}), QStringLiteral("in.tif"), "TIFF"));
    const QString out = f.folder.file(QStringLiteral("out.JPG"));
    f.dialogs.files.enqueue(out);
    f.click("Command25");
    EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::SaveFile);
    EXPECT_EQ(f.dialogs.last().filter, QStringLiteral("文件JPG|*.JPG"));
    QFile saved(out);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("\xFF\xD8"));
    EXPECT_EQ(QImage(out).size(), QSize(50, 40));
}

TEST(ScanWindow, ScansFromTheSaneTestDevice) {
    Scanning f;
    f.open();
    ASSERT_NE(f.scan, nullptr);
    f.click("cmdSelect"); // cancelled
    ASSERT_EQ(f.dialogs.shown.size(), 2);
    EXPECT_EQ(f.dialogs.shown[0].kind, ui::ScriptedDialogs::Kind::Choice);
    ASSERT_EQ(f.dialogs.shown[0].items.size(), 1);
    EXPECT_TRUE(f.dialogs.shown[0].items[0].contains(QStringLiteral("test:0")));
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("选择已经取消！"));
    EXPECT_EQ(f.dialogs.last().title, QStringLiteral("信息"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Critical);

    f.dialogs.choices.enqueue(0);
    f.click("cmdSelect");
    EXPECT_EQ(f.dialogs.shown.size(), 3) << "chosen without a message";
    f.click("cmdAcquire");
    EXPECT_EQ(f.dialogs.shown.size(), 3);
    const QImage scanned = f.viewer("Xpress1")->picture();
    EXPECT_EQ(scanned.size(), QSize(39, 29));
    EXPECT_FALSE(scanned.allGray()) << "scanned in colour";
    EXPECT_EQ(f.scan->editor().working(), scanned);
}

// A scanner that reads until it is told to stop, as a long scan does.
class EndlessScanner : public Scanner {
public:
    bool initialise() override { return true; }
    std::vector<Device> devices() override { return {{QStringLiteral("slow"), QStringLiteral("slow")}}; }
    Scan acquire(const QString&, const std::function<bool()>& goOn) override {
        while (goOn())
            QThread::msleep(5);
        return {Status::Cancelled, {}};
    }
};

// The scan is read beside the windows; the runner's 取消 tells the device to stop.
TEST(ScanWindow, CancelStopsTheScan) {
    Scanning f;
    f.addPerson(QStringLiteral("000001"));
    EntryWindow entry(
        *f.session, [] {}, &f.host);
    QWidget* scan = ScanWindow::open(entry, std::make_unique<EndlessScanner>());
    ASSERT_NE(scan, nullptr);
    bool pressed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* stop = w->findChild<QPushButton*>(QStringLiteral("JobCancel"));
                stop && w->isVisible()) {
                stop->click();
                pressed = true;
                poll.stop();
            }
    });
    poll.start(20);
    QTest::mouseClick(scan->findChild<QPushButton*>(QStringLiteral("cmdAcquire")), Qt::LeftButton);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("已取消！"));
    delete scan;
}
