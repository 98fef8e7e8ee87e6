#pragma once

#include "core/picture.h"
#include "forms/control.h"

#include <QImage>

namespace zelvia::rt {

class PictureBoxWidget;

// The arguments of PaintPicture: destination rectangle, then source clip.
struct PaintArgs {
    float x1, y1, width1, height1;
    float x2, y2, width2, height2;
};

// A picture box. With AutoSize it takes its picture's natural size; with AutoRedraw whatever is
// drawn into it goes into a persistent image that survives repaints (kept at the screen's
// device pixel ratio, so pictures stay sharp on HiDPI screens).
class PictureBox final : public Control {
public:
    enum class ScaleMode { Twips, Pixels };
    struct Options {
        ScaleMode scaleMode = ScaleMode::Twips;
        bool autoSize = false;
        bool autoRedraw = false;
    };

    PictureBox(QWidget* parent, Options options);

    [[nodiscard]] const PicturePtr& Picture() const { return picture_; }
    // Assigning shows the picture at its natural size from the top-left corner (AutoRedraw) and
    // resizes the box to it (AutoSize). An empty picture clears the box. Throws when the picture
    // cannot be drawn.
    void setPicture(PicturePtr picture);

    // Inner size in the box's scale units.
    [[nodiscard]] double ScaleWidth() const;
    [[nodiscard]] double ScaleHeight() const;

    // Draws `picture` scaled so that the source clip (x2, y2, width2, height2) fills the
    // destination rectangle (x1, y1, width1, height1); both in this box's scale units, the
    // source measured on the picture at its natural size in those units.
    void PaintPicture(const PicturePtr& picture, float x1, float y1, float width1, float height1,
                      float x2, float y2, float width2, float height2);

    // Where PaintPicture draws the whole of a picture of `naturalTwips`, in pixels, for a box of
    // `mode`; empty when it draws nothing. Pure, so it can be computed ahead of drawing.
    static QRectF paintTarget(ScaleMode mode, QSizeF naturalTwips, double twipsPerPixelX,
                              double twipsPerPixelY, const PaintArgs& args);

    [[nodiscard]] ScaleMode scaleMode() const { return scaleMode_; }
    // Device pixels per pixel of the persistent image.
    [[nodiscard]] double pixelRatio() const;

    // Draws an image with its top-left corner at (x, y) in pixels at the image's own size.
    void drawImage(const QImage& image, double x, double y);

    // The persistent image as shown (tests grab it).
    [[nodiscard]] QImage image() const;

private:
    void resetCanvas();

    PictureBoxWidget* box_;
    ScaleMode scaleMode_;
    bool autoSize_;
    bool autoRedraw_;
    PicturePtr picture_;
};

} // namespace zelvia::rt
