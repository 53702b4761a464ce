#include "stats/StatisticsWindow.h"

#include "categories/CategoryTable.h"
#include "records/PersonsTable.h"
#include "stats/ChartTab.h"
#include "stats/PersonsScope.h"
#include "stats/Report.h"
#include "store/CodePage.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "ui_StatisticsWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace stats {

StatisticsWindow::StatisticsWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::StatisticsWindow>()) {
    // The form puts the lists at the left over the window's whole height, so that a good part of
    // the sixty-odd categories shows at once; the report beside them takes the rest of the width.
    ui_->setupUi(this);
    openInEditor = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    ui::writeLog(this, session_, QStringLiteral("进入统计系统"));

    categories_ = ui_->List1;
    items_ = ui_->List2;
    add_ = ui_->Command3;
    add_->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    remove_ = ui_->Command4;
    remove_->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    result_ = ui_->Text1;
    QFont mono(QStringLiteral("Noto Sans Mono CJK SC"));
    mono.setStyleHint(QFont::Monospace);
    result_->setFont(mono);
    progressPanel_ = ui_->Picture1;
    progress_ = ui_->Label2;
    addChartsAndScope();

    connect(categories_, &QListWidget::itemClicked, this, [this] {
        add_->setEnabled(true);
        remove_->setEnabled(false);
    });
    connect(items_, &QListWidget::itemClicked, this, [this] {
        add_->setEnabled(false);
        remove_->setEnabled(true);
    });
    connect(add_, &QPushButton::clicked, this, &StatisticsWindow::addItem);
    connect(remove_, &QPushButton::clicked, this, &StatisticsWindow::removeItem);
    connect(ui_->Command1, &QPushButton::clicked, this, &StatisticsWindow::buildReport);
    connect(ui_->Command2, &QPushButton::clicked, this, &StatisticsWindow::output);
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &StatisticsWindow::leave);

    ui::guard(this, ui::silently(), [&] {
        persons_ = records::countPersons(session_.db());
        categories_->addItems(categories::loadKM(session_.db()));
    });
    add_->setEnabled(false);
    remove_->setEnabled(false);
    progressPanel_->hide();
    // Both lists as wide as the longest category name.
    const int listWidth = categories_->sizeHintForColumn(0) +
                          categories_->verticalScrollBar()->sizeHint().width() +
                          2 * categories_->frameWidth() + 8;
    categories_->setFixedWidth(std::max(listWidth, 120));
    items_->setFixedWidth(std::max(listWidth, 120));
    placeAtTopLeft();
    // A tab widget sizes its pages only once it shows; until then the report page takes the
    // window's size, so its buttons are never laid out at a widget's default size.
    tabs_->currentWidget()->resize(size());
    tabs_->currentWidget()->layout()->activate();
}

StatisticsWindow::~StatisticsWindow() = default;

// The top left of the free area; below the menu of a maximised main window, which it would
// otherwise cover.
void StatisticsWindow::placeAtTopLeft() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    auto* main = qobject_cast<QMainWindow*>(parentWidget());
    if (main && main->isVisible() && main->isMaximized() && main->menuWidget()) {
        const QWidget* menu = main->menuWidget();
        area.setTop(std::max(area.top(), menu->mapToGlobal(QPoint(0, menu->height())).y()));
    }
    // The frame is known once the window has been shown; before, a title bar is allowed for.
    QSize frame = frameGeometry().size() - size();
    if (frame == QSize(0, 0))
        frame = QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    resize(QSize(1000, 760).boundedTo(area.size() - frame));
    move(area.topLeft());
}

QString StatisticsWindow::report() const {
    return result_->toPlainText();
}

void StatisticsWindow::addItem() {
    if (QListWidgetItem* item = categories_->currentItem())
        items_->addItem(item->text());
    add_->setEnabled(false);
}

void StatisticsWindow::removeItem() {
    delete items_->takeItem(items_->currentRow());
    remove_->setEnabled(false);
}

// The report is counted on a read-only connection of the job's own, so the windows keep painting
// meanwhile; over the last query's persons the persons table is narrowed on that connection, so
// the report's own counting serves unchanged.
void StatisticsWindow::buildReport() {
    result_->clear();
    QStringList items;
    for (int i = 0; i < items_->count(); ++i)
        items << items_->item(i)->text();
    const int lastYear = session_.now().date().year();
    const std::optional<std::vector<qint64>> rows = scope();
    const qint64 persons = persons_;
    QString shown;
    // Counting that fails is marked in the report itself; anything else ends the report silently.
    ui::guard(this, ui::silently(), [&] {
        ui::JobSetup setup;
        setup.connection = ui::JobSetup::Connection::ReadOnly;
        setup.show = [this](const store::Progress& p) {
            progressPanel_->show();
            ui::showProgress(*progress_, p.text);
        };
        ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
            const auto note = [&control](const QString& progress) { control.note(0, 0, progress); };
            if (rows) {
                PersonsScope narrowed(*db, *rows);
                shown = stats::buildReport(*db, items, narrowed.persons(), lastYear, note);
            } else {
                shown = stats::buildReport(*db, items, persons, lastYear, note);
            }
        });
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        result_->setPlainText(shown);
    });
    progressPanel_->hide();
    progress_->clear();
}

void StatisticsWindow::output() {
    const QString path = session_.filePath(QStringLiteral("tongji.txt"));
    QString text = result_->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(store::toGbk(text + QStringLiteral("\r\n"))) < 0 ||
        !file.commit()) {
        ui::inform(this, QStringLiteral("无法写入文件“%1”。").arg(path), ui::kProgramTitle,
                   ui::Icon::Exclamation);
        return;
    }
    if (!openInEditor(path))
        ui::inform(this,
                   QStringLiteral("统计结果已写入文件“%1”，没有找到可以打开它的文本编辑器。")
                       .arg(QDir::toNativeSeparators(path)),
                   ui::kProgramTitle, ui::Icon::Information);
}

void StatisticsWindow::leave() {
    ui::writeLog(this, session_, QStringLiteral("退出统计系统"));
    close();
}

} // namespace stats

namespace stats {

// The report as one tab and the charts as a second, with the choice of counting only the last
// query's persons above both.
void StatisticsWindow::addChartsAndScope() {
    byResults_ = ui_->ByResults;
    resultsNote_ = ui_->ResultsNote;
    tabs_ = ui_->Tabs;
    tabs_->setCurrentWidget(ui_->reportPage);
    charts_ = new ChartTab(
        session_, [this] { return scope(); }, ui_->chartsPage);
    ui_->chartsPageLayout->addWidget(charts_);
    connect(byResults_, &QCheckBox::toggled, this, &StatisticsWindow::scopeChanged);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        // The first look at the charts shows the first one.
        if (tabs_->widget(tab) == ui_->chartsPage && charts_->content().kind == ChartContent::Kind::None)
            charts_->showChart(0);
    });
}

std::optional<std::vector<qint64>> StatisticsWindow::scope() const {
    if (byResults_ && byResults_->isChecked() && session_.lastResults())
        return session_.lastResults();
    return std::nullopt;
}

void StatisticsWindow::scopeChanged(bool byResults) {
    if (byResults && !session_.lastResults()) {
        {
            // Nothing was counted by the results yet: nothing to count again.
            const QSignalBlocker quiet(byResults_);
            byResults_->setChecked(false);
        }
        ui::inform(this, kNoQueryResult, ui::kProgramTitle, ui::Icon::Information);
        return;
    }
    resultsNote_->setText(byResults
                              ? QStringLiteral("（上次查询结果共 %1 人）").arg(session_.lastResults()->size())
                              : QString());
    if (charts_->content().kind != ChartContent::Kind::None)
        charts_->refresh();
}

} // namespace stats
