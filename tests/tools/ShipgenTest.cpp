#include "TestFolder.h"

#include "store/Database.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using testing_support::TestFolder;

namespace {

// Runs the build's own tessaly_shipgen on a folder; its exit code, or -1 when it crashed.
int shipgen(const QString& folder) {
    QProcess process;
    process.start(QStringLiteral(TESSALY_SHIPGEN), {folder});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Every build runs shipgen on the program folder: it must never replace the office's lib.mdb.
TEST(Shipgen, WritesTheShippedFilesOnlyWhereTheProgramFolderHasNone) {
    TestFolder folder(false);
    const QString lib = folder.file(QStringLiteral("lib.mdb"));
    ASSERT_EQ(shipgen(folder.path()), 0);
    {
        store::Database db(lib);
        EXPECT_EQ(testing_support::countRows(db, QStringLiteral("basic")), 1);
        db.exec(QStringLiteral("UPDATE system SET dwmc = '本单位'")); // a day's work
    }
    for (int n = 1; n <= 12; ++n)
        EXPECT_TRUE(QFileInfo::exists(folder.file(QStringLiteral("%1.jpg").arg(n)))) << n;

    QFile own(folder.file(QStringLiteral("3.jpg")));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("the office's own picture");
    own.close();
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("5.jpg"))));
    const QByteArray office = readAll(lib);

    ASSERT_EQ(shipgen(folder.path()), 0);
    EXPECT_EQ(readAll(lib), office) << "the office's database is left byte for byte";
    EXPECT_EQ(readAll(folder.file(QStringLiteral("3.jpg"))), QByteArray("the office's own picture"));
    EXPECT_TRUE(QFileInfo::exists(folder.file(QStringLiteral("5.jpg")))) << "a missing picture comes back";
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("lib.mdb.partial"))));
}
