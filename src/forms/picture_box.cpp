#include "forms/picture_box.h"

#include "forms/picture_box_widget.h"
#include "platform/screen.h"

#include <QPainter>

namespace zelvia::rt {

PictureBox::PictureBox(QWidget* parent, Options options)
    : Control(new PictureBoxWidget(parent)), box_(static_cast<PictureBoxWidget*>(widget())),
      scaleMode_(options.scaleMode), autoSize_(options.autoSize), autoRedraw_(options.autoRedraw) {
    const bool pixels = scaleMode_ == ScaleMode::Pixels;
    watchMouse(box_, pixels ? Screen::TwipsPerPixelX() : 1.0,
               pixels ? Screen::TwipsPerPixelY() : 1.0);
}

void PictureBox::resetCanvas() {
    if (autoRedraw_) {
        box_->resetCanvas();
    }
}

void PictureBox::setPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    if (autoSize_ && picture_) {
        const QSizeF twips =
            picture_->naturalSizeTwips(Screen::TwipsPerPixelX(), Screen::TwipsPerPixelY());
        setSize(twips.width(), twips.height());
    }
    if (!autoRedraw_) {
        return;
    }
    resetCanvas();
    if (picture_) {
        const double tx = Screen::TwipsPerPixelX();
        const double ty = Screen::TwipsPerPixelY();
        const QSizeF twips = picture_->naturalSizeTwips(tx, ty);
        QPainter p(&box_->canvas());
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        picture_->draw(p, QRectF(0, 0, twips.width() / tx, twips.height() / ty));
    }
}

double PictureBox::ScaleWidth() const {
    return scaleMode_ == ScaleMode::Twips ? Width() : Width() / Screen::TwipsPerPixelX();
}

double PictureBox::ScaleHeight() const {
    return scaleMode_ == ScaleMode::Twips ? Height() : Height() / Screen::TwipsPerPixelY();
}

QRectF PictureBox::paintTarget(ScaleMode mode, QSizeF naturalTwips, double twipsPerPixelX,
                               double twipsPerPixelY, const PaintArgs& a) {
    if (a.width2 == 0.0F || a.height2 == 0.0F) {
        return {};
    }
    const bool pixels = mode == ScaleMode::Pixels;
    const double unitX = pixels ? 1.0 : twipsPerPixelX;
    const double unitY = pixels ? 1.0 : twipsPerPixelY;
    const QSizeF natural = pixels ? QSizeF(naturalTwips.width() / twipsPerPixelX,
                                           naturalTwips.height() / twipsPerPixelY)
                                  : naturalTwips;
    const double sx = static_cast<double>(a.width1) / static_cast<double>(a.width2);
    const double sy = static_cast<double>(a.height1) / static_cast<double>(a.height2);
    return {(a.x1 - a.x2 * sx) / unitX, (a.y1 - a.y2 * sy) / unitY, natural.width() * sx / unitX,
            natural.height() * sy / unitY};
}

void PictureBox::PaintPicture(const PicturePtr& picture, float x1, float y1, float width1,
                              float height1, float x2, float y2, float width2, float height2) {
    if (!picture || width2 == 0.0F || height2 == 0.0F || !autoRedraw_) {
        return;
    }
    const double tx = Screen::TwipsPerPixelX();
    const double ty = Screen::TwipsPerPixelY();
    const double unitX = scaleMode_ == ScaleMode::Pixels ? 1.0 : tx;
    const double unitY = scaleMode_ == ScaleMode::Pixels ? 1.0 : ty;
    // Where the whole picture lands, in pixels; only the destination rectangle is painted.
    const QRectF target = paintTarget(scaleMode_, picture->naturalSizeTwips(tx, ty), tx, ty,
                                      PaintArgs{x1, y1, width1, height1, x2, y2, width2, height2});
    const QRectF clip(x1 / unitX, y1 / unitY, width1 / unitX, height1 / unitY);
    QPainter p(&box_->canvas());
    p.setClipRect(clip.normalized());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    picture->draw(p, target);
    box_->update();
}

double PictureBox::pixelRatio() const {
    const QImage& canvas = box_->canvas();
    return canvas.isNull() ? box_->devicePixelRatioF() : canvas.devicePixelRatio();
}

void PictureBox::drawImage(const QImage& image, double x, double y) {
    if (!autoRedraw_ || image.isNull()) {
        return;
    }
    QPainter p(&box_->canvas());
    p.drawImage(QPointF(x, y), image);
    box_->update();
}

QImage PictureBox::image() const {
    return box_->canvas();
}

} // namespace zelvia::rt
