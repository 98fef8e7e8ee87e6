#include "forms/picture_box_widget.h"

#include <QPainter>
#include <cmath>

namespace zelvia::rt {

PictureBoxWidget::PictureBoxWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBoxWidget::resetCanvas() {
    const qreal dpr = devicePixelRatioF();
    const QSize px(static_cast<int>(std::ceil(width() * dpr)),
                   static_cast<int>(std::ceil(height() * dpr)));
    canvas_ = QImage(px.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    canvas_.setDevicePixelRatio(dpr);
    canvas_.fill(palette().color(QPalette::Base));
    update();
}

void PictureBoxWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    if (canvas_.isNull()) {
        p.fillRect(rect(), palette().color(QPalette::Base));
        return;
    }
    p.drawImage(QPointF(0, 0), canvas_);
}

} // namespace zelvia::rt
