#pragma once

#include "records/PersonRecord.h"

#include <QHash>
#include <QTabWidget>
#include <map>

class QLabel;
class QLineEdit;

namespace records {

// The four pages of the entry window, built from the person column table: one control per
// column, named as the column table names it, grouped and ordered as operators know them.
class EntryForm : public QTabWidget {
    Q_OBJECT
public:
    enum PageIndex { BasicPage = 0, SecurityPage = 1, FamilyPage = 2, RemarksPage = 3 };

    explicit EntryForm(QWidget* parent = nullptr);

    QWidget* control(const QString& name) const { return controls_.value(name); }
    QWidget* controlFor(int ordinal) const;
    QLabel* photoFrame() const { return photo_; }

    // What the controls hold, for every column but the photo.
    Entries entries() const;
    // Only what differs from what the last shown row put into the controls: a box left alone
    // keeps its stored value exactly, whatever the box can show of it. Everything when no row
    // was shown.
    Entries changedEntries() const;
    // The controls as they are now count as unchanged (after a save).
    void markUnchanged();
    // Puts each column of a persons or staging row into its control; check boxes are cleared
    // first. The photo frame is left alone.
    void showRow(const QVariantList& row);
    // Puts entries into their controls as typed (no display conversion).
    void setEntries(const Entries& entries);
    void clearChecks();
    void setPhoto(const QByteArray& imageBytes);
    // Every page back at its top (each person starts there).
    void scrollToTop();
    void setPickList(int ordinal, const QStringList& values);

    // Every input control in the order Enter and Tab walk them, with `others` (controls outside
    // the form, by their place in that order) put in their places.
    QList<QWidget*> tabOrder(const std::map<int, QWidget*>& others = {}) const;

signals:
    // Any edit that makes the record worth saving.
    void edited();

private:
    QWidget* makeControl(const PersonColumn& column, QWidget* parent);
    QWidget* buildPage(Page page);

    QHash<QString, QWidget*> controls_;
    Entries shown_; // what the controls held right after showRow or the last save
    QLabel* photo_ = nullptr;
};

} // namespace records
