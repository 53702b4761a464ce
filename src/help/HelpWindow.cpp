#include "help/HelpWindow.h"

#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Window.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <sodium.h>
#include <sqlite3.h>

namespace help {

HelpWindow::HelpWindow(const QString& programFolder, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("帮助主题"));
    auto* browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("WebBrowser1"));
    browser->setOpenLinks(false);
    const QString page = QDir(programFolder).filePath(QStringLiteral("help.htm"));
    if (QFileInfo::exists(page))
        browser->setSource(QUrl::fromLocalFile(page));
    else
        browser->setPlainText(QStringLiteral("找不到帮助文件“%1”。").arg(QDir::toNativeSeparators(page)));
    (new QVBoxLayout(this))->addWidget(browser);
    ui::placeCentred(*this, {640, 480});
}

QString AboutBox::systemInformationTool() {
    for (const char* tool :
         {"hardinfo", "gnome-system-monitor", "kinfocenter", "mate-system-monitor", "xfce4-taskmanager"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

AboutBox::AboutBox(store::Session& session, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于") + ui::kProgramTitle);
    QString cipher;
    try {
        cipher = session.db().cipherVersion();
    } catch (const std::exception&) {
    }
    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("lblDescription"));
    text->setTextFormat(Qt::RichText);
    text->setText(QStringLiteral("<h3>%1</h3><p>企事业离退休人员管理系统，版本 4.1</p>"
                                 "<p>使用的程序库：Qt %2，SQLCipher %3（SQLite %4），libsodium %5</p>"
                                 "<p>数据库文件：%6</p>")
                      .arg(ui::kProgramTitle, QString::fromLatin1(qVersion()), cipher,
                           QString::fromLatin1(sqlite3_libversion()),
                           QString::fromLatin1(sodium_version_string()),
                           QDir::toNativeSeparators(session.databasePath()).toHtmlEscaped()));
    text->setWordWrap(true);
    auto* info = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    info->setObjectName(QStringLiteral("cmdSysInfo"));
    const QString tool = systemInformationTool();
    info->setEnabled(!tool.isEmpty());
    connect(info, &QPushButton::clicked, this, [tool] { QProcess::startDetached(tool, {}); });
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(info);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
    resize(440, 220);
}

} // namespace help
