#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QQueue>

namespace ui {

// Records every dialog shown and answers from queues; for tests and benchmarks.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind {
        Message,
        Question,
        OpenFile,
        SaveFile,
        Colour,
        Choice,
        QuestionWithCancel,
        QuestionWithButtons
    };
    struct Shown {
        Kind kind;
        QString text; // message or question text; the title for file and colour dialogs
        QString title;
        Icon icon;
        Default button = Default::Yes; // questions: the default button
        QString folder = {};           // file dialogs: the starting folder
        QString filter = {};           // file dialogs: the filter as the caller gave it
        QStringList items = {};        // choices: the entries offered; questions with buttons: their captions
        QString suffix = {};           // save dialogs: the suffix added to a name typed without one
    };

    ScriptedDialogs() { installDialogs(this); }
    ~ScriptedDialogs() override { installDialogs(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    QQueue<bool> answers;   // questions; an empty queue answers No
    QQueue<QString> files;  // file dialogs; an empty queue cancels. A save dialog adds its default
                            // suffix to a name without one, as the real one does.
    QQueue<QColor> colours; // colour dialog; an empty queue cancels
    QQueue<int> choices;    // choices: the entry picked; an empty queue cancels
    QQueue<Answer> replies; // questions with Cancel or named buttons; an empty queue answers No
    QList<Shown> shown;

    void answer(std::initializer_list<bool> yesNo) {
        for (bool a : yesNo)
            answers.enqueue(a);
    }
    const Shown& last() const { return shown.constLast(); }
    void clear() { shown.clear(); }

    void message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    bool question(QWidget* parent, const QString& text, const QString& title, Default button) override;
    QString openFile(QWidget* parent, const QString& title, const QString& folder,
                     const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                     const QString& defaultSuffix) override;
    QColor colour(QWidget* parent, const QColor& initial, const QString& title) override;
    int choose(QWidget* parent, const QString& title, const QString& label,
               const QStringList& items) override;
    Answer questionWithCancel(QWidget* parent, const QString& text, const QString& title,
                              Default button) override;
    Answer questionWithButtons(QWidget* parent, const QString& text, const QString& title,
                               const QStringList& buttons) override;
};

} // namespace ui
