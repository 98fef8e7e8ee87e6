#include "formats/imaging/raster_base.h"

#include "core/runtime_error.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>

namespace zelvia::rt::imaging {

void checkDecodeLimit(QSize size) {
    if (qint64{size.width()} * size.height() * 4 > kMaxDecodedBytes) {
        throw RuntimeError(err::TooLarge);
    }
}

QSizeF RasterPictureBase::naturalSizeTwips(double twipsPerPixelX, double twipsPerPixelY) const {
    return {size_.width() * twipsPerPixelX, size_.height() * twipsPerPixelY};
}

QSize neededPixels(const QRectF& target, double ratio) {
    const double w = std::abs(target.width()) * ratio;
    const double h = std::abs(target.height()) * ratio;
    if (w > 1e9 || h > 1e9) {
        throw RuntimeError(err::TooLarge);
    }
    if (!(w >= 0.5 && h >= 0.5)) {
        return {}; // nothing visible to draw
    }
    return {static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h))};
}

void RasterPictureBase::draw(QPainter& painter, const QRectF& target) const {
    const QPaintDevice* device = painter.device();
    const double ratio = device != nullptr ? device->devicePixelRatioF() : 1.0;
    const QSize needed = neededPixels(target, ratio);
    if (needed.isEmpty()) {
        return;
    }
    QImage image;
    {
        const std::lock_guard lock(mutex_);
        image = renderLocked(needed);
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, image);
    painter.restore();
}

QImage RasterPictureBase::renderFor(QSize needed) const {
    const std::lock_guard lock(mutex_);
    return renderLocked(needed);
}

void RasterPictureBase::adoptRendered(QImage image) const {
    const std::lock_guard lock(mutex_);
    cache_ = std::move(image);
}

QImage RasterPictureBase::rendered() const {
    const std::lock_guard lock(mutex_);
    return cache_;
}

QImage RasterPictureBase::renderLocked(QSize needed) const {
    checkDecodeLimit(needed);
    if (cache_.size() != needed) {
        cache_ = QImage();
        QImage decoded = decodeFor(needed);
        noteDecoded(decoded.size());
        if (decoded.size() != needed) {
            decoded = decoded.scaled(needed, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (decoded.isNull()) {
                throw RuntimeError(err::TooLarge);
            }
        }
        cache_ = std::move(decoded);
    }
    return cache_;
}

QImage RasterPictureBase::fullImage() const {
    checkDecodeLimit(size_);
    QImage image = decodeFull();
    const std::lock_guard lock(mutex_);
    noteDecoded(image.size());
    return image;
}

QImage RasterPictureBase::regionImage(QRect region, QSize needed) const {
    region &= QRect(QPoint(0, 0), size_);
    if (region.isEmpty() || needed.isEmpty()) {
        return {};
    }
    needed = needed.boundedTo(region.size());
    checkDecodeLimit(needed);
    QImage image = decodeRegion(region, needed);
    const std::lock_guard lock(mutex_);
    noteDecoded(image.size());
    return image;
}

QImage RasterPictureBase::decodeRegion(QRect region, QSize needed) const {
    checkDecodeLimit(size_);
    QImage image = decodeFull().copy(region);
    if (image.size() != needed) {
        image = image.scaled(needed, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

QImage reduceRegion(QSize size, QRect region, QSize needed, bool anyOrder,
                    const std::function<void(RowSink&, int lastRow)>& decode) {
    region &= QRect(QPoint(0, 0), size);
    if (region.isEmpty()) {
        throw RuntimeError(err::TooLarge, "nothing of the picture to decode");
    }
    const QSize reduced = needed.boundedTo(region.size()).expandedTo(QSize(1, 1));
    const auto run = [&](RowSink& sink) -> RowSink& {
        if (region == QRect(QPoint(0, 0), size)) {
            decode(sink, region.bottom());
        } else {
            CropSink crop(sink, region);
            decode(crop, region.bottom());
        }
        sink.finish();
        return sink;
    };
    if (reduced == region.size()) {
        FullImageSink sink(region.width(), region.height());
        run(sink);
        return std::move(sink).image();
    }
    if (!anyOrder) {
        BoxReduceSink sink(region.width(), region.height(), reduced.width(), reduced.height());
        run(sink);
        return std::move(sink).image();
    }
    if (ScatterReduceSink::workBytes(reduced.width(), reduced.height()) <=
        qint64{region.width()} * region.height() * 4) {
        ScatterReduceSink sink(region.width(), region.height(), reduced.width(), reduced.height());
        run(sink);
        return std::move(sink).image();
    }
    // Reduced by less than the sums would cost: the region at full size, then scaled.
    FullImageSink sink(region.width(), region.height());
    run(sink);
    return std::move(sink).image().scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void RasterPictureBase::noteDecoded(QSize size) const {
    lastDecoded_ = size;
}

QSize RasterPictureBase::lastDecodedSize() const {
    const std::lock_guard lock(mutex_);
    return lastDecoded_;
}

} // namespace zelvia::rt::imaging
