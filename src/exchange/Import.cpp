#include "exchange/Import.h"

#include "exchange/SheetReader.h"
#include "exchange/Workbook.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"
#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Job.h"

#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>

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

// Characters as the table's length check counts them: a character outside the basic plane is
// one, not the two UTF-16 units QString holds for it.
qsizetype characters(const QString& text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++n;
    }
    return n;
}

const QString kTakesYesNo = QStringLiteral("该列只能填“是”、“否”、True或False。");
const QString kTakesNumber = QStringLiteral("该列只能填数字。");
const QString kTakesDate = QStringLiteral("该列只能填日期，如1950-03-15。");

QString problemText(CellProblem problem) {
    switch (problem) {
    case CellProblem::FormulaWithoutValue:
        return QStringLiteral("该单元格是公式，文件中没有它的计算结果。");
    case CellProblem::NoSuchSharedText:
        return QStringLiteral("该单元格所指的文字在文件中不存在，文件可能已损坏。");
    }
    return {};
}

// The first cell of the row, among the first `width` columns, that holds no readable value.
void checkProblems(const SheetRow& row, int width) {
    for (const auto& [column, problem] : row.problems) {
        if (column < width)
            throw CellRejected(cellReference(column, row.number), "no readable value", problemText(problem));
    }
}

bool holdsSomething(const SheetRow& row) {
    if (!row.problems.empty())
        return true;
    return std::any_of(row.cells.begin(), row.cells.end(),
                       [](const QString& cell) { return !cell.trimmed().isEmpty(); });
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
            trimmed.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ||
            trimmed == QStringLiteral("是"))
            return QVariant(true);
        if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            trimmed.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0 || trimmed == QStringLiteral("否"))
            return QVariant(false);
        if (const std::optional<double> d = number(trimmed))
            return QVariant(*d != 0);
        throw ValueRejected("not a yes/no value", kTakesYesNo);
    case store::JetType::Long:
    case store::JetType::Single:
        if (isTrue || isFalse)
            return QVariant(isTrue ? -1.0 : 0.0); // Yes is -1 as a number
        if (const std::optional<double> d = number(trimmed))
            return QVariant(*d);
        throw ValueRejected("not a number", kTakesNumber);
    case store::JetType::Date:
        if (const std::optional<QDate> date = store::parseDate(trimmed))
            return QVariant(store::storedDate(*date));
        throw ValueRejected("not a date", kTakesDate);
    case store::JetType::Text: {
        const QString value = isTrue || isFalse ? trimmed : text;
        const int size = declaredSize(column.declaredType);
        if (size > 0 && characters(value) > size)
            throw ValueRejected("too long", QStringLiteral("该列最多能填%1个字。").arg(size));
        return QVariant(value);
    }
    default:
        return QVariant(isTrue || isFalse ? trimmed : text);
    }
}

QString unreadRowsText(const UnreadRows& unread) {
    return QStringLiteral("第%1行的A列为空，读取到此为止：从该行起还有%2行没有读入。")
        .arg(unread.stoppedAt)
        .arg(unread.count);
}

int stageWorkbook(store::Database& db, const QString& path, const std::function<void(int)>& progress,
                  UnreadRows* unread) {
    // A database failure names the cell being processed and keeps its cause.
    QString reference = cellReference(0, 2);
    try {
        const std::vector<store::TableColumn> columns = records::stagingColumns(db);
        const int width = int(columns.size());
        std::unique_ptr<SheetReader> sheet = openSheet(path, width);
        SheetRow row;
        // Rows before the titles are passed over; a sheet without row 2 has empty titles.
        bool more = sheet->next(row);
        while (more && row.number < 2)
            more = sheet->next(row);
        if (!more || row.number != 2)
            row = SheetRow{2, {}, {}};
        checkProblems(row, width);
        for (int j = 0; j < width; ++j) {
            const QString title = std::size_t(j) < row.cells.size() ? row.cells[std::size_t(j)] : QString();
            if (title.trimmed() != columns[std::size_t(j)].name.trimmed())
                throw TitleMismatch(title);
        }

        int staged = 0;
        reference = cellReference(0, 3);
        store::Transaction tx(db);
        // Rows read before a failure stay staged, as each row is saved when it is read.
        const auto keepStaged = [&tx] {
            try {
                tx.commit();
            } catch (const std::exception& e) {
                qCWarning(lcExchange) << "staged rows not kept:" << e.what();
            }
        };
        try {
            records::clearStaging(db);
            records::StagingAppender appender(db);
            QVariantList values;
            int expected = 3;
            for (;; ++expected) {
                reference = cellReference(0, expected);
                if (!sheet->next(row))
                    break;
                if (row.number != expected)
                    break;
                // A formula without its value in column A is a bad cell, not the end.
                checkProblems(row, width);
                if (row.cells.empty() || row.cells.front().trimmed().isEmpty())
                    break;
                values.clear();
                for (int j = 0; j < width; ++j) {
                    const QString text =
                        std::size_t(j) < row.cells.size() ? row.cells[std::size_t(j)] : QString();
                    try {
                        const std::optional<QVariant> value = columnValue(columns[std::size_t(j)], text);
                        values << (value ? *value : QVariant());
                    } catch (const ValueRejected& e) {
                        throw CellRejected(cellReference(j, expected), e.what(), e.takes());
                    }
                }
                appender.append(values);
                ++staged;
                if (progress)
                    progress(staged);
            }
            appender.finish();
            // Reading stops here as it always has; what lies below is only counted, so that an
            // operator is told before an import replaces the persons with fewer than the file has.
            if (unread) {
                *unread = UnreadRows{expected, 0};
                for (bool more = row.number >= expected; more; more = sheet->next(row)) {
                    if (holdsSomething(row))
                        ++unread->count;
                }
            }
        } catch (const store::Cancelled&) {
            throw; // 取消 keeps the staging table as it was
        } catch (...) {
            keepStaged();
            throw;
        }
        tx.commit();
        return staged;
    } catch (const store::SqlError& e) {
        throw CellRejected(reference, e);
    }
}

} // namespace exchange
