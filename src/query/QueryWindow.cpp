#include "query/QueryWindow.h"

#include "categories/CategoryTable.h"
#include "query/QueryBuilder.h"
#include "query/SavedCondition.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace query {

QueryWindow::QueryWindow(store::Session& session, std::function<void()> openResults, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), openResults_(std::move(openResults)) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("综合查询"));
    ui::writeLog(this, session_, QStringLiteral("进入查询系统"));

    auto* builder = new QGroupBox(QStringLiteral("查询条件设置"), this);
    categories_ = new QComboBox(builder);
    categories_->setObjectName(QStringLiteral("Combo1"));
    relations_ = new QComboBox(builder);
    relations_->setObjectName(QStringLiteral("Combo2"));
    values_ = new QComboBox(builder);
    values_->setObjectName(QStringLiteral("Combo3"));
    values_->setEditable(true);
    values_->setInsertPolicy(QComboBox::NoInsert);
    readable_ = new QPlainTextEdit(builder);
    readable_->setObjectName(QStringLiteral("Text1"));
    readable_->setReadOnly(true);

    const auto button = [this](QWidget* host, const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, host);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    add_ = button(builder, "Command6", QStringLiteral("添加条件"));
    QPushButton* andButton = button(builder, "Command3", QStringLiteral("AND"));
    QPushButton* orButton = button(builder, "Command4", QStringLiteral("OR"));
    QPushButton* open = button(builder, "Command5", QStringLiteral("（"));
    QPushButton* close = button(builder, "Command8", QStringLiteral("）"));

    auto* grid = new QGridLayout(builder);
    grid->addWidget(new QLabel(QStringLiteral("类别"), builder), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("关系"), builder), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("值"), builder), 0, 2);
    grid->addWidget(categories_, 1, 0);
    grid->addWidget(relations_, 1, 1);
    grid->addWidget(values_, 1, 2);
    auto* connectives = new QHBoxLayout;
    for (QPushButton* b : {add_, andButton, orButton, open, close})
        connectives->addWidget(b);
    grid->addLayout(connectives, 2, 0, 1, 3);
    grid->addWidget(readable_, 3, 0, 1, 3);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(2, 2);

    auto* commands = new QGroupBox(this);
    QPushButton* start = button(commands, "Command1", QStringLiteral("开始查询"));
    QPushButton* clear = button(commands, "Command2", QStringLiteral("清空条件"));
    QPushButton* save = button(commands, "Command9", QStringLiteral("保存条件"));
    QPushButton* load = button(commands, "Command10", QStringLiteral("取回条件"));
    QPushButton* leaveButton = button(commands, "Command7", QStringLiteral("返回"));
    auto* column = new QVBoxLayout(commands);
    for (QPushButton* b : {start, clear, save, load, leaveButton})
        column->addWidget(b);
    column->addStretch();

    statusPanel_ = new QWidget(this);
    statusPanel_->setObjectName(QStringLiteral("Picture1"));
    status_ = new QLabel(statusPanel_);
    status_->setObjectName(QStringLiteral("Label3"));
    (new QHBoxLayout(statusPanel_))->addWidget(status_);

    auto* main = new QGridLayout(this);
    main->addWidget(builder, 0, 0);
    main->addWidget(commands, 0, 1);
    main->addWidget(statusPanel_, 1, 0, 1, 2);

    connect(categories_, &QComboBox::activated, this, &QueryWindow::chooseCategory);
    connect(add_, &QPushButton::clicked, this, &QueryWindow::addCondition);
    connect(andButton, &QPushButton::clicked, this, [this] { addConnective(int(Connective::And)); });
    connect(orButton, &QPushButton::clicked, this, [this] { addConnective(int(Connective::Or)); });
    connect(open, &QPushButton::clicked, this, [this] { addConnective(int(Connective::Open)); });
    connect(close, &QPushButton::clicked, this, [this] { addConnective(int(Connective::Close)); });
    connect(start, &QPushButton::clicked, this, &QueryWindow::startQuery);
    connect(clear, &QPushButton::clicked, this, &QueryWindow::clearCondition);
    connect(save, &QPushButton::clicked, this, &QueryWindow::saveCondition);
    connect(load, &QPushButton::clicked, this, &QueryWindow::loadCondition);
    connect(leaveButton, &QPushButton::clicked, this, &QueryWindow::leave);

    categories_->addItems(categories::loadKM(session_.db()));
    categories_->setCurrentIndex(-1);
    fields_ = store::tableColumns(session_.db(), store::schema::kPersons);
    fields_.pop_back(); // every column but the photo

    add_->setEnabled(false);
    session_.pendingExpression().clear();
    statusPanel_->hide();

    ui::placeCentred(*this, {640, 420});
}

QString QueryWindow::readableText() const {
    return readable_->toPlainText();
}

// The box keeps line breaks as "\n"; the file writes them as CR LF.
void QueryWindow::appendReadable(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    readable_->setPlainText(readable_->toPlainText() + text);
}

// The persons column at a position of the category list: by the category table's invariant,
// the position is the column number.
const store::TableColumn* QueryWindow::field(int position) const {
    return position >= 0 && position < int(fields_.size()) ? &fields_[std::size_t(position)] : nullptr;
}

void QueryWindow::chooseCategory(int position) {
    if (categories_->currentIndex() != position)
        categories_->setCurrentIndex(position);
    add_->setEnabled(true);
    values_->clear();
    ui::guard(this, ui::silently(),
              [&] { values_->addItems(categories::Loadkmmx(session_.db(), categories_->currentText())); });
    values_->setEditText(QString());
    relations_->clear();
    const store::JetType type = field(position) ? field(position)->type : store::JetType::Other;
    relations_->addItems(relationsFor(type));
    relations_->setCurrentIndex(preselectsRelation(type) ? 0 : -1);
}

void QueryWindow::addCondition() {
    add_->setEnabled(false);
    const int position = categories_->currentIndex();
    if (const store::TableColumn* column = field(position)) {
        const std::optional<Appended> step =
            conditionText(column->type, categories_->currentText(), relations_->currentText(),
                          values_->currentText(), column->name);
        if (step) {
            appendReadable(step->readable);
            session_.pendingExpression() += step->expression;
        }
    }
    categories_->setCurrentIndex(-1);
    values_->setEditText(QString());
}

void QueryWindow::addConnective(int connective) {
    const Appended step = connectiveText(Connective(connective));
    appendReadable(step.readable);
    session_.pendingExpression() += step.expression;
}

void QueryWindow::clearCondition() {
    readable_->clear();
    session_.pendingExpression().clear();
}

void QueryWindow::saveCondition() {
    if (!query::saveCondition(session_.filePath(kConditionFile), readable_->toPlainText(),
                              session_.pendingExpression()))
        ui::inform(this,
                   QStringLiteral("条件没有保存：无法写入文件“%1”。").arg(session_.filePath(kConditionFile)),
                   ui::kProgramTitle, ui::Icon::Exclamation);
}

void QueryWindow::loadCondition() {
    const QString path = session_.filePath(kConditionFile);
    if (const QString refusal = conditionFileRefusal(path); !refusal.isEmpty()) {
        ui::inform(this, refusal, ui::kProgramTitle, ui::Icon::Exclamation);
        return;
    }
    const std::optional<SavedCondition> saved = query::loadCondition(path);
    if (!saved) {
        ui::inform(this, QStringLiteral("还没有保存条件！"));
        return;
    }
    if (saved->hasExpression)
        session_.pendingExpression() = saved->expression;
    readable_->clear();
    appendReadable(saved->readable);
}

void QueryWindow::startQuery() {
    if (readable_->toPlainText().trimmed().isEmpty()) {
        ui::inform(this, QStringLiteral("请选择条件！"));
    } else {
        statusPanel_->show();
        status_->setText(QStringLiteral("正在查找..."));
        // Painted before the results window's query starts.
        QTimer::singleShot(0, this, [this] { openResults_(); });
    }
    readable_->clear();
    categories_->setCurrentIndex(-1);
    relations_->setCurrentIndex(-1);
    values_->setEditText(QString());
}

void QueryWindow::leave() {
    ui::writeLog(this, session_, QStringLiteral("退出查询系统"));
    close();
}

} // namespace query
