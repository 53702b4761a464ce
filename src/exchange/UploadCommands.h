#pragma once

class QWidget;
namespace store {
class Session;
}

namespace exchange {

// "上传到服务器": the operator picks a lib.mdb and it goes up into the empty server database on the
// job runner, with progress and 取消. Refuses a server that already holds data. True when the
// upload was committed.
bool uploadCommand(QWidget* parent, store::Session& session);

} // namespace exchange
