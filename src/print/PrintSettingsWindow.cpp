#include "print/PrintSettingsWindow.h"

#include "print/PrintSettings.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/FocusColour.h"
#include "ui/Guard.h"
#include "ui/Window.h"
#include "ui_PrintSettingsWindow.h"

namespace print {

namespace {

// A failure of the Print table itself carries its own message; anything else is the database's.
bool guarded(QWidget* window, const QString& failed, const std::function<void()>& action) {
    return ui::guard(
        window, ui::stopWithCause(failed),
        {ui::when<PrintTableError>([](const PrintTableError& e) { return ui::stopWith(e.message()); })},
        action);
}

} // namespace

PrintSettingsWindow::PrintSettingsWindow(store::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::PrintSettingsWindow>()) {
    ui_->setupUi(this);
    columns_ = {ui_->Text9_0, ui_->Text9_1, ui_->Text9_2, ui_->Text9_3, ui_->Text9_4,
                ui_->Text9_5, ui_->Text9_6, ui_->Text9_7, ui_->Text9_8};
    for (QLineEdit* box : findChildren<QLineEdit*>())
        ui::FocusColour::attach(box, [this] { return ui::colourFromWin(session_.state().inputColour); });

    connect(ui_->Command4, &QPushButton::clicked, this, &PrintSettingsWindow::saveClicked);
    connect(ui_->Command5, &QPushButton::clicked, this, &PrintSettingsWindow::defaultsClicked);
    connect(ui_->Command6, &QPushButton::clicked, this, &QWidget::close);
    connect(ui_->Command1, &QPushButton::clicked, this, &QWidget::close);
    // Command2 "确定" and Command3 "保存" do nothing.

    ui::placeCentred(*this, {640, 440});
    rowPosition_ = kDefaultsRow;
    load();
    ui_->Combo3->addItems(kFontNames);
    ui_->Combo4->addItems(kFontNames);
    rowPosition_ = kCurrentRow;
    load();
}

PrintSettingsWindow::~PrintSettingsWindow() = default;

bool PrintSettingsWindow::load() {
    return guarded(this, QStringLiteral("打印设置读取失败。"),
                   [&] { showFields(loadFields(session_.db(), rowPosition_)); });
}

void PrintSettingsWindow::showFields(const PrintFields& f) {
    ui_->Text5->setText(f.rowHeight);
    ui_->Text7->setText(f.left);
    ui_->Text6->setText(f.top);
    for (std::size_t k = 0; k < 9; ++k)
        columns_[k]->setText(f.columns[k]);
    ui_->Text8->setText(f.titleSize);
    ui_->Text10->setText(f.bodySize);
    // Set as stored, so a name outside the list shows as it is.
    ui_->Combo3->setEditText(f.titleFont);
    ui_->Combo4->setEditText(f.bodyFont);
    if (f.pageChoice == 1) {
        ui_->Option1->setChecked(true);
    } else if (f.pageChoice == 2) {
        ui_->Option2->setChecked(true);
    }
    QLineEdit* notes[] = {ui_->Text1, ui_->Text11, ui_->Text2, ui_->Text3,
                          ui_->Text4, ui_->Text12, ui_->Text13};
    for (std::size_t k = 0; k < 7; ++k)
        notes[k]->setText(f.notes[k]);
    QLineEdit* shifts[] = {ui_->Text14, ui_->Text15, ui_->Text16, ui_->Text17};
    for (std::size_t k = 0; k < 4; ++k)
        shifts[k]->setText(f.shifts[k]);
}

PrintFields PrintSettingsWindow::fields() const {
    PrintFields f;
    f.rowHeight = ui_->Text5->text();
    f.left = ui_->Text7->text();
    f.top = ui_->Text6->text();
    for (std::size_t k = 0; k < 9; ++k)
        f.columns[k] = columns_[k]->text();
    f.titleSize = ui_->Text8->text();
    f.bodySize = ui_->Text10->text();
    f.titleFont = ui_->Combo3->currentText();
    f.bodyFont = ui_->Combo4->currentText();
    f.pageChoice = ui_->Option1->isChecked() ? 1 : 2;
    const QLineEdit* notes[] = {ui_->Text1, ui_->Text11, ui_->Text2, ui_->Text3,
                                ui_->Text4, ui_->Text12, ui_->Text13};
    for (std::size_t k = 0; k < 7; ++k)
        f.notes[k] = notes[k]->text();
    const QLineEdit* shifts[] = {ui_->Text14, ui_->Text15, ui_->Text16, ui_->Text17};
    for (std::size_t k = 0; k < 4; ++k)
        f.shifts[k] = shifts[k]->text();
    return f;
}

void PrintSettingsWindow::saveClicked() {
    rowPosition_ = kCurrentRow;
    const PrintFields f = fields();
    // The record holds 16-bit numbers: a value that cannot be held is refused before anything is written.
    if (const std::optional<QString> refusal = checkFields(f)) {
        ui::inform(this, *refusal, ui::kProgramTitle, ui::Icon::Exclamation);
        return;
    }
    if (!guarded(this, QStringLiteral("打印设置没有保存。"), [&] { saveFields(session_.db(), f); }))
        return;
    session_.printSettings() = recordFromFields(f);
    ui::inform(this, kSaved);
}

void PrintSettingsWindow::defaultsClicked() {
    rowPosition_ = kDefaultsRow;
    load();
}

} // namespace print
