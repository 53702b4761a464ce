#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>

#include <memory>

namespace records {

// The picture of the scanning window and its edits, in memory: the working picture (the last
// one taken in, which rotation and "重新开始" start again from), the picture shown, and the
// picture before the last step for a one-step undo. Effects run through Magick++.
class PictureEditor {
public:
    enum class Effect {
        Brighter,     // brightness +10
        Darker,       // brightness -10
        MoreContrast, // contrast +15
        LessContrast, // contrast -10
        Redder,       // red +10, green and blue -10
        Greener,      // green +10, red and blue -10
        Bluer,        // blue +10, red and green -10
        Flip,         // upside down
        Mirror,       // left to right
        Negative,
        Emboss,
        Blur, // strength 9
        Despeckle,
        BlackAndWhite, // cannot be undone
    };

    PictureEditor();
    ~PictureEditor();
    PictureEditor(const PictureEditor&) = delete;
    PictureEditor& operator=(const PictureEditor&) = delete;

    // A new working picture; false (and nothing changes) when it is null.
    bool takeIn(const QImage& picture);
    // Decodes the bytes of an image file; false when they are no picture.
    bool takeIn(const QByteArray& fileBytes);
    // An empty viewer; the working picture stays for rotation and "重新开始".
    void blank();

    bool isEmpty() const;
    QImage picture() const;
    QImage working() const;
    // The picture shown, encoded as JPEG; empty when there is none.
    QByteArray jpeg() const;

    void apply(Effect effect);
    // Starts again from the working picture turned by the running angle plus `degrees`; the
    // angle is kept across new pictures.
    void rotate(int degrees);
    int angle() const { return angle_; }
    // The part of `source` inside `area` (in its pixels) becomes the picture; all of it when the
    // area is empty. The picture shown meanwhile does not count.
    void crop(const QImage& source, const QRect& area);
    // The working picture again.
    void restart();

    bool canUndo() const;
    void undo();
    void forgetUndo();

private:
    struct Pictures;
    std::unique_ptr<Pictures> p_;
    int angle_ = 0;
};

} // namespace records
