#include "login/ServerLoginWindow.h"

#include "store/Database.h"
#include "ui/CharacterLimit.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_ServerLoginWindow.h"

#include <QDir>

namespace login {

QString serverRefusedMessage(const QString& server, const QString& cause) {
    return QStringLiteral("无法连接服务器“%1”，请检查用户名和密码，或与管理员联系。").arg(server) +
           QLatin1Char('\n') + cause;
}

QString emptyServerQuestion(const QString& server) {
    return QStringLiteral(
               "服务器上的数据库“%1”还没有数据。\n是否现在把一个数据库文件（lib.mdb）上传到服务器？")
        .arg(server);
}

QString serverStartupFailureMessage(const QString& server, const store::OpenError& error) {
    if (error.kind() == store::OpenFailure::MissingTables)
        return QStringLiteral("服务器上的数据库“%"
                              "1”还没有本系统的数据，程序将结束。\n请由超级用户先把数据库上传到服务器。")
            .arg(server);
    return QStringLiteral("服务器上的数据库“%1”现在无法使用，程序将结束。").arg(server) + QLatin1Char('\n') +
           QString::fromUtf8(error.what()).trimmed();
}

QString serverConfigMessage(const QString& path, const QString& cause) {
    return QStringLiteral("“%1”中的服务器设置有误，程序将结束。").arg(QDir::toNativeSeparators(path)) +
           QLatin1Char('\n') + cause;
}

ServerLoginWindow::ServerLoginWindow(store::ServerConfig config, QWidget* parent)
    : QDialog(parent), config_(std::move(config)), ui_(std::make_unique<Ui::ServerLoginWindow>()) {
    ui_->setupUi(this);
    ui_->Server->setText(config_.describe());
    ui_->Text0->setText(config_.user());
    ui::maskWithStars(*ui_->Text1);
    ui_->Text1->setAttribute(Qt::WA_InputMethodEnabled, false);
    connect(ui_->Text1, &QLineEdit::returnPressed, this, &ServerLoginWindow::connectClicked);
    connect(ui_->Command1, &QPushButton::clicked, this, &ServerLoginWindow::connectClicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &QDialog::reject);
    ui::placeCentred(*this, {420, 190}, 3);
    (ui_->Text0->text().isEmpty() ? ui_->Text0 : ui_->Text1)->setFocus();
}

ServerLoginWindow::~ServerLoginWindow() = default;

std::unique_ptr<store::Database> ServerLoginWindow::takeDatabase() {
    return std::move(db_);
}

void ServerLoginWindow::connectClicked() {
    const QString user = ui_->Text0->text().trimmed();
    if (user.isEmpty()) {
        ui::inform(this, kEnterServerUser, kServerLoginTitle);
        ui_->Text0->setFocus();
        return;
    }
    const QString connection = config_.connectionFor(user, ui_->Text1->text());
    try {
        db_ = store::Database::connect(connection);
    } catch (const store::OpenError& e) {
        ui::inform(this, serverRefusedMessage(config_.describe(), QString::fromUtf8(e.what()).trimmed()),
                   kServerLoginTitle, ui::Icon::Critical);
        ui_->Text1->setFocus();
        ui_->Text1->selectAll();
        return;
    }
    connection_ = connection;
    accept();
}

} // namespace login
