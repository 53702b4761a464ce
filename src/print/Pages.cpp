#include "print/Pages.h"

#include "print/Surface.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QLoggingCategory>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <memory>
#include <optional>
#include <stdexcept>

Q_LOGGING_CATEGORY(lcPrint, "tessaly.print")

namespace print {

int ResultPages::pageCount() const {
    return mode == Mode::Roster ? rosterPageCount(count) : count;
}

void ResultPages::draw(Surface& surface, int page, int z, Target target) const {
    if (mode == Mode::Roster) {
        drawRosterPage(surface, z, settings, page, count, rowAt, target);
        return;
    }
    if (page < 1 || page > count)
        throw std::out_of_range("no person at this position");
    drawSheet(surface, z, settings, unitName, rowAt(page - 1), target);
}

QSize ResultPages::pageSize(int z) const {
    if (mode == Mode::Roster)
        return {settings.pageLong / z, settings.pageShort / z};
    return {297 / z, 210 / z};
}

QImage previewImage(const ResultPages& pages, int page, int z, double dpi) {
    const QSize mm = pages.pageSize(z);
    const double perMm = dpi / 25.4;
    QImage image(qMax(1, qRound(mm.width() * perMm)), qMax(1, qRound(mm.height() * perMm)),
                 QImage::Format_RGB32);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    PainterSurface surface(painter, Faces::Screen);
    try {
        pages.draw(surface, page, z, Target::Preview);
    } catch (const std::exception& e) {
        // What was drawn so far stays on the page.
        qCWarning(lcPrint) << "page drawing stopped:" << e.what();
    }
    return image;
}

RowAt personRows(store::Database& db, std::vector<qint64> rowids) {
    QStringList columns;
    const QStringList names = db.columnNames(store::schema::kPersons);
    for (qsizetype i = 0; i + 1 < names.size(); ++i)
        columns << store::quoted(names.at(i));
    auto st = std::make_shared<store::Statement>(
        db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                       .arg(columns.join(QLatin1Char(',')), store::quoted(store::schema::kPersons))));
    return [st, ids = std::move(rowids)](int index) {
        QVariantList values;
        if (index < 0 || index >= int(ids.size()))
            return values;
        st->reset();
        st->bind(1, ids[std::size_t(index)]);
        if (st->step()) {
            for (int c = 0; c < st->columnCount(); ++c)
                values << st->value(c);
        }
        st->reset();
        return values;
    };
}

QPageLayout a4Landscape() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

bool writePdfPages(const QString& path, int pageCount, const std::function<void(QPainter&, int)>& draw,
                   const std::function<bool(int, int)>& progress) {
    // Written beside the target and renamed over it only when whole, so a cancelled or failed
    // run leaves an earlier file of that name as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(file.errorString().toStdString());
    try {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Tessaly"));
        writer.setResolution(600);
        writer.setPageLayout(a4Landscape());
        QPainter painter;
        if (!painter.begin(&writer))
            throw std::runtime_error("the PDF file cannot be written");
        for (int page = 1; page <= pageCount; ++page) {
            if (page > 1)
                writer.newPage();
            draw(painter, page);
            if (progress && !progress(page, pageCount)) {
                painter.end();
                file.cancelWriting();
                return false;
            }
        }
        if (!painter.end())
            throw std::runtime_error("the PDF file cannot be written");
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw std::runtime_error(file.errorString().toStdString());
    return true;
}

bool writePdf(const QString& path, const ResultPages& pages, int first, int last,
              const std::function<bool(int, int)>& progress) {
    std::optional<PainterSurface> surface;
    return writePdfPages(
        path, last - first + 1,
        [&](QPainter& painter, int page) {
            if (!surface)
                surface.emplace(painter, Faces::Pdf);
            pages.draw(*surface, first + page - 1, 1, Target::Paper);
        },
        progress);
}

} // namespace print
