#include "TestFolder.h"

#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "records/Photo.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "ui/JobRunner.h"
#include "ui/JobScript.h"
#include "ui/ScriptedDialogs.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace records;

namespace {

QByteArray encoded(const QSize& size, const char* format, QColor colour = Qt::darkCyan) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Photos {
    Photos() : session(folder.session()) {}
    qint64 addPerson(const QString& number, const QByteArray& photo = {}, const QString& sex = {}) {
        session->db().exec(
            QStringLiteral("INSERT INTO wslib(\"个人编号\", \"姓名\", \"性别\", \"相片\") "
                           "VALUES (?, ?, ?, ?)"),
            {number, QStringLiteral("张三"), sex, photo.isEmpty() ? QVariant() : QVariant(photo)});
        return session->db().lastInsertRowId();
    }
    QByteArray photoOf(const QString& number) {
        return session->db()
            .scalar(QStringLiteral("SELECT \"相片\" FROM wslib WHERE \"个人编号\" = ?"), {number})
            .toByteArray();
    }
    // The session again on a connection opened with `options`.
    void reopen(const store::OpenOptions& options) {
        window.reset();
        session = std::make_unique<store::Session>(folder.path(), folder.clock.clock());
        session->openOptions() = options;
        session->open();
        session->state().currentUser = QStringLiteral("超级用户");
    }
    EntryWindow& open() {
        window = std::make_unique<EntryWindow>(*session, [] {});
        window->show();
        return *window;
    }
    void click(const char* name) {
        auto* b = window->findChild<QToolButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QLabel* frame() { return window->form().photoFrame(); }
    QLabel* progress() { return window->findChild<QLabel*>(QStringLiteral("Label49")); }
    QString photoDir() const { return folder.file(QStringLiteral("photo")); }

    ui::ScriptedDialogs dialogs;
    testing_support::TestFolder folder;
    std::unique_ptr<store::Session> session;
    std::unique_ptr<EntryWindow> window;
    std::unique_ptr<store::Database> holder; // another program's connection
};

const QString kExportQuestion =
    QStringLiteral("真的导出全部文件图片吗？\n文件图片将保存在系统文件夹的PHOTO文件夹中！");
const QString kImportQuestion =
    QStringLiteral("真的导入全部文件图片吗？\n从系统文件夹中的PHOTO文件夹导入，将覆盖库中图片数据。");

} // namespace

TEST(PhotoLoader, StoresTheFileBytesExactly) {
    Photos f;
    const qint64 rowid = f.addPerson(QStringLiteral("000001"), "old");
    QByteArray bytes(100'003, '\0');
    for (char& c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    const QString path = f.folder.file(QStringLiteral("any.bin"));
    writeFile(path, bytes);

    EXPECT_EQ(loadPhotoFile(f.session->db(), rowid, path, QStringLiteral("超级用户")),
              std::optional<qint64>(bytes.size()));
    EXPECT_EQ(readPhoto(f.session->db(), rowid), bytes) << "no header, no conversion";
}

TEST(PhotoLoader, EmptyFileKeepsAndMissingFileDoesNothing) {
    Photos f;
    const qint64 rowid = f.addPerson(QStringLiteral("000001"), "old image");
    const QString empty = f.folder.file(QStringLiteral("empty.jpg"));
    writeFile(empty, {});
    EXPECT_EQ(loadPhotoFile(f.session->db(), rowid, empty, QStringLiteral("超级用户")),
              std::optional<qint64>(0));
    EXPECT_EQ(readPhoto(f.session->db(), rowid), QByteArray("old image"));
    EXPECT_EQ(loadPhotoFile(f.session->db(), rowid, f.folder.file(QStringLiteral("none.jpg")),
                            QStringLiteral("超级用户")),
              std::nullopt);
    EXPECT_EQ(readPhoto(f.session->db(), rowid), QByteArray("old image"));
}

TEST(PhotoLoader, RefusedWriteGivesANegativeCodeAndKeepsThePhoto) {
    Photos f;
    const qint64 rowid = f.addPerson(QStringLiteral("000001"), "old image");
    f.session->db().exec(QStringLiteral("CREATE TRIGGER no_photo BEFORE UPDATE OF \"相片\" ON wslib "
                                        "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    const QString path = f.folder.file(QStringLiteral("a.jpg"));
    writeFile(path, "new");
    const std::optional<qint64> result =
        loadPhotoFile(f.session->db(), rowid, path, QStringLiteral("超级用户"));
    ASSERT_TRUE(result.has_value());
    EXPECT_LT(*result, 0);
    EXPECT_EQ(readPhoto(f.session->db(), rowid), QByteArray("old image"));
}

TEST(PhotoLoader, PersonalNumbersThatNameAFile) {
    const struct {
        QString number;
        bool plain;
    } cases[] = {
        {QStringLiteral("000123"), true}, {QStringLiteral("A-12"), true},  {QString(), false},
        {QStringLiteral("   "), false},   {QStringLiteral("../x"), false}, {QStringLiteral(".."), false},
        {QStringLiteral("a/b"), false},   {QStringLiteral("a\\b"), false}, {QStringLiteral("/etc/x"), false},
        {QStringLiteral("C:x"), false},   {QStringLiteral("a\nb"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isPlainFileName(c.number), c.plain) << c.number.toStdString();
        EXPECT_EQ(photoFileOf(QStringLiteral("/p/photo"), c.number).isEmpty(), !c.plain);
    }
    EXPECT_EQ(photoFileOf(QStringLiteral("/p/photo"), QStringLiteral("000123")),
              QStringLiteral("/p/photo/000123.jpg"));
    EXPECT_EQ(photoProgressShare(1, 3), QStringLiteral("33.3"));
    EXPECT_EQ(photoProgressShare(1, 200), QStringLiteral(".5"));
    EXPECT_EQ(photoProgressShare(2, 2), QStringLiteral("100.0"));
}

TEST(PhotoButtons, CaptionsAndTooltips) {
    Photos f;
    f.open();
    const struct {
        const char* name;
        QString tip;
    } buttons[] = {{"Image2", QStringLiteral("重新选择相片")},
                   {"Image4", QStringLiteral("清除当前相片")},
                   {"Image3", QStringLiteral("导出全部相片")},
                   {"Image5", QStringLiteral("导入全部相片")}};
    for (const auto& b : buttons) {
        auto* button = f.window->findChild<QToolButton*>(QString::fromLatin1(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->toolTip(), b.tip);
        EXPECT_TRUE(button->isVisible());
    }
    EXPECT_FALSE(f.progress()->isVisible());
}

TEST(PhotoButtons, ChooseAgainStoresAndShowsTheFileAndCancelChangesNothing) {
    Photos f;
    f.addPerson(QStringLiteral("000001"));
    f.open();
    f.click("Image2");
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().kind, ui::ScriptedDialogs::Kind::OpenFile);
    EXPECT_EQ(f.dialogs.last().filter, QStringLiteral("文件JPG|*.JPG;*.jpeg|文件bmp|*.bmp|文件gif|*.gif|"
                                                      "文件tif|*.tif|文件png|*.png|所有文件*.*|*.*"));
    EXPECT_TRUE(f.photoOf(QStringLiteral("000001")).isEmpty());
    EXPECT_TRUE(f.frame()->pixmap().isNull());

    // A wide picture fills the frame's width and keeps its aspect.
    const QByteArray gif = encoded({300, 150}, "PNG");
    const QString path = f.folder.file(QStringLiteral("wide.png"));
    writeFile(path, gif);
    f.dialogs.files.enqueue(path);
    f.click("Image2");
    EXPECT_EQ(f.photoOf(QStringLiteral("000001")), gif);
    ASSERT_FALSE(f.frame()->pixmap().isNull());
    EXPECT_EQ(f.frame()->pixmap().size(), QSize(120, 60));
    EXPECT_EQ(f.dialogs.shown.size(), 2) << "no message";
}

TEST(PhotoButtons, ClearThenRevisitShowsAnEmptyFrame) {
    Photos f;
    f.addPerson(QStringLiteral("000001"), encoded({40, 50}, "JPG"));
    f.addPerson(QStringLiteral("000002"), encoded({40, 50}, "JPG"));
    EntryWindow& w = f.open();
    ASSERT_FALSE(f.frame()->pixmap().isNull());

    f.click("Image4"); // answered No
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("真的清除当前文件图片吗？"));
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_FALSE(f.photoOf(QStringLiteral("000001")).isEmpty());
    EXPECT_FALSE(f.frame()->pixmap().isNull());

    f.dialogs.answer({true});
    f.click("Image4");
    EXPECT_TRUE(f.frame()->pixmap().isNull());
    EXPECT_TRUE(
        f.session->db()
            .scalar(QStringLiteral("SELECT \"相片\" IS NULL FROM wslib WHERE \"个人编号\" = '000001'"))
            .toBool());
    w.moveTo(1);
    EXPECT_FALSE(f.frame()->pixmap().isNull());
    w.moveTo(0);
    EXPECT_TRUE(f.frame()->pixmap().isNull());
    EXPECT_FALSE(f.photoOf(QStringLiteral("000002")).isEmpty()) << "only the current person";
}

TEST(PhotoButtons, AnUnreadableImageShowsAnEmptyFrame) {
    Photos f;
    f.addPerson(QStringLiteral("000001"), encoded({40, 50}, "JPG"));
    f.addPerson(QStringLiteral("000002"), QByteArray("\xff\xd8 not really a picture", 24));
    EntryWindow& w = f.open();
    EXPECT_FALSE(f.frame()->pixmap().isNull());
    w.moveTo(1);
    EXPECT_TRUE(f.frame()->pixmap().isNull());
    EXPECT_EQ(w.form().findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("000002"));
}

TEST(PhotoButtons, ExportOfAListWithoutImagesWritesNothing) {
    Photos f;
    f.addPerson(QStringLiteral("000001"));
    f.addPerson(QStringLiteral("000002"));
    f.open();
    f.click("Image3");
    ASSERT_EQ(f.dialogs.shown.size(), 1);
    EXPECT_EQ(f.dialogs.last().text, kExportQuestion);
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_FALSE(QDir(f.photoDir()).exists()) << "No changes nothing";

    f.dialogs.answer({true});
    f.click("Image3");
    ASSERT_EQ(f.dialogs.shown.size(), 3);
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导出完毕！共导出0个文件图片。"));
    EXPECT_EQ(f.dialogs.last().title, ui::kProgramTitle);
    EXPECT_TRUE(QDir(f.photoDir()).exists()) << "a missing photo folder is made";
    EXPECT_TRUE(QDir(f.photoDir()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(f.progress()->isVisible());
}

TEST(PhotoButtons, ExportNamesEveryImageByPersonalNumberDotJpg) {
    Photos f;
    const QByteArray bmp = encoded({30, 20}, "BMP");
    const QByteArray jpg = encoded({30, 20}, "JPG");
    f.addPerson(QStringLiteral("000001"), bmp);
    f.addPerson(QStringLiteral("000002"));
    f.addPerson(QStringLiteral("000003"), jpg);
    EntryWindow& w = f.open();
    w.moveTo(2);
    f.dialogs.answer({true});
    f.click("Image3");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导出完毕！共导出2个文件图片。"));
    EXPECT_EQ(QDir(f.photoDir()).entryList(QDir::Files),
              QStringList({QStringLiteral("000001.jpg"), QStringLiteral("000003.jpg")}));
    EXPECT_EQ(fileBytes(f.photoDir() + QStringLiteral("/000001.jpg")), bmp) << "bytes as stored";
    EXPECT_EQ(fileBytes(f.photoDir() + QStringLiteral("/000003.jpg")), jpg);
    EXPECT_EQ(f.progress()->text(), QStringLiteral("正在导出...66.7%"));
    EXPECT_FALSE(f.progress()->isVisible());
    EXPECT_EQ(w.list().position(), 0) << "back at the first row";
    EXPECT_EQ(w.form().findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("000001"));
    w.moveTo(1);
    EXPECT_EQ(w.form().findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("000002"))
        << "moves show records again";
}

TEST(PhotoButtons, ExportAfterACategorySearchWritesOnlyTheFoundPersons) {
    Photos f;
    const QByteArray jpg = encoded({30, 20}, "JPG");
    f.addPerson(QStringLiteral("000001"), jpg, QStringLiteral("男"));
    f.addPerson(QStringLiteral("000002"), jpg, QStringLiteral("女"));
    f.addPerson(QStringLiteral("000003"), jpg, QStringLiteral("男"));
    EntryWindow& w = f.open();
    auto* categories = w.findChild<QComboBox*>(QStringLiteral("Combo1"));
    categories->setCurrentIndex(5);
    w.chooseCategory(5);
    w.findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(QStringLiteral("男"));
    w.searchByCategory();
    ASSERT_EQ(w.list().count(), 2);

    f.dialogs.answer({true});
    f.click("Image3");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导出完毕！共导出2个文件图片。"));
    EXPECT_EQ(QDir(f.photoDir()).entryList(QDir::Files),
              QStringList({QStringLiteral("000001.jpg"), QStringLiteral("000003.jpg")}));
    EXPECT_EQ(f.progress()->text(), QStringLiteral("正在导出...100.0%"));
}

TEST(PhotoButtons, ImportReplacesFromFilesAndKeepsTheOthers) {
    Photos f;
    f.addPerson(QStringLiteral("000122"), "keep 122");
    f.addPerson(QStringLiteral("000123"), "old 123");
    f.addPerson(QStringLiteral("000124"), "old 124");
    f.addPerson(QStringLiteral("000125"));
    QDir().mkpath(f.photoDir());
    const QByteArray fresh = encoded({25, 30}, "JPG");
    writeFile(f.photoDir() + QStringLiteral("/000123.jpg"), fresh);
    writeFile(f.photoDir() + QStringLiteral("/000124.jpg"), {});
    writeFile(f.photoDir() + QStringLiteral("/999999.jpg"), fresh);
    EntryWindow& w = f.open();
    w.moveTo(1);

    f.click("Image5"); // No
    EXPECT_EQ(f.dialogs.last().text, kImportQuestion);
    EXPECT_EQ(f.dialogs.last().button, ui::Default::No);
    EXPECT_EQ(f.photoOf(QStringLiteral("000123")), QByteArray("old 123"));

    f.dialogs.answer({true});
    f.click("Image5");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导入完毕！共导入2个文件图片。"));
    EXPECT_EQ(f.photoOf(QStringLiteral("000123")), fresh);
    EXPECT_EQ(f.photoOf(QStringLiteral("000124")), QByteArray("old 124")) << "an empty file changes nothing";
    EXPECT_EQ(f.photoOf(QStringLiteral("000122")), QByteArray("keep 122"));
    EXPECT_TRUE(f.photoOf(QStringLiteral("000125")).isEmpty());
    EXPECT_EQ(testing_support::countRows(f.session->db(), QStringLiteral("history")), 1)
        << "one summary row, no photo bytes";
    EXPECT_EQ(testing_support::countRows(
                  f.session->db(), QStringLiteral("history"),
                  QStringLiteral("kind = '批量' AND field = '导入全部相片' AND new_value = 2")),
              1);
    EXPECT_EQ(f.progress()->text(), QStringLiteral("正在导入...50.0%"));
    EXPECT_FALSE(f.progress()->isVisible());
    EXPECT_EQ(w.list().position(), 0);
    w.moveTo(1);
    EXPECT_FALSE(f.frame()->pixmap().isNull()) << "the imported picture shows";
}

TEST(PhotoButtons, AHostilePersonalNumberNeverLeadsOutOfThePhotoFolder) {
    Photos f;
    const QByteArray jpg = encoded({30, 20}, "JPG");
    for (const QString& n : {QStringLiteral("../evil"), QStringLiteral("../../evil"), QStringLiteral("a/b"),
                             QStringLiteral(".."), QStringLiteral("  ")})
        f.addPerson(n, jpg);
    f.addPerson(QStringLiteral("000001"), jpg);
    EntryWindow& w = f.open();
    f.dialogs.answer({true});
    f.click("Image3");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导出完毕！共导出1个文件图片。"));
    EXPECT_EQ(QDir(f.photoDir()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("000001.jpg")}));
    EXPECT_FALSE(QFile::exists(f.folder.file(QStringLiteral("evil.jpg"))));
    EXPECT_FALSE(QFile::exists(f.folder.file(QStringLiteral("../evil.jpg"))));
    EXPECT_FALSE(QFile::exists(f.folder.file(QStringLiteral("..jpg"))));

    // Import does not read beside the folder either.
    writeFile(f.folder.file(QStringLiteral("evil.jpg")), "outside");
    f.dialogs.answer({true});
    f.click("Image5");
    EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导入完毕！共导入1个文件图片。"));
    EXPECT_EQ(f.photoOf(QStringLiteral("../evil")), jpg);
    EXPECT_EQ(w.list().count(), 6);
}

TEST(PhotoButtons, FolderAndFileNamesMatchWithoutRegardToCase) {
    const QByteArray red = encoded({20, 10}, "JPG", Qt::red);
    const QByteArray blue = encoded({20, 10}, "JPG", Qt::blue);
    {
        // A camera's upper-case names in an upper-case folder: imported, and replaced by export.
        Photos f;
        f.addPerson(QStringLiteral("000123"));
        f.addPerson(QStringLiteral("000124"));
        const QString dir = f.folder.file(QStringLiteral("PHOTO"));
        QDir().mkpath(dir);
        writeFile(dir + QStringLiteral("/000123.JPG"), red);
        writeFile(dir + QStringLiteral("/000124.Jpg"), blue);
        f.open();
        f.dialogs.answer({true});
        f.click("Image5");
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导入完毕！共导入2个文件图片。"));
        EXPECT_EQ(f.photoOf(QStringLiteral("000123")), red);
        EXPECT_EQ(f.photoOf(QStringLiteral("000124")), blue);

        f.session->db().exec(QStringLiteral("UPDATE wslib SET \"相片\" = ?"), {blue});
        f.dialogs.answer({true});
        f.click("Image3");
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导出完毕！共导出2个文件图片。"));
        EXPECT_EQ(QDir(dir).entryList(QDir::Files),
                  QStringList({QStringLiteral("000123.JPG"), QStringLiteral("000124.Jpg")}));
        EXPECT_EQ(fileBytes(dir + QStringLiteral("/000123.JPG")), blue);
        EXPECT_FALSE(QDir(f.photoDir()).exists()) << "no second folder";
    }
    {
        // Exact case wins a tie, for the folder and for the file.
        Photos f;
        f.addPerson(QStringLiteral("000123"));
        f.addPerson(QStringLiteral("000124"));
        const QString upper = f.folder.file(QStringLiteral("PHOTO"));
        QDir().mkpath(upper);
        QDir().mkpath(f.photoDir());
        writeFile(upper + QStringLiteral("/000123.jpg"), blue);
        writeFile(f.photoDir() + QStringLiteral("/000123.jpg"), red);
        writeFile(f.photoDir() + QStringLiteral("/000124.JPG"), blue);
        writeFile(f.photoDir() + QStringLiteral("/000124.jpg"), red);
        f.open();
        f.dialogs.answer({true});
        f.click("Image5");
        EXPECT_EQ(f.dialogs.last().text, QStringLiteral("导入完毕！共导入2个文件图片。"));
        EXPECT_EQ(f.photoOf(QStringLiteral("000123")), red);
        EXPECT_EQ(f.photoOf(QStringLiteral("000124")), red);
    }
}

TEST(PhotoButtons, ImportAndExportCountOnlyWhatWasStoredAndSayWhy) {
    const auto bulky = [](int seed) {
        QByteArray bytes(300'000, '\0');
        QRandomGenerator random(quint32(seed + 1));
        for (char& c : bytes)
            c = char(random.bounded(256));
        return bytes;
    };
    const struct {
        const char* what;
        store::OpenOptions options;
        std::function<void(Photos&)> fail; // after the window opened
        QString message;
    } cases[] = {
        {"one refused by a trigger",
         {},
         [](Photos& f) {
             f.session->db().exec(QStringLiteral(
                 "CREATE TRIGGER no_photo BEFORE UPDATE OF \"相片\" ON wslib WHEN OLD.\"个人编号\" = "
                 "'000002' BEGIN SELECT RAISE(ABORT, 'refused'); END"));
         },
         QStringLiteral("导入完毕！共导入1个文件图片。\n1个文件图片没有导入：数据库拒绝存入相片。")},
        {"a full disk",
         {},
         [](Photos&) {
             // The photos are stored on the job's own connection.
             ui::setJobConnectionHook([](store::Database& own) {
                 const qint64 pages = own.scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
                 own.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
             });
         },
         QStringLiteral("导入完毕！共导入0个文件图片。\n导入没有完成：磁盘已满。")},
        {"a read-only connection",
         {true, 3000},
         [](Photos&) {},
         QStringLiteral("导入完毕！共导入0个文件图片。\n导入没有完成：数据库文件是只读的，不能写入。")},
        {"a lock held by another program",
         {false, 100},
         [](Photos& f) {
             f.holder = std::make_unique<store::Database>(f.folder.file(QStringLiteral("lib.mdb")));
             // Taken once the job's connection is open, as another program would between two writes.
             ui::setJobConnectionHook(
                 [&f](store::Database&) { f.holder->exec(QStringLiteral("BEGIN EXCLUSIVE")); });
         },
         QStringLiteral("导入完毕！共导入0个文件图片。\n导入没有完成：数据库文件正被其他程序占用。")},
    };
    for (const auto& c : cases) {
        Photos f;
        f.addPerson(QStringLiteral("000001"), "old 1");
        f.addPerson(QStringLiteral("000002"), "old 2");
        QDir().mkpath(f.photoDir());
        writeFile(f.photoDir() + QStringLiteral("/000001.jpg"), bulky(1));
        writeFile(f.photoDir() + QStringLiteral("/000002.jpg"), bulky(2));
        f.reopen(c.options);
        f.open();
        c.fail(f);
        f.dialogs.answer({true});
        f.click("Image5");
        ui::setJobConnectionHook({});
        EXPECT_EQ(f.dialogs.last().text, c.message) << c.what;
        EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Exclamation) << c.what;
        f.holder.reset();
        const int stored = int(f.photoOf(QStringLiteral("000001")) == bulky(1)) +
                           int(f.photoOf(QStringLiteral("000002")) == bulky(2));
        EXPECT_EQ(stored, c.message.contains(QStringLiteral("共导入1个")) ? 1 : 0) << c.what;
    }

    // A file that cannot be written (here the disk is full) is not counted as exported.
    Photos f;
    f.addPerson(QStringLiteral("000001"), "one");
    f.addPerson(QStringLiteral("000002"), "two");
    QDir().mkpath(f.photoDir());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), f.photoDir() + QStringLiteral("/000001.jpg")));
    f.open();
    f.dialogs.answer({true});
    f.click("Image3");
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("导出完毕！共导出1个文件图片。\n1个文件图片没有导出：磁盘已满。"));
    EXPECT_EQ(f.dialogs.last().icon, ui::Icon::Exclamation);
    EXPECT_EQ(fileBytes(f.photoDir() + QStringLiteral("/000002.jpg")), QByteArray("two"));
}

TEST(PhotoButtons, CancelledExportKeepsTheFilesWrittenAndSaysHowMany) {
    Photos f;
    f.session->db().exec(QStringLiteral(
        "INSERT INTO wslib (\"个人编号\", \"姓名\", \"相片\") WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
        "SELECT i + 1 FROM n WHERE i < 1200) SELECT printf('%06d', i), '张三', x'FFD8FFE0' FROM n"));
    f.open();
    f.dialogs.answer({true});
    // Held some hundred persons in, after progress was shown.
    ui::CancelJobAt cancel(700, f.progress());
    f.click("Image3");
    ASSERT_TRUE(cancel.pressed());
    EXPECT_TRUE(cancel.progressSeen().startsWith(QStringLiteral("正在导出...")))
        << cancel.progressSeen().toStdString();
    const int written = int(QDir(f.photoDir()).entryList(QDir::Files).size());
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 1200);
    EXPECT_EQ(f.dialogs.last().text,
              QStringLiteral("导出已取消，已导出的%1个文件图片保留在PHOTO文件夹中。").arg(written));
    EXPECT_FALSE(f.progress()->isVisible());
}
