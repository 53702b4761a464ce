#include "query/QueryWindow.h"

#include "categories/CategoryTable.h"
#include "query/QueryBuilder.h"
#include "query/SavedCondition.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Window.h"
#include "ui_QueryWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace query {

QueryWindow::QueryWindow(store::Session& session, std::function<void()> openResults, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session),
      // The results window opens here: one that cannot open says why, and this window stays.
      openResults_([this, open = std::move(openResults)] {
          ui::guard(this, ui::stopWithCause(QStringLiteral("查询没有完成。")), open,
                    QStringLiteral("开始查询"));
      }),
      ui_(std::make_unique<Ui::QueryWindow>()) {
    ui_->setupUi(this);
    ui::writeLog(this, session_, QStringLiteral("进入查询系统"));
    categories_ = ui_->Combo1;
    relations_ = ui_->Combo2;
    values_ = ui_->Combo3;
    readable_ = ui_->Text1;
    add_ = ui_->Command6;
    statusPanel_ = ui_->Picture1;
    status_ = ui_->Label3;

    connect(categories_, &QComboBox::activated, this, &QueryWindow::chooseCategory);
    connect(add_, &QPushButton::clicked, this, &QueryWindow::addCondition);
    connect(ui_->Command3, &QPushButton::clicked, this, [this] { addConnective(int(Connective::And)); });
    connect(ui_->Command4, &QPushButton::clicked, this, [this] { addConnective(int(Connective::Or)); });
    connect(ui_->Command5, &QPushButton::clicked, this, [this] { addConnective(int(Connective::Open)); });
    connect(ui_->Command8, &QPushButton::clicked, this, [this] { addConnective(int(Connective::Close)); });
    connect(ui_->Command1, &QPushButton::clicked, this, &QueryWindow::startQuery);
    connect(ui_->Command2, &QPushButton::clicked, this, &QueryWindow::clearCondition);
    connect(ui_->Command9, &QPushButton::clicked, this, &QueryWindow::saveCondition);
    connect(ui_->Command10, &QPushButton::clicked, this, &QueryWindow::loadCondition);
    connect(ui_->Command7, &QPushButton::clicked, this, &QueryWindow::leave);

    categories_->addItems(categories::loadKM(session_.db()));
    categories_->setCurrentIndex(-1);
    fields_ = store::tableColumns(session_.db(), store::schema::kPersons);
    fields_.pop_back(); // every column but the photo

    add_->setEnabled(false);
    session_.pendingExpression().clear();
    statusPanel_->hide();

    ui::placeCentred(*this, {640, 420});
}

QueryWindow::~QueryWindow() = default;

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
