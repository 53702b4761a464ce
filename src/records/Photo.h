#pragma once

#include "records/PersonsTable.h"

#include <QByteArray>
#include <QHash>
#include <QLoggingCategory>
#include <QSet>
#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcPhoto)

namespace store {
class Database;
class RecordSet;
} // namespace store

namespace records {

// The file filter of the dialogs that take a picture from a file.
inline const QString kPictureFilter = QStringLiteral(
    "文件JPG|*.JPG;*.jpeg|文件bmp|*.bmp|文件gif|*.gif|文件tif|*.tif|文件png|*.png|所有文件*.*|*.*");

// A picture file larger than this is refused rather than read into memory.
inline constexpr qint64 kMaxPhotoBytes = qint64(64) * 1024 * 1024;

// readPhoto, storePhoto and clearPhoto, the statements on the photo column, are in
// records/PersonsTable.
// The bytes of a picture file, at most kMaxPhotoBytes; empty when it cannot be read.
QByteArray readPictureFile(const QString& path);

// File-to-column loader: stores the bytes of the file at `path` into the photo of the row.
// Nothing (std::nullopt) when the file does not exist; 0 when it is empty, and the photo is
// left as it was; otherwise the number of bytes stored; a negative error code when a step
// fails (the photo is then unchanged).
std::optional<qint64> loadPhotoFile(store::Database& db, qint64 rowid, const QString& path,
                                    const Author& author);

// The folder the batch export writes and the batch import reads: the program folder's "photo"
// folder, its name matched without regard to case ("PHOTO" too; an exact "photo" first);
// "photo" when there is none.
QString photoFolder(const QString& programFolder);
// True when a personal number can name a file inside the photo folder: not blank, no path
// separators, no "..", no drive colon, no control characters.
bool isPlainFileName(const QString& personalNumber);
// The file of a person in the photo folder: personal number + ".jpg"; empty when the number
// cannot be a plain file name.
QString photoFileOf(const QString& folder, const QString& personalNumber);

// The files of the photo folder, listed once: a person's file is found without regard to case
// ("000123.JPG"), a name in exact case first.
class PhotoFiles {
public:
    explicit PhotoFiles(const QString& folder);
    // The existing file of the person; empty when there is none.
    QString existing(const QString& personalNumber) const;
    // Where the person's photo is written: the existing file, or personal number + ".jpg".
    // Empty when the number cannot be a plain file name.
    QString target(const QString& personalNumber) const;

private:
    QString folder_;
    QSet<QString> names_;
    QHash<QString, QString> folded_; // case-folded name -> the first such name on disk
};

// A photo file that could not be read or written. cause() says why, for the operator.
class PhotoFileError : public std::runtime_error {
public:
    PhotoFileError(const QString& cause, const QString& detail);
    const QString& cause() const { return cause_; }

private:
    QString cause_;
};

// The batch export and import walk a list of persons (their rowids, in list order) row by row. `progress` is
// called now and then with the running count (and at the end); returning false stops the walk.
using PhotoProgress = std::function<bool(int count)>;

// What a batch walk did.
struct PhotoBatch {
    int count = 0;            // photos stored in the database (import) or files written (export)
    int failed = 0;           // photos that were to be stored or written and were not
    bool stopped = false;     // the database failed, the walk ended there
    std::exception_ptr cause; // the first failure
};

// Writes every photo of the list to the photo folder as personal number + ".jpg", whatever
// its format, replacing a file of that name in any case. Counts the files written; persons
// whose number cannot be a file name are skipped and not counted.
PhotoBatch exportPhotos(store::Database& db, const std::vector<qint64>& rowids, const QString& folder,
                        const PhotoProgress& progress);
// For every person of the list whose file exists in the photo folder, stores that file as the
// photo and counts it once it is committed (an empty file counts but changes nothing). A file
// that cannot be read, or a photo the database refuses, is skipped; a database that cannot be
// written at all (full, read-only, locked) ends the walk.
// One summary row in the change history says how many were stored.
PhotoBatch importPhotos(store::Database& db, const std::vector<qint64>& rowids, const QString& folder,
                        const PhotoProgress& progress, const Author& author);

// "##.0" percent of `count` over `rows`, as the progress label shows it ("12.5", ".5").
QString photoProgressShare(int count, int rows);

} // namespace records
