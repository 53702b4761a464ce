#include "records/Scanner.h"

#include <QLoggingCategory>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cstring>

Q_LOGGING_CATEGORY(lcScanner, "tessaly.scanner")

namespace records {

namespace {

// A scan that would need more memory than this is refused.
constexpr qsizetype kMaxScanBytes = qsizetype(512) * 1024 * 1024;

class Handle {
public:
    explicit Handle(SANE_Handle h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        sane_cancel(h_);
        sane_close(h_);
    }
    SANE_Handle get() const { return h_; }

private:
    SANE_Handle h_;
};

// Photos are scanned in colour where the device offers it; otherwise as the device stands.
void preferColour(SANE_Handle h) {
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
        if (!d)
            return;
        if (!d->name || std::strcmp(d->name, SANE_NAME_SCAN_MODE) != 0 || d->type != SANE_TYPE_STRING ||
            d->constraint_type != SANE_CONSTRAINT_STRING_LIST || !SANE_OPTION_IS_SETTABLE(d->cap))
            continue;
        for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
            if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_COLOR) == 0) {
                QByteArray value(qMax<qsizetype>(d->size, qsizetype(std::strlen(*s)) + 1), '\0');
                std::memcpy(value.data(), *s, std::strlen(*s));
                sane_control_option(h, i, SANE_ACTION_SET_VALUE, value.data(), nullptr);
                return;
            }
        }
        return;
    }
}

Scanner::Status statusOf(SANE_Status s) {
    switch (s) {
    case SANE_STATUS_GOOD:
        return Scanner::Status::Ok;
    case SANE_STATUS_CANCELLED:
        return Scanner::Status::Cancelled;
    default:
        return Scanner::Status::Failed;
    }
}

// One frame's bytes and its parameters.
struct Frame {
    SANE_Parameters p{};
    QByteArray bytes;
};

quint8 sample(const Frame& f, int line, int index) {
    const auto* row =
        reinterpret_cast<const uchar*>(f.bytes.constData()) + qsizetype(line) * f.p.bytes_per_line;
    switch (f.p.depth) {
    case 1:
        return (row[index / 8] & (0x80 >> (index % 8))) ? 0 : 255; // a set bit is black
    case 16: {
        quint16 v;
        std::memcpy(&v, row + qsizetype(index) * 2, 2);
        return quint8(v >> 8);
    }
    default:
        return row[index];
    }
}

class SaneScanner : public Scanner {
public:
    ~SaneScanner() override {
        if (initialised_)
            sane_exit();
    }

    bool initialise() override {
        SANE_Int version = 0;
        const SANE_Status s = sane_init(&version, nullptr);
        initialised_ = s == SANE_STATUS_GOOD;
        if (!initialised_)
            qCWarning(lcScanner) << "SANE cannot be initialised:" << sane_strstatus(s);
        return initialised_;
    }

    std::vector<Device> devices() override {
        std::vector<Device> out;
        const SANE_Device** list = nullptr;
        if (!initialised_ || sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list)
            return out;
        for (; *list; ++list) {
            const SANE_Device* d = *list;
            const QString name = QString::fromUtf8(d->name);
            out.push_back({name, QStringLiteral("%1 %2 (%3)")
                                     .arg(QString::fromUtf8(d->vendor), QString::fromUtf8(d->model), name)});
        }
        return out;
    }

    Scan acquire(const QString& device, const std::function<bool()>& goOn) override {
        if (!initialised_)
            return {Status::InitFailed, {}};
        SANE_Handle raw = nullptr;
        const SANE_Status opened = sane_open(device.toUtf8().constData(), &raw);
        if (opened != SANE_STATUS_GOOD) {
            qCWarning(lcScanner) << "cannot open" << device << sane_strstatus(opened);
            return {opened == SANE_STATUS_CANCELLED ? Status::Cancelled : Status::InitFailed, {}};
        }
        Handle h(raw);
        preferColour(h.get());
        std::vector<Frame> frames;
        for (;;) {
            const SANE_Status started = sane_start(h.get());
            if (started != SANE_STATUS_GOOD) {
                qCWarning(lcScanner) << "scan did not start:" << sane_strstatus(started);
                return {statusOf(started), {}};
            }
            Frame f;
            if (sane_get_parameters(h.get(), &f.p) != SANE_STATUS_GOOD)
                return {Status::Failed, {}};
            const SANE_Status read = readFrame(h.get(), f, goOn);
            if (read != SANE_STATUS_GOOD) {
                qCWarning(lcScanner) << "scan failed:" << sane_strstatus(read);
                return {statusOf(read), {}};
            }
            const bool last = f.p.last_frame;
            frames.push_back(std::move(f));
            if (last || frames.size() >= 3)
                break;
        }
        QImage picture = assemble(frames);
        if (picture.isNull())
            return {Status::Failed, {}};
        return {Status::Ok, picture};
    }

private:
    static SANE_Status readFrame(SANE_Handle h, Frame& f, const std::function<bool()>& goOn) {
        std::vector<SANE_Byte> buffer(64 * 1024);
        int reads = 0;
        for (;;) {
            SANE_Int length = 0;
            const SANE_Status s = sane_read(h, buffer.data(), SANE_Int(buffer.size()), &length);
            if (s == SANE_STATUS_EOF)
                return SANE_STATUS_GOOD;
            if (s != SANE_STATUS_GOOD)
                return s;
            if (f.bytes.size() + length > kMaxScanBytes)
                return SANE_STATUS_NO_MEM;
            f.bytes.append(reinterpret_cast<const char*>(buffer.data()), length);
            if (goOn && ++reads % 16 == 0 && !goOn()) {
                sane_cancel(h);
                return SANE_STATUS_CANCELLED;
            }
        }
    }

    static QImage assemble(const std::vector<Frame>& frames) {
        if (frames.empty())
            return {};
        const SANE_Parameters& first = frames.front().p;
        const int width = first.pixels_per_line;
        if (width <= 0 || first.bytes_per_line <= 0 ||
            !(first.depth == 1 || first.depth == 8 || first.depth == 16))
            return {};
        // Hand scanners do not know their length beforehand: the bytes tell it.
        int height = int(frames.front().bytes.size() / first.bytes_per_line);
        for (const Frame& f : frames)
            height = qMin(height, int(f.bytes.size() / qMax(1, f.p.bytes_per_line)));
        if (height <= 0)
            return {};
        QImage out(width, height, QImage::Format_RGB888);
        out.fill(Qt::black);
        for (const Frame& f : frames) {
            for (int y = 0; y < height; ++y) {
                uchar* line = out.scanLine(y);
                for (int x = 0; x < width; ++x) {
                    uchar* px = line + x * 3;
                    switch (f.p.format) {
                    case SANE_FRAME_GRAY:
                        px[0] = px[1] = px[2] = sample(f, y, x);
                        break;
                    case SANE_FRAME_RGB:
                        for (int c = 0; c < 3; ++c)
                            px[c] = sample(f, y, x * 3 + c);
                        break;
                    case SANE_FRAME_RED:
                        px[0] = sample(f, y, x);
                        break;
                    case SANE_FRAME_GREEN:
                        px[1] = sample(f, y, x);
                        break;
                    case SANE_FRAME_BLUE:
                        px[2] = sample(f, y, x);
                        break;
                    default:
                        return {};
                    }
                }
            }
        }
        return out;
    }

    bool initialised_ = false;
};

} // namespace

std::unique_ptr<Scanner> makeSaneScanner() {
    return std::make_unique<SaneScanner>();
}

} // namespace records
