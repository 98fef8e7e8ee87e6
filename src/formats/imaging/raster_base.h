#pragma once

#include "core/picture.h"
#include "formats/imaging/row_sink.h"

#include <QImage>
#include <QSize>
#include <functional>
#include <mutex>

namespace zelvia::rt::imaging {

// What the raster formats share: kind and size, the decode limit, and drawing through one
// cached image decoded for the last size drawn.
class RasterPictureBase : public Picture {
public:
    RasterPictureBase(PictureKind kind, QSize size) : kind_(kind), size_(size) {}

    [[nodiscard]] PictureKind kind() const override { return kind_; }
    [[nodiscard]] QSize pixelSize() const override { return size_; }
    [[nodiscard]] QSizeF naturalSizeTwips(double twipsPerPixelX,
                                          double twipsPerPixelY) const override;
    void draw(QPainter& painter, const QRectF& target) const override;
    [[nodiscard]] QImage fullImage() const override;
    [[nodiscard]] QImage regionImage(QRect region, QSize needed) const override;

    [[nodiscard]] QSize lastDecodedSize() const;

    // The image draw() paints for `needed` device pixels (decoded, then scaled to exactly that
    // size). Thread-safe; throws like draw().
    [[nodiscard]] QImage renderFor(QSize needed) const;
    // Gives draw() an image rendered earlier from the same file content, so drawing at its
    // size needs no decoding.
    void adoptRendered(QImage image) const;
    // The image the last draw() painted (null before any).
    [[nodiscard]] QImage rendered() const;

protected:
    // Every pixel at full size.
    [[nodiscard]] virtual QImage decodeFull() const = 0;
    // An image at least `needed` in each direction where the picture allows, or smaller
    // than `needed` only when the picture itself is; the caller scales it to `needed`.
    [[nodiscard]] virtual QImage decodeFor(QSize /*needed*/) const { return decodeFull(); }
    // The pixels of `region` (inside the picture), reduced to `needed` when that is smaller.
    [[nodiscard]] virtual QImage decodeRegion(QRect region, QSize needed) const;

private:
    void noteDecoded(QSize size) const;
    [[nodiscard]] QImage renderLocked(QSize needed) const;

    PictureKind kind_;
    QSize size_;
    mutable std::mutex mutex_;
    mutable QImage cache_;
    mutable QSize lastDecoded_;
};

// The device pixels draw() needs for `target` at `ratio` device pixels per unit; empty when
// nothing would be visible. Throws RuntimeError 5 for a target beyond any screen.
QSize neededPixels(const QRectF& target, double ratio);

// Runs `decode` into a sink that keeps `region` of a picture of `size` pixels and reduces it
// to `needed` where that is smaller (never enlarging). `decode` gets the sink and the last row
// it needs; `anyOrder` says whether rows may arrive out of order (interlaced data).
QImage reduceRegion(QSize size, QRect region, QSize needed, bool anyOrder,
                    const std::function<void(RowSink&, int lastRow)>& decode);

// Throws RuntimeError 5 when `size` pixels at 4 bytes each exceed kMaxDecodedBytes.
void checkDecodeLimit(QSize size);

} // namespace zelvia::rt::imaging
