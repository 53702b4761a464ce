#include "exchange/Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <xlsxwriter.h>

#include <charconv>
#include <cmath>
#include <filesystem>

namespace exchange {

QString columnLetters(int column) {
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

QString cellReference(int column, int row) {
    return columnLetters(column) + QString::number(row);
}

bool parseReference(QStringView reference, int& column, int& row) {
    qsizetype i = 0;
    int c = 0;
    while (i < reference.size() && i < 4) {
        const char16_t ch = reference[i].toUpper().unicode();
        if (ch < u'A' || ch > u'Z')
            break;
        c = c * 26 + (ch - u'A' + 1);
        ++i;
    }
    if (i == 0 || i == reference.size())
        return false;
    bool ok = false;
    const int r = reference.mid(i).toInt(&ok);
    if (!ok || r < 1)
        return false;
    column = c - 1;
    row = r;
    return true;
}

QString plainNumber(double value) {
    if (!std::isfinite(value))
        return QString();
    if (value == 0)
        return QStringLiteral("0");
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString exchangeText(store::JetType type, const QVariant& value) {
    if (value.isNull())
        return QString();
    switch (type) {
    case store::JetType::Boolean:
        return value.toLongLong() != 0 ? QStringLiteral("True") : QStringLiteral("False");
    case store::JetType::Long:
    case store::JetType::Single:
        if (value.typeId() == QMetaType::QString)
            return value.toString();
        return plainNumber(value.toDouble());
    default:
        return value.toString();
    }
}

namespace {

// libxlsxwriter writes control characters as _xHHHH_ but leaves a text that already reads like
// such an escape as it is; escaping its underscore keeps it from coming back as another text.
QByteArray cellBytes(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains("_x"))
        return bytes;
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        bool escape = bytes[i] == '_' && i + 6 < bytes.size() && bytes[i + 1] == 'x' && bytes[i + 6] == '_';
        for (int k = 2; escape && k < 6; ++k)
            escape = std::isxdigit(static_cast<unsigned char>(bytes[i + k]));
        if (escape)
            out += "_x005F_";
        else
            out += bytes[i];
    }
    return out;
}

} // namespace

struct WorkbookWriter::Impl {
    QString target;
    QString partial;
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* textFormat = nullptr;
    bool closed = false;

    void check(lxw_error e) const {
        if (e != LXW_NO_ERROR)
            throw WorkbookError(QString::fromUtf8(lxw_strerror(e)));
    }
};

WorkbookWriter::WorkbookWriter(const QString& target) : d_(std::make_unique<Impl>()) {
    d_->target = target;
    // Reserve a name of our own beside the target; the library writes it at the closing step,
    // truncating it in place, so the file keeps the mode it is created with here. Not a
    // QTemporaryFile: that one is private to its owner whatever the umask says.
    const QString folder = QFileInfo(target).absolutePath();
    for (int attempt = 0; d_->partial.isEmpty(); ++attempt) {
        const QString name = folder + QStringLiteral("/.tessaly-") +
                             QString::number(QRandomGenerator::global()->generate64(), 36) +
                             QStringLiteral(".xlsx");
        QFile reserve(name);
        if (reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            d_->partial = name;
        else if (attempt >= 100 || !QFileInfo::exists(name))
            throw WorkbookError(QStringLiteral("cannot write in the folder of ") + target);
    }

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray name = QFile::encodeName(d_->partial);
    d_->book = workbook_new_opt(name.constData(), &options);
    if (!d_->book) {
        QFile::remove(d_->partial);
        throw WorkbookError(QStringLiteral("cannot start a workbook"));
    }
    d_->sheet = workbook_add_worksheet(d_->book, nullptr);
    d_->textFormat = workbook_add_format(d_->book);
    format_set_num_format(d_->textFormat, "@");
}

WorkbookWriter::~WorkbookWriter() {
    if (!d_->closed) {
        // Nothing to keep: the library frees its memory only when it closes.
        workbook_close(d_->book);
        QFile::remove(d_->partial);
    }
}

void WorkbookWriter::setPlain(int row, int column, const QString& text) {
    d_->check(worksheet_write_string(d_->sheet, lxw_row_t(row), lxw_col_t(column),
                                     cellBytes(text).constData(), nullptr));
}

void WorkbookWriter::setText(int row, int column, const QString& text) {
    if (text.isEmpty()) {
        d_->check(worksheet_write_blank(d_->sheet, lxw_row_t(row), lxw_col_t(column), d_->textFormat));
        return;
    }
    d_->check(worksheet_write_string(d_->sheet, lxw_row_t(row), lxw_col_t(column),
                                     cellBytes(text).constData(), d_->textFormat));
}

void WorkbookWriter::save() {
    d_->closed = true;
    const lxw_error e = workbook_close(d_->book);
    if (e != LXW_NO_ERROR) {
        QFile::remove(d_->partial);
        throw WorkbookError(QString::fromUtf8(lxw_strerror(e)));
    }
    namespace fs = std::filesystem;
    const fs::path partial(d_->partial.toStdU16String());
    const fs::path target(d_->target.toStdU16String());
    std::error_code failed;
    // A file that is replaced keeps its mode (an office may share its exports on purpose).
    const fs::file_status old = fs::status(target, failed);
    if (!failed && fs::is_regular_file(old))
        fs::permissions(partial, old.permissions(), failed);
    failed.clear();
    fs::rename(partial, target, failed);
    if (failed) {
        QFile::remove(d_->partial);
        throw WorkbookError(QStringLiteral("cannot replace ") + d_->target);
    }
}

} // namespace exchange
