#include "ui/Dialogs.h"

#include "ui/JobRunner.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

namespace {

Dialogs* installed = nullptr;

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString qtFilter(const QString& classic) {
    const QStringList parts = classic.split(QLatin1Char('|'));
    if (parts.size() < 2)
        return classic;
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            for (const QString& variant : {p, p.toLower(), p.toUpper()}) {
                if (!patterns.contains(variant))
                    patterns << variant;
            }
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

Dialogs& dialogs() {
    static QtDialogs real;
    return installed ? *installed : real;
}

void installDialogs(Dialogs* d) {
    installed = d;
}

void inform(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    Q_ASSERT(onWindowThread());
    dialogs().message(parent, text, title, icon);
}

bool ask(QWidget* parent, const QString& text, const QString& title) {
    return dialogs().question(parent, text, title, Default::Yes);
}

bool confirm(QWidget* parent, const QString& text, const QString& title) {
    return dialogs().question(parent, text, title, Default::No);
}

Answer askOrCancel(QWidget* parent, const QString& text, const QString& title) {
    return dialogs().questionWithCancel(parent, text, title, Default::Yes);
}

Answer askThreeWays(QWidget* parent, const QString& text, const QStringList& buttons, const QString& title) {
    return dialogs().questionWithButtons(parent, text, title, buttons);
}

void QtDialogs::message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::question(QWidget* parent, const QString& text, const QString& title, Default button) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(button == Default::No ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::openFile(QWidget* parent, const QString& title, const QString& folder,
                            const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, folder, qtFilter(filter));
}

QString QtDialogs::saveFile(QWidget* parent, const QString& title, const QString& folder,
                            const QString& filter, const QString& defaultSuffix) {
    if (defaultSuffix.isEmpty())
        return QFileDialog::getSaveFileName(parent, title, folder, qtFilter(filter));
    QFileDialog dialog(parent, title, folder, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QColor QtDialogs::colour(QWidget* parent, const QColor& initial, const QString& title) {
    const QColor chosen = QColorDialog::getColor(initial, parent, title);
    return chosen.isValid() ? chosen : initial;
}

int QtDialogs::choose(QWidget* parent, const QString& title, const QString& label, const QStringList& items) {
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent, title, label, items, 0, false, &ok);
    return ok ? int(items.indexOf(chosen)) : -1;
}

Answer QtDialogs::questionWithCancel(QWidget* parent, const QString& text, const QString& title,
                                     Default button) {
    QMessageBox box(QMessageBox::Question, title, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(button == Default::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

Answer QtDialogs::questionWithButtons(QWidget* parent, const QString& text, const QString& title,
                                      const QStringList& buttons) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(buttons.value(0), QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(buttons.value(1), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(buttons.value(2), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    return Answer::Cancel;
}

} // namespace ui
