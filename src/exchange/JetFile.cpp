#include "exchange/JetFile.h"

#include "store/JetValues.h"

#include <QDate>
#include <QtEndian>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

// libmdb's header includes glib inside its extern "C" block.
#include <glib.h>
#include <mdbtools.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/rc4.h>

namespace exchange {

namespace {

constexpr int kHeaderStart = 0x18;
constexpr int kVersionOffset = 0x14;
constexpr int kPasswordOffset = 0x42;
constexpr int kCreatedOffset = 0x72;
constexpr int kRowOffsetMask = 0x1fff;
// Long binary values are read through a bound buffer that must hold a whole page.
constexpr std::size_t kOleBindSize = 2 * MDB_PGSIZE;

QByteArray rc4(const QByteArray& key, const QByteArray& data) {
    RC4_KEY k;
    RC4_set_key(&k, int(key.size()), reinterpret_cast<const unsigned char*>(key.constData()));
    QByteArray out(data.size(), Qt::Uninitialized);
    RC4(&k, std::size_t(data.size()), reinterpret_cast<const unsigned char*>(data.constData()),
        reinterpret_cast<unsigned char*>(out.data()));
    return out;
}

struct HandleCloser {
    void operator()(MdbHandle* h) const {
        if (h)
            mdb_close(h);
    }
};
using Handle = std::shared_ptr<MdbHandle>;

struct TableFree {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

struct GFree {
    void operator()(void* p) const { g_free(p); }
};
using GText = std::unique_ptr<char, GFree>;

store::JetType kindOf(int mdbType) {
    switch (mdbType) {
    case MDB_BOOL:
        return store::JetType::Boolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return store::JetType::Long;
    case MDB_FLOAT:
        return store::JetType::Single;
    case MDB_DATETIME:
        return store::JetType::Date;
    case MDB_TEXT:
        return store::JetType::Text;
    case MDB_OLE:
    case MDB_BINARY:
        return store::JetType::LongBinary;
    case MDB_MEMO:
        return store::JetType::Memo;
    default:
        return store::JetType::Other;
    }
}

// The decimal that the old program showed for a Single (1734.3, not 1734.300048828125).
double singleValue(float f) {
    char buf[48];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf - 1, f);
    if (ec != std::errc())
        return double(f);
    *end = '\0';
    return std::strtod(buf, nullptr);
}

class JetTable : public SourceTable {
public:
    JetTable(Handle handle, MdbTableDef* table, const QString& path)
        : handle_(std::move(handle)), path_(path) {
        table_.reset(table);
        if (!mdb_read_columns(table))
            throw SourceError(SourceFailure::Unreadable, path, QStringLiteral("columns unreadable"),
                              QString::fromUtf8(table->name));
        name_ = QString::fromUtf8(table->name);
        const bool jet4 = IS_JET4(handle_.get());
        for (unsigned i = 0; i < table->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            const store::JetType kind = kindOf(col->col_type);
            const int size = kind == store::JetType::Text ? (jet4 ? col->col_size / 2 : col->col_size) : 0;
            columns_.push_back({QString::fromUtf8(col->name), kind, size});
            if (col->col_type == MDB_OLE) {
                oleBuffers_.emplace_back(kOleBindSize);
                mdb_bind_column(table, int(i) + 1, oleBuffers_.back().data(), nullptr);
            }
        }
        mdb_rewind_table(table);
    }

    qint64 rowCount() override { return table_->num_rows; }

    bool next(QVariantList& row) override {
        MdbTableDef* t = table_.get();
        if (!mdb_fetch_row(t))
            return false;
        MdbHandle* mdb = handle_.get();
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, int(t->cur_row) - 1, &start, &size) != 0 || size == 0)
            throw SourceError(SourceFailure::Unreadable, path_, QStringLiteral("row not found"), name_);
        start &= kRowOffsetMask;
        // Our own cracking of the row keeps the null flags that bound buffers lose.
        std::vector<MdbField> fields(t->num_cols);
        mdb_crack_row(t, start, size, fields.data());
        row.clear();
        row.reserve(int(t->num_cols));
        for (unsigned i = 0; i < t->num_cols; ++i)
            row << value(static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i)), fields[i]);
        return true;
    }

private:
    QVariant value(MdbColumn* col, const MdbField& f) {
        MdbHandle* mdb = handle_.get();
        unsigned char* page = mdb->pg_buf;
        // Yes/No lives in the null mask itself: a set bit is true.
        if (col->col_type == MDB_BOOL)
            return QVariant(!f.is_null);
        if (f.is_null)
            return QVariant();
        if (f.siz < 0 || f.start < 0 || std::size_t(f.start) + std::size_t(f.siz) > std::size_t(MDB_PGSIZE))
            throw unreadable(col);
        switch (col->col_type) {
        case MDB_BYTE:
            return QVariant(qint64(mdb_get_byte(page, f.start)));
        case MDB_INT:
            return QVariant(qint64(qint16(mdb_get_int16(page, f.start))));
        case MDB_LONGINT:
            return QVariant(qint64(qint32(mdb_get_int32(page, f.start))));
        case MDB_FLOAT:
            return QVariant(singleValue(mdb_get_single(page, f.start)));
        case MDB_DOUBLE:
            return QVariant(mdb_get_double(page, f.start));
        case MDB_MONEY: {
            qint64 cents = 0;
            std::memcpy(&cents, page + f.start, sizeof cents);
            return QVariant(double(qFromLittleEndian(cents)) / 10000.0);
        }
        case MDB_NUMERIC: {
            const GText text(mdb_numeric_to_string(mdb, f.start, col->col_scale, col->col_prec));
            return QVariant(QByteArray(text.get()).toDouble());
        }
        case MDB_DATETIME:
            return date(col, mdb_get_double(page, f.start));
        case MDB_TEXT:
            return text(col, f, MDB_TEXT, mdb->bind_size);
        case MDB_MEMO: {
            if (f.siz < MDB_MEMO_OVERHEAD)
                return QVariant(QStringLiteral(""));
            // Sized to the memo, so a long remark is never cut at the default buffer.
            const std::size_t length = std::size_t(mdb_get_int32(page, f.start)) & 0x00ffffffu;
            return text(col, f, MDB_MEMO, std::max<std::size_t>(mdb->bind_size, length * 3 + 64));
        }
        case MDB_OLE: {
            if (f.siz == 0)
                return QVariant(QByteArray());
            size_t length = 0;
            void* bytes = mdb_ole_read_full(mdb, col, &length);
            const QByteArray value(static_cast<const char*>(bytes), qsizetype(length));
            std::free(bytes);
            return QVariant(value);
        }
        case MDB_BINARY:
            return QVariant(QByteArray(reinterpret_cast<const char*>(page + f.start), f.siz));
        case MDB_REPID: {
            const GText text(mdb_uuid_to_string(page, f.start));
            return QVariant(QString::fromLatin1(text.get()));
        }
        default:
            return QVariant();
        }
    }

    QVariant text(MdbColumn* col, const MdbField& f, int type, std::size_t bindSize) {
        if (f.siz == 0)
            return QVariant(QStringLiteral(""));
        MdbHandle* mdb = handle_.get();
        const std::size_t saved = mdb->bind_size;
        mdb_set_bind_size(mdb, bindSize);
        const GText text(mdb_col_to_string(mdb, mdb->pg_buf, f.start, type, f.siz));
        mdb_set_bind_size(mdb, saved);
        if (!text)
            throw unreadable(col);
        return QVariant(QString::fromUtf8(text.get()));
    }

    // Days since 1899-12-30; before that day the whole part counts back and the fraction is
    // still the time of day. The persons table keeps the day only.
    QVariant date(MdbColumn* col, double raw) {
        if (!std::isfinite(raw) || std::fabs(raw) > 3.0e6)
            throw unreadable(col);
        const QDate day = QDate(1899, 12, 30).addDays(qint64(std::trunc(raw)));
        if (!day.isValid() || day.year() < 1 || day.year() > 9999)
            throw unreadable(col);
        return QVariant(store::storedDate(day));
    }

    SourceError unreadable(MdbColumn* col) const {
        return SourceError(SourceFailure::Unreadable, path_,
                           QStringLiteral("value of %1 unreadable").arg(QString::fromUtf8(col->name)), name_);
    }

    Handle handle_;
    QString path_;
    std::unique_ptr<MdbTableDef, TableFree> table_;
    std::vector<std::vector<char>> oleBuffers_;
};

class JetDatabase : public SourceDatabase {
public:
    JetDatabase(Handle handle, int version, QString path)
        : handle_(std::move(handle)), version_(version), path_(std::move(path)) {}

    Kind kind() const override { return version_ == 3 ? Kind::Jet3 : Kind::Jet4; }

    bool hasTable(const QString& name) override { return entry(name) != nullptr; }

    std::unique_ptr<SourceTable> table(const QString& name) override {
        MdbCatalogEntry* e = entry(name);
        if (!e)
            throw SourceError(SourceFailure::MissingTable, path_, QStringLiteral("no table %1").arg(name),
                              name);
        MdbTableDef* t = mdb_read_table(e);
        if (!t)
            throw SourceError(SourceFailure::Unreadable, path_, QStringLiteral("table unreadable"), name);
        return std::make_unique<JetTable>(handle_, t, path_);
    }

private:
    MdbCatalogEntry* entry(const QString& name) const {
        GPtrArray* catalog = handle_->catalog;
        for (guint i = 0; catalog && i < catalog->len; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (e->object_type == MDB_TABLE && mdb_is_user_table(e) &&
                QString::fromUtf8(e->object_name).compare(name, Qt::CaseInsensitive) == 0)
                return e;
        }
        return nullptr;
    }

    Handle handle_;
    int version_;
    QString path_;
};

} // namespace

std::optional<JetHeader> readJetHeader(const QByteArray& page) {
    static const QByteArray magic("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    if (page.size() < kHeaderStart + 128 || !page.startsWith(magic))
        return std::nullopt;
    JetHeader header;
    header.version = page.at(kVersionOffset) == 0 ? 3 : 4;
    const int encoded = header.version == 3 ? 126 : 128;
    QByteArray plain =
        page.left(kHeaderStart) + rc4(QByteArray("\xC7\xDA\x39\x6B", 4), page.mid(kHeaderStart, encoded));
    if (header.version == 3) {
        const QByteArray bytes = plain.mid(kPasswordOffset, 20);
        const qsizetype end = bytes.indexOf('\0');
        header.password = QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
        return header;
    }
    double created = 0;
    std::memcpy(&created, plain.constData() + kCreatedOffset, sizeof created);
    const qint32 day = std::isfinite(created) && std::fabs(created) < 1.0e9 ? qint32(std::floor(created)) : 0;
    const auto mask = qToLittleEndian(day);
    QByteArray bytes = plain.mid(kPasswordOffset, 40);
    for (int k = 0; k < bytes.size(); ++k)
        bytes[k] = char(bytes[k] ^ reinterpret_cast<const char*>(&mask)[k % 4]);
    QString password = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), 20);
    const qsizetype end = password.indexOf(QChar(0));
    header.password = end < 0 ? password : password.left(end);
    return header;
}

std::unique_ptr<SourceDatabase> openJetFile(const QString& path, const JetHeader& header,
                                            const QString& password) {
    if (header.password != password)
        throw SourceError(SourceFailure::WrongPassword, path, QStringLiteral("another database password"));
    // Jet 3 text is in the Chinese code page whatever code page the header names; the name
    // must be valid, or even the catalog cannot be read.
    qputenv("MDB_JET3_CHARSET", "GB18030");
    const QByteArray file = path.toLocal8Bit();
    Handle handle(mdb_open(file.constData(), MDB_NOFLAGS), HandleCloser());
    if (!handle)
        throw SourceError(SourceFailure::NotADatabase, path, QStringLiteral("libmdb cannot open the file"));
    if (!mdb_read_catalog(handle.get(), MDB_TABLE))
        throw SourceError(SourceFailure::NotADatabase, path, QStringLiteral("catalog unreadable"));
    return std::make_unique<JetDatabase>(std::move(handle), header.version, path);
}

} // namespace exchange
