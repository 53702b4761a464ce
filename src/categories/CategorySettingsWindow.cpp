#include "categories/CategorySettingsWindow.h"

#include "categories/CategoryTable.h"
#include "store/JetValues.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/FocusColour.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace categories {

CategorySettingsWindow::CategorySettingsWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
    setObjectName(QStringLiteral("frmOptions2"));
    setWindowTitle(QStringLiteral("类别设置"));
    ui::writeLog(this, session_, QStringLiteral("进入类别设置"));

    auto* chooseFrame = new QGroupBox(QStringLiteral("类别选择"), this);
    categories_ = new QListWidget(chooseFrame);
    categories_->setObjectName(QStringLiteral("List1"));
    (new QVBoxLayout(chooseFrame))->addWidget(categories_);

    auto* detailFrame = new QGroupBox(QStringLiteral("类别明细设置"), this);
    values_ = new QListWidget(detailFrame);
    values_->setObjectName(QStringLiteral("List2"));
    value_ = new QLineEdit(detailFrame);
    value_->setObjectName(QStringLiteral("Text2"));
    value_->setMaxLength(50);
    ui::FocusColour::attach(value_, [this] { return ui::colourFromWin(session_.state().inputColour); });
    add_ = new QPushButton(QStringLiteral("增加"), detailFrame);
    add_->setObjectName(QStringLiteral("Command3"));
    delete_ = new QPushButton(QStringLiteral("删除"), detailFrame);
    delete_->setObjectName(QStringLiteral("Command4"));
    scan_ = new QPushButton(QStringLiteral("查库"), detailFrame);
    scan_->setObjectName(QStringLiteral("Command1"));
    scan_->setToolTip(QStringLiteral("查看库中不重复的值"));
    scan_->setEnabled(false);
    replace_ = new QPushButton(QStringLiteral("转类别"), detailFrame);
    replace_->setObjectName(QStringLiteral("Command2"));
    replace_->setToolTip(QStringLiteral("将查看结果转入类别明细，该类别原有的明细将被删除！"));
    replace_->setEnabled(false);

    auto* detail = new QGridLayout(detailFrame);
    detail->addWidget(values_, 0, 0, 1, 4);
    detail->addWidget(value_, 1, 0, 1, 4);
    detail->addWidget(add_, 2, 0);
    detail->addWidget(delete_, 2, 1);
    detail->addWidget(scan_, 2, 2);
    detail->addWidget(replace_, 2, 3);

    progressPanel_ = new QWidget(this);
    progressPanel_->setObjectName(QStringLiteral("Picture1"));
    progress_ = new QLabel(progressPanel_);
    progress_->setObjectName(QStringLiteral("Label1"));
    (new QHBoxLayout(progressPanel_))->addWidget(progress_);
    progressPanel_->hide();

    auto* leave = new QPushButton(QStringLiteral("退出"), this);
    leave->setObjectName(QStringLiteral("cmdCancel"));

    auto* frames = new QHBoxLayout;
    frames->addWidget(chooseFrame, 1);
    frames->addWidget(detailFrame, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(progressPanel_, 1);
    bottom->addStretch();
    bottom->addWidget(leave);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(bottom);

    categories_->addItems(settingsList(session_.db()));

    connect(categories_, &QListWidget::currentRowChanged, this, &CategorySettingsWindow::selectCategory);
    connect(values_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { value_->setText(item->text()); });
    connect(add_, &QPushButton::clicked, this, &CategorySettingsWindow::addClicked);
    connect(delete_, &QPushButton::clicked, this, &CategorySettingsWindow::deleteClicked);
    connect(scan_, &QPushButton::clicked, this, &CategorySettingsWindow::scanClicked);
    connect(replace_, &QPushButton::clicked, this, &CategorySettingsWindow::replaceClicked);
    connect(leave, &QPushButton::clicked, this, &CategorySettingsWindow::leaveClicked);

    ui::placeCentred(*this, {560, 420});
}

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
            result = scanDistinct(session_.db(), column, [this](qint64 n, qint64 total) {
                ui::showProgress(*progress_, QStringLiteral("完成") +
                                                 store::formatFixed(double(n) / double(total) * 100.0, 1) +
                                                 QStringLiteral("%"));
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
    if (!ui::confirm(this, QStringLiteral(
                               "真的要将所查结果转为类别的明细值吗，\r\n这样做将会删除该类别原有的明细值。")))
        return;
    replace_->setEnabled(false);
    const int column = selectedColumn();
    QStringList scanned;
    for (int i = 0; i < values_->count(); ++i)
        scanned << values_->item(i)->text();
    progressPanel_->show();
    ui::guard(this, ui::stopWithCause(QStringLiteral("转入类别明细时出错，该类别的明细没有改变。")), [&] {
        replaceValues(session_.db(), category(), column, scanned, [this](qint64 i, qint64 count) {
            ui::showProgress(*progress_, QStringLiteral("完成") +
                                             store::formatFixed(double(i) / double(count) * 100.0, 2) +
                                             QStringLiteral("%"));
        });
    });
    progressPanel_->hide();
}

void CategorySettingsWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出类别设置"));
    close();
}

} // namespace categories
