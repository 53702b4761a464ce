#include "ui/WorkLock.h"

#include "store/Session.h"
#include "ui/Guard.h"

namespace ui {

std::optional<store::BulkLock> takeBulkLock(QWidget* parent, store::Session& session, store::BulkWork work,
                                            const QString& title) {
    std::optional<store::BulkLock> lock;
    std::optional<QString> refusal;
    guard(
        parent, stopWithCause(QStringLiteral("数据库没有改变。"), title),
        [&] {
            try {
                lock.emplace(session.db(), session.state().currentUser, work);
            } catch (const store::BulkLockRefused& e) {
                // Not a failure: someone else's work comes first.
                refusal = e.message();
            }
        },
        store::bulkWorkText(work));
    if (refusal) {
        qCInfo(lcWindow).noquote() << describeAction(parent, store::bulkWorkText(work))
                                   << "refused:" << *refusal;
        inform(parent, *refusal, title, Icon::Information);
    }
    return lock;
}

} // namespace ui
