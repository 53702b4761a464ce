#include "BenchFolder.h"
#include "PersonGenerator.h"

#include "login/ShippedDatabase.h"
#include "records/DataCheck.h"
#include "records/IdNumber.h"
#include "store/Database.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <set>

using records::Fault;

namespace {

// Generated persons (rowid n is person n) with 1 % of them spoilt for each kind of fault; the
// spoilt rows are disjoint, so each should be found exactly once and nothing else at all.
struct PlantedFolder {
    QTemporaryDir dir;
    std::unique_ptr<store::Database> db;
    std::set<std::pair<Fault, qint64>> planted;

    PlantedFolder() {
        const QString path = dir.filePath(QStringLiteral("lib.mdb"));
        const int persons = bench::benchPersons();
        bench::writeGeneratedDatabase(path, persons);
        db = std::make_unique<store::Database>(path);
        plant(persons);
    }

    QString column(qint64 rowid, const char* name) {
        return db
            ->scalar(QStringLiteral("SELECT \"%1\" FROM wslib WHERE rowid = ?").arg(QString::fromUtf8(name)),
                     {rowid})
            .toString();
    }
    void set(qint64 rowid, const char* name, const QVariant& value) {
        db->exec(QStringLiteral("UPDATE wslib SET \"%1\" = ? WHERE rowid = ?").arg(QString::fromUtf8(name)),
                 {value, rowid});
    }

    void plant(int persons) {
        const QDate today = QDate::currentDate();
        store::Transaction tx(*db);
        for (qint64 n = 1; n <= persons; ++n) {
            const int kind = int(n % 100);
            if (kind > 7)
                continue;
            const QString id = column(n, "身份证号码");
            const QDate birth = QDate::fromString(column(n, "出生年月"), QStringLiteral("yyyy-MM-dd"));
            switch (kind) {
            case 0: { // an invalid number: a wrong check character, a date that is none, or a letter
                QString bad = id;
                if (n / 100 % 3 == 0)
                    bad[17] = bad[17] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
                else if (n / 100 % 3 == 1)
                    bad.replace(10, 2, QStringLiteral("13"));
                else
                    bad[3] = QLatin1Char('A');
                set(n, "身份证号码", bad);
                planted.emplace(Fault::InvalidId, n);
                break;
            }
            case 1:
                set(n, "身份证号码", records::idNumber15(id));
                planted.emplace(Fault::OldId, n);
                break;
            case 2:
                set(n, "出生年月", birth.addMonths(1).toString(Qt::ISODate));
                planted.emplace(Fault::BirthContradictsId, n);
                break;
            case 3:
                set(n, "性别",
                    column(n, "性别") == QStringLiteral("男") ? QStringLiteral("女") : QStringLiteral("男"));
                planted.emplace(Fault::SexContradictsId, n);
                break;
            case 4: // a pair: this person takes the ID, birth date and sex of the one 100 further on
            case 5: // a pair sharing a personal number
                if (n / 100 % 2 == 0 && n + 100 <= persons) {
                    const Fault fault = kind == 4 ? Fault::DuplicateId : Fault::DuplicateNumber;
                    if (kind == 4) {
                        for (const char* c : {"身份证号码", "出生年月", "性别"})
                            set(n, c, column(n + 100, c));
                    } else {
                        set(n, "个人编号", column(n + 100, "个人编号"));
                    }
                    planted.emplace(fault, n);
                    planted.emplace(fault, n + 100);
                }
                break;
            case 6:
                set(n, "退休年月", birth.addYears(-1).toString(Qt::ISODate));
                planted.emplace(Fault::RetiredBeforeBirth, n);
                break;
            case 7: // born next year: no ID number and no retirement can agree with that
                set(n, "出生年月", today.addYears(1).toString(Qt::ISODate));
                set(n, "身份证号码", QString());
                set(n, "退休年月", QVariant());
                planted.emplace(Fault::BornInFuture, n);
                break;
            }
        }
        tx.commit();
    }
};

PlantedFolder& plantedFolder() {
    static PlantedFolder folder;
    return folder;
}

} // namespace

static void DataCheck(benchmark::State& state) {
    PlantedFolder& folder = plantedFolder();
    records::DataCheckReport report;
    for (auto _ : state)
        report = records::checkData(*folder.db, QDate::currentDate());
    std::set<std::pair<Fault, qint64>> found;
    for (const records::Finding& f : report.findings)
        found.emplace(f.fault, f.rowid);
    // What differs, named, so that a failure says whether the check or the data is at fault.
    std::string missed;
    std::string unplanned;
    for (const auto& [fault, rowid] : folder.planted) {
        if (!found.count({fault, rowid}) && missed.size() < 200)
            missed += std::to_string(int(fault)) + "@" + std::to_string(rowid) + " ";
    }
    for (const records::Finding& f : report.findings) {
        if (!folder.planted.count({f.fault, f.rowid}) && unplanned.size() < 400)
            unplanned += std::to_string(int(f.fault)) + "@" + std::to_string(f.rowid) + "(" +
                         f.idNumber.toStdString() + " " + f.detail.toStdString() + ") ";
    }
    if (found != folder.planted || found.size() != report.findings.size()) {
        std::fprintf(stderr, "missed: %s\nunplanned: %s\n", missed.c_str(), unplanned.c_str());
        state.SkipWithError("the report does not list exactly the planted faults");
    }
    state.counters["persons"] = report.persons;
    state.counters["planted"] = double(folder.planted.size());
    state.counters["found"] = double(report.findings.size());
}
BENCHMARK(DataCheck)->Unit(benchmark::kMillisecond);

// The look-up 保存 makes before it writes: does another person hold this ID number?
static void SameIdLookup(benchmark::State& state) {
    PlantedFolder& folder = plantedFolder();
    const QString id = folder.column(99999, "身份证号码");
    bool found = false;
    for (auto _ : state)
        found = records::personWithSameId(*folder.db, id, 99999, QDate::currentDate()).has_value();
    state.counters["found"] = found;
}
BENCHMARK(SameIdLookup)->Unit(benchmark::kMillisecond);
