#pragma once

#include "exchange/Maintenance.h"
#include "ui/Dialogs.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace Ui {
class Form10;
}

namespace store {
class Session;
}

namespace exchange {

inline const QString kBackupFilter = QStringLiteral("数据库文件(.MDB) (*.MDB *.mdb)");
inline const QString kCloseOtherWindows = QStringLiteral("请先关闭其他窗口，再进行数据库维护！");
// Shown before the cause when an operation is refused before it touched lib.mdb.
inline const QString kRestoreRefused = QStringLiteral("没有恢复，数据库保持原样。");
inline const QString kRepairRefused = QStringLiteral("没有修复，数据库保持原样。");
inline const QString kCompactRefused = QStringLiteral("没有压缩，数据库保持原样。");

// What 数据修复 says: the success text, and when rows were left out, what was rescued per table,
// the rowids that could not be read and where the damaged file lies.
QString repairMessage(const RepairResult& result);
// Why the server refused repair or compact to this login.
QString serverRightsText(const QString& login);

// How the ten-second display of Form10 reads the time and how often it moves.
struct ProgressSettings {
    store::Clock clock = &QDateTime::currentDateTimeUtc;
    int tickMs = 100;
};

// Form10 "数据库": backup, restore, repair and compact of lib.mdb. Windows that read the
// database must be closed first: the operations replace the file under them.
class MaintenanceWindow : public QWidget {
    Q_OBJECT
public:
    // `quit` ends the program: a failed operation calls it after its message.
    MaintenanceWindow(store::Session& session, std::function<void()> quit, QWidget* parent = nullptr,
                      ProgressSettings progress = {}, FileOps ops = FileOps::real());
    ~MaintenanceWindow() override;

    bool progressRunning() const { return progress_.has_value(); }

    // What an operation says when it fails (and the program ends) or is refused (and it goes on).
    struct Messages {
        QString failure;
        QString failureTitle;
        ui::Icon failureIcon;
        QString refused;
        QString title;
    };

signals:
    // Each step of the progress display.
    void progressShown(int percent, const QString& text);

public slots:
    void backupClicked();
    void restoreClicked();
    void repairClicked();
    void compactClicked();
    // 用此副本恢复, or a double click in the list: restores the selected safety copy.
    void restoreCopyClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool otherWindowsOpen();
    void setImagesEnabled(bool enabled); // Imgtrue / Imgfalse
    // The restore with the file `choose` gives (empty: none chosen).
    void restoreFrom(const std::function<QString()>& choose);
    void listSafetyCopies();
    QString startFolder() const;
    // Runs an operation; when it fails, shows the message and ends the program; when it is
    // refused, says why.
    bool runOrQuit(const Messages& messages, const std::function<void()>& work);
    void runJob(bool cancellable, const FileWork& work);
    void showProgress(const QString& text, std::function<void()> then);
    void tick();
    void finishProgress();

    std::unique_ptr<Ui::Form10> ui_;
    store::Session& session_;
    std::function<void()> quit_;
    ProgressSettings settings_;
    Maintenance maintenance_;
    QTimer* timer_;
    std::optional<TenSecondProgress> progress_;
    QString progressText_;
    std::function<void()> afterProgress_;
};

} // namespace exchange
