#include "login/AppController.h"
#include "ui/Guard.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Chinese font names of the printed forms mapped to faces with Simplified Chinese glyphs.
void mapChineseFonts() {
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"));
    QFont::insertSubstitution(QStringLiteral("黑体"), QStringLiteral("Noto Sans CJK SC"));
    QFont::insertSubstitution(QStringLiteral("楷体_GB2312"), QStringLiteral("AR PL UKai CN"));
    QFont::insertSubstitution(QStringLiteral("仿宋_GB2312"), QStringLiteral("Noto Serif CJK SC"));
}

} // namespace

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
    QTranslator qtbase;
    if (qtbase.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtbase);
    mapChineseFonts();
    QFont base(QStringLiteral("Noto Sans CJK SC"));
    base.setPointSize(10);
    QApplication::setFont(base);

    login::AppController controller(QApplication::applicationDirPath());
    if (!controller.start())
        return 1;
    return QApplication::exec();
}
