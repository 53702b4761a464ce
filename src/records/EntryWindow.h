#pragma once

#include "records/PersonsTable.h"
#include "store/Schema.h"

#include <QPointer>
#include <QSet>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace ui {
enum class Answer;
}

namespace store {
class RecordSet;
class Session;
} // namespace store

namespace records {

class EntryForm;
class IdCheck;
class PersonListModel;

// The entry window's toolbar buttons.
enum class EntryCommand {
    Add,
    Save,
    Delete,
    Preview,
    Categories,
    Calculator,
    Photo,
    Leave,
    History,
    Refresh
};

inline const QString kAllPersons = QStringLiteral("全部人数：");
inline const QString kFoundPersons = QStringLiteral("找到人数：");
inline const QString kAskSaveChanges = QStringLiteral("是否保存对当前记录的修改？");
inline const QString kSaved = QStringLiteral("已保存");
// Another operator wrote the person shown after it was read; the three ways on.
inline const QString kChangedByOther = QStringLiteral("该记录已被其他操作员修改。");
inline const QString kReread = QStringLiteral("重新读取");
inline const QString kOverwrite = QStringLiteral("覆盖");
inline const QString kCancelSave = QStringLiteral("取消");
inline const QString kDeletedByOther =
    QStringLiteral("该记录已被其他操作员删除。\n输入的内容没有保存，仍在框中。");

// Form3 "信息录入": browse, enter, save, number, search and delete person records.
class EntryWindow : public QWidget {
    Q_OBJECT
public:
    EntryWindow(store::Session& session, std::function<void()> openCategories, QWidget* parent = nullptr);
    ~EntryWindow() override;

    void run(EntryCommand command);
    void addRecord();
    // True when the record was written.
    bool saveRecord();
    void deleteRecord();
    void leave();
    // 刷新 (F5): the list read again, so that persons others added or deleted show; the person
    // shown stays current while still there, and keeps what was typed into the boxes.
    void refreshList();
    void chooseCategory(int position);
    void searchByCategory();
    void saveAsTemplate();
    void chooseInputColour();
    // The check made when a date box loses the focus; false when the date was refused.
    bool checkDateBox(QLineEdit* box);
    void moveTo(int index);
    // Asked before the person shown is left: what was typed and not saved is saved, dropped or
    // kept on the operator's word (保存, 否, 取消). False when the window stays on the person.
    bool mayLeavePerson();
    // Shows the person with this rowid, back on the whole list when a search hides them.
    void showPerson(qint64 rowid);
    // The person's photo was stored anew: the photo frame shows it now when the person is on view.
    void photoChanged(qint64 rowid);

    EntryForm& form() { return *form_; }
    IdCheck& idCheck() { return *idCheck_; }
    store::Session& session() { return session_; }
    // While false, moving to a row does not show it (the photo batch walks use this).
    void setShowOnMove(bool on) { showOnMove_ = on; }
    store::RecordSet& list() { return *list_; }
    QString navigationCaption() const;
    // What the last save stored otherwise than typed, or why it refused; empty when nothing.
    QString saveNote() const;
    // The status line under the form: the outcome of the last 保存 until the next action.
    QString statusLine() const;
    QAction* action(const QString& key) const;

    // The change history of the person shown (tt9 修改记录), and what an undo there wrote.
    void openHistory();
    void historyChanged(qint64 rowid);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildToolbar();
    QWidget* buildSearchBar();
    QWidget* buildList();
    void wireInputs();
    void fillPickLists();
    void setList(std::unique_ptr<store::RecordSet> list);
    // The navigation caption: "全部人数：" or "找到人数：" and the list's count.
    void showCount(const QString& label);
    void showCurrent();
    // A move the operator asked for: the question about unsaved changes comes first.
    void goTo(int index);
    void enterPressed(QWidget* box);
    // The conflict question after a guarded write found the person changed by another operator;
    // 重新读取 shows the stored values in place of what was typed.
    ui::Answer askAboutChange();
    void leaveNoRow();
    void focusAfter(QWidget* box);

    store::Session& session_;
    std::function<void()> openCategories_;
    std::unique_ptr<store::RecordSet> list_;
    std::vector<store::TableColumn> fields_; // the persons columns as the file declares them
    bool showOnMove_ = true;
    bool checkingDate_ = false;
    bool listChanging_ = false;     // the grid follows a change of the list, not the operator
    bool valueChoiceArmed_ = false; // Combo2 has the focus: a chosen value searches
    QString countLabel_;
    QString note_; // what the last save stored otherwise than typed, or why it refused
    QString newNumber_;
    RowVersion shownVersion_ = kAnyVersion; // of the person in the boxes, as read with the values

    EntryForm* form_ = nullptr;
    IdCheck* idCheck_ = nullptr;
    QLabel* saveNote_ = nullptr; // the status line: the outcome of the last save
    PersonListModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QLabel* caption_ = nullptr;
    QComboBox* categories_ = nullptr;
    QComboBox* values_ = nullptr;
    QList<QAction*> actions_;
    QList<QWidget*> tabChain_;
    QSet<const QObject*> dateBoxes_; // checked when they lose the focus
    QPointer<QWidget> historyWindow_;
};

} // namespace records
