#include "records/Photo.h"

#include "stats/Report.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <memory>

Q_LOGGING_CATEGORY(lcPhoto, "tessaly.photo")

namespace records {

namespace {

// How often a batch walk reports progress (and, for import, commits what it stored).
constexpr qint64 kProgressMs = 50;
constexpr int kMaxStepsBetweenReports = 500;

// Reports progress and, between reports, groups the walk's writes in one transaction: a
// commit per written row would cost one disk flush per person.
class Walk {
public:
    Walk(store::Database& db, const PhotoProgress& progress, bool writes)
        : db_(db), progress_(progress), writes_(writes) {
        timer_.start();
        begin();
    }
    ~Walk() {
        try {
            end();
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo batch: last commit failed:" << e.what();
        }
    }
    // False when the caller asked to stop.
    bool step(int count) {
        if (++steps_ < kMaxStepsBetweenReports && timer_.elapsed() < kProgressMs)
            return true;
        steps_ = 0;
        timer_.restart();
        try {
            end();
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo batch: commit failed:" << e.what();
        }
        const bool goOn = !progress_ || progress_(count);
        if (goOn)
            begin();
        return goOn;
    }
    void finish(int count) {
        end();
        if (progress_)
            progress_(count);
    }

private:
    void begin() {
        if (writes_)
            tx_ = std::make_unique<store::Transaction>(db_);
    }
    void end() {
        if (tx_) {
            auto tx = std::move(tx_);
            tx->commit();
        }
    }

    store::Database& db_;
    const PhotoProgress& progress_;
    bool writes_;
    QElapsedTimer timer_;
    int steps_ = 0;
    std::unique_ptr<store::Transaction> tx_;
};

} // namespace

QByteArray readPhoto(store::Database& db, qint64 rowid) {
    return db.scalar(QStringLiteral("SELECT \"相片\" FROM wslib WHERE rowid = ?"), {rowid}).toByteArray();
}

void storePhoto(store::Database& db, qint64 rowid, const QByteArray& bytes) {
    db.exec(QStringLiteral("UPDATE wslib SET \"相片\" = ? WHERE rowid = ?"),
            {bytes.isEmpty() ? QVariant() : QVariant(bytes), rowid});
}

void clearPhoto(store::Database& db, qint64 rowid) {
    db.exec(QStringLiteral("UPDATE wslib SET \"相片\" = NULL WHERE rowid = ?"), {rowid});
}

QByteArray readPictureFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPhotoBytes) {
        qCWarning(lcPhoto) << "cannot read picture" << path << file.errorString();
        return QByteArray();
    }
    return file.readAll();
}

std::optional<qint64> loadPhotoFile(store::Database& db, qint64 rowid, const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcPhoto) << "cannot read" << path << file.errorString();
        return -qint64(file.error());
    }
    const qint64 length = file.size();
    if (length == 0)
        return 0;
    if (length > kMaxPhotoBytes) {
        qCWarning(lcPhoto) << "picture too large:" << path << length << "bytes";
        return -qint64(QFileDevice::ResourceError);
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != length) {
        qCWarning(lcPhoto) << "short read:" << path << file.errorString();
        return -qint64(QFileDevice::ReadError);
    }
    try {
        storePhoto(db, rowid, bytes);
    } catch (const store::SqlError& e) {
        qCWarning(lcPhoto) << "cannot store" << path << e.what();
        return -qint64(e.code() == 0 ? 1 : e.code());
    }
    return length;
}

QString photoFolder(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("photo"));
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

int exportPhotos(store::Database& db, const store::RecordSet& list, const QString& folder,
                 const PhotoProgress& progress) {
    int count = 0;
    Walk walk(db, progress, false);
    store::Statement st =
        db.prepare(QStringLiteral("SELECT \"个人编号\", \"相片\" FROM wslib WHERE rowid = ?"));
    for (int i = 0; i < list.count(); ++i) {
        try {
            st.reset();
            st.bind(1, list.rowid(i));
            if (st.step()) {
                const QString number = st.text(0);
                const QByteArray bytes = st.value(1).toByteArray();
                st.reset();
                const QString file = photoFileOf(folder, number);
                if (!bytes.isEmpty() && !file.isEmpty()) {
                    ++count;
                    // A plain write: syncing every one of 100,000 files to disk made the export
                    // take minutes. A file that could not be written whole is removed.
                    QFile out(file);
                    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                        out.write(bytes) != bytes.size() || !out.flush()) {
                        qCWarning(lcPhoto) << "cannot write" << file << out.errorString();
                        out.close();
                        out.remove();
                    }
                } else if (!bytes.isEmpty()) {
                    qCWarning(lcPhoto) << "photo not exported: personal number is no file name:" << number;
                }
            }
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo export: row skipped:" << e.what();
        }
        if (!walk.step(count))
            return count;
    }
    walk.finish(count);
    return count;
}

int importPhotos(store::Database& db, const store::RecordSet& list, const QString& folder,
                 const PhotoProgress& progress) {
    int count = 0;
    Walk walk(db, progress, true);
    store::Statement st = db.prepare(QStringLiteral("SELECT \"个人编号\" FROM wslib WHERE rowid = ?"));
    for (int i = 0; i < list.count(); ++i) {
        try {
            st.reset();
            st.bind(1, list.rowid(i));
            if (st.step()) {
                const QString file = photoFileOf(folder, st.text(0));
                st.reset();
                if (!file.isEmpty() && QFileInfo::exists(file)) {
                    loadPhotoFile(db, list.rowid(i), file);
                    ++count;
                }
            }
        } catch (const std::exception& e) {
            qCWarning(lcPhoto) << "photo import: row skipped:" << e.what();
        }
        if (!walk.step(count))
            return count;
    }
    walk.finish(count);
    return count;
}

QString photoProgressShare(int count, int rows) {
    return stats::formatHashDotZero(rows > 0 ? double(count) / double(rows) * 100.0 : 0.0);
}

} // namespace records
