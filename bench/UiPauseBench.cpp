#include "BenchFolder.h"

#include "exchange/Export.h"
#include "exchange/Import.h"
#include "exchange/ImportWindow.h"
#include "exchange/MergeCommands.h"
#include "exchange/PreviewWindow.h"
#include "exchange/Workbook.h"
#include "print/ResultsWindow.h"
#include "records/PersonListModel.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "ui/ScriptedDialogs.h"
#include "ui/WindowScript.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <functional>

using bench::sharedSession;

namespace {

// While `job` runs, a person grid over the whole table jumps to another place and repaints every
// 10 ms, and a 10 ms timer ticks on the window thread; the longest gap between two ticks is how
// long the windows would have stood still.
double longestPause(const std::function<void()>& job) {
    store::Session& session = sharedSession();
    store::RecordSet list(session.db(), store::schema::kPersons);
    records::PersonListModel model(session.db().columnNames(store::schema::kPersons));
    model.followJobs(session);
    model.setList(&list);
    QTableView view;
    view.setModel(&model);
    view.resize(800, 400);
    view.show();

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, [&] {
        QScrollBar* bar = view.verticalScrollBar();
        bar->setValue(QRandomGenerator::global()->bounded(bar->maximum() + 1));
        view.viewport()->repaint();
    });
    // The windows are drawn once before the operator's command, as they would be on the screen.
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    clock.start();
    ticks.start(10);
    repaint.start(10);
    job();
    // The tick that would have come at the end.
    longest = std::max(longest, clock.elapsed() - last);
    return double(longest) / 1000.0;
}

QString workbookPath() {
    return sharedSession().filePath(QStringLiteral("persons.xlsx"));
}

} // namespace

// "导入到库中" of 100,000 staged persons through the import window.
static void UiPauseImport(benchmark::State& state) {
    store::Session& session = sharedSession();
    if (records::countStaging(session.db()) == 0) {
        if (!QFileInfo::exists(workbookPath())) {
            exchange::WorkbookWriter book(workbookPath());
            exchange::writePersons(book, session.db(), session.state().unitName);
            book.save();
        }
        exchange::stageWorkbook(session.db(), workbookPath());
    }
    ui::ScriptedDialogs dialogs;
    for (auto _ : state) {
        exchange::ImportWindow window(session);
        window.show();
        dialogs.answer({true});
        ui::PressWhenShown preview(exchange::kImportPreviewTitle, QStringLiteral("Continue"));
        state.SetIterationTime(longestPause([&] { window.importStaging(); }));
    }
    state.counters["staged"] = double(records::countStaging(session.db()));
}
BENCHMARK(UiPauseImport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// 输出PDF of the first 3,000 persons (200 roster pages) from the results window.
static void UiPausePdf(benchmark::State& state) {
    store::Session& session = sharedSession();
    ui::ScriptedDialogs dialogs;
    QTemporaryDir dir;
    int pages = 0;
    for (auto _ : state) {
        session.pendingExpression() = QStringLiteral("个人编号 <= '003000'");
        print::ResultsWindow window(session);
        window.show();
        pages = print::rosterPageCount(window.resultCount());
        dialogs.files.enqueue(dir.filePath(QStringLiteral("roster.pdf")));
        state.SetIterationTime(longestPause([&] { window.run(print::ResultsCommand::WholePdf); }));
    }
    state.counters["pages"] = pages;
    state.counters["fileKB"] = double(QFileInfo(dir.filePath(QStringLiteral("roster.pdf"))).size()) / 1024.0;
}
BENCHMARK(UiPausePdf)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// 数据库合并 of another office's copy of the same 100,000 persons (every one updated) from the main
// window's command.
static void UiPauseMerge(benchmark::State& state) {
    store::Session& session = sharedSession();
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    QFile::copy(session.databasePath(), other);
    ui::ScriptedDialogs dialogs;
    QWidget window;
    QLabel label(&window);
    window.show();
    for (auto _ : state) {
        dialogs.files.enqueue(other);
        ui::PressWhenShown preview(exchange::kMergePreviewTitle, QStringLiteral("Continue"));
        state.SetIterationTime(longestPause([&] { exchange::runMerge(&window, session, &label); }));
    }
    // What the merge said at its end: the counts, or why it did not run.
    if (!dialogs.shown.isEmpty())
        state.SetLabel(dialogs.last().text.toStdString());
}
BENCHMARK(UiPauseMerge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
