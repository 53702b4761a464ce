#pragma once

#include <QString>

#include <stdexcept>

namespace store {
class Database;
class JobControl;
} // namespace store

namespace exchange {

// The server database already holds this program's tables: an upload would mix two offices' data.
class ServerNotEmpty : public std::runtime_error {
public:
    ServerNotEmpty() : std::runtime_error("the server database is not empty") {}
};

// True while the server database holds none of this program's tables.
bool serverIsEmpty(store::Database& server);

// Copies every table of the lib.mdb at `file` into the empty server database in one transaction:
// the seven tables are made as the schema has them (hidden row identity and version added), the
// rows keep their values and their row identities; the change history goes along when the file
// has one. A previous version's Jet file is first upgraded into a new lib.mdb of its own.
// 取消 or a failure leaves the server empty. Throws ServerNotEmpty, store::OpenError (the file),
// SourceError and UpgradeError (an old file), store::SqlError, store::Cancelled.
void uploadToServer(const QString& file, store::Database& server, store::JobControl& control);

inline const QString kUploadTitle = QStringLiteral("上传到服务器");
inline const QString kUploadNotEmpty =
    QStringLiteral("服务器上的数据库已经有数据，不能上传。\n只能上传到一个空的服务器数据库。");
inline const QString kUploadDone = QStringLiteral("数据库已上传到服务器。");
inline const QString kUploadFailed = QStringLiteral("上传失败，服务器上的数据库没有改变。");
QString uploadProgressText(const QString& table, qint64 done, qint64 total);

} // namespace exchange
