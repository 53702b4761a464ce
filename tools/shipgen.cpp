// Writes the files that the program folder is installed with, lib.mdb and 1.jpg … 12.jpg, where
// the folder lacks them. An existing lib.mdb is the office's database: it is never touched, so
// rebuilding the program keeps every person, user and setting.
#include "login/ShippedDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace {

// Quiet landscapes in twelve colour moods: a sky gradient, a sun and two rows of hills.
QImage backgroundPicture(int n) {
    QImage image(800, 520, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int hue = (n * 30) % 360;
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(hue, 90, 250));
    sky.setColorAt(1, QColor::fromHsv((hue + 40) % 360, 40, 255));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(QPointF(150 + n * 40, 130), 70);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(1, QColor(255, 250, 220, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(150 + n * 40, 130), 70, 70);
    for (int layer = 0; layer < 2; ++layer) {
        QPainterPath hills;
        const int base = 330 + layer * 90;
        hills.moveTo(0, image.height());
        hills.lineTo(0, base);
        for (int x = 0; x <= 800; x += 100)
            hills.quadTo(x + 50, base - 60 + ((x / 100 + n + layer) % 3) * 25, x + 100, base);
        hills.lineTo(800, image.height());
        p.setBrush(QColor::fromHsv((hue + 120 + layer * 20) % 360, 80 + layer * 40, 170 - layer * 40));
        p.drawPath(hills);
    }
    return image;
}

// Writes the database under another name and renames it into place, so a build stopped halfway
// leaves no half-written lib.mdb that a later build would keep.
void writeDatabaseIfMissing(const QDir& folder) {
    const QString path = folder.filePath(QStringLiteral("lib.mdb"));
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return;
    const QString partial = folder.filePath(QStringLiteral("lib.mdb.partial"));
    QFile::remove(partial);
    login::writeShippedDatabase(partial);
    if (!QFile::rename(partial, path))
        throw std::runtime_error("cannot rename lib.mdb.partial to lib.mdb");
    std::printf("tessaly_shipgen: wrote the shipped %s\n", qPrintable(QDir::toNativeSeparators(path)));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaly_shipgen PROGRAM_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    try {
        writeDatabaseIfMissing(folder);
        // An office may have put its own picture under one of these names.
        for (int n = 1; n <= 12; ++n) {
            const QString picture = folder.filePath(QStringLiteral("%1.jpg").arg(n));
            if (!QFileInfo::exists(picture) && !backgroundPicture(n).save(picture, "JPG", 88))
                throw std::runtime_error("cannot write a background picture");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly_shipgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
