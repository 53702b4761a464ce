#include "records/EntryForm.h"

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
#include <QVBoxLayout>

namespace records {

namespace {

// Captions shown beside (or on) each control.
const QHash<QString, QString>& captions() {
    static const QHash<QString, QString> map = {
        {QStringLiteral("Text1"), QStringLiteral("个人编号")},
        {QStringLiteral("Text2"), QStringLiteral("档案编号")},
        {QStringLiteral("Combo3"), QStringLiteral("自管小组")},
        {QStringLiteral("Text3"), QStringLiteral("NO：")},
        {QStringLiteral("Text4"), QStringLiteral("姓    名")},
        {QStringLiteral("Combo4"), QStringLiteral("性    别")},
        {QStringLiteral("Combo5"), QStringLiteral("民    族")},
        {QStringLiteral("Text5"), QStringLiteral("出生年月")},
        {QStringLiteral("Text6"), QStringLiteral("身份证号码")},
        {QStringLiteral("Text10"), QStringLiteral("工作时间")},
        {QStringLiteral("Combo6"), QStringLiteral("政治面貌")},
        {QStringLiteral("Combo7"), QStringLiteral("健康状况")},
        {QStringLiteral("Text7"), QStringLiteral("原工作单位")},
        {QStringLiteral("Combo8"), QStringLiteral("原任职务")},
        {QStringLiteral("Text8"), QStringLiteral("退休年月")},
        {QStringLiteral("Combo9"), QStringLiteral("档案存放地点")},
        {QStringLiteral("Combo10"), QStringLiteral("文化程度")},
        {QStringLiteral("Combo18"), QStringLiteral("单位性质")},
        {QStringLiteral("Text9"), QStringLiteral("特长技能")},
        {QStringLiteral("Text11"), QStringLiteral("兴趣及爱好")},
        {QStringLiteral("Check1"), QStringLiteral("从事专业技术服务")},
        {QStringLiteral("Check2"), QStringLiteral("创 办 经 济 实体")},
        {QStringLiteral("Check3"), QStringLiteral("从事社会公益活动")},
        {QStringLiteral("Check4"), QStringLiteral("建国前参加工作")},
        {QStringLiteral("Check5"), QStringLiteral("七十以上高龄")},
        {QStringLiteral("Check6"), QStringLiteral("孤 寡 老 人")},
        {QStringLiteral("Check7"), QStringLiteral("劳         模")},
        {QStringLiteral("Check8"), QStringLiteral("特         困")},
        {QStringLiteral("Check9"), QStringLiteral("重         病")},
        {QStringLiteral("Check22"), QStringLiteral("归         侨")},
        {QStringLiteral("Check21"), QStringLiteral("是否有指纹存档")},
        {QStringLiteral("Text12"), QStringLiteral("基本养老金")},
        {QStringLiteral("Text13"), QStringLiteral("医疗保险号码")},
        {QStringLiteral("Combo11"), QStringLiteral("工伤 等 级")},
        {QStringLiteral("Check10"), QStringLiteral("是否享受低保")},
        {QStringLiteral("Combo12"), QStringLiteral("社会保险关系所在地")},
        {QStringLiteral("Check11"), QStringLiteral("养老")},
        {QStringLiteral("Check12"), QStringLiteral("医疗")},
        {QStringLiteral("Check13"), QStringLiteral("工伤")},
        {QStringLiteral("Combo14"), QStringLiteral("退休情况")},
        {QStringLiteral("Combo15"), QStringLiteral("特殊情况")},
        {QStringLiteral("Combo19"), QStringLiteral("社区名称")},
        {QStringLiteral("Text29"), QStringLiteral("档案份数")},
        {QStringLiteral("Check14"), QStringLiteral("本地人员")},
        {QStringLiteral("Check15"), QStringLiteral("异地人员")},
        {QStringLiteral("Check16"), QStringLiteral("出国定居")},
        {QStringLiteral("Combo16"), QStringLiteral("户口所在地")},
        {QStringLiteral("Text15"), QStringLiteral("电 话")},
        {QStringLiteral("Text16"), QStringLiteral("现居住地")},
        {QStringLiteral("Text17"), QStringLiteral("电 话")},
        {QStringLiteral("Text14"), QStringLiteral("姓    名")},
        {QStringLiteral("Text23"), QStringLiteral("出  生  年   月")},
        {QStringLiteral("Text24"), QStringLiteral("联系电话")},
        {QStringLiteral("Text25"), QStringLiteral("原（现工作单位）")},
        {QStringLiteral("Combo13"), QStringLiteral("健康状况")},
        {QStringLiteral("Check17"), QStringLiteral("在职")},
        {QStringLiteral("Check18"), QStringLiteral("无职业")},
        {QStringLiteral("Check19"), QStringLiteral("离退休")},
        {QStringLiteral("Text18"), QStringLiteral("姓   名")},
        {QStringLiteral("Combo17"), QStringLiteral("关系")},
        {QStringLiteral("Text20"), QStringLiteral("联系电话")},
        {QStringLiteral("Text21"), QStringLiteral("工   作   单    位")},
        {QStringLiteral("Text22"), QStringLiteral("详细地址及邮政编码")},
    };
    return map;
}

struct Block {
    const char* group; // nullptr: directly on the page
    std::vector<const char*> controls;
};

// Each page's controls in tab order, in the blocks they are grouped in.
const std::vector<Block>& pageBlocks(EntryForm::PageIndex page) {
    static const std::vector<Block> basic = {
        {nullptr,
         {"Text1",  "Text2", "Combo3", "Text3", "Text4",  "Combo4",  "Combo5",  "Text5", "Text6",  "Combo6",
          "Combo7", "Text7", "Combo8", "Text8", "Combo9", "Combo10", "Combo18", "Text9", "Text11", "Text10"}},
        {"发挥作用情况", {"Check1", "Check2", "Check3"}},
        {"特殊人员情况", {"Check4", "Check5", "Check6", "Check7", "Check8", "Check9", "Check22", "Check21"}}};
    static const std::vector<Block> security = {
        {nullptr, {"Text12", "Text13", "Combo11", "Combo12", "Check10"}},
        {"附加资料", {"Combo14", "Combo15", "Combo19", "Text29"}},
        {"参保情况", {"Check11", "Check12", "Check13"}}};
    static const std::vector<Block> family = {
        {"居住情况", {"Check14", "Check15", "Check16", "Combo16", "Text15", "Text16", "Text17"}},
        {"配偶情况", {"Text14", "Text23", "Text24", "Text25", "Combo13", "Check17", "Check18", "Check19"}},
        {"家庭其他联系人", {"Text18", "Combo17", "Text20", "Text21", "Text22"}}};
    static const std::vector<Block> remarks = {{nullptr, {"Text26"}}};
    switch (page) {
    case EntryForm::BasicPage:
        return basic;
    case EntryForm::SecurityPage:
        return security;
    case EntryForm::FamilyPage:
        return family;
    case EntryForm::RemarksPage:
        break;
    }
    return remarks;
}

// The focus order operators know: page by page, then the controls off the main path.
const char* const kTabOrder[] = {
    "Text1",   "Text2",   "Combo3",  "Text3",   "Text4",   "Combo4",  "Combo5",  "Text5",   "Text6",
    "Combo6",  "Combo7",  "Text7",   "Combo8",  "Text8",   "Combo9",  "Combo10", "Combo18", "Text9",
    "Text11",  "Check1",  "Check2",  "Check3",  "Check4",  "Check5",  "Check6",  "Check7",  "Check8",
    "Check9",  "Text12",  "Text13",  "Combo11", "Combo12", "Combo14", "Combo15", "Combo19", "Text29",
    "Check10", "Check11", "Check12", "Check13", "Check14", "Check15", "Check16", "Combo16", "Text15",
    "Text16",  "Text17",  "Text14",  "Text23",  "Text24",  "Text25",  "Combo13", "Text18",  "Combo17",
    "Text20",  "Text21",  "Text22"};

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
    addTab(scrolled(buildPage(BasicPage)), QStringLiteral("基本情况"));
    addTab(scrolled(buildPage(SecurityPage)), QStringLiteral("社会保障情况"));
    addTab(scrolled(buildPage(FamilyPage)), QStringLiteral("家庭情况"));
    addTab(buildPage(RemarksPage), QStringLiteral("备注"));
}

QWidget* EntryForm::makeControl(const PersonColumn& column, QWidget* parent) {
    const QString name = column.controlName();
    QWidget* w = nullptr;
    switch (column.kind) {
    case Kind::YesNo: {
        auto* box = new QCheckBox(captions().value(name), parent);
        const int n = name.mid(5).toInt();
        if (n <= 15 || (n >= 17 && n <= 19))
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
        connect(combo, &QComboBox::activated, this, &EntryForm::edited);
        connect(combo, &QComboBox::editTextChanged, this, &EntryForm::edited);
        w = combo;
        break;
    }
    case Kind::Memo: {
        auto* memo = new QPlainTextEdit(parent);
        connect(memo, &QPlainTextEdit::textChanged, this, &EntryForm::edited);
        w = memo;
        break;
    }
    default: {
        auto* edit = new QLineEdit(parent);
        if (column.limit > 0)
            edit->setMaxLength(column.limit);
        if (name == QLatin1String("Text5") || name == QLatin1String("Text10"))
            edit->setToolTip(QStringLiteral("按“YYYY-MM-DD”格式输入"));
        // 工作时间 does not count as an edit.
        if (name != QLatin1String("Text10"))
            connect(edit, &QLineEdit::textChanged, this, &EntryForm::edited);
        w = edit;
    }
    }
    w->setObjectName(name);
    controls_.insert(name, w);
    return w;
}

QWidget* EntryForm::buildPage(PageIndex page) {
    auto* widget = new QWidget(this);
    auto* layout = new QGridLayout(widget);
    std::map<QString, const PersonColumn*> byControl;
    for (const PersonColumn& c : personColumns())
        byControl[c.controlName()] = &c;

    int row = 0;
    for (const Block& block : pageBlocks(page)) {
        QWidget* host = widget;
        QGridLayout* grid = layout;
        int r = row;
        if (block.group) {
            auto* box = new QGroupBox(QString::fromUtf8(block.group), widget);
            grid = new QGridLayout(box);
            host = box;
            r = 0;
        }
        // Fields go two pairs of label and box to a row; runs of check boxes three to a row.
        int gridRow = r;
        int cell = 0;
        QHBoxLayout* checks = nullptr;
        int checksInRow = 0;
        for (const char* name : block.controls) {
            const PersonColumn& column = *byControl.at(QString::fromLatin1(name));
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
            auto* label = new QLabel(captions().value(column.controlName()), host);
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
        if (block.group) {
            layout->addWidget(host, row, 0, 1, 4);
            ++row;
        } else {
            row = gridRow;
        }
    }
    if (page == BasicPage) {
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
}

void EntryForm::setEntries(const Entries& entries) {
    for (const auto& [ordinal, value] : entries) {
        QWidget* w = controlFor(ordinal);
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            edit->setText(value.text);
        else if (auto* combo = qobject_cast<QComboBox*>(w))
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

void EntryForm::setPickList(int ordinal, const QStringList& values) {
    auto* combo = qobject_cast<QComboBox*>(controlFor(ordinal));
    if (!combo)
        return;
    const QString text = combo->currentText();
    combo->clear();
    combo->addItems(values);
    combo->setEditText(text);
}

QList<QWidget*> EntryForm::tabOrder() const {
    QList<QWidget*> order;
    for (const char* name : kTabOrder)
        order << control(QString::fromLatin1(name));
    return order;
}

} // namespace records
