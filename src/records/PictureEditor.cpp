#include "records/PictureEditor.h"

#include <Magick++.h>

#include <QBuffer>
#include <QLoggingCategory>
#include <QPainter>

#include <mutex>
#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcPicture, "tessaly.picture")

namespace records {

namespace {

constexpr int kJpegQuality = 90;

void initialiseMagick() {
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

// Pictures travel between Qt and Magick as 8-bit RGB rows; transparency is laid on white.
Magick::Image toMagick(const QImage& picture) {
    QImage rgb;
    if (picture.hasAlphaChannel()) {
        QImage flat(picture.size(), QImage::Format_RGB888);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
        painter.end();
        rgb = flat;
    } else {
        rgb = picture.convertToFormat(QImage::Format_RGB888);
    }
    const std::size_t w = std::size_t(rgb.width());
    const std::size_t h = std::size_t(rgb.height());
    std::vector<uchar> pixels(w * h * 3);
    for (std::size_t y = 0; y < h; ++y)
        std::copy_n(rgb.constScanLine(int(y)), w * 3, pixels.data() + y * w * 3);
    return Magick::Image(w, h, "RGB", Magick::CharPixel, pixels.data());
}

QImage toQImage(Magick::Image image) {
    const std::size_t w = image.columns();
    const std::size_t h = image.rows();
    std::vector<uchar> pixels(w * h * 3);
    image.write(0, 0, w, h, "RGB", Magick::CharPixel, pixels.data());
    QImage out(int(w), int(h), QImage::Format_RGB888);
    for (std::size_t y = 0; y < h; ++y)
        std::copy_n(pixels.data() + y * w * 3, w * 3, out.scanLine(int(y)));
    return out;
}

// One step of 10 on the 0-255 scale, in the library's own range.
double tenSteps() {
    using MagickCore::Quantum; // QuantumRange names it unqualified
    return double(QuantumRange) * 10.0 / 255.0;
}

void shiftColours(Magick::Image& image, MagickCore::ChannelType up) {
    for (const MagickCore::ChannelType c :
         {MagickCore::RedChannel, MagickCore::GreenChannel, MagickCore::BlueChannel}) {
        image.quantumOperator(
            c, c == up ? MagickCore::AddEvaluateOperator : MagickCore::SubtractEvaluateOperator, tenSteps());
    }
}

} // namespace

struct PictureEditor::Pictures {
    std::optional<Magick::Image> working;
    std::optional<Magick::Image> shown;
    std::optional<Magick::Image> before; // for the one-step undo
};

PictureEditor::PictureEditor() : p_(std::make_unique<Pictures>()) {
    initialiseMagick();
}

PictureEditor::~PictureEditor() = default;

bool PictureEditor::takeIn(const QImage& picture) {
    if (picture.isNull())
        return false;
    Magick::Image image = toMagick(picture);
    p_->working = image;
    p_->shown = image;
    p_->before.reset();
    return true;
}

bool PictureEditor::takeIn(const QByteArray& fileBytes) {
    QImage picture;
    if (fileBytes.isEmpty() || !picture.loadFromData(fileBytes))
        return false;
    return takeIn(picture);
}

void PictureEditor::blank() {
    p_->shown.reset();
    p_->before.reset();
}

bool PictureEditor::isEmpty() const {
    return !p_->shown;
}

QImage PictureEditor::picture() const {
    return p_->shown ? toQImage(*p_->shown) : QImage();
}

QImage PictureEditor::working() const {
    return p_->working ? toQImage(*p_->working) : QImage();
}

QByteArray PictureEditor::jpeg() const {
    if (!p_->shown)
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture().save(&buffer, "JPG", kJpegQuality))
        return QByteArray();
    return bytes;
}

void PictureEditor::apply(Effect effect) {
    if (!p_->shown)
        return;
    Magick::Image image = *p_->shown;
    image.modifyImage();
    switch (effect) {
    case Effect::Brighter:
        image.brightnessContrast(10, 0);
        break;
    case Effect::Darker:
        image.brightnessContrast(-10, 0);
        break;
    case Effect::MoreContrast:
        image.brightnessContrast(0, 15);
        break;
    case Effect::LessContrast:
        image.brightnessContrast(0, -10);
        break;
    case Effect::Redder:
        shiftColours(image, MagickCore::RedChannel);
        break;
    case Effect::Greener:
        shiftColours(image, MagickCore::GreenChannel);
        break;
    case Effect::Bluer:
        shiftColours(image, MagickCore::BlueChannel);
        break;
    case Effect::Flip:
        image.flip();
        break;
    case Effect::Mirror:
        image.flop();
        break;
    case Effect::Negative:
        image.negate();
        break;
    case Effect::Emboss:
        image.emboss(0, 1);
        break;
    case Effect::Blur:
        image.blur(9, 3);
        break;
    case Effect::Despeckle:
        image.despeckle();
        break;
    case Effect::BlackAndWhite:
        image.type(Magick::BilevelType);
        break;
    }
    if (effect == Effect::BlackAndWhite)
        p_->before.reset();
    else
        p_->before = *p_->shown;
    p_->shown = image;
}

void PictureEditor::rotate(int degrees) {
    // Kept within a turn: the picture is the same, and the angle never overflows.
    angle_ = (angle_ + degrees) % 360;
    if (!p_->working)
        return;
    Magick::Image image = *p_->working;
    image.modifyImage();
    image.rotate(angle_);
    image.repage();
    p_->before = p_->shown;
    p_->shown = image;
}

void PictureEditor::crop(const QImage& source, const QRect& area) {
    p_->before.reset();
    if (source.isNull())
        return;
    Magick::Image image = toMagick(source);
    const QRect inside = area.normalized().intersected(source.rect());
    if (!inside.isEmpty()) {
        image.crop(Magick::Geometry(std::size_t(inside.width()), std::size_t(inside.height()), inside.x(),
                                    inside.y()));
        image.repage();
    }
    p_->shown = image;
}

void PictureEditor::restart() {
    p_->before.reset();
    p_->shown = p_->working;
}

bool PictureEditor::canUndo() const {
    return p_->before.has_value();
}

void PictureEditor::undo() {
    if (!p_->before)
        return;
    p_->shown = p_->before;
    p_->before.reset();
}

void PictureEditor::forgetUndo() {
    p_->before.reset();
}

} // namespace records
