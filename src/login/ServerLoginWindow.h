#pragma once

#include "store/ServerConfig.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ServerLoginWindow;
}
namespace store {
class Database;
class OpenError;
} // namespace store

namespace login {

// The server's own login, asked before the program's login when tessaly.ini names a server. The
// password stays in memory for this run's connections and is never written anywhere.
class ServerLoginWindow : public QDialog {
    Q_OBJECT
public:
    explicit ServerLoginWindow(store::ServerConfig config, QWidget* parent = nullptr);
    ~ServerLoginWindow() override;

    // After 连接 succeeded: the connection string with the login, and the connection it opened.
    const QString& connection() const { return connection_; }
    std::unique_ptr<store::Database> takeDatabase();

public slots:
    void connectClicked();

private:
    store::ServerConfig config_;
    std::unique_ptr<Ui::ServerLoginWindow> ui_;
    QString connection_;
    std::unique_ptr<store::Database> db_;
};

inline const QString kServerLoginTitle = QStringLiteral("连接服务器");
inline const QString kEnterServerUser = QStringLiteral("请输入服务器的用户名");
// The server refused the login or cannot be reached; the server's own words follow on a new line.
QString serverRefusedMessage(const QString& server, const QString& cause);
// The server database holds none of this program's tables yet.
QString emptyServerQuestion(const QString& server);
// The server database cannot be used at start-up (its tables missing, the connection lost).
QString serverStartupFailureMessage(const QString& server, const store::OpenError& error);
// tessaly.ini names no usable server.
QString serverConfigMessage(const QString& path, const QString& cause);

} // namespace login
