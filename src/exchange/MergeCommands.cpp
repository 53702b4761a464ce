#include "exchange/MergeCommands.h"

#include "exchange/Merge.h"
#include "exchange/SourceDatabase.h"
#include "exchange/Upgrade.h"
#include "records/DataCheckWindow.h"
#include "store/Database.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QLabel>

namespace exchange {

namespace {

QString databasePassword() {
    return QString::fromLatin1(store::Database::kPassword);
}

} // namespace

void runMerge(QWidget* window, store::Session& session, QLabel* progress) {
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
    MergeCounts counts;
    QString cause;
    const bool merged = ui::guard(window, ui::silently(), [&] {
        try {
            const std::unique_ptr<SourceDatabase> source =
                SourceDatabase::open(chosen.trimmed(), databasePassword());
            counts = mergePersons(session.db(), *source, [&](qint64 done, qint64 total) {
                ui::showProgress(*progress, mergeProgressText(done, total));
            });
        } catch (const std::exception& e) {
            // The other file or its row, else our own database (full disk, locked, read-only).
            cause = mergeFailureCause(e);
            if (cause.isEmpty())
                cause = QStringLiteral("写入本库时出错：") + ui::causeOf(e);
            throw;
        }
    });
    if (!merged) {
        progress->hide();
        ui::inform(window, QStringLiteral("选择的库不是合法数据库！") +
                               (cause.isEmpty() ? QString() : QLatin1Char('\n') + cause));
        return;
    }
    ui::inform(window, mergeResultText(counts));
    progress->hide();
    ui::guard(window, ui::silently(), [&] { session.log().write(QStringLiteral("退出合并库")); });
    records::tellSharedIdNumbers(window, session);
}

void runUpgrade(QWidget* window, store::Session& session, QLabel* progress) {
    if (!ui::confirm(window, QStringLiteral("升级将覆盖原有的数据，您真的要操作吗？")))
        return;
    // An open dialog: the old file is read, never written, so no question about replacing it.
    const QString chosen = ui::dialogs().openFile(window, QStringLiteral("请选择以前版本库文件（lib.mdb）"),
                                                  QString(), QStringLiteral("数据库文件(.MDB)|*.MDB"));
    if (chosen.trimmed().isEmpty())
        return;
    progress->show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    progress->setText(QStringLiteral("正在升级中..."));

    QString refused;
    const bool done =
        ui::guard(window, ui::stopWithCause(QStringLiteral("升级失败。原有的数据没有改变。")), [&] {
            try {
                const std::unique_ptr<SourceDatabase> old =
                    SourceDatabase::open(chosen.trimmed(), databasePassword());
                upgradeFrom(session.db(), *old);
            } catch (const UpgradeError& e) {
                refused = upgradeFailureText(e);
            } catch (const SourceError& e) {
                refused = upgradeFailureText(e);
            }
        });
    if (!done || !refused.isEmpty()) {
        progress->hide();
        if (!refused.isEmpty())
            ui::inform(window, refused, ui::kProgramTitle, ui::Icon::Critical);
        return;
    }
    // The settings row was replaced: the status bar shows the old file's unit from now on.
    ui::guard(window, ui::silently(), [&] { store::readSettings(session.db(), session.state()); });
    ui::inform(window, QStringLiteral("升级完成！"));
}

} // namespace exchange
