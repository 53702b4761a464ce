#include "help/HelpWindow.h"

#include "store/Database.h"
#include "store/LogFile.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Window.h"
#include "ui_AboutBox.h"
#include "ui_HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <sodium.h>
namespace help {

QString logFileNote(const QString& programFolder) {
    return QStringLiteral("运行日志：%1\n程序出错时，请把这个文件（和旁边的%2.1）发给维护人员。")
        .arg(QDir::toNativeSeparators(QDir(programFolder).filePath(store::kLogFileName)),
             store::kLogFileName);
}

HelpWindow::HelpWindow(const QString& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::HelpWindow>()) {
    ui_->setupUi(this);
    const QString page = QDir(programFolder).filePath(QStringLiteral("help.htm"));
    if (QFileInfo::exists(page))
        ui_->WebBrowser1->setSource(QUrl::fromLocalFile(page));
    else
        ui_->WebBrowser1->setPlainText(
            QStringLiteral("找不到帮助文件“%1”。").arg(QDir::toNativeSeparators(page)));
    ui::placeCentred(*this, {640, 480});
}

HelpWindow::~HelpWindow() = default;

QString AboutBox::systemInformationTool() {
    for (const char* tool :
         {"hardinfo", "gnome-system-monitor", "kinfocenter", "mate-system-monitor", "xfce4-taskmanager"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

AboutBox::AboutBox(store::Session& session, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AboutBox>()) {
    ui_->setupUi(this);
    setWindowTitle(QStringLiteral("关于") + ui::kProgramTitle);
    QString cipher;
    ui::guard(this, ui::silently(), [&] { cipher = session.db().cipherVersion(); });
    ui_->lblDescription->setText(
        QStringLiteral("<h3>%1</h3><p>企事业离退休人员管理系统，版本 4.1</p>"
                       "<p>使用的程序库：Qt %2，SQLCipher %3（SQLite %4），libsodium %5</p>"
                       "<p>数据库文件：%6</p>")
            .arg(ui::kProgramTitle, QString::fromLatin1(qVersion()), cipher, store::sqliteVersion(),
                 QString::fromLatin1(sodium_version_string()),
                 QDir::toNativeSeparators(session.databasePath()).toHtmlEscaped()));
    // Selectable, so an office can copy the path when it sends the file.
    ui_->lblLogFile->setText(logFileNote(session.programFolder()));
    const QString tool = systemInformationTool();
    ui_->cmdSysInfo->setEnabled(!tool.isEmpty());
    connect(ui_->cmdSysInfo, &QPushButton::clicked, this, [tool] { QProcess::startDetached(tool, {}); });
    connect(ui_->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

AboutBox::~AboutBox() = default;

} // namespace help
