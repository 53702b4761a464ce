#include "records/CategoryScan.h"

#include "records/PersonsBulk.h"
#include "records/PersonsTable.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QSet>

namespace records {

categories::ScanResult scanDistinct(store::Database& db, int column, store::JobControl& control) {
    categories::ScanResult result;
    const qint64 total = countPersons(db);
    if (total == 0)
        return result; // the window reports an empty table like an overfull one
    const std::vector<store::TableColumn> fields = store::tableColumns(db, store::schema::kPersons);
    if (column < 0 || column >= int(fields.size()))
        return result;
    const store::TableColumn& field = fields[std::size_t(column)];
    const bool yesNo = field.type == store::JetType::Boolean;
    store::Statement st = personsColumnInStoredOrder(db, field.name);
    QSet<QString> seen;
    qint64 n = 0;
    while (st.step()) {
        ++n;
        const QVariant v = st.value(0);
        // Pictures and Null list as empty.
        QString text = v.isNull() || v.typeId() == QMetaType::QByteArray ? QString() : v.toString();
        if (yesNo && !v.isNull())
            text = v.toLongLong() ? QStringLiteral("是") : QStringLiteral("否");
        // The buffer holds 10,000 texts; record n compares slots 1 to n+1 and stores slot n.
        // Slots not yet filled are empty, so an empty value always finds its slot in time.
        const bool found = text.isEmpty() || seen.contains(text);
        if ((!found && n + 1 > categories::kScanSlots) || n > categories::kScanSlots)
            return result;
        if (!found) {
            result.values << text;
            seen.insert(text);
        }
        control.report(n, total, categories::percentDone(n, total, 1));
    }
    result.complete = true;
    return result;
}

} // namespace records
