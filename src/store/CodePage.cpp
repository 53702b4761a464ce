#include "store/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace store {

namespace {

// One iconv conversion descriptor, closed with its owner.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert between GBK and UTF-8");
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() { iconv_close(cd_); }

    // Converts everything; an input sequence that has no equivalent becomes `replacement`
    // and the converter skips `skip` bytes of input.
    QByteArray convert(const QByteArray& in, const QByteArray& replacement, bool utf8Input) {
        QByteArray out;
        out.reserve(in.size() * 2 + 8);
        char* src = const_cast<char*>(in.constData());
        size_t srcLeft = size_t(in.size());
        char buffer[4096];
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, qsizetype(dst - buffer));
            if (rc != size_t(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: replace one character of input.
            out.append(replacement);
            size_t skip = 1;
            if (utf8Input) {
                const auto lead = static_cast<unsigned char>(*src);
                skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            } else if (static_cast<unsigned char>(*src) >= 0x81 && srcLeft >= 2) {
                skip = 2;
            }
            skip = std::min(skip, srcLeft);
            src += skip;
            srcLeft -= skip;
        }
        return out;
    }

private:
    iconv_t cd_;
};

} // namespace

QByteArray toGbk(const QString& text) {
    Converter c("GBK", "UTF-8");
    return c.convert(text.toUtf8(), QByteArrayLiteral("?"), true);
}

QString fromGbk(const QByteArray& bytes) {
    Converter c("UTF-8", "GBK");
    return QString::fromUtf8(c.convert(bytes, QStringLiteral("\uFFFD").toUtf8(), false));
}

int displayWidth(const QString& text) {
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() < 0x80 ? 1 : 0;
    if (width == text.size())
        return width;
    return int(toGbk(text).size());
}

} // namespace store
