#include "login/AppController.h"
#include "print/Surface.h"
#include "store/LogFile.h"
#include "ui/Guard.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    // The program folder's fontconfig file prefers the SC faces; it must be set before Qt starts.
    QFileInfo exe(QStringLiteral("/proc/self/exe"));
    if (!exe.exists())
        exe = QFileInfo(QString::fromLocal8Bit(argv[0]));
    const QByteArray fontConfig =
        QFile::encodeName(QFileInfo(exe.canonicalFilePath()).absolutePath() + QStringLiteral("/fonts.conf"));
    if (qEnvironmentVariableIsEmpty("FONTCONFIG_FILE") && QFile::exists(QFile::decodeName(fontConfig)))
        qputenv("FONTCONFIG_FILE", fontConfig);

    ui::Application app(argc, argv);
    // From here every message also goes to tessaly.log in the program folder.
    const store::MessageLog log(QApplication::applicationDirPath());
    QTranslator qtbase;
    if (qtbase.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtbase);
    // Chinese font names of the printed forms map to faces with Simplified Chinese glyphs, the
    // same faces the page drawings use.
    print::substituteFormFaces();
    QFont base(QStringLiteral("Noto Sans CJK SC"));
    base.setPointSize(10);
    QApplication::setFont(base);

    login::AppController controller(QApplication::applicationDirPath());
    if (!controller.start())
        return 1;
    return QApplication::exec();
}
