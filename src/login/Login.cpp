#include "login/Login.h"

#include "store/Database.h"
#include "store/Passwords.h"
#include "store/Session.h"

#include <QDir>

namespace login {

LoginOutcome logIn(store::Session& session, const std::vector<UserEntry>& users, const QString& nameText,
                   const QString& password) {
    if (nameText.isEmpty())
        return LoginOutcome::EmptyName;
    const auto user =
        std::find_if(users.begin(), users.end(), [&](const UserEntry& u) { return u.name == nameText; });
    if (user == users.end())
        return LoginOutcome::EmptyName;
    const store::PasswordCheck check = store::checkPassword(user->pass, password);
    if (!check.matches)
        return LoginOutcome::WrongPassword;
    if (check.needsRehash)
        settings::storePasswordHash(session.db(), user->rowid, password);
    session.state().currentUser = nameText;
    session.log().write(QStringLiteral("进入系统"));
    return LoginOutcome::LoggedIn;
}

QString startupFailureMessage(const store::OpenError& error) {
    const QString file = QDir::toNativeSeparators(error.path());
    switch (error.kind()) {
    case store::OpenFailure::Missing:
        return QStringLiteral("找不到数据库文件“%1”。\n程序无法运行，将结束。").arg(file);
    case store::OpenFailure::WrongPassword:
        return QStringLiteral("数据库文件“%1”的密码不对，无法打开。\n它可能不是本系统的数据库。程序将结束。")
            .arg(file);
    case store::OpenFailure::MissingTables:
        return QStringLiteral("数据库文件“%1”缺少本系统的数据表，不是本系统的数据库。\n程序将结束。")
            .arg(file);
    case store::OpenFailure::NotADatabase:
        break;
    }
    return QStringLiteral("数据库文件“%1”已损坏或不是数据库文件，无法打开。\n程序将结束。").arg(file);
}

} // namespace login
