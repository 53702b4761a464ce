#include "exchange/MaintenanceWindow.h"

#include "exchange/SafetyCopies.h"
#include "exchange/SafetyCopyStep.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"
#include "ui/Window.h"
#include "ui/WorkLock.h"
#include "ui_MaintenanceWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStyle>
#include <QTimer>

#include <limits>

namespace exchange {

namespace {

const QString kBackupTitle = QStringLiteral("备份");
const QString kRestoreTitle = QStringLiteral("恢复");
const QString kBackupFailed = QStringLiteral("备份失败！请重新进入再备份！");
const QString kRestoreFailed = QStringLiteral("恢复失败！");
const QString kRepairTitle = QStringLiteral("修复");
const QString kCompactTitle = QStringLiteral("压缩");

const MaintenanceWindow::Messages kBackup{kBackupFailed, kBackupTitle, ui::Icon::Information, QString(),
                                          kBackupTitle};
const MaintenanceWindow::Messages kRestore{kRestoreFailed, kRestoreTitle, ui::Icon::Information,
                                           kRestoreRefused, kRestoreTitle};
const MaintenanceWindow::Messages kRepair{QStringLiteral("修复数据库时出错,系统将退出！"),
                                          QStringLiteral("出错"), ui::Icon::Critical, kRepairRefused,
                                          kRepairTitle};
const MaintenanceWindow::Messages kCompact{QStringLiteral("无法压缩数据库,系统将退出！"),
                                           QStringLiteral("出错"), ui::Icon::Critical, kCompactRefused,
                                           kCompactTitle};

QString refusalText(const RestoreRefusal& why) {
    if (why.kind == RestoreRefusal::LiveFile)
        return QStringLiteral("所选的文件就是正在使用的数据库，不能用它恢复！");
    return QStringLiteral("所选的文件") + store::openFailureCause(why.failure) +
           QStringLiteral("\n不能用它恢复！");
}

// The rowids of one lost range: "201-260", "590及以后", "12及以前", "77".
QString rowids(const std::pair<qint64, qint64>& range) {
    if (range.second == std::numeric_limits<qint64>::max())
        return QStringLiteral("%1及以后").arg(range.first);
    if (range.first == std::numeric_limits<qint64>::min())
        return QStringLiteral("%1及以前").arg(range.second);
    if (range.first == range.second)
        return QString::number(range.first);
    return QStringLiteral("%1-%2").arg(range.first).arg(range.second);
}

QString tableLabel(const QString& table) {
    static const QHash<QString, QString> names{
        {store::schema::kPersons.toLower(), QStringLiteral("人员")},
        {store::schema::kStaging.toLower(), QStringLiteral("模板")},
        {store::schema::kCategories.toLower(), QStringLiteral("类别")},
        {store::schema::kPrint.toLower(), QStringLiteral("打印设置")},
        {store::schema::kUsers.toLower(), QStringLiteral("用户")},
        {store::schema::kSettings.toLower(), QStringLiteral("系统设置")},
        {store::schema::kLog.toLower(), QStringLiteral("上机记录")},
    };
    const QString name = names.value(table.toLower());
    return name.isEmpty() ? table : QStringLiteral("%1(%2)").arg(name, table);
}

} // namespace

QString serverRightsText(const QString& login) {
    return QStringLiteral("服务器登录“%1”没有执行此操作的权限，请用数据库所有者登录。").arg(login);
}

QString repairMessage(const RepairResult& result) {
    QString text = QStringLiteral("数据库修复成功！");
    if (!result.rebuiltIndexes.isEmpty())
        text += QStringLiteral("\n服务器上这些索引有损坏，已经重建：%1。")
                    .arg(result.rebuiltIndexes.join(QStringLiteral("、")));
    if (!result.lostRows())
        return text;
    QStringList rescued;
    QStringList lost;
    for (const TableRescue& t : result.tables) {
        rescued << QStringLiteral("%1 %2条").arg(tableLabel(t.table)).arg(t.rows);
        if (t.lost.empty())
            continue;
        QStringList ranges;
        for (const auto& range : t.lost)
            ranges << rowids(range);
        lost << tableLabel(t.table) + QStringLiteral(" 行号") + ranges.join(QStringLiteral("、"));
    }
    text += QStringLiteral("\n数据库文件有损坏，有些记录没能救出。");
    text += QStringLiteral("\n救出的记录：") + rescued.join(QStringLiteral("；")) + QStringLiteral("。");
    text += QStringLiteral("\n没能读出的记录：") + lost.join(QStringLiteral("；")) + QStringLiteral("。");
    text += QStringLiteral("\n损坏的原文件保存为“%1”。").arg(QDir::toNativeSeparators(result.damagedCopy));
    return text;
}

MaintenanceWindow::MaintenanceWindow(store::Session& session, std::function<void()> quit, QWidget* parent,
                                     ProgressSettings progress, FileOps ops)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::Form10>()), session_(session),
      quit_(std::move(quit)), settings_(std::move(progress)),
      maintenance_(session, std::move(ops),
                   [this](bool cancellable, const FileWork& work) { runJob(cancellable, work); }),
      timer_(new QTimer(this)) {
    ui_->setupUi(this);
    ui_->Image1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui_->Image2->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    ui_->Image3->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ui_->Image4->setIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    ui_->ProgressBar1->hide();
    ui::placeCentred(*this, size());

    connect(ui_->Image1, &QToolButton::clicked, this, &MaintenanceWindow::backupClicked);
    connect(ui_->Image2, &QToolButton::clicked, this, &MaintenanceWindow::restoreClicked);
    connect(ui_->Image3, &QToolButton::clicked, this, &MaintenanceWindow::repairClicked);
    connect(ui_->Image4, &QToolButton::clicked, this, &MaintenanceWindow::compactClicked);
    connect(ui_->Command1, &QPushButton::clicked, this, &QWidget::close);
    connect(ui_->SafetyRestore, &QPushButton::clicked, this, &MaintenanceWindow::restoreCopyClicked);
    connect(ui_->SafetyList, &QTreeWidget::itemDoubleClicked, this, &MaintenanceWindow::restoreCopyClicked);
    listSafetyCopies();
    timer_->setInterval(settings_.tickMs);
    connect(timer_, &QTimer::timeout, this, &MaintenanceWindow::tick);
}

MaintenanceWindow::~MaintenanceWindow() = default;

// Other windows hold record sets on the connection these operations close and on a file they
// may replace, so they must be closed first.
bool MaintenanceWindow::otherWindowsOpen() {
    if (QWidget* hub = parentWidget()) {
        for (QWidget* child : hub->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child != this && child->isWindow() && child->isVisible()) {
                ui::inform(this, kCloseOtherWindows, ui::kProgramTitle, ui::Icon::Exclamation);
                return true;
            }
        }
    }
    return false;
}

void MaintenanceWindow::setImagesEnabled(bool enabled) {
    for (QToolButton* image : {ui_->Image1, ui_->Image2, ui_->Image3, ui_->Image4})
        image->setEnabled(enabled);
    ui_->SafetyRestore->setEnabled(enabled);
}

// Newest first, each with its time, the operation it was made before and the persons it holds.
void MaintenanceWindow::listSafetyCopies() {
    ui_->SafetyList->clear();
    const std::vector<SafetyCopy> copies = SafetyCopies(session_.programFolder(), session_.clock()).list();
    QList<QTreeWidgetItem*> items;
    for (const SafetyCopy& copy : copies) {
        auto* item =
            new QTreeWidgetItem({copy.made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), copy.operation,
                                 copy.persons ? QString::number(*copy.persons) : QString()});
        item->setData(0, Qt::UserRole, copy.path);
        items << item;
    }
    ui_->SafetyList->addTopLevelItems(items);
    ui_->SafetyList->resizeColumnToContents(0);
}

// The backup folder, or the program folder when that folder is not there (a folder of another
// machine taken over with an old database).
QString MaintenanceWindow::startFolder() const {
    const QString folder = session_.backupFolder();
    return QDir(folder).exists() ? folder : session_.programFolder();
}

// The file work runs off the window thread with the connection closed; the windows repaint,
// but take no input.
void MaintenanceWindow::runJob(bool cancellable, const FileWork& work) {
    ui::JobSetup setup;
    setup.connection = ui::JobSetup::Connection::None;
    setup.cancellable = cancellable;
    ui::runJob(this, session_, setup,
               [&work](store::Database*, store::JobControl& control) { work(control); });
}

// A failed operation shows its message and ends the program; the logic has put the live file
// back by then. One that was refused before it touched anything (read-only, held by another
// program) says why, and the window stays usable; so does one the operator stopped.
bool MaintenanceWindow::runOrQuit(const Messages& messages, const std::function<void()>& work) {
    // Refused or stopped: nothing was touched, and the window stays.
    bool stays = false;
    const bool ran = ui::guard(
        this, ui::stopWith(messages.failure, messages.failureTitle, messages.failureIcon),
        {ui::when<store::Cancelled>([&](const store::Cancelled&) {
             stays = true;
             return ui::stopWith(ui::kCancelledNothingChanged, messages.title, ui::Icon::Information);
         }),
         ui::when<ServerRightsMissing>([&](const ServerRightsMissing& e) {
             stays = true;
             return ui::stopWith(messages.refused + QLatin1Char('\n') + serverRightsText(e.login()),
                                 messages.title, ui::Icon::Exclamation);
         }),
         ui::when<OperationRefused>([&](const OperationRefused& e) {
             stays = true;
             return ui::stopWith(messages.refused + QLatin1Char('\n') + ui::causeOf(e), messages.title,
                                 ui::Icon::Exclamation);
         })},
        work);
    if (ran)
        return true;
    if (stays) {
        setImagesEnabled(true);
        return false;
    }
    quit_();
    return false;
}

void MaintenanceWindow::backupClicked() {
    if (otherWindowsOpen())
        return;
    const QString file = ui::dialogs().saveFile(this, QStringLiteral("请输入备份的文件名！"), startFolder(),
                                                kBackupFilter, QStringLiteral("mdb"));
    if (file.isEmpty())
        return;
    setImagesEnabled(false);
    if (!runOrQuit(kBackup, [&] { maintenance_.backup(file); }))
        return;
    showProgress(QStringLiteral("正在备份库文件数据... "), [this, file] {
        ui::inform(this, QFileInfo::exists(file) ? QStringLiteral("备份成功！") : kBackupFailed, kBackupTitle,
                   ui::Icon::Information);
        setImagesEnabled(true);
    });
}

void MaintenanceWindow::restoreClicked() {
    restoreFrom([this] {
        return ui::dialogs().openFile(this, QStringLiteral("请选择要恢复的文件！"), startFolder(),
                                      kBackupFilter);
    });
}

void MaintenanceWindow::restoreCopyClicked() {
    const QTreeWidgetItem* item = ui_->SafetyList->currentItem();
    if (!item) {
        ui::inform(this, QStringLiteral("请先在列表中选择要恢复的安全副本。"), kRestoreTitle,
                   ui::Icon::Information);
        return;
    }
    const QString path = item->data(0, Qt::UserRole).toString();
    restoreFrom([path] { return path; });
}

void MaintenanceWindow::restoreFrom(const std::function<QString()>& choose) {
    if (otherWindowsOpen())
        return;
    // A lib.mdb opened read-only is refused before the operator chooses a file.
    if (!runOrQuit(kRestore, [this] { maintenance_.checkReplaceable(); }))
        return;
    if (!ui::confirm(this, QStringLiteral("数据恢复将会覆盖原有的数据，您真的要操作吗？")))
        return;
    const QString file = choose();
    ui_->ProgressBar1->show();
    setImagesEnabled(false);
    const auto stop = [this] {
        setImagesEnabled(true);
        ui_->ProgressBar1->hide();
    };
    if (file.isEmpty()) {
        stop();
        return;
    }
    // A file that is not a database of this system, or the live file itself, changes nothing.
    const RestoreRefusal why = maintenance_.checkRestoreSource(file);
    if (why != RestoreRefusal::None) {
        ui::inform(this, refusalText(why), kRestoreTitle, ui::Icon::Exclamation);
        stop();
        return;
    }
    // Held by another program: refused as the restore itself would, before any copy is made.
    if (!runOrQuit(kRestore, [this] { maintenance_.checkHoldable(); })) {
        ui_->ProgressBar1->hide();
        return;
    }
    // Another operator's bulk work on the server would be overwritten half done.
    const auto lock = ui::takeBulkLock(this, session_, store::BulkWork::Restore, kRestoreTitle);
    if (!lock) {
        stop();
        return;
    }
    // The database as it was before the restore, so that a restore can be taken back too. On the
    // server the restore itself first writes the tables it replaces into the dated copy.
    if (!session_.onServer() && !safetyCopyBefore(this, session_, kCopyBeforeRestore, ui_->Label5, file)) {
        stop();
        return;
    }
    if (!runOrQuit(kRestore, [&] { maintenance_.restore(file); })) {
        ui_->ProgressBar1->hide();
        return;
    }
    listSafetyCopies();
    showProgress(QStringLiteral("正在恢复数据... "), [this] {
        const bool live = session_.onServer() || QFileInfo::exists(session_.databasePath());
        ui::inform(this, live ? QStringLiteral("恢复成功！") : kRestoreFailed, kRestoreTitle,
                   ui::Icon::Information);
        setImagesEnabled(true);
    });
}

void MaintenanceWindow::repairClicked() {
    if (otherWindowsOpen())
        return;
    setImagesEnabled(false);
    RepairResult result;
    if (!runOrQuit(kRepair, [&] { result = maintenance_.repair(); }))
        return;
    ui::inform(this, repairMessage(result), kRepairTitle, ui::Icon::Information);
    setImagesEnabled(true);
}

void MaintenanceWindow::compactClicked() {
    if (otherWindowsOpen())
        return;
    setImagesEnabled(false);
    if (!runOrQuit(kCompact, [this] { maintenance_.compact(); }))
        return;
    ui::inform(this, QStringLiteral("数据库压缩成功"), kCompactTitle, ui::Icon::Information);
    setImagesEnabled(true);
}

// The connection is open again before the display starts, so windows used meanwhile work.
void MaintenanceWindow::showProgress(const QString& text, std::function<void()> then) {
    progressText_ = text;
    afterProgress_ = std::move(then);
    progress_.emplace(settings_.clock);
    ui_->ProgressBar1->show();
    tick();
    timer_->start();
}

void MaintenanceWindow::tick() {
    if (!progress_)
        return;
    const std::optional<int> percent = progress_->percent();
    if (!percent) {
        finishProgress();
        return;
    }
    const QString text = progressText_ + QString::number(*percent) + QLatin1Char('%');
    ui_->ProgressBar1->setValue(*percent);
    ui_->Label5->setText(text);
    emit progressShown(*percent, text);
}

void MaintenanceWindow::finishProgress() {
    timer_->stop();
    progress_.reset();
    ui_->ProgressBar1->hide();
    ui_->Label5->clear();
    if (auto then = std::exchange(afterProgress_, nullptr))
        then();
}

// Brought forward again after a bulk change elsewhere, it lists the copy that change made.
void MaintenanceWindow::showEvent(QShowEvent* event) {
    listSafetyCopies();
    QWidget::showEvent(event);
}

// Closing during the display still gives the operation's closing message.
void MaintenanceWindow::closeEvent(QCloseEvent* event) {
    if (progress_)
        finishProgress();
    QWidget::closeEvent(event);
}

} // namespace exchange
