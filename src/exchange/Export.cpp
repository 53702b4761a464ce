#include "exchange/Export.h"

#include "exchange/Workbook.h"
#include "records/PersonsBulk.h"
#include "records/PersonsTable.h"
#include "records/StagingTable.h"
#include "store/Database.h"
#include "store/JetValues.h"

namespace exchange {

namespace {

void writeRows(WorkbookWriter& book, const std::vector<store::TableColumn>& columns, int firstRow,
               qint64 total, const ExportProgress& progress,
               const std::function<void(const std::function<void(const store::Statement&)>&)>& each) {
    qint64 n = 0;
    each([&](const store::Statement& st) {
        const int row = firstRow + int(n);
        for (int j = 0; j < int(columns.size()); ++j)
            book.setText(row, j, exchangeText(columns[std::size_t(j)].type, st.value(j)));
        ++n;
        if (progress)
            progress(n, total);
    });
}

} // namespace

void writePersons(WorkbookWriter& book, store::Database& db, const QString& unitName,
                  const ExportProgress& progress) {
    const std::vector<store::TableColumn> columns = records::personsColumns(db);
    book.setPlain(0, 0, unitName);
    for (int j = 0; j < int(columns.size()); ++j)
        book.setPlain(1, j, columns[std::size_t(j)].name);
    const qint64 total = records::countPersons(db);
    writeRows(book, columns, 2, total, progress, [&](const auto& row) { records::forEachPerson(db, row); });
}

void writeResults(WorkbookWriter& book, store::Database& db, const std::vector<qint64>& rowids,
                  const ExportProgress& progress) {
    const std::vector<store::TableColumn> columns = records::personsColumns(db);
    for (int j = 0; j < int(columns.size()); ++j)
        book.setPlain(0, j, columns[std::size_t(j)].name);
    writeRows(book, columns, 1, qint64(rowids.size()), progress,
              [&](const auto& row) { records::forEachPersonOf(db, rowids, row); });
}

QString workbookFileName(const QString& chosen) {
    const QString name = chosen.trimmed();
    if (name.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return name;
    return name + QStringLiteral(".xlsx");
}

QString exportProgressText(qint64 done, qint64 total) {
    const double share = total > 0 ? double(done) / double(total) * 100.0 : 100.0;
    return QStringLiteral("正在导出！") + store::formatHashDotZero(share) + QStringLiteral("%");
}

} // namespace exchange
