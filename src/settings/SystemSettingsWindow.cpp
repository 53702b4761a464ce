#include "settings/SystemSettingsWindow.h"

#include "store/JetValues.h"
#include "store/Schema.h"
#include "store/Session.h"
#include "ui/Guard.h"
#include "ui/Window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <map>

namespace settings {

namespace {
const QString kNotStored = QStringLiteral("设置没有保存。");
} // namespace

QStringList pictureNames() {
    return {QStringLiteral("草原"), QStringLiteral("水果"),  QStringLiteral("海滩"), QStringLiteral("长城"),
            QStringLiteral("回归"), QStringLiteral("Siora"), QStringLiteral("小溪"), QStringLiteral("瀑布"),
            QStringLiteral("天空"), QStringLiteral("日出"),  QStringLiteral("秋色"), QStringLiteral("绿林")};
}

int picturePosition(const QString& stored) {
    const qint64 position = store::roundHalfEven(store::numericPrefix(stored.left(2))) - 1;
    return position >= 0 && position < 12 ? int(position) : -1;
}

SystemSettingsWindow::SystemSettingsWindow(store::Session& session, std::function<void()> backgroundChanged,
                                           QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), backgroundChanged_(std::move(backgroundChanged)) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("系统设置"));
    ui::writeLog(this, session_, QStringLiteral("进入系统设置"));

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tbsOptions"));
    auto* page = new QWidget(tabs);
    tabs->addTab(page, QStringLiteral("基本设置"));

    const QString onlySuperUser = QStringLiteral("超级用户才能修改！");
    const auto field = [&](QWidget* host, QGridLayout* grid, int row, const char* labelName,
                           const char* caption, const char* boxName) {
        auto* label = new QLabel(QString::fromUtf8(caption), host);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setToolTip(onlySuperUser);
        auto* box = new QLineEdit(host);
        box->setObjectName(QString::fromLatin1(boxName));
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        return box;
    };
    auto* unit = new QGroupBox(QStringLiteral("单位信息"), page);
    unit->setObjectName(QStringLiteral("fraSample1"));
    auto* unitGrid = new QGridLayout(unit);
    unitName_ = field(unit, unitGrid, 0, "Label1", "单位名称：", "Text1");
    unitType_ = field(unit, unitGrid, 1, "Label2", "单位性质：", "Text2");
    auto* system = new QGroupBox(QStringLiteral("系统参数"), page);
    system->setObjectName(QStringLiteral("Frame1"));
    auto* systemGrid = new QGridLayout(system);
    backupFolder_ = field(system, systemGrid, 0, "Label3", "数据备份路径：", "Text3");
    auto* pictureLabel = new QLabel(QStringLiteral("背景图象选择："), system);
    pictureLabel->setObjectName(QStringLiteral("Label4"));
    // A pick-only list: a typed name could only save a picture that does not exist.
    pictures_ = new QComboBox(system);
    pictures_->setObjectName(QStringLiteral("Combo1"));
    pictures_->setFont(QFont(QStringLiteral("宋体")));
    systemGrid->addWidget(pictureLabel, 1, 0);
    systemGrid->addWidget(pictures_, 1, 1);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(unit);
    pageLayout->addWidget(system);
    pageLayout->addStretch();

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto* leave = new QPushButton(QStringLiteral("退出"), this);
    leave->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(leave);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &SystemSettingsWindow::okClicked);
    connect(leave, &QPushButton::clicked, this, &SystemSettingsWindow::leaveClicked);

    const bool super = session_.state().isSuperUser();
    for (QLineEdit* box : {unitName_, unitType_, backupFolder_})
        box->setEnabled(super);
    pictures_->addItems(pictureNames());
    // A box takes no more than its column holds, so "确定" cannot fail on length.
    try {
        const std::map<QString, QLineEdit*> boxes = {{QStringLiteral("dwmc"), unitName_},
                                                     {QStringLiteral("dwxz"), unitType_},
                                                     {QStringLiteral("bakpath"), backupFolder_}};
        for (const store::TableColumn& c : store::tableColumns(session_.db(), store::schema::kSettings)) {
            const auto box = boxes.find(c.name);
            if (box != boxes.end() && store::textSize(c.declaredType) > 0)
                box->second->setMaxLength(store::textSize(c.declaredType));
        }
    } catch (const std::exception&) {
        // Without the sizes the boxes stay unbounded; 确定 then skips a value that does not fit.
    }
    unitName_->setText(session_.state().unitName);
    unitType_->setText(session_.state().unitType);
    backupFolder_->setText(session_.state().backupFolder);
    for (QLineEdit* box : {unitName_, unitType_, backupFolder_})
        box->setCursorPosition(0);
    pictures_->setCurrentIndex(picturePosition(session_.state().backgroundPicture));

    ui::placeCentred(*this, {460, 320});
}

void SystemSettingsWindow::okClicked() {
    store::ProgramState& state = session_.state();
    const QString picture = pictures_->currentIndex() >= 0
                                ? QStringLiteral("%1.jpg").arg(pictures_->currentIndex() + 1)
                                : state.backgroundPicture;
    // Saving goes on with the next step, as every step of this button does; but settings that were
    // not stored must not pass for saved.
    ui::guard(this, ui::stopWithCause(kNotStored, ui::kProgramTitle, ui::Icon::Exclamation), [&] {
        store::writeUnitSettings(session_.db(), unitName_->text(), unitType_->text(), backupFolder_->text(),
                                 picture);
        // The program state shows what was stored, never what failed to be.
        state.unitName = unitName_->text();
        state.unitType = unitType_->text();
        state.backupFolder = backupFolder_->text();
        state.backgroundPicture = picture;
    });
    backgroundChanged_();
    close();
}

void SystemSettingsWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出系统设置"));
    close();
}

} // namespace settings
