#include "support/picture_checks.h"

#include "core/runtime_error.h"

#include <QPainter>

namespace zelvia::test {

QImage drawAt(const rt::Picture& p, int w, int h, double ratio) {
    QImage target(qRound(w * ratio), qRound(h * ratio), QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(ratio);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    p.draw(painter, QRectF(0, 0, w, h));
    painter.end();
    return target;
}

QImage drawOnWhite(const rt::PicturePtr& p, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    p->draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const rt::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace zelvia::test
