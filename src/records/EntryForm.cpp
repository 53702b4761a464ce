#include "records/EntryForm.h"

#include "ui/CharacterLimit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace records {

namespace {

struct Block {
    QString group; // empty: directly on the page
    std::vector<const PersonColumn*> columns;
};

// A page's controls in their place order, in runs of the same group.
std::vector<Block> pageBlocks(Page page) {
    std::vector<const PersonColumn*> columns;
    for (const PersonColumn& c : personColumns()) {
        if (c.page == page && c.kind != Kind::Photo)
            columns.push_back(&c);
    }
    std::sort(columns.begin(), columns.end(),
              [](const PersonColumn* a, const PersonColumn* b) { return a->place < b->place; });
    std::vector<Block> blocks;
    for (const PersonColumn* c : columns) {
        const QString group = QString::fromUtf8(c->group);
        if (blocks.empty() || blocks.back().group != group)
            blocks.push_back({group, {}});
        blocks.back().columns.push_back(c);
    }
    return blocks;
}

} // namespace

EntryForm::EntryForm(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("SSTab1"));
    // Pages scroll rather than push the window past a small screen.
    const auto scrolled = [this](QWidget* page) {
        auto* area = new QScrollArea(this);
        area->setWidget(page);
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        return area;
    };
    addTab(scrolled(buildPage(Page::Basic)), QStringLiteral("基本情况"));
    addTab(scrolled(buildPage(Page::Security)), QStringLiteral("社会保障情况"));
    addTab(scrolled(buildPage(Page::Family)), QStringLiteral("家庭情况"));
    addTab(buildPage(Page::Remarks), QStringLiteral("备注"));
}

QWidget* EntryForm::makeControl(const PersonColumn& column, QWidget* parent) {
    const QString name = column.controlName();
    QWidget* w = nullptr;
    switch (column.kind) {
    case Kind::YesNo: {
        auto* box = new QCheckBox(column.captionText(), parent);
        if (column.countsAsEdit)
            connect(box, &QCheckBox::clicked, this, &EntryForm::edited);
        w = box;
        break;
    }
    case Kind::Coded: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(6);
        if (column.countsAsEdit) {
            connect(combo, &QComboBox::activated, this, &EntryForm::edited);
            connect(combo, &QComboBox::editTextChanged, this, &EntryForm::edited);
        }
        w = combo;
        break;
    }
    case Kind::Memo: {
        auto* memo = new QPlainTextEdit(parent);
        if (column.countsAsEdit)
            connect(memo, &QPlainTextEdit::textChanged, this, &EntryForm::edited);
        w = memo;
        break;
    }
    default: {
        auto* edit = new QLineEdit(parent);
        if (column.limit > 0)
            ui::limitCharacters(*edit, column.limit);
        if (name == QLatin1String("Text5") || name == QLatin1String("Text10"))
            edit->setToolTip(QStringLiteral("按“YYYY-MM-DD”格式输入"));
        if (column.countsAsEdit)
            connect(edit, &QLineEdit::textChanged, this, &EntryForm::edited);
        w = edit;
    }
    }
    w->setObjectName(name);
    controls_.insert(name, w);
    return w;
}

QWidget* EntryForm::buildPage(Page page) {
    auto* widget = new QWidget(this);
    auto* layout = new QGridLayout(widget);

    int row = 0;
    for (const Block& block : pageBlocks(page)) {
        const bool grouped = !block.group.isEmpty();
        QWidget* host = widget;
        QGridLayout* grid = layout;
        int r = row;
        if (grouped) {
            auto* box = new QGroupBox(block.group, widget);
            grid = new QGridLayout(box);
            host = box;
            r = 0;
        }
        // Fields go two pairs of label and box to a row; runs of check boxes three to a row.
        int gridRow = r;
        int cell = 0;
        QHBoxLayout* checks = nullptr;
        int checksInRow = 0;
        for (const PersonColumn* c : block.columns) {
            const PersonColumn& column = *c;
            QWidget* control = makeControl(column, host);
            if (column.kind == Kind::YesNo) {
                if (cell % 2 != 0) {
                    ++gridRow;
                    cell = 0;
                }
                if (!checks || checksInRow == 3) {
                    checks = new QHBoxLayout;
                    grid->addLayout(checks, gridRow++, 0, 1, 4);
                    checksInRow = 0;
                }
                checks->addWidget(control, 1);
                ++checksInRow;
                continue;
            }
            if (checks) {
                for (; checksInRow < 3; ++checksInRow)
                    checks->addStretch(1);
                checks = nullptr;
            }
            if (column.kind == Kind::Memo) {
                grid->addWidget(control, gridRow++, 0, 1, 4);
                continue;
            }
            auto* label = new QLabel(column.captionText(), host);
            label->setBuddy(control);
            grid->addWidget(label, gridRow, (cell % 2) * 2);
            grid->addWidget(control, gridRow, (cell % 2) * 2 + 1);
            if (++cell % 2 == 0)
                ++gridRow;
        }
        if (checks) {
            for (; checksInRow < 3; ++checksInRow)
                checks->addStretch(1);
        }
        if (cell % 2 != 0)
            ++gridRow;
        if (grouped) {
            layout->addWidget(host, row, 0, 1, 4);
            ++row;
        } else {
            row = gridRow;
        }
    }
    if (page == Page::Basic) {
        photo_ = new QLabel(widget);
        photo_->setObjectName(QStringLiteral("Image1"));
        photo_->setFixedSize(120, 150);
        photo_->setFrameShape(QFrame::Box);
        photo_->setAlignment(Qt::AlignCenter);
        layout->addWidget(photo_, 0, 4, 6, 1, Qt::AlignTop);
        auto* useTemplate = new QCheckBox(QStringLiteral("新增时取模板"), widget);
        useTemplate->setObjectName(QStringLiteral("Check20"));
        auto* saveTemplate = new QPushButton(QStringLiteral("存为模板"), widget);
        saveTemplate->setObjectName(QStringLiteral("Command1"));
        auto* colour = new QPushButton(QStringLiteral("输入框色"), widget);
        colour->setObjectName(QStringLiteral("Command2"));
        auto* progress = new QLabel(widget);
        progress->setObjectName(QStringLiteral("Label49"));
        progress->hide();
        for (QWidget* w : std::initializer_list<QWidget*>{useTemplate, saveTemplate, colour, progress})
            controls_.insert(w->objectName(), w);
        layout->addWidget(useTemplate, 6, 4);
        layout->addWidget(saveTemplate, 7, 4);
        layout->addWidget(colour, 8, 4);
        layout->addWidget(progress, 9, 4);
    }
    layout->setRowStretch(row, 1);
    return widget;
}

QWidget* EntryForm::controlFor(int ordinal) const {
    return control(personColumn(ordinal).controlName());
}

Entries EntryForm::entries() const {
    Entries out;
    for (const PersonColumn& c : personColumns()) {
        QWidget* w = control(c.controlName());
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            out[c.ordinal] = {edit->text(), false};
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            out[c.ordinal] = {combo->currentText(), false};
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
            out[c.ordinal] = {memo->toPlainText(), false};
        else if (auto* check = qobject_cast<QCheckBox*>(w))
            out[c.ordinal] = {QString(), check->isChecked()};
    }
    return out;
}

void EntryForm::clearChecks() {
    for (const PersonColumn& c : personColumns()) {
        if (auto* check = qobject_cast<QCheckBox*>(control(c.controlName())))
            check->setChecked(false);
    }
}

void EntryForm::showRow(const QVariantList& row) {
    clearChecks();
    Entries shown;
    for (const PersonColumn& c : personColumns()) {
        if (c.ordinal < row.size() && c.kind != Kind::Photo)
            shown[c.ordinal] = shownValue(c, row.at(c.ordinal));
    }
    setEntries(shown);
    markUnchanged();
}

void EntryForm::markUnchanged() {
    shown_ = entries();
}

Entries EntryForm::changedEntries() const {
    Entries now = entries();
    if (shown_.empty())
        return now;
    std::erase_if(now, [this](const auto& item) {
        const auto was = shown_.find(item.first);
        return was != shown_.end() && was->second.text == item.second.text &&
               was->second.checked == item.second.checked;
    });
    return now;
}

void EntryForm::setEntries(const Entries& entries) {
    for (const auto& [ordinal, value] : entries) {
        QWidget* w = controlFor(ordinal);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            // A longer stored text (from another program) is shown whole, never cut to the box.
            const int limit = personColumn(ordinal).limit;
            if (limit > 0)
                ui::limitCharacters(*edit, std::max(limit, int(ui::characterCount(value.text))));
            edit->setText(value.text);
        } else if (auto* combo = qobject_cast<QComboBox*>(w))
            combo->setEditText(value.text);
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
            memo->setPlainText(value.text);
        else if (auto* check = qobject_cast<QCheckBox*>(w))
            check->setChecked(value.checked);
    }
}

void EntryForm::setPhoto(const QByteArray& imageBytes) {
    QImage image;
    if (imageBytes.isEmpty() || !image.loadFromData(imageBytes)) {
        photo_->clear();
        return;
    }
    photo_->setPixmap(
        QPixmap::fromImage(image).scaled(photo_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void EntryForm::scrollToTop() {
    for (QScrollArea* area : findChildren<QScrollArea*>()) {
        area->verticalScrollBar()->setValue(0);
        area->horizontalScrollBar()->setValue(0);
    }
}

void EntryForm::setPickList(int ordinal, const QStringList& values) {
    auto* combo = qobject_cast<QComboBox*>(controlFor(ordinal));
    if (!combo)
        return;
    const QString text = combo->currentText();
    combo->clear();
    combo->addItems(values);
    combo->setEditText(text);
}

QList<QWidget*> EntryForm::tabOrder(const std::map<int, QWidget*>& others) const {
    std::map<int, QWidget*> byPlace = others;
    for (const PersonColumn& c : personColumns()) {
        if (c.tab > 0)
            byPlace[c.tab] = control(c.controlName());
    }
    byPlace[kTabUseTemplate] = control(QStringLiteral("Check20"));
    byPlace[kTabSaveTemplate] = control(QStringLiteral("Command1"));
    byPlace[kTabInputColour] = control(QStringLiteral("Command2"));
    QList<QWidget*> order;
    for (const auto& [place, widget] : byPlace)
        order << widget;
    return order;
}

} // namespace records
