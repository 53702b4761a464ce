#pragma once

#include "settings/UserAccounts.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace store {
class Database;
class OpenError;
class Session;
} // namespace store

namespace login {

// The user list has its home with the users table.
using settings::readUsers;
using settings::UserEntry;

enum class LoginOutcome { EmptyName, WrongPassword, LoggedIn };

// The login button: the password compared is the one at the picked name's position in the
// list (two users may share a name); a typed name that no position was picked for selects the
// first user of that name. The comparison is exact. On success the name becomes the current
// user, "进入系统" is logged and a legacy plain password is replaced by its hash.
LoginOutcome logIn(store::Session& session, const std::vector<UserEntry>& users, const QString& nameText,
                   const QString& password, int position = -1);
// The same without the log row, which the login window writes itself so that a log that cannot be
// written is reported and does not keep the operator out. A hash that cannot be stored (read-only
// file) is logged and tried again at the next login.
LoginOutcome checkLogin(store::Session& session, const std::vector<UserEntry>& users, const QString& nameText,
                        const QString& password, int position = -1);

// The message shown when lib.mdb cannot be opened at start-up.
QString startupFailureMessage(const store::OpenError& error);
// The program folder takes no lock file (read-only, full disk, not there).
QString folderNotWritableMessage(const QString& folder);
// lib.mdb opens only for reading.
QString readOnlyDatabaseMessage(const QString& path);
// The start-up's progress while it makes the persons table's missing indexes; `done` steps of
// `total` are finished.
QString personIndexProgressText(int done, int total);
// The question before starting despite a lock file another computer left.
QString foreignLockQuestion(const QString& host, const QDateTime& when);
// ... and despite one that cannot be read.
QString unreadableLockQuestion(const QDateTime& when);
// The lock file (or a folder of its name) cannot be opened or removed.
QString unusableLockMessage(const QString& path, bool isFolder);

inline const QString kSecondCopy = QStringLiteral("程序已经运行，不能再次装载。");
inline const QString kPickUser = QStringLiteral("请选择用户名");
inline const QString kWrongPassword = QStringLiteral("密码错！请重新输入！");

} // namespace login
