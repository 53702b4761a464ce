#include "records/EntryWindow.h"

#include "categories/CategoryTable.h"
#include "records/EntryForm.h"
#include "records/EntryRules.h"
#include "records/HistoryWindow.h"
#include "records/IdCheck.h"
#include "records/PersonListModel.h"
#include "records/PersonsTable.h"
#include "records/Photo.h"
#include "records/PhotoButtons.h"
#include "records/ScanWindow.h"
#include "records/Template.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/FocusColour.h"
#include "ui/Guard.h"
#include "ui/ModelReads.h"
#include "ui/Programs.h"
#include "ui/SingleWindow.h"
#include "ui/Widgets.h"
#include "ui/Window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace records {

EntryWindow::EntryWindow(store::Session& session, std::function<void()> openCategories, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), openCategories_(std::move(openCategories)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("信息录入"));
    ui::writeLog(this, session_, QStringLiteral("进入信息录入"));

    auto* layout = new QVBoxLayout(this);
    buildToolbar();
    // The search bar beside the toolbar and the status lines side by side leave the pages the
    // height to show without scrolling on a common laptop screen.
    auto* top = new QHBoxLayout;
    top->addWidget(findChild<QToolBar*>(QStringLiteral("Toolbar1")));
    top->addWidget(buildSearchBar());
    top->addStretch();
    layout->addLayout(top);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(buildList());
    form_ = new EntryForm(splitter);
    splitter->addWidget(form_);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    idCheck_ = new IdCheck(session_, *form_, this);
    saveNote_ = new QLabel(this);
    saveNote_->setObjectName(QStringLiteral("SaveStatus"));
    saveNote_->setWordWrap(true);
    auto* status = new QHBoxLayout;
    status->addWidget(idCheck_, 3);
    status->addWidget(saveNote_, 2);
    layout->addLayout(status);

    fields_ = store::tableColumns(session_.db(), store::schema::kPersons);
    QStringList headers;
    for (const store::TableColumn& c : fields_)
        headers << c.name;
    model_ = new PersonListModel(headers, ui::tellOncePerBurst(this), this);
    model_->followJobs(session_);
    grid_->setModel(model_);
    grid_->setColumnWidth(0, ui::twipsToPixels(*this, 1200));
    grid_->setColumnWidth(1, ui::twipsToPixels(*this, 1000));
    ui::fitHeaders(*grid_);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                // A click on any row shows it, also the row that took the place of a deleted one.
                if (current.isValid() && !listChanging_ &&
                    (current.row() != list_->position() || list_->currentRowid() < 0))
                    goTo(current.row());
            });

    categories_->addItems(categories::loadKM(session_.db()));
    categories_->setCurrentIndex(-1);
    fillPickLists();
    wireInputs();
    new PhotoButtons(*this);
    setList(openPersonList(session_.db()));
    if (!list_->isEmpty())
        moveTo(0);

    ui::placeCentred(*this, {1000, 680});
}

EntryWindow::~EntryWindow() {
    // Tearing down the controls moves the focus and the grid's current row; what they signal
    // must not reach members that are already gone.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
}

void EntryWindow::buildToolbar() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("Toolbar1"));
    using C = EntryCommand;
    actions_ = ui::addToolButtons<C>(*bar,
                                     {{"tt1", "新增", QStyle::SP_FileIcon, C::Add},
                                      {"tt2", "保存", QStyle::SP_DialogSaveButton, C::Save},
                                      {"tt3", "删除", QStyle::SP_TrashIcon, C::Delete},
                                      {"tt4", "预览", QStyle::SP_FileDialogContentsView, C::Preview},
                                      {"tt5", "类别", QStyle::SP_FileDialogListView, C::Categories},
                                      {"tt6", "计算器", QStyle::SP_ComputerIcon, C::Calculator},
                                      {"tt8", "相片", QStyle::SP_DesktopIcon, C::Photo},
                                      {"tt7", "返回", QStyle::SP_DialogCloseButton, C::Leave},
                                      // Added after the eight, so they keep their places.
                                      {"tt9", "修改记录", QStyle::SP_FileDialogInfoView, C::History},
                                      {"tt10", "刷新", QStyle::SP_BrowserReload, C::Refresh}},
                                     [this](C c) { run(c); });
    action(QStringLiteral("tt1"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    action(QStringLiteral("tt2"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    action(QStringLiteral("tt3"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    action(QStringLiteral("tt10"))->setShortcut(QKeySequence(Qt::Key_F5));
}

QWidget* EntryWindow::buildSearchBar() {
    auto* frame = new QGroupBox(QStringLiteral("按类别查询"), this);
    categories_ = new QComboBox(frame);
    categories_->setObjectName(QStringLiteral("Combo1"));
    categories_->setMinimumContentsLength(10);
    values_ = new QComboBox(frame);
    values_->setObjectName(QStringLiteral("Combo2"));
    values_->setEditable(true);
    values_->setInsertPolicy(QComboBox::NoInsert);
    values_->setMinimumContentsLength(12);
    auto* row = new QHBoxLayout(frame);
    row->addWidget(new QLabel(QStringLiteral("类别："), frame));
    row->addWidget(categories_);
    row->addWidget(new QLabel(QStringLiteral("="), frame));
    row->addWidget(values_);
    row->addStretch();
    connect(categories_, &QComboBox::activated, this, &EntryWindow::chooseCategory);
    // Choosing a value searches; the value a focus change leaves behind does not.
    connect(values_, &QComboBox::activated, this, [this] {
        if (valueChoiceArmed_)
            searchByCategory();
    });
    return frame;
}

QWidget* EntryWindow::buildList() {
    auto* panel = new QWidget(this);
    grid_ = new QTableView(panel);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    ui::setUpRecordGrid(*grid_);

    auto* nav = new QWidget(panel);
    nav->setObjectName(QStringLiteral("Data1"));
    auto* navRow = new QHBoxLayout(nav);
    navRow->setContentsMargins(0, 0, 0, 0);
    const std::initializer_list<std::pair<const char*, std::function<int()>>> moves = {
        {"|◀", [] { return 0; }},
        {"◀", [this] { return list_->position() - 1; }},
        {"▶", [this] { return list_->position() + 1; }},
        {"▶|", [this] { return list_->count() - 1; }}};
    caption_ = new QLabel(nav);
    caption_->setObjectName(QStringLiteral("Data1Caption"));
    int i = 0;
    for (const auto& [text, target] : moves) {
        auto* b = new QToolButton(nav);
        b->setText(QString::fromUtf8(text));
        connect(b, &QToolButton::clicked, this, [this, t = target] {
            if (!list_->isEmpty())
                goTo(std::clamp(t(), 0, list_->count() - 1));
        });
        navRow->addWidget(b);
        if (++i == 2)
            navRow->addWidget(caption_, 1, Qt::AlignCenter);
    }
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid_, 1);
    layout->addWidget(nav);
    return panel;
}

void EntryWindow::wireInputs() {
    const auto inputColour = [this] { return ui::colourFromWin(session_.state().inputColour); };
    for (const PersonColumn& c : personColumns()) {
        QWidget* w = form_->control(c.controlName());
        if (c.kind == Kind::YesNo || c.kind == Kind::Photo)
            continue;
        // An editable pick list takes the keys itself and hands them to its editor.
        if (c.kind != Kind::Memo)
            w->installEventFilter(this);
        if (c.kind == Kind::Date)
            dateBoxes_.insert(w);
        ui::FocusColour::attach(w, inputColour);
    }
    values_->installEventFilter(this);
    connect(form_, &EntryForm::edited, this, [this] {
        action(QStringLiteral("tt2"))->setEnabled(true);
        saveNote_->clear();
    });
    connect(qobject_cast<QPushButton*>(form_->control(QStringLiteral("Command1"))), &QPushButton::clicked,
            this, &EntryWindow::saveAsTemplate);
    connect(qobject_cast<QPushButton*>(form_->control(QStringLiteral("Command2"))), &QPushButton::clicked,
            this, &EntryWindow::chooseInputColour);

    const QList<QWidget*> order =
        form_->tabOrder({{kTabSearchCategory, categories_}, {kTabSearchValue, values_}});
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    tabChain_ = order;
}

void EntryWindow::fillPickLists() {
    std::map<QString, int> columnOf;
    for (const PersonColumn& c : personColumns()) {
        if (c.kind == Kind::Coded)
            columnOf[c.columnName()] = c.ordinal;
    }
    std::map<int, QStringList> lists;
    for (const auto& [category, value] : categories::valueRows(session_.db())) {
        const auto it = columnOf.find(category);
        if (it != columnOf.end())
            lists[it->second] << value;
    }
    for (const auto& [ordinal, values] : lists)
        form_->setPickList(ordinal, values);
}

void EntryWindow::setList(std::unique_ptr<store::RecordSet> list) {
    model_->setList(list.get());
    list_ = std::move(list);
    showCount(kAllPersons);
}

void EntryWindow::showCount(const QString& label) {
    countLabel_ = label;
    caption_->setText(label + QString::number(list_->count()));
}

QString EntryWindow::navigationCaption() const {
    return caption_->text();
}

QString EntryWindow::saveNote() const {
    return note_;
}

QString EntryWindow::statusLine() const {
    return saveNote_->text();
}

QAction* EntryWindow::action(const QString& key) const {
    return ui::findAction(actions_, key);
}

void EntryWindow::moveTo(int index) {
    if (list_->isEmpty())
        return;
    list_->setPosition(index);
    const int row = list_->position();
    if (grid_->currentIndex().row() != row)
        grid_->setCurrentIndex(model_->index(row, 0));
    showCurrent();
    action(QStringLiteral("tt2"))->setEnabled(true);
    action(QStringLiteral("tt3"))->setEnabled(true);
    showCount(kAllPersons);
}

void EntryWindow::goTo(int index) {
    if (mayLeavePerson()) {
        moveTo(index);
        return;
    }
    // The grid has already moved its current row: it goes back once the click is done with it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const int row = list_->position();
            if (list_->currentRowid() < 0 || grid_->currentIndex().row() == row)
                return;
            listChanging_ = true;
            grid_->setCurrentIndex(model_->index(row, 0));
            listChanging_ = false;
        },
        Qt::QueuedConnection);
}

bool EntryWindow::mayLeavePerson() {
    if (!list_ || list_->currentRowid() < 0 || form_->changedEntries().empty())
        return true;
    switch (ui::askOrCancel(this, kAskSaveChanges)) {
    case ui::Answer::Yes:
        return saveRecord();
    case ui::Answer::No: // what was typed is dropped: the stored values show again
        showCurrent();
        form_->markUnchanged();
        return true;
    case ui::Answer::Cancel:
        break;
    }
    return false;
}

void EntryWindow::showPerson(qint64 rowid) {
    if (!mayLeavePerson())
        return;
    int at = -1;
    ui::guard(this, ui::silently(), [&] {
        at = list_->indexOf(rowid);
        if (at < 0) {
            setList(openPersonList(session_.db()));
            at = list_->indexOf(rowid);
        }
    });
    if (at >= 0)
        moveTo(at);
}

void EntryWindow::photoChanged(qint64 rowid) {
    list_->forget(rowid);
    if (list_->currentRowid() == rowid)
        ui::guard(this, ui::silently(), [&] {
            // The photo's write moved the row's version on; the boxes still hold what was read.
            const ShownPerson person = readPersonWithVersion(session_.db(), rowid);
            form_->setPhoto(person.row.value(kPhoto).toByteArray());
            shownVersion_ = person.version;
        });
}

// A record that cannot be read (a damaged page) leaves the boxes as they were.
void EntryWindow::showCurrent() {
    if (!showOnMove_ || list_->currentRowid() < 0)
        return;
    idCheck_->reset();
    note_.clear();
    saveNote_->clear();
    ui::guard(this, ui::silently(), [&] {
        // Read afresh with its version: another operator may have written it since the list did.
        const int position = list_->position();
        const ShownPerson person = readPersonWithVersion(session_.db(), list_->currentRowid());
        if (person.row.isEmpty())
            return;
        shownVersion_ = person.version;
        const std::optional<QVariantList> listed = list_->cached(position);
        if (listed && listed->size() == person.row.size()) {
            for (int i = 0; i < person.row.size(); ++i) {
                if (i != kPhoto && !sameStoredValue(listed->at(i), person.row.at(i))) {
                    model_->rowChanged(position);
                    break;
                }
            }
        }
        form_->setPhoto(person.row.value(kPhoto).toByteArray());
        form_->showRow(person.row);
        form_->scrollToTop();
    });
}

void EntryWindow::run(EntryCommand command) {
    saveNote_->clear();
    switch (command) {
    case EntryCommand::Add:
        return addRecord();
    case EntryCommand::Save:
        saveRecord();
        return;
    case EntryCommand::Delete:
        return deleteRecord();
    case EntryCommand::Preview: // no action in this window
        return;
    case EntryCommand::Categories:
        return openCategories_();
    case EntryCommand::Calculator:
        ui::startCalculator(session_.programFolder());
        return;
    case EntryCommand::Photo:
        ScanWindow::open(*this, makeSaneScanner());
        return;
    case EntryCommand::Leave:
        return leave();
    case EntryCommand::History:
        return openHistory();
    case EntryCommand::Refresh:
        return refreshList();
    }
}

void EntryWindow::openHistory() {
    std::optional<HistoryWindow::Person> person;
    if (list_ && list_->currentRowid() >= 0) {
        ui::guard(this, ui::silently(), [&] {
            const QVariantList& row = list_->cells(list_->position());
            person = HistoryWindow::Person{list_->currentRowid(), row.value(kPersonalNumber).toString(),
                                           row.value(kPersonName).toString()};
        });
    }
    // Each opening shows the person now on view.
    if (historyWindow_)
        historyWindow_->close();
    delete historyWindow_.data();
    ui::showSingle(historyWindow_, [&] {
        return new HistoryWindow(
            session_, person, [this](qint64 rowid) { historyChanged(rowid); }, this);
    });
}

// Rows read before an undo show the values as they were; the person on view shows the new ones
// unless the operator has typed into the boxes. A restored person is moved to.
void EntryWindow::historyChanged(qint64 rowid) {
    list_->forget(rowid);
    int at = -1;
    if (!ui::guard(this, ui::silently(), [&] { at = list_->indexOf(rowid); }))
        return;
    if (at < 0) // a person put back: shown as 新增 shows a new one
        return showPerson(rowid);
    model_->rowChanged(at);
    if (list_->currentRowid() == rowid && form_->changedEntries().empty())
        showCurrent();
}

namespace {

// A value the database does not take, worded as the entry rules word it.
ui::OnFailure writeFailed() {
    return ui::stopWith(kWriteFailed, ui::kProgramTitle, ui::Icon::None);
}

} // namespace

// Toolbar actions end at the first failure. A value that does not fit is reported as the entry
// rules say; a write the database refuses (a full or read-only disk, a lock) is reported with its
// cause, since ending silently there would lose what the operator typed. The boxes keep it.
void EntryWindow::addRecord() {
    if (!mayLeavePerson())
        return;
    auto& db = session_.db();
    ui::guard(this, ui::stopWithCause(kAddFailed), {ui::when<WriteError>(writeFailed())}, [&] {
        if (!list_->isEmpty()) {
            const QVariantList last = list_->row(list_->count() - 1);
            newNumber_ = nextPersonalNumber(last.value(0).toString());
        } else {
            newNumber_ = QStringLiteral("000001");
            qobject_cast<QLineEdit*>(form_->control(QStringLiteral("Text1")))->setText(newNumber_);
        }
        const qint64 rowid = addNumberedPerson(db, newNumber_, authorOf(session_));
        model_->append(rowid);
        moveTo(list_->count() - 1);
        if (!qobject_cast<QCheckBox*>(form_->control(QStringLiteral("Check20")))->isChecked())
            return;
        if (!applyTemplate(db, rowid, authorOf(session_)))
            return;
        const ShownPerson person = readPersonWithVersion(db, rowid);
        shownVersion_ = person.version;
        form_->showRow(person.row);
        model_->rowChanged(list_->position());
    });
}

bool EntryWindow::saveRecord() {
    const qint64 rowid = list_ ? list_->currentRowid() : -1;
    if (rowid < 0)
        return false;
    bool confirmed = false;
    ui::guard(this, ui::silently(), [&] { confirmed = idCheck_->confirmSave(rowid); });
    if (!confirmed)
        return false;
    // Only the boxes the operator changed are written; the others keep their stored values
    // exactly, whatever the box can show of them.
    const Entries changed = form_->changedEntries();
    note_.clear();
    saveNote_->clear();
    const ui::OnFailure failed = ui::stopWithCause(kSaveFailed);
    GuardedWrite write;
    const auto guardedSave = [&] {
        return ui::guard(this, failed,
                         {ui::when<WriteError>([&](const WriteError& e) {
                              // Nothing was written: the record keeps its previous values
                              // and can be corrected.
                              note_ = refusedNote(e, changed);
                              saveNote_->setText(note_.isEmpty() ? kWriteFailed : note_);
                              return ui::stopWith(kWriteFailed, ui::kProgramTitle, ui::Icon::None);
                          }),
                          ui::when<RecordMissing>([&](const RecordMissing&) {
                              saveNote_->setText(kPersonGone);
                              return ui::stopWith(kPersonGone, ui::kProgramTitle, ui::Icon::Exclamation);
                          }),
                          ui::when<std::exception>([&](const std::exception& e) {
                              saveNote_->setText(kSaveFailed + QLatin1Char(' ') + ui::causeOf(e));
                              return failed;
                          })},
                         [&] {
                             write = writePersonIfUnchanged(session_.db(), rowid, shownVersion_, changed,
                                                            authorOf(session_));
                         });
    };
    for (;;) {
        if (!guardedSave())
            return false;
        if (write.outcome == WriteOutcome::Saved)
            break;
        if (write.outcome == WriteOutcome::Deleted) {
            // On the embedded file nobody else writes: a person gone is said as it always was.
            const QString gone = shownVersion_ == kAnyVersion ? kPersonGone : kDeletedByOther;
            saveNote_->setText(gone);
            ui::inform(this, gone, ui::kProgramTitle, ui::Icon::Exclamation);
            return false;
        }
        const ui::Answer answer = askAboutChange();
        if (answer != ui::Answer::No)
            return false;
        shownVersion_ = write.version; // 覆盖: written over what the other operator saved
    }
    shownVersion_ = write.version;
    note_ = numberNotes(changed);
    saveNote_->setText(note_.isEmpty() ? kSaved : kSaved + QStringLiteral("；") + note_);
    form_->markUnchanged();
    model_->rowChanged(list_->position());
    action(QStringLiteral("tt2"))->setEnabled(false);
    form_->setCurrentIndex(EntryForm::BasicPage);
    return true;
}

void EntryWindow::deleteRecord() {
    const qint64 rowid = list_ ? list_->currentRowid() : -1;
    if (rowid < 0)
        return;
    QString number;
    if (!ui::guard(this, ui::silently(), [&] { number = list_->row(list_->position()).value(0).toString(); }))
        return;
    if (!ui::confirm(this, QStringLiteral("真的删除第") + number + QStringLiteral("号记录吗?")))
        return;
    GuardedWrite write;
    for (;;) {
        if (!ui::guard(this, ui::stopWithCause(kDeleteFailed), [&] {
                write = deletePersonIfUnchanged(session_.db(), rowid, shownVersion_, authorOf(session_));
            }))
            return;
        // A person another operator deleted is gone as asked.
        if (write.outcome != WriteOutcome::Changed)
            break;
        if (askAboutChange() != ui::Answer::No)
            return;
        shownVersion_ = write.version;
    }
    // The boxes keep showing the deleted person until the next move; the list and the count
    // follow at once, and no row is current, so a click on any row shows it.
    listChanging_ = true;
    model_->removeCurrent();
    grid_->selectionModel()->clearCurrentIndex();
    grid_->clearSelection();
    listChanging_ = false;
    showCount(countLabel_);
    action(QStringLiteral("tt3"))->setEnabled(false);
}

ui::Answer EntryWindow::askAboutChange() {
    const ui::Answer answer = ui::askThreeWays(this, kChangedByOther, {kReread, kOverwrite, kCancelSave});
    if (answer == ui::Answer::Yes) {
        showCurrent();
        form_->markUnchanged();
        action(QStringLiteral("tt2"))->setEnabled(false);
    }
    return answer;
}

// No row is current: the boxes keep what they show, and a click on any row shows it.
void EntryWindow::leaveNoRow() {
    listChanging_ = true;
    list_->leaveRow();
    grid_->selectionModel()->clearCurrentIndex();
    grid_->clearSelection();
    listChanging_ = false;
    action(QStringLiteral("tt3"))->setEnabled(false);
}

void EntryWindow::refreshList() {
    const qint64 shown = list_->currentRowid();
    const bool typed = shown >= 0 && !form_->changedEntries().empty();
    const int position = list_->position();
    const QString label = countLabel_;
    int at = -1;
    if (!ui::guard(this, ui::stopWithCause(kRefreshFailed), [&] {
            listChanging_ = true;
            list_->reload();
            model_->refresh();
            listChanging_ = false;
            if (shown >= 0)
                at = list_->indexOf(shown);
        })) {
        listChanging_ = false;
        return;
    }
    if (at >= 0 && typed) {
        // What was typed stays; a save compares with the version read when the person was shown.
        list_->setPosition(at);
        listChanging_ = true;
        grid_->setCurrentIndex(model_->index(at, 0));
        listChanging_ = false;
    } else if (at >= 0 || (!typed && !list_->isEmpty())) {
        moveTo(at >= 0 ? at : std::min(std::max(position, 0), list_->count() - 1));
    } else {
        leaveNoRow();
        if (typed)
            saveNote_->setText(kDeletedByOther);
    }
    showCount(label);
}

void EntryWindow::leave() {
    if (!mayLeavePerson())
        return;
    ui::writeLog(this, session_, QStringLiteral("退出信息录入"));
    close();
}

void EntryWindow::chooseCategory(int) {
    values_->clear();
    ui::guard(this, ui::silently(),
              [&] { values_->addItems(categories::Loadkmmx(session_.db(), categories_->currentText())); });
    values_->setCurrentIndex(-1);
    values_->setEditText(QString());
}

void EntryWindow::searchByCategory() {
    const QString value = values_->currentText().trimmed();
    if (value.isEmpty())
        return;
    // A value that does not suit the column is the operator's; a database that cannot answer is not.
    std::optional<Condition> condition;
    if (!ui::guard(this, ui::stopWithCause(kSearchFailed), [&] {
            const int column = categories::GetfieldiD(session_.db(), categories_->currentText());
            const int position = categories_->currentIndex();
            const int count = int(fields_.size());
            if (position >= 0 && position < count && column >= 0 && column < count)
                condition = categorySearch(fields_[std::size_t(position)].type,
                                           fields_[std::size_t(column)].name, value, session_.db().dialect());
        }))
        return;
    if (!condition) {
        ui::inform(this, kBadSearch);
        return;
    }
    // The found persons replace the list: the person shown is left.
    if (!mayLeavePerson())
        return;
    const bool found = ui::guard(this, ui::stopWithCause(kSearchFailed),
                                 [&] { setList(findPersons(session_.db(), *condition)); });
    if (!found)
        return;
    // The first person found is shown as a move shows it, with 保存 and 删除 enabled.
    if (!list_->isEmpty())
        moveTo(0);
    showCount(kFoundPersons);
}

void EntryWindow::saveAsTemplate() {
    ui::guard(this,
              ui::stopWithCause(QStringLiteral("模板没有保存。"), ui::kProgramTitle, ui::Icon::Exclamation),
              {ui::when<WriteError>(writeFailed())}, [&] { saveTemplate(session_.db(), form_->entries()); });
}

void EntryWindow::chooseInputColour() {
    const QColor chosen = ui::dialogs().colour(this, ui::colourFromWin(session_.state().inputColour),
                                               QStringLiteral("请选择输入框颜色"));
    const qint32 value = ui::winFromColour(chosen);
    if (!ui::guard(this, ui::silently(), [&] { store::writeInputColour(session_.db(), value); }))
        return;
    session_.state().inputColour = value;
    form_->setCurrentIndex(EntryForm::BasicPage);
    form_->control(QStringLiteral("Text1"))->setFocus();
}

bool EntryWindow::checkDateBox(QLineEdit* box) {
    const TypedDate date = checkTypedDate(box->text(), session_.now().date().year());
    if (!date.ok) {
        checkingDate_ = true;
        ui::inform(this, kBadDate);
        box->setFocus();
        checkingDate_ = false;
        return false;
    }
    if (date.text != box->text())
        box->setText(date.text);
    return true;
}

void EntryWindow::enterPressed(QWidget* box) {
    const QString name = box->objectName();
    const auto turnTo = [this](int page, const char* control) {
        form_->setCurrentIndex(page);
        form_->control(QString::fromLatin1(control))->setFocus(Qt::TabFocusReason);
    };
    if (name == QLatin1String("Text11"))
        turnTo(EntryForm::SecurityPage, "Text12");
    else if (name == QLatin1String("Text29"))
        turnTo(EntryForm::FamilyPage, "Combo16");
    else if (name == QLatin1String("Text22"))
        turnTo(EntryForm::RemarksPage, "Text26");
    else if (box == values_)
        searchByCategory();
    else
        focusAfter(box);
}

// As Tab would: the next control of the chain that can take the focus on the page shown.
void EntryWindow::focusAfter(QWidget* box) {
    const qsizetype at = tabChain_.indexOf(box);
    for (qsizetype i = 1; at >= 0 && i < tabChain_.size(); ++i) {
        QWidget* next = tabChain_.at((at + i) % tabChain_.size());
        if (next->isVisible() && next->isEnabled() && (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::TabFocusReason);
            for (QWidget* w = next->parentWidget(); w; w = w->parentWidget()) {
                if (auto* area = qobject_cast<QScrollArea*>(w)) {
                    area->ensureWidgetVisible(next);
                    break;
                }
            }
            return;
        }
    }
}

void EntryWindow::closeEvent(QCloseEvent* event) {
    if (!mayLeavePerson()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool EntryWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // A combo box's editor reports for the combo box.
    QWidget* box =
        widget && qobject_cast<QComboBox*>(widget->parentWidget()) ? widget->parentWidget() : widget;
    if (watched == values_) {
        // Armed while Combo2 has the focus (its pick list open counts); leaving disarms it before
        // the combo box's own focus-out handling can report the typed value as chosen.
        if (event->type() == QEvent::FocusIn)
            valueChoiceArmed_ = true;
        else if (event->type() == QEvent::FocusOut &&
                 static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            valueChoiceArmed_ = false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            enterPressed(box);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && !checkingDate_) {
        auto* date = qobject_cast<QLineEdit*>(watched);
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (date && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            dateBoxes_.contains(date)) {
            QMetaObject::invokeMethod(
                this,
                [this, d = QPointer<QLineEdit>(date)] {
                    if (d)
                        checkDateBox(d);
                },
                Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace records
