#include "exchange/ExportCommands.h"

#include "exchange/Export.h"
#include "exchange/Workbook.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"

#include <QLabel>

namespace exchange {

namespace {

const QString kFilter = QStringLiteral("EXCEL(*.xlsx)");

// Writes the rows on a job with the progress in `label`, tells the operator it is done, then runs
// the closing step as a job too. Throws on failure and store::Cancelled after 取消; no file is
// left then, and an earlier file of that name stays as it was.
void runExport(QWidget* parent, store::Session& session, const QString& target, QLabel& label, bool hideLabel,
               const std::function<void(WorkbookWriter&, store::Database&, const ExportProgress&)>& write) {
    WorkbookWriter book(target);
    label.show();
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::ReadOnly;
    setup.cancellable = true;
    setup.show = [&label](const store::Progress& p) { label.setText(p.text); };
    ui::runJob(parent, session, setup, [&](store::Database* db, store::JobControl& control) {
        write(book, *db, [&](qint64 n, qint64 all) { control.report(n, all, exportProgressText(n, all)); });
    });
    if (hideLabel)
        label.hide();
    ui::inform(parent, kExportDone);
    ui::runJob(parent, [&] { book.save(); });
}

// The export with its failure message; 取消 ends it without a word.
void guardedExport(QWidget* parent, const std::function<void()>& run) {
    ui::guard(parent, ui::stopWith(kExportFailed, ui::kProgramTitle, ui::Icon::None),
              {ui::when<store::Cancelled>(ui::silently())}, run);
}

} // namespace

void exportAllPersons(QWidget* parent, store::Session& session, QLabel& label) {
    const QString chosen =
        ui::dialogs().saveFile(parent, QStringLiteral("请输入文件名"), session.programFolder(), kFilter);
    if (chosen.trimmed().isEmpty())
        return;
    const QString unit = session.state().unitName;
    guardedExport(parent, [&] {
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
    guardedExport(parent, [&] {
        runExport(parent, session, workbookFileName(chosen), status, false,
                  [&](WorkbookWriter& book, store::Database& db, const ExportProgress& progress) {
                      writeResults(book, db, rowids, progress);
                  });
    });
}

} // namespace exchange
