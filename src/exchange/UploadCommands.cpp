#include "exchange/UploadCommands.h"

#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "exchange/Upload.h"
#include "store/Database.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"

#include <QDir>

namespace exchange {

bool uploadCommand(QWidget* parent, store::Session& session) {
    const QString server = session.target().server;
    if (server.isEmpty())
        return false;
    bool empty = false;
    if (!ui::guard(parent, ui::stopWithCause(kUploadFailed, kUploadTitle),
                   [&] { empty = serverIsEmpty(*store::Database::connect(server)); }))
        return false;
    if (!empty) {
        ui::inform(parent, kUploadNotEmpty, kUploadTitle, ui::Icon::Exclamation);
        return false;
    }
    const QString file = ui::dialogs().openFile(parent, kUploadTitle, session.programFolder(),
                                                QStringLiteral("数据库文件|*.mdb"));
    if (file.isEmpty())
        return false;
    // A previous version's file the upgrade refused: why, as the upgrade says it.
    const auto oldFileRefused = [](const std::exception& e) {
        return ui::stopWith(upgradeFailureText(e) + QLatin1Char('\n') + kUploadFailed, kUploadTitle);
    };
    const ui::Mappings mappings{
        ui::whenCancelled(),
        ui::when<ServerNotEmpty>(ui::stopWith(kUploadNotEmpty, kUploadTitle, ui::Icon::Exclamation)),
        ui::when<SourceError>(oldFileRefused),
        ui::when<UpgradeError>(oldFileRefused),
        ui::when<store::OpenError>([file](const store::OpenError& e) {
            return ui::stopWith(QStringLiteral("数据库文件“%1”").arg(QDir::toNativeSeparators(file)) +
                                    store::openFailureCause(e.kind()) + QLatin1Char('\n') + kUploadFailed,
                                kUploadTitle);
        }),
    };
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::None; // the job makes the tables the runner would check
    setup.cancellable = true;
    const bool done = ui::guard(parent, ui::stopWithCause(kUploadFailed, kUploadTitle), mappings, [&] {
        ui::runJob(parent, session, setup, [&](store::Database*, store::JobControl& control) {
            const auto db = store::Database::connect(server);
            uploadToServer(file, *db, control);
        });
    });
    if (done)
        ui::inform(parent, kUploadDone, kUploadTitle, ui::Icon::Information);
    return done;
}

} // namespace exchange
