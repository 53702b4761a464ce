#pragma once

#include "records/IdNumber.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace store {
class Session;
}

namespace records {

class EntryForm;

// The entry window's ID number help and its status line: when the ID box (Text6) loses the
// focus, a wrong number is marked and the line says why; a valid one fills an empty 出生年月
// and 性别, says when they contradict it, and offers the 18-digit form of an old number. It
// only ever warns and offers: every save stays possible.
class IdCheck : public QWidget {
    Q_OBJECT
public:
    IdCheck(store::Session& session, EntryForm& form, QWidget* parent = nullptr);

    // The check made when the ID box loses the focus.
    void checkBox();
    // The one click on a contradiction: 出生年月 and 性别 as the ID number gives them.
    void takeIdValues();
    // The one click on an old number: its 18-character form.
    void convertToEighteen();
    // Another record is shown: nothing is said about it yet.
    void reset();
    // Asked before 保存 writes the record with this rowid: when another person has the same ID
    // number, the operator decides (No, the default, returns to the box without saving).
    bool confirmSave(qint64 rowid);

    QString statusText() const;
    bool isMarked() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void mark(bool wrong, const QString& why);
    QDate today() const;

    store::Session& session_;
    EntryForm& form_;
    QLineEdit* box_;
    QLineEdit* birthBox_;
    QComboBox* sexBox_;
    QLabel* status_;
    QPushButton* convert_;
    QPushButton* take_;
    IdNumber shown_; // the valid number the offers refer to
};

} // namespace records
