#include "exchange/Import.h"

#include "exchange/ExchangeTables.h"
#include "exchange/SheetReader.h"
#include "exchange/Workbook.h"
#include "store/Database.h"
#include "store/JetValues.h"

#include <QLoggingCategory>
#include <QRegularExpression>

Q_DECLARE_LOGGING_CATEGORY(lcExchange)

namespace exchange {

namespace {

int declaredSize(const QString& declaredType) {
    static const QRegularExpression size(QStringLiteral("\\((\\d+)\\)"));
    const QRegularExpressionMatch m = size.match(declaredType);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

std::optional<double> number(const QString& text) {
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

} // namespace

std::optional<QVariant> columnValue(const store::TableColumn& column, const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const bool isTrue = trimmed == QLatin1String("True");
    const bool isFalse = trimmed == QLatin1String("False");
    switch (column.type) {
    case store::JetType::Boolean:
        if (isTrue || isFalse)
            return QVariant(isTrue);
        if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            trimmed.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
            return QVariant(true);
        if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            trimmed.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
            return QVariant(false);
        if (const std::optional<double> d = number(trimmed))
            return QVariant(*d != 0);
        throw ValueRejected("not a yes/no value");
    case store::JetType::Long:
    case store::JetType::Single:
        if (isTrue || isFalse)
            return QVariant(isTrue ? -1.0 : 0.0); // Yes is -1 as a number
        if (const std::optional<double> d = number(trimmed))
            return QVariant(*d);
        throw ValueRejected("not a number");
    case store::JetType::Date:
        if (const std::optional<QDate> date = store::parseDate(trimmed))
            return QVariant(store::storedDate(*date));
        throw ValueRejected("not a date");
    case store::JetType::Text: {
        const QString value = isTrue || isFalse ? trimmed : text;
        const int size = declaredSize(column.declaredType);
        if (size > 0 && value.size() > size)
            throw ValueRejected("too long");
        return QVariant(value);
    }
    default:
        return QVariant(isTrue || isFalse ? trimmed : text);
    }
}

int stageWorkbook(store::Database& db, const QString& path, const std::function<void(int)>& progress) {
    const std::vector<store::TableColumn> columns = stagingColumns(db);
    const int width = int(columns.size());
    std::unique_ptr<SheetReader> sheet;
    SheetRow row;
    QString reference = cellReference(0, 2);
    try {
        sheet = openSheet(path, width);
        // Rows before the titles are passed over; a sheet without row 2 has empty titles.
        bool more = sheet->next(row);
        while (more && row.number < 2)
            more = sheet->next(row);
        if (!more || row.number != 2)
            row = SheetRow{2, {}};
    } catch (const WorkbookError& e) {
        throw CellRejected(reference, e.what());
    }
    for (int j = 0; j < width; ++j) {
        const QString title = std::size_t(j) < row.cells.size() ? row.cells[std::size_t(j)] : QString();
        if (title.trimmed() != columns[std::size_t(j)].name.trimmed())
            throw TitleMismatch(title);
    }

    int staged = 0;
    store::Transaction tx(db);
    // Rows read before a failure stay staged, as each row is saved when it is read.
    struct CommitOnExit {
        store::Transaction& tx;
        ~CommitOnExit() {
            try {
                tx.commit();
            } catch (const std::exception& e) {
                qCWarning(lcExchange) << "staged rows not kept:" << e.what();
            }
        }
    } keep{tx};
    clearStaging(db);
    StagingAppender appender(db);
    QVariantList values;
    for (int expected = 3;; ++expected) {
        reference = cellReference(0, expected);
        try {
            if (!sheet->next(row))
                break;
        } catch (const WorkbookError& e) {
            throw CellRejected(reference, e.what());
        }
        if (row.number != expected || row.cells.empty() || row.cells.front().trimmed().isEmpty())
            break;
        values.clear();
        for (int j = 0; j < width; ++j) {
            const QString text = std::size_t(j) < row.cells.size() ? row.cells[std::size_t(j)] : QString();
            try {
                const std::optional<QVariant> value = columnValue(columns[std::size_t(j)], text);
                values << (value ? *value : QVariant());
            } catch (const ValueRejected& e) {
                throw CellRejected(cellReference(j, expected), e.what());
            }
        }
        try {
            appender.append(values);
        } catch (const store::SqlError& e) {
            throw CellRejected(reference, e.what());
        }
        ++staged;
        if (progress)
            progress(staged);
    }
    return staged;
}

} // namespace exchange
