#include "categories/CategorySettingsWindow.h"

#include "categories/CategoryTable.h"
#include "store/Job.h"
#include "store/Session.h"
#include "ui/CharacterLimit.h"
#include "ui/Dialogs.h"
#include "ui/FocusColour.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Window.h"
#include "ui/WorkLock.h"
#include "ui_CategorySettingsWindow.h"

#include <QLabel>

#include <functional>

namespace categories {

namespace {
// The width of the category table's value column.
constexpr int kValueCharacters = 50;

// A job that shows its progress in the window's own label.
ui::JobSetup labelledJob(QLabel* label, ui::JobSetup::Connection connection) {
    ui::JobSetup setup;
    setup.connection = connection;
    setup.show = [label](const store::Progress& progress) { label->setText(progress.text); };
    return setup;
}
} // namespace

CategorySettingsWindow::CategorySettingsWindow(store::Session& session, ColumnScan scan, QWidget* parent,
                                               BeforeReplace beforeReplace)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::CategorySettingsWindow>()) {
    ui_->setupUi(this);
    scanColumn_ = std::move(scan);
    beforeReplace_ = std::move(beforeReplace);
    categories_ = ui_->List1;
    values_ = ui_->List2;
    value_ = ui_->Text2;
    add_ = ui_->Command3;
    delete_ = ui_->Command4;
    scan_ = ui_->Command1;
    replace_ = ui_->Command2;
    progressPanel_ = ui_->Picture1;
    progress_ = ui_->Label1;
    ui::writeLog(this, session_, QStringLiteral("进入类别设置"));

    // A value is counted in characters, as the category table counts it.
    ui::limitCharacters(*value_, kValueCharacters);
    ui::FocusColour::attach(value_, [this] { return ui::colourFromWin(session_.state().inputColour); });
    // Shown only while a scan or a replacement runs.
    progressPanel_->hide();

    categories_->addItems(settingsList(session_.db()));

    connect(categories_, &QListWidget::currentRowChanged, this, &CategorySettingsWindow::selectCategory);
    connect(values_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { value_->setText(item->text()); });
    connect(add_, &QPushButton::clicked, this, &CategorySettingsWindow::addClicked);
    connect(delete_, &QPushButton::clicked, this, &CategorySettingsWindow::deleteClicked);
    connect(scan_, &QPushButton::clicked, this, &CategorySettingsWindow::scanClicked);
    connect(replace_, &QPushButton::clicked, this, &CategorySettingsWindow::replaceClicked);
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &CategorySettingsWindow::leaveClicked);

    ui::placeCentred(*this, {560, 420});
}

CategorySettingsWindow::~CategorySettingsWindow() = default;

QString CategorySettingsWindow::category() const {
    const QListWidgetItem* item = categories_->currentItem();
    return item ? item->text() : QString();
}

void CategorySettingsWindow::selectCategory(int position) {
    if (categories_->currentRow() != position)
        categories_->setCurrentRow(position); // comes back here through the signal
    if (position < 0)
        return;
    scan_->setEnabled(true);
    replace_->setEnabled(false);
    reloadValues();
    value_->setFocus();
}

void CategorySettingsWindow::reloadValues() {
    values_->clear();
    ui::guard(this, ui::silently(), [&] { values_->addItems(Loadkmmx(session_.db(), category())); });
    value_->clear();
}

void CategorySettingsWindow::addClicked() {
    if (value_->text().trimmed().isEmpty()) {
        ui::inform(this, QStringLiteral("请输入要增加的类别明细!"));
        return;
    }
    if (categories_->currentRow() < 0)
        return;
    // A value the database refuses stays in the box, and the message says why.
    AddResult added = AddResult::NoTable;
    if (!ui::guard(this, ui::stopWithCause(QStringLiteral("类别明细没有增加。")), [&] {
            added = addValue(session_.db(), category(), categories_->currentRow(), value_->text());
        }))
        return;
    switch (added) {
    case AddResult::Exists:
        ui::inform(this, QStringLiteral("此类别明细已存在!"));
        value_->clear();
        return;
    case AddResult::Added:
        reloadValues();
        return;
    case AddResult::EmptyValue:
    case AddResult::NoTable:
        return;
    }
}

void CategorySettingsWindow::deleteClicked() {
    if (value_->text().trimmed().isEmpty()) {
        ui::inform(this, QStringLiteral("请选择要删除的类别明细!"));
        return;
    }
    if (!ui::confirm(this, QStringLiteral("真的要删除本条目吗?")))
        return;
    if (!ui::guard(this, ui::stopWithCause(QStringLiteral("类别明细没有删除。")),
                   [&] { deleteValue(session_.db(), category(), value_->text()); }))
        return;
    reloadValues();
}

// The persons column of the selected category. One listed by its column name has no
// definition row of that name: its list position is its column.
int CategorySettingsWindow::selectedColumn() {
    int column = -1;
    ui::guard(this, ui::silently(), [&] { column = definitionColumn(session_.db(), category()); });
    return column < 0 ? categories_->currentRow() : column;
}

void CategorySettingsWindow::scanClicked() {
    scan_->setEnabled(false);
    replace_->setEnabled(true);
    const int column = selectedColumn();
    progressPanel_->show();
    values_->clear();
    ScanResult result;
    // Any failure of the scan ends in the scan's own message below.
    if (!ui::guard(this, ui::silently(), [&] {
            const auto setup = labelledJob(progress_, ui::JobSetup::Connection::ReadOnly);
            ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                result = scanColumn_(*db, column, control);
            });
        }))
        result.complete = false;
    values_->addItems(result.values);
    progressPanel_->hide();
    if (!result.complete) {
        ui::inform(this, QStringLiteral("库中记录太多！操作不了！"),
                   QStringLiteral("不要操作了，找别的做吧！：》"));
        return;
    }
    ui::inform(this, QStringLiteral("库中共有%1个不重复的值！").arg(result.values.size()),
               QStringLiteral("知道吗？"), ui::Icon::Information);
}

void CategorySettingsWindow::replaceClicked() {
    const auto lock = ui::takeBulkLock(this, session_, store::BulkWork::CategoryReplace, ui::kProgramTitle);
    if (!lock)
        return;
    if (!ui::confirm(this, QStringLiteral(
                               "真的要将所查结果转为类别的明细值吗，\r\n这样做将会删除该类别原有的明细值。")))
        return;
    if (beforeReplace_ && !beforeReplace_(this))
        return;
    replace_->setEnabled(false);
    const int column = selectedColumn();
    const QString name = category();
    QStringList scanned;
    for (int i = 0; i < values_->count(); ++i)
        scanned << values_->item(i)->text();
    progressPanel_->show();
    // All or nothing: 取消 rolls the category back to its old values.
    ui::JobSetup setup = labelledJob(progress_, ui::JobSetup::Connection::ReadWrite);
    setup.cancellable = true;
    bool cancelled = false;
    ui::guard(this, ui::stopWithCause(QStringLiteral("转入类别明细时出错，该类别的明细没有改变。")),
              {ui::when<store::Cancelled>([&](const store::Cancelled&) {
                  cancelled = true;
                  return ui::silently();
              })},
              [&] {
                  ui::runJob(this, session_, setup, [&](store::Database* db, store::JobControl& control) {
                      replaceValues(*db, name, column, scanned, control);
                  });
              });
    progressPanel_->hide();
    if (cancelled)
        ui::inform(this, ui::kCancelledNothingChanged, ui::kProgramTitle, ui::Icon::Information);
}

void CategorySettingsWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出类别设置"));
    close();
}

} // namespace categories
