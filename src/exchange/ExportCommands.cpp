#include "exchange/ExportCommands.h"

#include "exchange/Export.h"
#include "exchange/OffThread.h"
#include "exchange/Workbook.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"

#include <QLabel>

#include <atomic>

namespace exchange {

namespace {

const QString kFilter = QStringLiteral("EXCEL(*.xlsx)");

// Writes the rows off this thread with the progress in `label`, tells the operator it is done,
// then runs the closing step off this thread too. Throws on failure; no file is left then.
void runExport(QWidget* parent, store::Session& session, const QString& target, QLabel& label, bool hideLabel,
               const std::function<void(WorkbookWriter&, store::Database&, const ExportProgress&)>& write) {
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    WorkbookWriter book(target);
    label.show();
    const QString path = session.databasePath();
    runOffThread(
        [&] {
            // Its own connection: the session's connection stays with the user-interface thread.
            store::Database db(path);
            write(book, db, [&](qint64 n, qint64 all) {
                total = all;
                done = n;
            });
        },
        [&] {
            if (total > 0)
                ui::showProgress(label, exportProgressText(done, total));
        });
    if (hideLabel)
        label.hide();
    ui::inform(parent, kExportDone);
    runOffThread([&] { book.save(); });
}

} // namespace

void exportAllPersons(QWidget* parent, store::Session& session, QLabel& label) {
    const QString chosen =
        ui::dialogs().saveFile(parent, QStringLiteral("请输入文件名"), session.programFolder(), kFilter);
    if (chosen.trimmed().isEmpty())
        return;
    const QString unit = session.state().unitName;
    ui::guard(parent, ui::stopWith(kExportFailed, ui::kProgramTitle, ui::Icon::None), [&] {
        runExport(parent, session, workbookFileName(chosen), label, true,
                  [&](WorkbookWriter& book, store::Database& db, const ExportProgress& progress) {
                      writePersons(book, db, unit, progress);
                  });
    });
    label.hide();
}

void exportQueryResult(QWidget* parent, store::Session& session, const store::RecordSet& result,
                       QLabel& status) {
    std::vector<qint64> rowids;
    rowids.reserve(std::size_t(result.count()));
    for (int i = 0; i < result.count(); ++i)
        rowids.push_back(result.rowid(i));
    const QString chosen =
        ui::dialogs().saveFile(parent, QStringLiteral("请输入文件名!"), session.programFolder(), kFilter);
    if (chosen.trimmed().isEmpty())
        return;
    ui::guard(parent, ui::stopWith(kExportFailed, ui::kProgramTitle, ui::Icon::None), [&] {
        runExport(parent, session, workbookFileName(chosen), status, false,
                  [&](WorkbookWriter& book, store::Database& db, const ExportProgress& progress) {
                      writeResults(book, db, rowids, progress);
                  });
    });
}

} // namespace exchange
