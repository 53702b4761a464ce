#include "records/ScanWindow.h"

#include "records/EntryWindow.h"
#include "records/Photo.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Window.h"

#include "ui_ScanWindow.h"

#include <QSaveFile>

#include <cmath>
#include <stdexcept>

namespace records {

namespace {

const QString kInfo = QStringLiteral("信息");
const QString kInitFailed = QStringLiteral("初始化出错！");

// Zoom factors move in tenths and never reach zero.
double stepped(double zoom, double step) {
    return std::max(0.1, std::round((zoom + step) * 10.0) / 10.0);
}

} // namespace

ScanWindow::ScanWindow(store::Session& session, EntryWindow& entry, std::unique_ptr<Scanner> scanner,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), scanner_(std::move(scanner)),
      ui_(std::make_unique<Ui::ScanWindow>()) {
    ui_->setupUi(this);
    ui_->ImagXpress1->setSelecting(true);
    ui_->ImagXpress1->hide();
    attach(entry);
    ui_->Command14->setEnabled(false);
    connectButtons();
    ui::placeCentred(*this, {900, 640});
}

ScanWindow::~ScanWindow() = default;

ScanWindow* ScanWindow::open(EntryWindow& entry, std::unique_ptr<Scanner> scanner) {
    // The window outlives the entry window: it belongs to the entry window's owner.
    QWidget* host = entry.parentWidget() ? entry.parentWidget() : &entry;
    if (auto* open = host->findChild<ScanWindow*>(QString(), Qt::FindDirectChildrenOnly)) {
        open->attach(entry);
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    if (!scanner->initialise()) {
        ui::inform(&entry, QStringLiteral("必须安装扫描驱动和接有扫描仪才能使用！"), kInfo,
                   ui::Icon::Critical);
        return nullptr;
    }
    auto* window = new ScanWindow(entry.session(), entry, std::move(scanner), host);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

void ScanWindow::attach(EntryWindow& entry) {
    if (entry_ != &entry) {
        if (entry_)
            disconnect(entry_, nullptr, this, nullptr);
        entry_ = &entry;
        // Without an entry window there is no person to take from or store into.
        connect(&entry, &QObject::destroyed, this, [this] { enableRecordButtons(false); });
    }
    enableRecordButtons(!entry.list().isEmpty());
}

void ScanWindow::enableRecordButtons(bool on) {
    ui_->Command26->setEnabled(on);
    ui_->Command16->setEnabled(on);
}

void ScanWindow::connectButtons() {
    const auto on = [this](QPushButton* b, auto action) { connect(b, &QPushButton::clicked, this, action); };
    on(ui_->cmdSelect, [this] { selectSource(); });
    on(ui_->cmdAcquire, [this] { acquire(); });
    on(ui_->Command3, [this] { takeFromFile(); });
    on(ui_->Command26, [this] { takeFromRecord(); });
    on(ui_->Command16, [this] { storeInRecord(); });
    on(ui_->Command25, [this] { saveAs(); });
    on(ui_->cmdQuit, [this] { close(); });
    on(ui_->Command5, [this] { crop(); });
    on(ui_->Command29, [this] { zoomBy(0.1); });
    on(ui_->Command28, [this] { zoomBy(-0.1); });
    on(ui_->Command18, [this] { rotateBy(1); });
    on(ui_->Command17, [this] { rotateBy(-1); });
    on(ui_->Command14, [this] { undo(); });
    on(ui_->Command15, [this] { restart(); });
    using E = PictureEditor::Effect;
    const std::pair<QPushButton*, E> effects[] = {
        {ui_->Command1, E::Brighter},      {ui_->Command2, E::Darker},
        {ui_->Command20, E::MoreContrast}, {ui_->Command21, E::LessContrast},
        {ui_->Command11, E::Redder},       {ui_->Command24, E::Greener},
        {ui_->Command23, E::Bluer},        {ui_->Command6, E::Flip},
        {ui_->Command7, E::Mirror},        {ui_->Command13, E::Negative},
        {ui_->Command12, E::Emboss},       {ui_->Command10, E::Blur},
        {ui_->Command9, E::Despeckle},     {ui_->Command4, E::BlackAndWhite}};
    for (const auto& [button, effect] : effects)
        on(button, [this, e = effect] { apply(e); });
    connect(ui_->ImagXpress1, &PictureView::selectionMade, this, [this] {
        ui_->Command5->setEnabled(true);
        ui_->Command5->setText(QStringLiteral("确定切割"));
    });
}

void ScanWindow::refresh() {
    ui_->Xpress1->setPicture(editor_.picture());
    ui_->Xpress1->setZoom(mainZoom_);
    ui_->Command14->setEnabled(editor_.canUndo());
}

void ScanWindow::newPicture() {
    mainZoom_ = 1.0;
    cropZoom_ = 1.0;
    refresh();
}

qint64 ScanWindow::currentPerson() const {
    if (!entry_)
        throw std::runtime_error("the entry window is closed");
    const qint64 rowid = entry_->list().currentRowid();
    if (rowid < 0)
        throw std::runtime_error("the entry window has no current person");
    return rowid;
}

void ScanWindow::selectSource() {
    ui::guard(this, ui::stopWith(QStringLiteral("扫描出错！"), kInfo), [&] {
        const std::vector<Scanner::Device> devices = scanner_->devices();
        if (devices.empty()) {
            ui::inform(this, kInitFailed, kInfo, ui::Icon::Critical);
            return;
        }
        QStringList labels;
        for (const Scanner::Device& d : devices)
            labels << d.label;
        const int chosen =
            ui::dialogs().choose(this, QStringLiteral("选驱动源"), QStringLiteral("扫描仪："), labels);
        if (chosen < 0 || chosen >= int(devices.size())) {
            ui::inform(this, QStringLiteral("选择已经取消！"), kInfo, ui::Icon::Critical);
            return;
        }
        device_ = devices[std::size_t(chosen)].name;
    });
}

void ScanWindow::acquire() {
    mainZoom_ = 1.0;
    cropZoom_ = 1.0;
    ui::guard(this, ui::stopWith(QStringLiteral("扫描出错！"), kInfo), [&] {
        QString device = device_;
        if (device.isEmpty()) {
            const std::vector<Scanner::Device> devices = scanner_->devices();
            if (!devices.empty())
                device = devices.front().name;
        }
        if (device.isEmpty()) {
            ui::inform(this, kInitFailed, kInfo, ui::Icon::Critical);
            return;
        }
        // The scan runs beside the windows; the runner's 取消 stops the device.
        ui::JobSetup setup;
        setup.connection = ui::JobSetup::Connection::None;
        setup.cancellable = true;
        Scanner::Scan scan;
        ui::runJob(this, session_, setup, [&](store::Database*, store::JobControl& control) {
            scan = scanner_->acquire(device, [&control] { return !control.stopRequested(); });
        });
        switch (scan.status) {
        case Scanner::Status::Ok:
            if (!editor_.takeIn(scan.picture))
                throw std::runtime_error("the scan holds no picture");
            newPicture();
            return;
        case Scanner::Status::InitFailed:
            ui::inform(this, kInitFailed, kInfo, ui::Icon::Critical);
            return;
        case Scanner::Status::Cancelled:
            ui::inform(this, QStringLiteral("已取消！"), kInfo, ui::Icon::Critical);
            return;
        case Scanner::Status::Failed:
            break;
        }
        ui::inform(this, QStringLiteral("扫描出错！"), kInfo, ui::Icon::Critical);
    });
}

void ScanWindow::takeFromFile() {
    mainZoom_ = 1.0;
    cropZoom_ = 1.0;
    const QString file = ui::dialogs().openFile(this, QString(), QString(), kPictureFilter);
    if (file.isEmpty())
        return;
    ui::guard(this, ui::silently(), [&] {
        if (!editor_.takeIn(readPictureFile(file)))
            throw std::runtime_error("not a picture: " + file.toStdString());
        newPicture();
    });
}

void ScanWindow::takeFromRecord() {
    mainZoom_ = 1.0;
    cropZoom_ = 1.0;
    ui::guard(this, ui::stopWith(QStringLiteral("出错了！取不到图片！"), ui::kProgramTitle, ui::Icon::None),
              [&] {
                  const QByteArray bytes = readPhoto(session_.db(), currentPerson());
                  if (bytes.isEmpty())
                      editor_.blank();
                  else if (!editor_.takeIn(bytes))
                      throw std::runtime_error("the stored photo is no picture");
                  newPicture();
              });
}

void ScanWindow::storeInRecord() {
    const bool stored =
        ui::guard(this, ui::stopWith(QStringLiteral("出错了！"), ui::kProgramTitle, ui::Icon::None), [&] {
            const qint64 rowid = currentPerson();
            const QByteArray jpeg = editor_.jpeg();
            if (jpeg.isEmpty())
                throw std::runtime_error("no picture to store");
            storePhoto(session_.db(), rowid, jpeg, authorOf(session_));
            entry_->photoChanged(rowid);
        });
    if (stored)
        ui::inform(this, QStringLiteral("保存成功了！"));
}

void ScanWindow::saveAs() {
    const QString file = ui::dialogs().saveFile(this, QString(), QString(), QStringLiteral("文件JPG|*.JPG"));
    if (file.isEmpty())
        return;
    ui::guard(this, ui::silently(), [&] {
        const QByteArray jpeg = editor_.jpeg();
        QSaveFile out(file);
        if (jpeg.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(jpeg) != jpeg.size() ||
            !out.commit())
            throw std::runtime_error("cannot save " + file.toStdString());
    });
}

void ScanWindow::crop() {
    if (cropMode_) {
        if (editor_.isEmpty())
            return;
        cropZoom_ = 0.4;
        ui_->Xpress1->hide();
        ui_->ImagXpress1->show();
        ui_->ImagXpress1->setPicture(editor_.picture());
        ui_->ImagXpress1->setZoom(cropZoom_);
        ui_->ImagXpress1->setSelecting(true);
        ui_->Command5->setEnabled(false);
        cropMode_ = false;
        editor_.forgetUndo();
        ui_->Command14->setEnabled(false);
        return;
    }
    // The crop viewer's own copy is cut: what the effects did to the picture meanwhile is dropped.
    ui::guard(this, ui::silently(),
              [&] { editor_.crop(ui_->ImagXpress1->picture(), ui_->ImagXpress1->selection()); });
    ui_->ImagXpress1->hide();
    ui_->Xpress1->show();
    ui_->Command5->setText(QStringLiteral("切割图片"));
    mainZoom_ = 1.0;
    cropMode_ = true;
    editor_.forgetUndo();
    refresh();
}

void ScanWindow::zoomBy(double step) {
    if (ui_->ImagXpress1->isVisible() || !cropMode_) {
        cropZoom_ = stepped(cropZoom_, step);
        ui_->ImagXpress1->setZoom(cropZoom_);
    } else {
        mainZoom_ = stepped(mainZoom_, step);
        ui_->Xpress1->setZoom(mainZoom_);
    }
}

void ScanWindow::rotateBy(int degrees) {
    ui::guard(this, ui::silently(), [&] { editor_.rotate(degrees); });
    refresh();
}

void ScanWindow::apply(PictureEditor::Effect effect) {
    ui::guard(this, ui::silently(), [&] { editor_.apply(effect); });
    refresh();
}

void ScanWindow::undo() {
    editor_.undo();
    refresh();
}

void ScanWindow::restart() {
    mainZoom_ = 1.0;
    cropZoom_ = 1.0;
    editor_.restart();
    refresh();
}

} // namespace records
