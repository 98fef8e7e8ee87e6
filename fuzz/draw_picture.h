#pragma once

#include "core/picture.h"
#include "core/runtime_error.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

namespace zelvia::fuzz {

// Draws the picture as the display box does: at its natural size when it fits the 169-pixel
// box, otherwise reduced so that its longer side fills the box, aspect kept. Drawing larger than
// the window ever does would report as slow what the user never waits for. A picture that fits
// is also decoded whole, as copying it does.
// RuntimeError is the documented way to refuse damaged or too large data.
inline void exercisePicture(const rt::PicturePtr& picture) {
    if (!picture) {
        return;
    }
    constexpr double kTwipsPerPixel = 15.0;
    constexpr double kBox = 169.0; // the box edge of 2535 twips
    (void)picture->kind();
    const QSizeF twips = picture->naturalSizeTwips(kTwipsPerPixel, kTwipsPerPixel);
    const QSizeF natural = twips / kTwipsPerPixel;
    const double longer = std::max(natural.width(), natural.height());
    const bool fits = !(longer > kBox);
    try {
        QImage canvas(169, 169, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.setClipRect(0, 0, 169, 169);
        const QSizeF drawn = fits ? natural : natural * (kBox / longer);
        picture->draw(painter, QRectF(QPointF(0, 0), drawn));
    } catch (const rt::RuntimeError&) {
    }
    const QSize size = picture->pixelSize();
    if (fits && size.width() > 0 && size.height() > 0) {
        try {
            (void)picture->fullImage();
        } catch (const rt::RuntimeError&) {
        }
    }
}

} // namespace zelvia::fuzz
