#include "ui/ScriptedDialogs.h"

#include <QFileInfo>

namespace ui {

void ScriptedDialogs::message(QWidget*, const QString& text, const QString& title, Icon icon) {
    shown.append({Kind::Message, text, title, icon});
}

bool ScriptedDialogs::question(QWidget*, const QString& text, const QString& title, Default button) {
    shown.append({Kind::Question, text, title, Icon::Question, button});
    return answers.isEmpty() ? false : answers.dequeue();
}

QString ScriptedDialogs::openFile(QWidget*, const QString& title, const QString& folder,
                                  const QString& filter) {
    shown.append({Kind::OpenFile, title, title, Icon::None, Default::Yes, folder, filter});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedDialogs::saveFile(QWidget*, const QString& title, const QString& folder,
                                  const QString& filter, const QString& defaultSuffix) {
    shown.append({Kind::SaveFile, title, title, Icon::None, Default::Yes, folder, filter, {}, defaultSuffix});
    QString file = files.isEmpty() ? QString() : files.dequeue();
    if (!file.isEmpty() && !defaultSuffix.isEmpty() && QFileInfo(file).suffix().isEmpty())
        file += QLatin1Char('.') + defaultSuffix;
    return file;
}

QColor ScriptedDialogs::colour(QWidget*, const QColor& initial, const QString& title) {
    shown.append({Kind::Colour, title, title, Icon::None});
    return colours.isEmpty() ? initial : colours.dequeue();
}

int ScriptedDialogs::choose(QWidget*, const QString& title, const QString& label, const QStringList& items) {
    shown.append({Kind::Choice, label, title, Icon::None, Default::Yes, QString(), QString(), items});
    return choices.isEmpty() ? -1 : choices.dequeue();
}

Answer ScriptedDialogs::questionWithCancel(QWidget*, const QString& text, const QString& title,
                                           Default button) {
    shown.append({Kind::QuestionWithCancel, text, title, Icon::Question, button});
    return replies.isEmpty() ? Answer::No : replies.dequeue();
}

Answer ScriptedDialogs::questionWithButtons(QWidget*, const QString& text, const QString& title,
                                            const QStringList& buttons) {
    shown.append({Kind::QuestionWithButtons, text, title, Icon::Question, Default::No, {}, {}, buttons});
    return replies.isEmpty() ? Answer::No : replies.dequeue();
}

} // namespace ui
