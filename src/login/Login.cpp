#include "login/Login.h"

#include "store/Database.h"
#include "store/Passwords.h"
#include "store/Session.h"

#include <algorithm>

#include <QDir>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcLogin, "tessaly.login")

namespace login {

LoginOutcome logIn(store::Session& session, const std::vector<UserEntry>& users, const QString& nameText,
                   const QString& password, int position) {
    const LoginOutcome outcome = checkLogin(session, users, nameText, password, position);
    if (outcome == LoginOutcome::LoggedIn)
        session.log().write(QStringLiteral("进入系统"));
    return outcome;
}

LoginOutcome checkLogin(store::Session& session, const std::vector<UserEntry>& users, const QString& nameText,
                        const QString& password, int position) {
    if (nameText.isEmpty())
        return LoginOutcome::EmptyName;
    auto user = users.end();
    if (position >= 0 && std::size_t(position) < users.size() &&
        users[std::size_t(position)].name == nameText)
        user = users.begin() + position;
    else
        user =
            std::find_if(users.begin(), users.end(), [&](const UserEntry& u) { return u.name == nameText; });
    if (user == users.end())
        return LoginOutcome::EmptyName;
    const store::PasswordCheck check = store::checkPassword(user->pass, password);
    if (!check.matches)
        return LoginOutcome::WrongPassword;
    if (check.needsRehash) {
        try {
            settings::storePasswordHash(session.db(), user->rowid, password);
        } catch (const std::exception& e) {
            qCWarning(lcLogin) << "password hash not stored:" << e.what();
        }
    }
    session.state().currentUser = nameText;
    return LoginOutcome::LoggedIn;
}

QString folderNotWritableMessage(const QString& folder) {
    return QStringLiteral(
               "程序文件夹“%1”不能写入（只读、磁盘已满或文件夹不存在），程序无法运行。\n程序将结束。")
        .arg(QDir::toNativeSeparators(folder));
}

QString readOnlyDatabaseMessage(const QString& path) {
    return QStringLiteral("数据库文件“%1”是只读的：可以查看，但所做的修改都不能保存。")
        .arg(QDir::toNativeSeparators(path));
}

QString personIndexProgressText(int done, int total) {
    return QStringLiteral("正在为人员表建立索引（第%1步，共%2步）……")
        .arg(std::min(done + 1, total))
        .arg(total);
}

namespace {
// What both lock questions end with: the risk, then the question.
const QString kLockRisk =
    QStringLiteral("如果它还在运行，两处同时修改一个数据库会损坏数据。\n要继续启动吗？");

QString lockTime(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy年M月d日 HH:mm"));
}
} // namespace

QString foreignLockQuestion(const QString& host, const QDateTime& when) {
    return QStringLiteral("计算机“%1”于%2在程序文件夹中留下了运行标记，本程序可能正在那里运行。\n"
                          "如果那台计算机上的本程序已经退出，可以继续启动；")
               .arg(host, lockTime(when)) +
           kLockRisk;
}

QString unreadableLockQuestion(const QDateTime& when) {
    return QStringLiteral("程序文件夹中有一个%1留下的运行标记，但无法识别，可能是本程序意外中断时留下的。\n"
                          "如果本程序没有在别处运行，可以继续启动；")
               .arg(lockTime(when)) +
           kLockRisk;
}

QString unusableLockMessage(const QString& path, bool isFolder) {
    const QString file = QDir::toNativeSeparators(path);
    if (isFolder)
        return QStringLiteral("程序文件夹中的“%1”是一个文件夹，不是本程序的运行标记，本程序不能在这里运行。\n"
                              "请删除这个文件夹或给它改名后再启动本程序。程序将结束。")
            .arg(file);
    return QStringLiteral("程序文件夹中的运行标记“%1”无法打开或删除（可能属于别的用户，没有权限）。\n"
                          "请删除这个文件后再启动本程序。程序将结束。")
        .arg(file);
}

QString startupFailureMessage(const store::OpenError& error) {
    QString next = QStringLiteral("程序将结束。");
    if (error.kind() == store::OpenFailure::Locked)
        next = QStringLiteral("请关闭占用它的程序后再启动本程序。程序将结束。");
    else if (error.kind() == store::OpenFailure::Missing || error.kind() == store::OpenFailure::NotAFile)
        next = QStringLiteral("程序无法运行，将结束。");
    return QStringLiteral("数据库文件“%1”").arg(QDir::toNativeSeparators(error.path())) +
           store::openFailureCause(error.kind()) + QLatin1Char('\n') + next;
}

} // namespace login
