#include "settings/SystemSettingsWindow.h"

#include "store/JetValues.h"
#include "store/Schema.h"
#include "store/Session.h"
#include "ui/CharacterLimit.h"
#include "ui/Guard.h"
#include "ui/Window.h"
#include "ui_SystemSettingsWindow.h"

#include <array>
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
    : QWidget(parent, Qt::Window), session_(session), backgroundChanged_(std::move(backgroundChanged)),
      ui_(std::make_unique<Ui::SystemSettingsWindow>()) {
    ui_->setupUi(this);
    ui::writeLog(this, session_, QStringLiteral("进入系统设置"));
    connect(ui_->cmdOK, &QPushButton::clicked, this, &SystemSettingsWindow::okClicked);
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &SystemSettingsWindow::leaveClicked);

    const std::array<QLineEdit*, 3> boxes = {ui_->Text1, ui_->Text2, ui_->Text3};
    const bool super = session_.state().isSuperUser();
    for (QLineEdit* box : boxes)
        box->setEnabled(super);
    // Combo1 is pick-only: a typed name could only save a picture that does not exist.
    ui_->Combo1->addItems(pictureNames());
    // A box takes no more characters than its column holds, so "确定" cannot fail on length.
    ui::guard(
        this, ui::silently(),
        [&] {
            const std::map<QString, QLineEdit*> byColumn = {{QStringLiteral("dwmc"), ui_->Text1},
                                                            {QStringLiteral("dwxz"), ui_->Text2},
                                                            {QStringLiteral("bakpath"), ui_->Text3}};
            for (const store::TableColumn& c : store::tableColumns(session_.db(), store::schema::kSettings)) {
                const auto box = byColumn.find(c.name);
                if (box != byColumn.end() && store::textSize(c.declaredType) > 0)
                    ui::limitCharacters(*box->second, store::textSize(c.declaredType));
            }
        },
        QStringLiteral("读取栏目长度"));
    ui_->Text1->setText(session_.state().unitName);
    ui_->Text2->setText(session_.state().unitType);
    ui_->Text3->setText(session_.state().backupFolder);
    for (QLineEdit* box : boxes)
        box->setCursorPosition(0);
    ui_->Combo1->setCurrentIndex(picturePosition(session_.state().backgroundPicture));

    ui::placeCentred(*this, {460, 320});
}

SystemSettingsWindow::~SystemSettingsWindow() = default;

void SystemSettingsWindow::okClicked() {
    store::ProgramState& state = session_.state();
    const QString picture = ui_->Combo1->currentIndex() >= 0
                                ? QStringLiteral("%1.jpg").arg(ui_->Combo1->currentIndex() + 1)
                                : state.backgroundPicture;
    // Saving goes on with the next step, as every step of this button does; but settings that were
    // not stored must not pass for saved.
    ui::guard(
        this, ui::stopWithCause(kNotStored, ui::kProgramTitle, ui::Icon::Exclamation),
        [&] {
            store::writeUnitSettings(session_.db(), ui_->Text1->text(), ui_->Text2->text(),
                                     ui_->Text3->text(), picture);
            // The program state shows what was stored, never what failed to be.
            state.unitName = ui_->Text1->text();
            state.unitType = ui_->Text2->text();
            state.backupFolder = ui_->Text3->text();
            state.backgroundPicture = picture;
        },
        QStringLiteral("确定"));
    backgroundChanged_();
    close();
}

void SystemSettingsWindow::leaveClicked() {
    ui::writeLog(this, session_, QStringLiteral("退出系统设置"));
    close();
}

} // namespace settings
