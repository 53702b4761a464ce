#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QPainter;

namespace print {

// Where a printed form is drawn: millimetres, origin at the page's top-left corner. The forms
// call these operations and nothing else, so one drawing serves the preview, the printer and PDF.
class Surface {
public:
    virtual ~Surface() = default;
    // A face name of the forms ("宋体", "黑体", ...) and a size in points.
    virtual void setFont(const QString& name, double points) = 0;
    virtual double textWidth(const QString& text) = 0;
    virtual double textHeight(const QString& text) = 0;
    // Prints text with its top-left corner at (x, y); an empty text prints nothing.
    void print(double x, double y, const QString& text) {
        if (!text.isEmpty())
            drawText(x, y, text);
    }
    virtual void line(double x1, double y1, double x2, double y2) = 0;
    virtual void rectangle(double x1, double y1, double x2, double y2) = 0;
    // Sizes the page picture and makes it blank (preview only).
    virtual void clear(double width, double height) = 0;
    // Ends the document, which sends the page on (printer only).
    virtual void endDocument() = 0;

protected:
    virtual void drawText(double x, double y, const QString& text) = 0;
};

// Which real faces stand for the forms' Chinese face names. On screen and paper the Noto faces;
// in PDF files faces whose embedded glyphs map back to the right characters when text is copied
// or searched (Qt's PDF writer maps some Noto CJK glyphs to radical code points).
enum class Faces { Screen, Pdf };
// The face names the forms and the print settings offer, in the settings window's order.
inline const QStringList kFormFaces = {QStringLiteral("宋体"), QStringLiteral("仿宋_GB2312"),
                                       QStringLiteral("楷体_GB2312"), QStringLiteral("黑体")};
QStringList familiesFor(const QString& name, Faces faces);
// Maps the form face names to the screen faces for every QFont of the program (at start-up).
void substituteFormFaces();

// Surface over a QPainter whose device coordinates are pixels at the device's resolution with
// the origin at the paper's corner. Text is measured at a fixed fine resolution on every device,
// so the preview and the paper agree on which cells split into two lines.
class PainterSurface : public Surface {
public:
    PainterSurface(QPainter& painter, Faces faces, std::function<void()> onEnd = {});

    void setFont(const QString& name, double points) override;
    double textWidth(const QString& text) override;
    double textHeight(const QString& text) override;
    void line(double x1, double y1, double x2, double y2) override;
    void rectangle(double x1, double y1, double x2, double y2) override;
    void clear(double width, double height) override;
    void endDocument() override;

protected:
    void drawText(double x, double y, const QString& text) override;

private:
    QPainter& painter_;
    Faces faces_;
    std::function<void()> onEnd_;
    double pixelsPerMm_;
    QFont font_;     // sized for the measuring resolution
    QFont drawFont_; // the same size in measuring pixels on the painter's device
    std::optional<QFontMetricsF> metrics_;
};

// Records what a form draws, for tests. Text is measured by a fixed rule: a character from the
// CJK blocks or the full-width forms is one em wide (the font size in mm), others half an em;
// the height is one em.
class RecordingSurface : public Surface {
public:
    enum class Op { Text, Line, Rectangle, Clear, End };
    struct Item {
        Op op;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        QString text;
        QString font;
        double points = 0;
    };

    void setFont(const QString& name, double points) override;
    double textWidth(const QString& text) override;
    double textHeight(const QString& text) override;
    void line(double x1, double y1, double x2, double y2) override;
    void rectangle(double x1, double y1, double x2, double y2) override;
    void clear(double width, double height) override;
    void endDocument() override;

    QList<Item> items;
    QList<Item> of(Op op) const;
    QList<Item> texts() const { return of(Op::Text); }
    // The first text item equal to `text`; a default item with an empty text when none.
    Item find(const QString& text) const;
    double em() const { return points_ * 25.4 / 72.0; }

protected:
    void drawText(double x, double y, const QString& text) override;

private:
    QString font_;
    double points_ = 0;
};

} // namespace print
