#pragma once

#include "store/BulkLock.h"

#include <QString>

#include <optional>

class QWidget;

namespace store {
class Session;
}

namespace ui {

// Takes the shared lock of bulk work for a command, on the session's own connection and for as
// long as the returned object lives: the command's questions, its job and its failure or 取消.
// Held there rather than on the job's connection so that a second operator is refused before
// answering any question, and so one object covers every way the command ends; the server
// releases it also when the program's connection dies. When another operator holds it, says so
// (information, under the command's own title) and returns nothing; when the database fails,
// says that nothing changed, with the cause.
std::optional<store::BulkLock> takeBulkLock(QWidget* parent, store::Session& session, store::BulkWork work,
                                            const QString& title);

} // namespace ui
