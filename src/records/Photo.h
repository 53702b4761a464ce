#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <functional>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcPhoto)

namespace store {
class Database;
class RecordSet;
} // namespace store

namespace records {

// The file filter of the dialogs that take a picture from a file.
inline const QString kPictureFilter =
    QStringLiteral("文件JPG|*.JPG|文件bmp|*.bmp|文件gif|*.gif|文件tif|*.tif|所有文件*.*|*.*");

// A picture file larger than this is refused rather than read into memory.
inline constexpr qint64 kMaxPhotoBytes = qint64(64) * 1024 * 1024;

// The photo of a person: the bytes of an image file as they were in the file, no header, no
// conversion; empty when the person has none.
QByteArray readPhoto(store::Database& db, qint64 rowid);
// Replaces the photo by `bytes` in one statement (empty bytes store Null). Throws store::SqlError.
void storePhoto(store::Database& db, qint64 rowid, const QByteArray& bytes);
void clearPhoto(store::Database& db, qint64 rowid);
// The bytes of a picture file, at most kMaxPhotoBytes; empty when it cannot be read.
QByteArray readPictureFile(const QString& path);

// File-to-column loader: stores the bytes of the file at `path` into the photo of the row.
// Nothing (std::nullopt) when the file does not exist; 0 when it is empty, and the photo is
// left as it was; otherwise the number of bytes stored; a negative error code when a step
// fails (the photo is then unchanged).
std::optional<qint64> loadPhotoFile(store::Database& db, qint64 rowid, const QString& path);

// The folder the batch export writes and the batch import reads: "photo" in the program folder.
QString photoFolder(const QString& programFolder);
// True when a personal number can name a file inside the photo folder: not blank, no path
// separators, no "..", no drive colon, no control characters.
bool isPlainFileName(const QString& personalNumber);
// The file of a person in the photo folder: personal number + ".jpg"; empty when the number
// cannot be a plain file name.
QString photoFileOf(const QString& folder, const QString& personalNumber);

// The batch export and import walk a list of persons row by row. `progress` is called now and
// then with the running count (and at the end); returning false stops the walk.
using PhotoProgress = std::function<bool(int count)>;

// Writes every photo of the list to the photo folder as personal number + ".jpg", whatever
// its format. Counts the persons with a photo, whether or not their file could be written;
// persons whose number cannot be a file name are skipped and not counted.
int exportPhotos(store::Database& db, const store::RecordSet& list, const QString& folder,
                 const PhotoProgress& progress);
// For every person of the list whose file exists in the photo folder, stores that file as the
// photo with the loader and counts it (an empty file counts but changes nothing).
int importPhotos(store::Database& db, const store::RecordSet& list, const QString& folder,
                 const PhotoProgress& progress);

// "##.0" percent of `count` over `rows`, as the progress label shows it ("12.5", ".5").
QString photoProgressShare(int count, int rows);

} // namespace records
