#pragma once

#include "core/picture.h"
#include "core/runtime_error.h"

#include <QImage>
#include <QPainter>

namespace zelvia::fuzz {

// Draws the picture as the display box would, and at full size when that is cheap.
// RuntimeError is the documented way to refuse damaged or too large data.
inline void exercisePicture(const rt::PicturePtr& picture) {
    if (!picture) {
        return;
    }
    (void)picture->kind();
    (void)picture->naturalSizeTwips(15.0, 15.0);
    try {
        QImage canvas(169, 169, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        picture->draw(painter, QRectF(0, 0, 169, 169));
    } catch (const rt::RuntimeError&) {
    }
    const QSize size = picture->pixelSize();
    if (size.width() > 0 && size.height() > 0 &&
        qint64{size.width()} * size.height() <= 1024 * 1024) {
        try {
            (void)picture->fullImage();
        } catch (const rt::RuntimeError&) {
        }
    }
}

} // namespace zelvia::fuzz
