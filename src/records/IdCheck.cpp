#include "records/IdCheck.h"

#include "records/DataCheck.h"
#include "records/EntryForm.h"
#include "records/EntryRules.h"
#include "store/JetValues.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace records {

namespace {

const QColor kWrong(200, 0, 0);

QString yearMonth(const QDate& d) {
    return d.toString(QStringLiteral("yyyy-MM"));
}

} // namespace

IdCheck::IdCheck(store::Session& session, EntryForm& form, QWidget* parent)
    : QWidget(parent), session_(session), form_(form),
      box_(qobject_cast<QLineEdit*>(form.control(QStringLiteral("Text6")))),
      birthBox_(qobject_cast<QLineEdit*>(form.control(QStringLiteral("Text5")))),
      sexBox_(qobject_cast<QComboBox*>(form.control(QStringLiteral("Combo4")))) {
    setObjectName(QStringLiteral("IdCheck"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("IdStatus"));
    status_->setWordWrap(true);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2 + 4); // room for two notes
    convert_ = new QPushButton(QStringLiteral("转换为18位"), this);
    convert_->setObjectName(QStringLiteral("IdConvert"));
    take_ = new QPushButton(QStringLiteral("按身份证号码更正"), this);
    take_->setObjectName(QStringLiteral("IdTakeValues"));
    for (QPushButton* b : {convert_, take_}) {
        b->setFocusPolicy(Qt::NoFocus); // the click leaves the focus where the operator is
        b->hide();
    }
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->addWidget(status_, 1);
    row->addWidget(convert_);
    row->addWidget(take_);
    connect(convert_, &QPushButton::clicked, this, &IdCheck::convertToEighteen);
    connect(take_, &QPushButton::clicked, this, &IdCheck::takeIdValues);
    // What was said about a number no longer holds once it changes.
    connect(box_, &QLineEdit::textEdited, this, &IdCheck::reset);
    box_->installEventFilter(this);
}

QDate IdCheck::today() const {
    return session_.now().date();
}

QString IdCheck::statusText() const {
    return status_->text();
}

bool IdCheck::isMarked() const {
    return box_->property("idWrong").toBool();
}

void IdCheck::mark(bool wrong, const QString& why) {
    box_->setProperty("idWrong", wrong);
    QPalette p = box_->palette();
    p.setColor(QPalette::Text, wrong ? kWrong : QApplication::palette(box_).color(QPalette::Text));
    box_->setPalette(p);
    box_->setToolTip(why);
}

void IdCheck::reset() {
    mark(false, QString());
    status_->clear();
    convert_->hide();
    take_->hide();
    shown_ = IdNumber();
}

void IdCheck::checkBox() {
    const IdNumber id = IdNumber::check(box_->text(), today());
    reset();
    if (id.isEmpty())
        return;
    if (!id.isValid()) {
        mark(true, id.reason());
        status_->setText(id.reason());
        return;
    }
    if (box_->text() != id.text)
        box_->setText(id.text); // half-width digits, no blanks, X in capitals
    shown_ = id;
    QStringList notes;
    QStringList filled;
    if (birthBox_->text().trimmed().isEmpty()) {
        birthBox_->setText(yearMonth(id.birth));
        filled << QStringLiteral("出生年月");
    }
    if (sexBox_->currentText().trimmed().isEmpty()) {
        sexBox_->setEditText(id.sex());
        filled << QStringLiteral("性别");
    }
    if (!filled.isEmpty())
        notes << QStringLiteral("已按身份证号码填入") + filled.join(QStringLiteral("和"));

    // A date typed as yyyymm is the 1st of its month: year and month are what can be compared.
    const QString typedBirth = birthBox_->text().trimmed();
    const TypedDate rewritten = checkTypedDate(typedBirth, today().year());
    const std::optional<QDate> birth = store::parseDate(rewritten.ok ? rewritten.text : typedBirth);
    QStringList contradictions;
    if (!birth || birth->year() != id.birth.year() || birth->month() != id.birth.month())
        contradictions << QStringLiteral("出生年月 %1").arg(typedBirth);
    const QString sex = sexBox_->currentText().trimmed();
    if (sex != id.sex())
        contradictions << QStringLiteral("性别 %1").arg(sex);
    if (!contradictions.isEmpty()) {
        notes << contradictions.join(QStringLiteral("、")) +
                     QStringLiteral(" 与身份证号码不符（应为 %1、%2）").arg(yearMonth(id.birth), id.sex());
        take_->show();
    }
    if (id.isOldForm()) {
        notes << QStringLiteral("15位身份证号码，可转换为18位：%1").arg(id.number18);
        convert_->show();
    }
    status_->setText(notes.join(QStringLiteral("；")));
}

void IdCheck::takeIdValues() {
    if (!shown_.isValid())
        return;
    birthBox_->setText(yearMonth(shown_.birth));
    sexBox_->setEditText(shown_.sex());
    take_->hide();
    status_->setText(convert_->isVisible()
                         ? QStringLiteral("15位身份证号码，可转换为18位：%1").arg(shown_.number18)
                         : QString());
}

void IdCheck::convertToEighteen() {
    if (!shown_.isOldForm())
        return;
    box_->setText(shown_.number18);
    checkBox();
}

bool IdCheck::confirmSave(qint64 rowid) {
    std::optional<PersonRef> same;
    // The question is a help: a lookup that fails never stands in the way of saving.
    ui::guard(this, ui::silently(),
              [&] { same = personWithSameId(session_.db(), box_->text(), rowid, today()); });
    if (!same)
        return true;
    if (ui::confirm(
            this,
            QStringLiteral("身份证号码与 个人编号 %1 %2 相同，仍要保存吗？").arg(same->number, same->name)))
        return true;
    form_.setCurrentIndex(EntryForm::BasicPage);
    box_->setFocus();
    box_->selectAll();
    return false;
}

bool IdCheck::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_ && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching windows or opening a pick list is not leaving the box.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            QMetaObject::invokeMethod(
                this,
                [self = QPointer<IdCheck>(this)] {
                    if (self)
                        self->checkBox();
                },
                Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace records
