#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

namespace ui {

inline const QString kProgramTitle = QStringLiteral("企事业离Tessaly系统V4.1");

enum class Icon { None, Information, Question, Exclamation, Critical };

// Which button Enter presses in a question. Questions before destructive actions default to No,
// so a stray Enter never destroys data.
enum class Default { Yes, No };

// The answer to a question that can also be called off.
enum class Answer { Yes, No, Cancel };

// Every message box, question, file and colour dialog goes through this seam, so that tests
// can answer them from a script and read back exactly what was shown.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message with an OK button.
    virtual void message(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;
    // Yes and No buttons with the question icon; true for Yes.
    virtual bool question(QWidget* parent, const QString& text, const QString& title, Default button) = 0;
    // An empty result means the operator cancelled. Filters are written the classic way,
    // "description|pattern" pairs joined by "|" ("文件MDB|*.MDB").
    virtual QString openFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& filter) = 0;
    // `defaultSuffix` ("mdb") is added to a name typed without one, before the dialog asks
    // whether to replace an existing file, so the question is about the file that is written.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& filter, const QString& defaultSuffix = QString()) = 0;
    // Yes, No and Cancel buttons with the question icon; Escape and the close box answer Cancel.
    virtual Answer questionWithCancel(QWidget* parent, const QString& text, const QString& title,
                                      Default button) = 0;
    // Three buttons captioned `buttons`, answering Yes, No and Cancel in that order, with the
    // question icon; Cancel is the default button, and Escape and the close box answer it too.
    virtual Answer questionWithButtons(QWidget* parent, const QString& text, const QString& title,
                                       const QStringList& buttons) = 0;
    // The chosen colour; the initial colour when the dialog is cancelled.
    virtual QColor colour(QWidget* parent, const QColor& initial, const QString& title) = 0;
    // One entry of a list; -1 when the operator cancelled.
    virtual int choose(QWidget* parent, const QString& title, const QString& label,
                       const QStringList& items) = 0;
};

// The process-wide seam; the real dialogs unless a test installed others.
Dialogs& dialogs();
// Installs d (not owned) for the rest of the run; nullptr restores the real dialogs.
void installDialogs(Dialogs* d);

// Shorthands with the program title.
void inform(QWidget* parent, const QString& text, const QString& title = kProgramTitle,
            Icon icon = Icon::None);
bool ask(QWidget* parent, const QString& text, const QString& title = kProgramTitle);
// A question before a destructive action: No is the default button.
bool confirm(QWidget* parent, const QString& text, const QString& title = kProgramTitle);
// Yes, No or Cancel, with Yes the default button.
Answer askOrCancel(QWidget* parent, const QString& text, const QString& title = kProgramTitle);
// Three named ways on (see Dialogs::questionWithButtons), with Cancel the default button.
Answer askThreeWays(QWidget* parent, const QString& text, const QStringList& buttons,
                    const QString& title = kProgramTitle);

// A classic filter as Qt writes it: "文件MDB|*.MDB" gives "文件MDB (*.MDB *.mdb)". Patterns match
// either letter case, as they do on the office's Windows machines.
QString qtFilter(const QString& classic);

class QtDialogs : public Dialogs {
public:
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
