#include "exchange/SafetyCopies.h"

#include "records/PersonsTable.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStorageInfo>

#include <algorithm>

namespace exchange {

namespace {

Q_LOGGING_CATEGORY(lcSafety, "tessaly.exchange.safety")

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");
// The persons each copy holds, one "name<TAB>count" a line, so the list need not open them.
const QString kCounts = QStringLiteral("counts.txt");

const QRegularExpression& copyName() {
    static const QRegularExpression re(QStringLiteral("^(\\d{8}-\\d{6})-([^-]+)(?:-(\\d+))?\\.mdb$"));
    return re;
}

struct Parsed {
    QString stamp;
    QString operation;
    int counter = 1;
};

std::optional<Parsed> parse(const QString& name) {
    const QRegularExpressionMatch m = copyName().match(name);
    if (!m.hasMatch())
        return std::nullopt;
    return Parsed{m.captured(1), m.captured(2), m.captured(3).isEmpty() ? 1 : m.captured(3).toInt()};
}

QHash<QString, qint64> readCounts(const QString& folder) {
    QHash<QString, qint64> counts;
    QFile file(QDir(folder).filePath(kCounts));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return counts;
    while (!file.atEnd()) {
        const QStringList parts = QString::fromUtf8(file.readLine()).trimmed().split(QLatin1Char('\t'));
        if (parts.size() == 2)
            counts.insert(parts[0], parts[1].toLongLong());
    }
    return counts;
}

// Keeps the counts of the copies that are still there; a count that cannot be written only
// costs the list its number.
void writeCounts(const QString& folder, const QHash<QString, qint64>& counts) {
    const QDir dir(folder);
    QSaveFile file(dir.filePath(kCounts));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qCWarning(lcSafety) << "cannot write" << file.fileName() << file.errorString();
        return;
    }
    QStringList names = counts.keys();
    names.sort();
    for (const QString& name : names) {
        if (dir.exists(name))
            file.write(QStringLiteral("%1\t%2\n").arg(name).arg(counts.value(name)).toUtf8());
    }
    if (!file.commit())
        qCWarning(lcSafety) << "cannot write" << file.fileName() << file.errorString();
}

bool integrityOk(store::Database& db) {
    store::Statement st = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    bool ok = false;
    while (st.step()) {
        if (st.text(0) != QLatin1String("ok")) {
            qCWarning(lcSafety) << "integrity check of" << db.path() << ":" << st.text(0);
            return false;
        }
        ok = true;
    }
    return ok;
}

QString writeCause(const std::exception& e) {
    if (const auto* sql = dynamic_cast<const store::SqlError*>(&e);
        sql && sql->failure() == store::SqlFailure::Full)
        return QStringLiteral("磁盘已满。");
    return QStringLiteral("副本文件写不进去。");
}

} // namespace

QString safetyCopyProgressText(qint64 done, qint64 total) {
    const qint64 percent = total > 0 ? done * 100 / total : 0;
    return QStringLiteral("正在制作安全副本...%1%").arg(percent);
}

SafetyCopies::SafetyCopies(QString programFolder, store::Clock clock, FreeBytes freeBytes)
    : programFolder_(std::move(programFolder)), clock_(std::move(clock)), freeBytes_(std::move(freeBytes)) {
    if (!freeBytes_)
        freeBytes_ = [](const QString& folder) { return QStorageInfo(folder).bytesAvailable(); };
}

QString SafetyCopies::folder() const {
    return QDir(programFolder_).filePath(QStringLiteral("backup/auto"));
}

QString SafetyCopies::freeName(const QString& stamp, const QString& operation) const {
    int counter = 0;
    for (const QString& name : QDir(folder()).entryList({stamp + QStringLiteral("-*.mdb")}, QDir::Files)) {
        if (const std::optional<Parsed> p = parse(name); p && p->stamp == stamp)
            counter = std::max(counter, p->counter);
    }
    if (counter == 0)
        return QStringLiteral("%1-%2.mdb").arg(stamp, operation);
    return QStringLiteral("%1-%2-%3.mdb").arg(stamp, operation).arg(counter + 1);
}

SafetyCopy SafetyCopies::make(store::Database& live, const QString& operation, store::JobControl& control,
                              const QString& spare) {
    const QString dir = folder();
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir())
        throw SafetyCopyFailed(QStringLiteral("文件夹“%1”无法建立。").arg(QDir::toNativeSeparators(dir)),
                               QStringLiteral("cannot make the folder %1").arg(dir));
    const QString name = freeName(clock_().toString(kStampFormat), operation);
    const QString path = QDir(dir).filePath(name);
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    SafetyCopy copy{path, QDateTime(), operation, std::nullopt, 0};
    try {
        {
            const std::unique_ptr<store::Database> to = store::Database::create(part);
            live.copyPagesInto(*to, [&](qint64 done, qint64 total) {
                control.report(done, total, safetyCopyProgressText(done, total));
            });
        }
        {
            // Opens with the password and holds the seven tables, and every page reads back.
            store::Database check(part);
            if (!integrityOk(check))
                throw SafetyCopyFailed(QStringLiteral("副本没有通过完整性检查。"),
                                       QStringLiteral("the copy %1 failed its integrity check").arg(part));
            copy.persons = records::countPersons(check);
        }
        if (!QFile::rename(part, path))
            throw SafetyCopyFailed(QStringLiteral("副本文件写不进去。"),
                                   QStringLiteral("cannot rename %1 to %2").arg(part, path));
    } catch (const SafetyCopyFailed&) {
        QFile::remove(part);
        throw;
    } catch (const store::Cancelled&) {
        QFile::remove(part);
        throw;
    } catch (const store::OpenError& e) {
        QFile::remove(part);
        throw SafetyCopyFailed(QStringLiteral("副本文件写不进去。"), QString::fromUtf8(e.what()));
    } catch (const std::exception& e) {
        QFile::remove(part);
        throw SafetyCopyFailed(writeCause(e), QString::fromUtf8(e.what()));
    }
    copy.made = QDateTime::fromString(name.left(kStampFormat.size()), kStampFormat);
    copy.bytes = QFileInfo(path).size();
    QHash<QString, qint64> counts = readCounts(dir);
    counts.insert(name, *copy.persons);
    writeCounts(dir, counts);
    qCInfo(lcSafety) << "safety copy" << path << "with" << *copy.persons << "persons";
    rotate(spare);
    return copy;
}

std::vector<SafetyCopy> SafetyCopies::list() const {
    struct Entry {
        SafetyCopy copy;
        int counter;
    };
    std::vector<Entry> entries;
    const QDir dir(folder());
    const QHash<QString, qint64> counts = readCounts(dir.path());
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files)) {
        const std::optional<Parsed> p = parse(info.fileName());
        if (!p)
            continue;
        SafetyCopy copy{info.filePath(), QDateTime::fromString(p->stamp, kStampFormat), p->operation,
                        std::nullopt, info.size()};
        if (counts.contains(info.fileName()))
            copy.persons = counts.value(info.fileName());
        entries.push_back({copy, p->counter});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.copy.made != b.copy.made)
            return a.copy.made > b.copy.made;
        return a.counter > b.counter;
    });
    std::vector<SafetyCopy> copies;
    for (Entry& e : entries)
        copies.push_back(std::move(e.copy));
    return copies;
}

bool SafetyCopies::madeOn(const QDate& day, const QString& operation) const {
    const std::vector<SafetyCopy> copies = list();
    return std::any_of(copies.begin(), copies.end(),
                       [&](const SafetyCopy& c) { return c.made.date() == day && c.operation == operation; });
}

void SafetyCopies::rotate(const QString& spare) {
    std::vector<SafetyCopy> copies = list();
    const auto remove = [&](std::size_t at) {
        if (!QFile::remove(copies[at].path))
            qCWarning(lcSafety) << "cannot delete the old safety copy" << copies[at].path;
        else
            qCInfo(lcSafety) << "deleted the old safety copy" << copies[at].path;
        copies.erase(copies.begin() + std::ptrdiff_t(at));
    };
    // Oldest first; the newest (just made) always stays, and so does `spare`.
    const auto oldestRemovable = [&]() -> std::optional<std::size_t> {
        for (std::size_t i = copies.size(); i-- > 1;) {
            if (copies[i].path != spare)
                return i;
        }
        return std::nullopt;
    };
    while (copies.size() > std::size_t(kKept)) {
        const std::optional<std::size_t> at = oldestRemovable();
        if (!at)
            break;
        remove(*at);
    }
    const qint64 free = freeBytes_(folder());
    const auto total = [&] {
        qint64 sum = 0;
        for (const SafetyCopy& c : copies)
            sum += c.bytes;
        return sum;
    };
    while (free >= 0 && total() * 5 > free) {
        const std::optional<std::size_t> at = oldestRemovable();
        if (!at)
            break;
        remove(*at);
    }
}

} // namespace exchange
