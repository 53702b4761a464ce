#include "ui/WorkLock.h"

#include "store/Session.h"
#include "ui/Guard.h"

namespace ui {

std::optional<store::BulkLock> takeBulkLock(QWidget* parent, store::Session& session, store::BulkWork work,
                                            const QString& title) {
    std::optional<store::BulkLock> lock;
    // Someone else's work comes first: said in its own words, the cause only logged.
    guard(
        parent, stopWithCause(QStringLiteral("数据库没有改变。"), title),
        {when<store::BulkLockRefused>([&](const store::BulkLockRefused& e) {
            return stopWith(e.message(), title, Icon::Information);
        })},
        [&] { lock.emplace(session.db(), session.state().currentUser, work); }, store::bulkWorkText(work));
    return lock;
}

} // namespace ui
