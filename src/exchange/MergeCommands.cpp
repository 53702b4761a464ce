#include "exchange/MergeCommands.h"

#include "exchange/Merge.h"
#include "exchange/Preview.h"
#include "exchange/PreviewWindow.h"
#include "exchange/SafetyCopies.h"
#include "exchange/SafetyCopyStep.h"
#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "records/DataCheck.h"
#include "records/DataCheckWindow.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/WorkLock.h"

#include <QLabel>

#include <optional>

namespace exchange {

namespace {

QString databasePassword() {
    return QString::fromLatin1(store::Database::kPassword);
}

} // namespace

void runMerge(QWidget* window, store::Session& session, QLabel* progress) {
    const auto lock = ui::takeBulkLock(window, session, store::BulkWork::Merge, QStringLiteral("合并数据库"));
    if (!lock)
        return;
    const QString chosen =
        ui::dialogs().openFile(window, QStringLiteral("请选择要合并的库(建议：合并前请先备份数据！)"),
                               QString(), QStringLiteral("文件MDB|*.MDB"));
    // Written before the name is looked at, also when the dialog was cancelled.
    ui::guard(window, ui::silently(), [&] { session.log().write(QStringLiteral("进入合并数据库")); });
    if (chosen.trimmed().isEmpty())
        return;
    if (!chosen.endsWith(QLatin1String("mdb"), Qt::CaseSensitive)) {
        ui::inform(window, QStringLiteral("选择的库无记录或不是合法数据库！"));
        return;
    }

    progress->show();
    const QString notLegal = QStringLiteral("选择的库不是合法数据库！");
    // The other file or its row, else our own database (full disk, locked, read-only).
    const auto notMerged = [&](const std::exception& e) {
        QString cause = mergeFailureCause(e);
        if (cause.isEmpty())
            cause = QStringLiteral("写入本库时出错：") + ui::causeOf(e);
        return ui::stopWith(notLegal + QLatin1Char('\n') + cause, ui::kProgramTitle, ui::Icon::None);
    };
    ui::JobSetup setup;
    setup.cancellable = true;
    setup.show = [progress](const store::Progress& p) { progress->setText(p.text); };
    const QString source = chosen.trimmed();

    // The other file is read and checked, and what the merge would change counted, before
    // anything is written: the operator sees it and may still stop.
    ReplacementPreview preview;
    ui::JobSetup counting = setup;
    counting.connection = ui::JobSetup::Connection::ReadOnly;
    const bool counted = ui::guard(
        window, ui::stopWith(notLegal, ui::kProgramTitle, ui::Icon::None),
        {ui::whenCancelled(), ui::when<std::exception>(notMerged)},
        [&] {
            ui::runJob(window, session, counting, [&](store::Database* db, store::JobControl& control) {
                const std::unique_ptr<SourceDatabase> other =
                    SourceDatabase::open(source, databasePassword());
                preview = previewMerge(*db, *other, control);
            });
        },
        kMergePreviewTitle);
    progress->clear();
    if (!counted || !confirmPreview(window, PreviewOf::Merge, preview) ||
        !safetyCopyBefore(window, session, kCopyBeforeMerge, progress)) {
        progress->hide();
        return;
    }

    // The merge is written on the job's own connection, in one transaction: 取消 or a failure
    // leaves the persons as they were.
    MergeCounts counts;
    std::optional<int> sharing;
    const QDate today = session.now().date();
    const records::Author author = records::authorOf(session);
    const bool merged = ui::guard(
        window, ui::stopWith(notLegal, ui::kProgramTitle, ui::Icon::None),
        {ui::whenCancelled(), ui::when<std::exception>(notMerged)},
        [&] {
            ui::runJob(window, session, setup, [&](store::Database* db, store::JobControl& control) {
                const std::unique_ptr<SourceDatabase> other =
                    SourceDatabase::open(source, databasePassword());
                counts = mergePersons(*db, *other, control);
                records::recordBulkChange(*db, author, records::kMergeWhat, counts.updated + counts.added);
                // Counted here too, so the windows never wait for it; the persons are merged
                // whatever this count meets.
                try {
                    sharing = records::personsSharingIds(*db, today);
                } catch (const std::exception& e) {
                    qCWarning(lcWindow) << "persons sharing ID numbers not counted:" << e.what();
                }
            });
        },
        QStringLiteral("合并数据库"));
    if (!merged) {
        progress->hide();
        return;
    }
    ui::inform(window, mergeResultText(counts));
    progress->hide();
    ui::guard(window, ui::silently(), [&] { session.log().write(QStringLiteral("退出合并库")); });
    if (sharing)
        records::tellSharedIdNumbers(window, *sharing);
}

void runUpgrade(QWidget* window, store::Session& session, QLabel* progress) {
    const auto lock = ui::takeBulkLock(window, session, store::BulkWork::Upgrade, QStringLiteral("升级"));
    if (!lock)
        return;
    if (!ui::confirm(window, QStringLiteral("升级将覆盖原有的数据，您真的要操作吗？")))
        return;
    // An open dialog: the old file is read, never written, so no question about replacing it.
    const QString chosen = ui::dialogs().openFile(window, QStringLiteral("请选择以前版本库文件（lib.mdb）"),
                                                  QString(), QStringLiteral("数据库文件(.MDB)|*.MDB"));
    if (chosen.trimmed().isEmpty())
        return;
    if (!safetyCopyBefore(window, session, kCopyBeforeUpgrade))
        return;
    progress->show();
    progress->setText(kUpgradeProgress);

    const auto refused = [](const std::exception& e) {
        return ui::stopWith(upgradeFailureText(e), ui::kProgramTitle, ui::Icon::Critical);
    };
    // One transaction on the job's own connection: 取消 or a failure changes nothing.
    ui::JobSetup setup;
    setup.cancellable = true;
    setup.show = [progress](const store::Progress& p) { progress->setText(p.text); };
    const QString oldFile = chosen.trimmed();
    const records::Author author = records::authorOf(session);
    const bool done = ui::guard(
        window, ui::stopWithCause(QStringLiteral("升级失败。原有的数据没有改变。")),
        {ui::whenCancelled(), ui::when<UpgradeError>(refused), ui::when<SourceError>(refused)},
        [&] {
            ui::runJob(window, session, setup, [&](store::Database* db, store::JobControl& control) {
                const std::unique_ptr<SourceDatabase> old = SourceDatabase::open(oldFile, databasePassword());
                upgradeFrom(*db, *old, control);
                records::recordBulkChange(*db, author, records::kUpgradeWhat, records::countPersons(*db));
            });
        },
        QStringLiteral("升级"));
    if (!done) {
        progress->hide();
        return;
    }
    // The settings row was replaced: the status bar shows the old file's unit from now on.
    ui::guard(window, ui::silently(), [&] { store::readSettings(session.db(), session.state()); });
    ui::inform(window, QStringLiteral("升级完成！"));
}

} // namespace exchange
