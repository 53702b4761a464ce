#include "PersonGenerator.h"

#include "login/ShippedDatabase.h"
#include "records/Photo.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/Schema.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Its own folder: every person carries a small photo, which the other benchmarks do not want.
struct PhotoFolder {
    QTemporaryDir dir;
    std::unique_ptr<store::Database> db;
    int persons = 0;

    PhotoFolder() {
        const QString path = dir.filePath(QStringLiteral("lib.mdb"));
        login::writeShippedDatabase(path);
        persons = qEnvironmentVariableIsSet("TESSALY_BENCH_PERSONS")
                      ? qEnvironmentVariableIntValue("TESSALY_BENCH_PERSONS")
                      : 100000;
        db = std::make_unique<store::Database>(path);
        bench::PersonGenerator().fill(*db, persons);
        QImage photo(48, 64, QImage::Format_RGB32);
        photo.fill(Qt::darkCyan);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "JPG");
        db->exec(QStringLiteral("UPDATE wslib SET \"相片\" = ?"), {jpeg});
        QDir().mkpath(folder());
    }
    QString folder() const { return records::photoFolder(dir.path()); }
};

PhotoFolder& photoFolder() {
    static PhotoFolder f;
    return f;
}

// The longest stretch without a progress report is how long the window would not repaint.
void walk(benchmark::State& state, bool exporting) {
    PhotoFolder& f = photoFolder();
    store::RecordSet list(*f.db, store::schema::kPersons, QString(), {},
                          QStringLiteral("\"个人编号\", rowid"));
    std::vector<qint64> rowids;
    for (int i = 0; i < list.count(); ++i)
        rowids.push_back(list.rowid(i));
    qint64 longest = 0;
    int count = 0;
    for (auto _ : state) {
        QElapsedTimer since;
        since.start();
        const records::PhotoProgress progress = [&](int) {
            longest = std::max(longest, since.restart());
            return true;
        };
        count =
            (exporting ? records::exportPhotos(*f.db, rowids, f.folder(), progress)
                       : records::importPhotos(*f.db, rowids, f.folder(), progress, QStringLiteral("bench")))
                .count;
    }
    state.counters["photos"] = count;
    state.counters["longest_gap_ms"] = double(longest);
}

void PhotoExport(benchmark::State& state) {
    walk(state, true);
}
void PhotoImport(benchmark::State& state) {
    walk(state, false);
}

} // namespace

BENCHMARK(PhotoExport)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PhotoImport)->Unit(benchmark::kMillisecond)->Iterations(1);
