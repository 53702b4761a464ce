#pragma once

#include "records/Photo.h"

#include <QObject>
#include <QStyle>

#include <functional>

class QLabel;
class QToolButton;

namespace records {

class EntryWindow;

// The four small buttons beside the entry window's photo frame: Image2 choose the photo again
// from a file, Image4 clear it, Image3 export the photos of the current list to the photo
// folder, Image5 import them back. Each step that fails is skipped and the action goes on.
class PhotoButtons : public QObject {
    Q_OBJECT
public:
    // Puts the buttons beside the window's photo frame.
    explicit PhotoButtons(EntryWindow& window);

    void chooseAgain();
    void clear();
    void exportAll();
    void importAll();

private:
    QToolButton* makeButton(QWidget* parent, const char* name, const char* tip, QStyle::StandardPixmap icon,
                            void (PhotoButtons::*action)());
    // The message after the walk ("%1" the count: done, or ended by 取消), and the line added
    // when photos were not stored or written: the walk ended early, or some were skipped ("%1"
    // their number); the cause follows.
    struct WalkTexts {
        QString done;
        QString cancelled;
        QString stopped;
        QString skipped;
    };
    // Runs one batch walk over the current list as a job with the progress label moving; the
    // form is not refreshed while it runs. Afterwards the list is at its first row, shown again.
    void walk(const QString& progressText, const WalkTexts& texts, bool writes,
              const std::function<PhotoBatch(store::Database&, const std::vector<qint64>&,
                                             const PhotoProgress&)>& run);
    void showStored(qint64 rowid);
    QLabel& progressLabel() const;

    EntryWindow& window_;
};

} // namespace records
