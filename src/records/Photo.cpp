#include "records/Photo.h"

#include "store/Database.h"
#include "store/JetValues.h"
#include "store/RecordSet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <memory>

Q_LOGGING_CATEGORY(lcPhoto, "tessaly.photo")

namespace records {

namespace {

// How often a batch walk reports progress (and, for import, commits what it stored).
constexpr qint64 kProgressMs = 50;
constexpr int kMaxStepsBetweenReports = 500;

void note(PhotoBatch& batch, std::exception_ptr failure) {
    if (!batch.cause)
        batch.cause = std::move(failure);
}

// The walk ends here; what ended it is the cause the operator is told.
void stop(PhotoBatch& batch, std::exception_ptr failure) {
    if (!batch.stopped)
        batch.cause = std::move(failure);
    batch.stopped = true;
}

// Reports progress and, between reports, groups the walk's writes in one transaction: a
// commit per written row would cost one disk flush per person. Only committed writes count.
class Walk {
public:
    Walk(store::Database& db, const PhotoProgress& progress, PhotoBatch& batch)
        : db_(db), progress_(progress), batch_(batch) {
        timer_.start();
    }
    // Before a write; throws when the database cannot be written at all.
    void writing() {
        if (!tx_)
            tx_ = std::make_unique<store::Transaction>(db_);
    }
    void wrote() { ++pending_; }
    // False when the caller asked to stop or the commit failed.
    bool step() {
        if (++steps_ < kMaxStepsBetweenReports && timer_.elapsed() < kProgressMs)
            return true;
        steps_ = 0;
        timer_.restart();
        commit();
        if (batch_.stopped)
            return false;
        calledOff_ = progress_ && !progress_(batch_.count);
        return !calledOff_;
    }
    // Commits what is left; the last report unless the caller asked to stop.
    void finish() {
        commit();
        if (progress_ && !calledOff_)
            progress_(batch_.count);
    }

private:
    void commit() {
        if (!tx_)
            return;
        auto tx = std::move(tx_);
        try {
            tx->commit();
            batch_.count += pending_;
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo batch: commit failed:" << e.what();
            batch_.failed += pending_;
            stop(batch_, std::current_exception());
        }
        pending_ = 0;
    }

    store::Database& db_;
    const PhotoProgress& progress_;
    PhotoBatch& batch_;
    QElapsedTimer timer_;
    int steps_ = 0;
    int pending_ = 0;
    bool calledOff_ = false;
    std::unique_ptr<store::Transaction> tx_; // rolled back when the walk ends uncommitted
};

// Why a file could not be read or written, as the operator is told. The file's own error
// text is the system's text for its errno.
QString fileCause(const QFileDevice& file, bool writing) {
    const QString why = file.errorString();
    const auto is = [&](int code) { return why == qt_error_string(code); };
#ifdef EDQUOT
    if (is(EDQUOT))
        return QStringLiteral("磁盘已满。");
#endif
    if (is(ENOSPC))
        return QStringLiteral("磁盘已满。");
    if (is(EROFS))
        return QStringLiteral("磁盘是只读的，不能写入。");
    if (is(EACCES) || is(EPERM))
        return writing ? QStringLiteral("没有写入文件的权限。") : QStringLiteral("没有读取文件的权限。");
    return writing ? QStringLiteral("写文件出错。") : QStringLiteral("读文件出错。");
}

[[noreturn]] void fileFailed(const QFileDevice& file, const QString& cause) {
    throw PhotoFileError(cause, file.fileName() + QStringLiteral(": ") + file.errorString());
}

// The bytes of a picture file, empty for an empty file; throws PhotoFileError.
QByteArray readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fileFailed(file, fileCause(file, false));
    const qint64 length = file.size();
    if (length > kMaxPhotoBytes)
        fileFailed(file, QStringLiteral("文件太大。"));
    const QByteArray bytes = file.readAll();
    if (bytes.size() != length)
        fileFailed(file, fileCause(file, false));
    return bytes;
}

// Writes the file in place (no sync: syncing every one of 100,000 files made the export take
// minutes). A file that could not be written whole is removed.
void writeWhole(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size() &&
        out.flush())
        return;
    const QString cause = fileCause(out, true);
    const QString detail = out.fileName() + QStringLiteral(": ") + out.errorString();
    out.close();
    out.remove();
    throw PhotoFileError(cause, detail);
}

QString folded(const QString& name) {
    return name.toCaseFolded();
}

} // namespace

PhotoFileError::PhotoFileError(const QString& cause, const QString& detail)
    : std::runtime_error(detail.toStdString()), cause_(cause) {}

QByteArray readPictureFile(const QString& path) {
    try {
        return readWhole(path);
    } catch (const PhotoFileError& e) {
        qCWarning(lcPhoto) << "cannot read picture" << e.what();
        return QByteArray();
    }
}

std::optional<qint64> loadPhotoFile(store::Database& db, qint64 rowid, const QString& path,
                                    const Author& author) {
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QByteArray bytes;
    try {
        bytes = readWhole(path);
    } catch (const PhotoFileError& e) {
        qCWarning(lcPhoto) << "cannot read" << e.what();
        return -qint64(QFileDevice::ReadError);
    }
    if (bytes.isEmpty())
        return 0;
    try {
        storePhoto(db, rowid, bytes, author);
    } catch (const store::SqlError& e) {
        qCWarning(lcPhoto) << "cannot store" << path << e.what();
        return -qint64(e.code() == 0 ? 1 : e.code());
    }
    return bytes.size();
}

QString photoFolder(const QString& programFolder) {
    const QString name = QStringLiteral("photo");
    const QDir dir(programFolder);
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    if (!folders.contains(name)) {
        for (const QString& f : folders) {
            if (folded(f) == name)
                return dir.filePath(f);
        }
    }
    return dir.filePath(name);
}

bool isPlainFileName(const QString& personalNumber) {
    if (personalNumber.trimmed().isEmpty() || personalNumber.contains(QLatin1String("..")))
        return false;
    for (const QChar c : personalNumber) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20 ||
            c.unicode() == 0x7f)
            return false;
    }
    return true;
}

QString photoFileOf(const QString& folder, const QString& personalNumber) {
    if (!isPlainFileName(personalNumber))
        return QString();
    return QDir(folder).filePath(personalNumber + QStringLiteral(".jpg"));
}

PhotoFiles::PhotoFiles(const QString& folder) : folder_(folder) {
    // Files only: a device or a pipe of that name is never read.
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    names_ = QSet<QString>(names.begin(), names.end());
    for (const QString& n : names) {
        const QString key = folded(n);
        if (!folded_.contains(key)) // in name order, the first such name answers
            folded_.insert(key, n);
    }
}

QString PhotoFiles::existing(const QString& personalNumber) const {
    if (!isPlainFileName(personalNumber))
        return QString();
    const QString name = personalNumber + QStringLiteral(".jpg");
    if (names_.contains(name))
        return QDir(folder_).filePath(name);
    const QString onDisk = folded_.value(folded(name));
    return onDisk.isEmpty() ? QString() : QDir(folder_).filePath(onDisk);
}

QString PhotoFiles::target(const QString& personalNumber) const {
    const QString found = existing(personalNumber);
    return found.isEmpty() ? photoFileOf(folder_, personalNumber) : found;
}

PhotoBatch exportPhotos(store::Database& db, const std::vector<qint64>& rowids, const QString& folder,
                        const PhotoProgress& progress) {
    PhotoBatch batch;
    Walk walk(db, progress, batch);
    const PhotoFiles files(folder);
    std::optional<store::Statement> st;
    try {
        st = numberAndPhotoReader(db);
    } catch (const std::exception& e) {
        qCWarning(lcPhoto) << "photo export: the database failed:" << e.what();
        stop(batch, std::current_exception());
        return batch;
    }
    for (std::size_t i = 0; i < rowids.size(); ++i) {
        QString number;
        QByteArray bytes;
        try {
            st->reset();
            st->bind(1, rowids[i]);
            if (st->step()) {
                number = st->text(0);
                bytes = st->value(1).toByteArray();
            }
            st->reset();
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo export: the database failed:" << e.what();
            stop(batch, std::current_exception());
            break;
        }
        const QString file = bytes.isEmpty() ? QString() : files.target(number);
        if (!file.isEmpty()) {
            try {
                writeWhole(file, bytes);
                ++batch.count;
            } catch (const PhotoFileError& e) {
                qCWarning(lcPhoto) << "cannot write" << e.what();
                ++batch.failed;
                note(batch, std::current_exception());
            }
        } else if (!bytes.isEmpty()) {
            qCWarning(lcPhoto) << "photo not exported: personal number is no file name:" << number;
        }
        if (!walk.step())
            break;
    }
    walk.finish();
    return batch;
}

PhotoBatch importPhotos(store::Database& db, const std::vector<qint64>& rowids, const QString& folder,
                        const PhotoProgress& progress, const Author& author) {
    PhotoBatch batch;
    Walk walk(db, progress, batch);
    const PhotoFiles files(folder);
    std::optional<store::Statement> st;
    try {
        st = numberReader(db);
    } catch (const std::exception& e) {
        qCWarning(lcPhoto) << "photo import: the database failed:" << e.what();
        stop(batch, std::current_exception());
        return batch;
    }
    for (std::size_t i = 0; i < rowids.size(); ++i) {
        QString number;
        try {
            st->reset();
            st->bind(1, rowids[i]);
            if (st->step())
                number = st->text(0);
            st->reset();
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo import: the database failed:" << e.what();
            stop(batch, std::current_exception());
            break;
        }
        const QString file = number.isEmpty() ? QString() : files.existing(number);
        if (!file.isEmpty()) {
            try {
                const QByteArray bytes = readWhole(file);
                if (bytes.isEmpty()) {
                    ++batch.count; // counted, and the photo stays as it was
                } else {
                    walk.writing();
                    storePhotoInBulk(db, rowids[i], bytes);
                    walk.wrote();
                }
            } catch (const PhotoFileError& e) {
                qCWarning(lcPhoto) << "cannot read" << e.what();
                ++batch.failed;
                note(batch, std::current_exception());
            } catch (const store::SqlError& e) {
                qCWarning(lcPhoto) << "cannot store" << file << e.what();
                ++batch.failed;
                // A refused value skips this person; a database that cannot be written ends
                // the walk rather than failing on every row.
                if (!e.isConstraint()) {
                    stop(batch, std::current_exception());
                    break;
                }
                note(batch, std::current_exception());
            }
        }
        if (!walk.step())
            break;
    }
    walk.finish();
    if (batch.count > 0) {
        try {
            recordBulkChange(db, author, kPhotoImportWhat, batch.count);
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo import: the change history was not written:" << e.what();
        }
    }
    return batch;
}

QString photoProgressShare(int count, int rows) {
    return store::formatHashDotZero(rows > 0 ? double(count) / double(rows) * 100.0 : 0.0);
}

} // namespace records
