#pragma once

#include "records/PictureEditor.h"
#include "records/Scanner.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class ScanWindow;
}

namespace store {
class Session;
}

namespace records {

class EntryWindow;

// Form4 "相片处理": takes a picture from a scanner, a file or the entry window's current person,
// edits it and stores it back as JPEG into that person's photo, or saves it to a file.
class ScanWindow : public QWidget {
    Q_OBJECT
public:
    ScanWindow(store::Session& session, EntryWindow& entry, std::unique_ptr<Scanner> scanner,
               QWidget* parent = nullptr);
    ~ScanWindow() override;

    // Opens the window for the entry window, or brings the open one forward. When the scanner
    // interface cannot be initialised the operator is told so and nothing opens (nullptr).
    static ScanWindow* open(EntryWindow& entry, std::unique_ptr<Scanner> scanner);

    void selectSource();
    void acquire();
    void takeFromFile();
    void takeFromRecord();
    void storeInRecord();
    void saveAs();
    void crop();
    void zoomBy(double step);
    void rotateBy(int degrees);
    void apply(PictureEditor::Effect effect);
    void undo();
    void restart();

    const PictureEditor& editor() const { return editor_; }
    double mainZoom() const { return mainZoom_; }
    double cropZoom() const { return cropZoom_; }
    bool cropMode() const { return cropMode_; }

private:
    // Works for this entry window's current person from now on.
    void attach(EntryWindow& entry);
    void enableRecordButtons(bool on);
    void connectButtons();
    // After every change of the picture: show it and set the undo button.
    void refresh();
    void newPicture();
    qint64 currentPerson() const;

    store::Session& session_;
    QPointer<EntryWindow> entry_;
    std::unique_ptr<Scanner> scanner_;
    std::unique_ptr<Ui::ScanWindow> ui_;
    PictureEditor editor_;
    QString device_;
    double mainZoom_ = 1.0;
    double cropZoom_ = 1.0;
    bool cropMode_ = true;
};

} // namespace records
