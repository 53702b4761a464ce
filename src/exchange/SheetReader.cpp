#include "exchange/SheetReader.h"

#include "exchange/Workbook.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>

#include <expat.h>
#include <freexl.h>
#include <minizip/unzip.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

Q_LOGGING_CATEGORY(lcExchange, "tessaly.exchange")

namespace exchange {

namespace {

// ---------------------------------------------------------------- shared helpers

// "x:c" and "c" are the same element; some writers prefix the main namespace.
std::string_view localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(name);
}

const char* attribute(const char** attrs, std::string_view name) {
    for (int i = 0; attrs[i]; i += 2) {
        if (localName(attrs[i]) == name)
            return attrs[i + 1];
    }
    return nullptr;
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Undoes the _xHHHH_ escapes that workbook writers use for characters XML cannot carry
// (a carriage return is _x000D_; _x005F_ is the underscore itself).
QString unescaped(const std::string& bytes) {
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    if (bytes.find("_x") == std::string::npos)
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            int code = 0;
            bool hex = true;
            for (int k = 2; k < 6 && hex; ++k) {
                const int h = hexValue(text[i + k]);
                hex = h >= 0;
                code = code * 16 + h;
            }
            if (hex) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString numberText(const std::string& v) {
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (end == v.c_str() || *end != '\0')
        return QString::fromStdString(v);
    return plainNumber(d);
}

// A serial day number of the workbook's date system as a date text.
QString serialDateText(double serial, bool system1904) {
    if (!std::isfinite(serial) || serial < 0 || serial > 2958466)
        return plainNumber(serial);
    double days = std::floor(serial);
    qint64 seconds = std::llround((serial - days) * 86400.0);
    if (seconds >= 86400) {
        days += 1;
        seconds -= 86400;
    }
    QDate base = system1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (!system1904 && days < 61)
        base = QDate(1899, 12, 31); // days before the 1900 leap day that never was
    const QDate date = base.addDays(qint64(days));
    QString text = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (seconds)
        text += QLatin1Char(' ') + QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral("hh:mm:ss"));
    return text;
}

// A date cell's ISO 8601 text ("1950-03-15T00:00:00") as the date text a dated number gives;
// a text that names no date is passed on for the column to judge.
QString isoDateText(const std::string& value) {
    const QString text = QString::fromStdString(value).trimmed();
    QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!at.isValid())
        at = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0));
    if (!at.isValid())
        return text;
    QString out = at.date().toString(QStringLiteral("yyyy-MM-dd"));
    const QTime time = at.time();
    if (time.hour() || time.minute() || time.second())
        out += QLatin1Char(' ') + time.toString(QStringLiteral("hh:mm:ss"));
    return out;
}

// Whether a number format shows a date: the built-in date ids, or a code that uses y, m or d
// outside quoted texts, escapes and [colour] brackets.
bool isDateFormat(int id, const QString& code) {
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            ++bracket;
        } else if (c == u']') {
            bracket = std::max(0, bracket - 1);
        } else if (!bracket) {
            const char16_t l = c.toLower().unicode();
            if (l == u'y' || l == u'd' || l == u'm')
                return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- .xlsx

class Zip {
public:
    explicit Zip(const QString& path) {
        const QByteArray name = QFile::encodeName(path);
        zip_ = unzOpen64(name.constData());
        if (!zip_)
            throw WorkbookError(QStringLiteral("damaged zip file: ") + path);
    }
    ~Zip() {
        if (open_)
            unzCloseCurrentFile(zip_);
        unzClose(zip_);
    }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;

    bool openEntry(const std::string& name) {
        closeEntry();
        if (unzLocateFile(zip_, name.c_str(), 0) != UNZ_OK)
            return false;
        if (unzOpenCurrentFile(zip_) != UNZ_OK)
            throw WorkbookError(QStringLiteral("cannot open ") + QString::fromStdString(name));
        open_ = true;
        return true;
    }
    // Bytes read into buffer; 0 at the end of the entry.
    int read(char* buffer, unsigned size) {
        const int n = unzReadCurrentFile(zip_, buffer, size);
        if (n < 0)
            throw WorkbookError(QStringLiteral("damaged workbook"));
        return n;
    }
    void closeEntry() {
        if (open_)
            unzCloseCurrentFile(zip_);
        open_ = false;
    }

private:
    unzFile zip_ = nullptr;
    bool open_ = false;
};

// An expat parser fed from one zip entry, chunk by chunk.
class XmlStream {
public:
    XmlStream() : parser_(XML_ParserCreate("UTF-8")) {
        if (!parser_)
            throw WorkbookError(QStringLiteral("out of memory"));
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(
            parser_,
            [](void* self, const char* name, const char** attrs) {
                static_cast<XmlStream*>(self)->onStart(localName(name), attrs);
            },
            [](void* self, const char* name) { static_cast<XmlStream*>(self)->onEnd(localName(name)); });
        XML_SetCharacterDataHandler(parser_, [](void* self, const char* s, int len) {
            static_cast<XmlStream*>(self)->onText(s, len);
        });
    }
    virtual ~XmlStream() { XML_ParserFree(parser_); }
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // Feeds one chunk; `last` at the end of the entry.
    void feed(const char* data, int size, bool last) {
        const XML_Status status = XML_Parse(parser_, data, size, last);
        if (!failure_.isEmpty())
            throw WorkbookError(failure_);
        if (status == XML_STATUS_ERROR)
            throw WorkbookError(QStringLiteral("damaged workbook: ") +
                                QString::fromLatin1(XML_ErrorString(XML_GetErrorCode(parser_))));
    }
    // Parses a whole entry.
    void parseEntry(Zip& zip) {
        std::string buffer(1 << 16, '\0');
        for (;;) {
            const int n = zip.read(buffer.data(), unsigned(buffer.size()));
            feed(buffer.data(), n, n == 0);
            if (n == 0)
                break;
        }
        zip.closeEntry();
    }

protected:
    // Handlers run inside the C parser: they stop it rather than throw through it.
    void fail(const QString& why) {
        if (failure_.isEmpty())
            failure_ = why;
        XML_StopParser(parser_, XML_FALSE);
    }
    virtual void onStart(std::string_view name, const char** attrs) = 0;
    virtual void onEnd(std::string_view) {}
    virtual void onText(const char*, int) {}

private:
    XML_Parser parser_;
    QString failure_;
};

// xl/workbook.xml: the first sheet's relationship and the date system.
struct WorkbookPart : XmlStream {
    std::string firstSheet;
    bool system1904 = false;
    void onStart(std::string_view name, const char** attrs) override {
        if (name == "sheet" && firstSheet.empty()) {
            const char* id = attribute(attrs, "id");
            firstSheet = id ? id : "";
        } else if (name == "workbookPr") {
            const char* d = attribute(attrs, "date1904");
            system1904 = d && (std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0);
        }
    }
};

// xl/_rels/workbook.xml.rels: targets by relationship id and type.
struct RelationsPart : XmlStream {
    QHash<QByteArray, QByteArray> targets;
    QByteArray sharedStrings;
    QByteArray styles;
    void onStart(std::string_view name, const char** attrs) override {
        if (name != "Relationship")
            return;
        const char* id = attribute(attrs, "Id");
        const char* target = attribute(attrs, "Target");
        const char* type = attribute(attrs, "Type");
        if (!id || !target)
            return;
        targets.insert(id, target);
        const QByteArray t = type ? QByteArray(type) : QByteArray();
        if (t.endsWith("/sharedStrings"))
            sharedStrings = target;
        else if (t.endsWith("/styles"))
            styles = target;
    }
};

std::string partPath(const QByteArray& target) {
    if (target.startsWith('/'))
        return target.mid(1).toStdString();
    return "xl/" + target.toStdString();
}

// Collects the text of a string item (<si> or <is>): every <t> outside phonetic runs.
struct StringCollector {
    int depthPhonetic = 0;
    bool inText = false;
    std::string text;
    void start(std::string_view name) {
        if (name == "rPh")
            ++depthPhonetic;
        else if (name == "t" && !depthPhonetic)
            inText = true;
    }
    void end(std::string_view name) {
        if (name == "rPh")
            --depthPhonetic;
        else if (name == "t")
            inText = false;
    }
    void add(const char* s, int len) {
        if (inText)
            text.append(s, std::size_t(len));
    }
};

struct SharedStringsPart : XmlStream {
    std::vector<QString> strings;
    bool inItem = false;
    StringCollector item;
    void onStart(std::string_view name, const char**) override {
        if (name == "si") {
            inItem = true;
            item = {};
        } else if (inItem) {
            item.start(name);
        }
    }
    // The shared texts stay in memory while the sheet is read; a file claiming more is refused.
    static constexpr std::size_t kLimit = std::size_t(512) << 20;
    std::size_t bytes = 0;

    void onEnd(std::string_view name) override {
        if (name == "si") {
            inItem = false;
            bytes += item.text.size() + sizeof(QString);
            if (bytes > kLimit)
                fail(QStringLiteral("shared texts too large"));
            strings.push_back(unescaped(item.text));
        } else if (inItem) {
            item.end(name);
        }
    }
    void onText(const char* s, int len) override {
        if (inItem)
            item.add(s, len);
    }
};

// xl/styles.xml: which cell formats show dates.
struct StylesPart : XmlStream {
    QHash<int, QString> codes;
    std::vector<bool> dateStyles;
    bool inCellXfs = false;
    void onStart(std::string_view name, const char** attrs) override {
        if (name == "numFmt") {
            const char* id = attribute(attrs, "numFmtId");
            const char* code = attribute(attrs, "formatCode");
            if (id && code)
                codes.insert(std::atoi(id), QString::fromUtf8(code));
        } else if (name == "cellXfs") {
            inCellXfs = true;
        } else if (name == "xf" && inCellXfs) {
            const char* id = attribute(attrs, "numFmtId");
            const int n = id ? std::atoi(id) : 0;
            dateStyles.push_back(isDateFormat(n, codes.value(n)));
        }
    }
    void onEnd(std::string_view name) override {
        if (name == "cellXfs")
            inCellXfs = false;
    }
};

class XlsxSheet : public SheetReader, private XmlStream {
public:
    XlsxSheet(const QString& path, int columns) : zip_(path), columns_(columns) {
        WorkbookPart workbook;
        if (!zip_.openEntry("xl/workbook.xml"))
            throw WorkbookError(QStringLiteral("no workbook part"), WorkbookError::Kind::NotAWorkbook);
        workbook.parseEntry(zip_);
        system1904_ = workbook.system1904;

        RelationsPart relations;
        if (zip_.openEntry("xl/_rels/workbook.xml.rels"))
            relations.parseEntry(zip_);
        const QByteArray sheetTarget = relations.targets.value(QByteArray::fromStdString(workbook.firstSheet),
                                                               QByteArrayLiteral("worksheets/sheet1.xml"));

        SharedStringsPart shared;
        if (zip_.openEntry(partPath(relations.sharedStrings.isEmpty() ? QByteArrayLiteral("sharedStrings.xml")
                                                                      : relations.sharedStrings)))
            shared.parseEntry(zip_);
        strings_ = std::move(shared.strings);

        StylesPart styles;
        if (zip_.openEntry(
                partPath(relations.styles.isEmpty() ? QByteArrayLiteral("styles.xml") : relations.styles)))
            styles.parseEntry(zip_);
        dateStyles_ = std::move(styles.dateStyles);

        if (!zip_.openEntry(partPath(sheetTarget)))
            throw WorkbookError(QStringLiteral("no worksheet"));
        buffer_.resize(1 << 16);
    }

    bool next(SheetRow& row) override {
        while (ready_.empty() && !ended_) {
            const int n = zip_.read(buffer_.data(), unsigned(buffer_.size()));
            ended_ = n == 0;
            feed(buffer_.data(), n, ended_);
        }
        if (ready_.empty())
            return false;
        row = std::move(ready_.front());
        ready_.pop_front();
        return true;
    }

private:
    void onStart(std::string_view name, const char** attrs) override {
        if (inInline_) {
            inline_.start(name);
            return;
        }
        if (name == "c") {
            inCell_ = true;
            hasFormula_ = false;
            hasValue_ = false;
            value_.clear();
            inline_ = {};
            const char* r = attribute(attrs, "r");
            const int column = r ? referenceColumn(r) : -1;
            column_ = column >= 0 ? column : column_ + 1;
            const char* t = attribute(attrs, "t");
            type_ = t ? t : "n";
            const char* s = attribute(attrs, "s");
            style_ = s ? std::atoi(s) : 0;
        } else if (name == "v" && inCell_) {
            inValue_ = true;
            hasValue_ = true;
        } else if (name == "f" && inCell_) {
            hasFormula_ = true;
        } else if (name == "is" && inCell_) {
            inInline_ = true;
        } else if (name == "row") {
            const char* r = attribute(attrs, "r");
            row_.number = r ? std::atoi(r) : row_.number + 1;
            row_.cells.clear();
            row_.problems.clear();
            column_ = -1;
        }
    }

    void onEnd(std::string_view name) override {
        if (inInline_) {
            if (name == "is")
                inInline_ = false;
            else
                inline_.end(name);
            return;
        }
        if (name == "v") {
            inValue_ = false;
        } else if (name == "c") {
            inCell_ = false;
            if (column_ >= 0 && column_ < columns_) {
                if (row_.cells.size() <= std::size_t(column_))
                    row_.cells.resize(std::size_t(column_) + 1);
                row_.cells[std::size_t(column_)] = cellText();
                // A formula saved without its result (by a program that does not calculate)
                // holds no value to read; it is not an empty cell.
                if (hasFormula_ && !hasValue_ && type_ != "inlineStr")
                    row_.problems.emplace_back(column_, CellProblem::FormulaWithoutValue);
                else if (badString_)
                    row_.problems.emplace_back(column_, CellProblem::NoSuchSharedText);
            }
            badString_ = false;
        } else if (name == "row") {
            ready_.push_back(std::move(row_));
            row_ = SheetRow{ready_.back().number, {}, {}};
        }
    }

    void onText(const char* s, int len) override {
        if (inInline_)
            inline_.add(s, len);
        else if (inValue_)
            value_.append(s, std::size_t(len));
    }

    // The column of a reference such as "AB12"; -1 when it has no letters.
    static int referenceColumn(const char* r) {
        int c = 0;
        int letters = 0;
        for (; *r && letters < 4; ++r, ++letters) {
            const char ch = char(*r & ~0x20);
            if (ch < 'A' || ch > 'Z')
                break;
            c = c * 26 + (ch - 'A' + 1);
        }
        return letters ? c - 1 : -1;
    }

    QString cellText() {
        if (type_ == "inlineStr")
            return unescaped(inline_.text);
        if (type_ == "s") {
            const long index = std::strtol(value_.c_str(), nullptr, 10);
            if (index < 0 || std::size_t(index) >= strings_.size()) {
                badString_ = true;
                return QString();
            }
            return strings_[std::size_t(index)];
        }
        if (type_ == "b")
            return value_ == "1" || value_ == "true" ? QStringLiteral("True") : QStringLiteral("False");
        if (type_ == "str" || type_ == "e")
            return unescaped(value_);
        if (type_ == "d")
            return isoDateText(value_);
        if (value_.empty())
            return QString();
        if (style_ >= 0 && std::size_t(style_) < dateStyles_.size() && dateStyles_[std::size_t(style_)])
            return serialDateText(std::strtod(value_.c_str(), nullptr), system1904_);
        return numberText(value_);
    }

    Zip zip_;
    int columns_;
    bool system1904_ = false;
    std::vector<QString> strings_;
    std::vector<bool> dateStyles_;
    std::string buffer_;
    bool ended_ = false;
    std::deque<SheetRow> ready_;

    SheetRow row_;
    int column_ = -1;
    bool inCell_ = false;
    bool inValue_ = false;
    bool inInline_ = false;
    std::string type_;
    int style_ = 0;
    bool badString_ = false;
    bool hasFormula_ = false;
    bool hasValue_ = false;
    std::string value_;
    StringCollector inline_;
};

// ---------------------------------------------------------------- .xls

// A FreeXL handle, closed (with the file it holds open) however the reader ends, also when its
// constructor throws.
struct FreeXlClose {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using FreeXlHandle = std::unique_ptr<const void, FreeXlClose>;

class XlsSheet : public SheetReader {
public:
    XlsSheet(const QString& path, int columns) : columns_(columns) {
        // The older format is read whole into memory; its own limits keep real files far below this.
        if (QFileInfo(path).size() > (qint64(512) << 20))
            throw WorkbookError(QStringLiteral("workbook too large"));
        const QByteArray name = QFile::encodeName(path);
        const void* opened = nullptr;
        const int rc = freexl_open(name.constData(), &opened);
        // FreeXL hands out no handle when it fails.
        handle_.reset(rc == FREEXL_OK ? opened : nullptr);
        if (rc == FREEXL_FILE_NOT_FOUND)
            throw WorkbookError(QStringLiteral("cannot open ") + path, WorkbookError::Kind::CannotOpen);
        if (rc == FREEXL_BIFF_WORKBOOK_NOT_FOUND)
            throw WorkbookError(QStringLiteral("no workbook in ") + path, WorkbookError::Kind::NotAWorkbook);
        if (rc != FREEXL_OK)
            throw WorkbookError(QStringLiteral("not a readable .xls workbook (%1)").arg(rc));
        unsigned short columnCount = 0;
        if (freexl_select_active_worksheet(handle_.get(), 0) != FREEXL_OK ||
            freexl_worksheet_dimensions(handle_.get(), &rows_, &columnCount) != FREEXL_OK)
            throw WorkbookError(QStringLiteral("no worksheet"));
        width_ = std::min<int>(columnCount, columns_);
    }

    bool next(SheetRow& row) override {
        while (current_ < rows_) {
            const unsigned r = current_++;
            row.number = int(r) + 1;
            row.cells.assign(std::size_t(width_), QString());
            row.problems.clear();
            bool any = false;
            for (int c = 0; c < width_; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle_.get(), r, static_cast<unsigned short>(c), &v) != FREEXL_OK)
                    continue;
                QString& text = row.cells[std::size_t(c)];
                switch (v.type) {
                case FREEXL_CELL_INT:
                    text = QString::number(v.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    text = plainNumber(v.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    text = QString::fromUtf8(v.value.text_value);
                    break;
                default:
                    break;
                }
                any = any || !text.isEmpty();
            }
            if (any)
                return true;
        }
        return false;
    }

private:
    FreeXlHandle handle_;
    int columns_;
    int width_ = 0;
    unsigned rows_ = 0;
    unsigned current_ = 0;
};

} // namespace

std::unique_ptr<SheetReader> openSheet(const QString& path, int columns) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw WorkbookError(QStringLiteral("cannot open ") + path, WorkbookError::Kind::CannotOpen);
    const QByteArray magic = file.read(4);
    file.close();
    if (magic == QByteArrayLiteral("PK\x03\x04"))
        return std::make_unique<XlsxSheet>(path, columns);
    if (magic == QByteArrayLiteral("\xD0\xCF\x11\xE0"))
        return std::make_unique<XlsSheet>(path, columns);
    throw WorkbookError(QStringLiteral("not a workbook: ") + path, WorkbookError::Kind::NotAWorkbook);
}

} // namespace exchange
