#include "exchange/SafetyCopyStep.h"

#include "exchange/SafetyCopies.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"

#include <QLabel>

namespace exchange {

namespace {

// Runs the copy; returns the cause when it failed, nothing when it was made. A stop throws
// store::Cancelled.
std::optional<QString> copyNow(QWidget* window, store::Session& session, const QString& operation,
                               QLabel* progress, const QString& spare) {
    SafetyCopies copies(session.programFolder(), session.clock());
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::ReadOnly;
    setup.cancellable = true; // nothing has changed yet
    if (progress)
        setup.show = [progress](const store::Progress& p) { progress->setText(p.text); };
    try {
        ui::runJob(window, session, setup, [&](store::Database* db, store::JobControl& control) {
            copies.make(*db, operation, control, spare);
        });
    } catch (const SafetyCopyFailed& e) {
        qCWarning(lcWindow) << "no safety copy before" << operation << ":" << e.what();
        return e.cause();
    } catch (const store::Cancelled&) {
        throw;
    } catch (const std::exception& e) {
        qCWarning(lcWindow) << "no safety copy before" << operation << ":" << e.what();
        return ui::causeOf(e);
    }
    return std::nullopt;
}

} // namespace

bool safetyCopyBefore(QWidget* window, store::Session& session, const QString& operation, QLabel* progress,
                      const QString& spare) {
    // The copies are of lib.mdb; a server's data is kept by the server's own backups and 数据备份.
    if (session.onServer())
        return true;
    std::optional<QString> failure;
    try {
        failure = copyNow(window, session, operation, progress, spare);
    } catch (const store::Cancelled&) {
        if (progress)
            progress->clear();
        ui::inform(window, ui::kCancelledNothingChanged, ui::kProgramTitle, ui::Icon::Information);
        return false;
    }
    if (progress)
        progress->clear();
    if (!failure)
        return true;
    ui::inform(window, safetyCopyFailedText(operation) + QLatin1Char('\n') + *failure, ui::kProgramTitle,
               ui::Icon::Critical);
    return false;
}

void dailySafetyCopy(QWidget* window, store::Session& session) {
    bool made = false;
    ui::guard(window, ui::silently(), [&] {
        made =
            SafetyCopies(session.programFolder(), session.clock()).madeOn(session.now().date(), kDailyCopy);
    });
    if (made)
        return;
    std::optional<QString> failure;
    try {
        failure = copyNow(window, session, kDailyCopy, nullptr, {});
    } catch (const store::Cancelled&) {
        return; // the operator chose to go on without it
    }
    if (failure)
        ui::inform(window, kDailyCopyFailed + QLatin1Char('\n') + *failure, ui::kProgramTitle,
                   ui::Icon::Exclamation);
}

} // namespace exchange
