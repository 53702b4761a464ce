#pragma once

#include "records/PersonHistory.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class HistoryWindow;
}
namespace store {
class Session;
}

namespace records {

inline const QString kHistoryUnavailable =
    QStringLiteral("修改记录不可用：数据库文件是只读的，其中没有修改记录表。");
inline const QString kHistoryUnreadable = QStringLiteral("修改记录读不出来。");
inline const QString kNothingChosen = QStringLiteral("请先在表格中选择一条记录。");
inline const QString kUndoPersonGone =
    QStringLiteral("此人的记录已不在库中，无法撤销；如此人已被删除，请先恢复此人。");
inline const QString kUndoFailed = QStringLiteral("撤销没有完成，数据没有改变。");
inline const QString kRestoreFailed = QStringLiteral("恢复没有完成，数据没有改变。");
inline const QString kUndone = QStringLiteral("已撤销所选的修改。");
inline const QString kRestoredAs = QStringLiteral("已恢复此人，个人编号%1。");
inline const QString kRestoredNumberTaken =
    QStringLiteral("原个人编号%1已被其他人使用，此人已按新增的编号%2恢复。");
inline const QString kHistoryCount = QStringLiteral("共%1条修改记录。");
inline const QString kHistoryLimited = QStringLiteral("只显示最新的%1条修改记录，请用条件缩小范围。");

// The history rows the window shows, newest first; at most the window's limit.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(std::vector<HistoryRow> rows);
    const HistoryRow& at(int row) const { return rows_.at(std::size_t(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<HistoryRow> rows_;
};

// "修改记录": who changed which person's what and when, with 撤销此修改 and 恢复此人. Opened for
// one person (the entry window) or for everyone (the main window).
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    struct Person {
        qint64 rowid;
        QString number;
        QString name;
    };
    static constexpr int kRowLimit = 1000;

    // `changed` hears of each person an undo or a restore wrote.
    HistoryWindow(store::Session& session, std::optional<Person> person,
                  std::function<void(qint64 rowid)> changed, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    void search();
    void undoSelected();
    void restoreSelected();
    HistoryModel& model() { return *model_; }
    QString statusText() const;
    // Selects these grid rows (as clicks with Ctrl do).
    void select(const QList<int>& rows);

private:
    HistoryFilter filter() const;
    std::vector<qint64> selectedIds() const;
    void setStatus(const QString& text);

    store::Session& session_;
    std::unique_ptr<Ui::HistoryWindow> ui_;
    HistoryModel* model_;
    std::optional<Person> person_;
    std::function<void(qint64)> changed_;
    bool available_ = false;
};

} // namespace records
