#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <memory>

class QPainter;

namespace zelvia::rt {

// The kinds a loaded picture can be; the numbers follow the classic picture-type codes.
enum class PictureKind { None = 0, Bitmap = 1, Metafile = 2, Icon = 3, EnhMetafile = 4 };

// Upper bound on decoded pixels held at once for one picture, at the size needed.
// A decode that would exceed it raises error 5 instead of exhausting memory.
inline constexpr qint64 kMaxDecodedBytes = qint64{512} * 1024 * 1024;

// A loaded picture. Loading reads only what is needed to know the kind and the natural size;
// pixels (or metafile records) are produced when the picture is drawn, at the size drawn.
// Pictures are shared and immutable from the outside; implementations may cache internally.
class Picture {
public:
    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    virtual ~Picture() = default;

    [[nodiscard]] virtual PictureKind kind() const = 0;

    // Pixel size for bitmap-like kinds; for metafiles, the natural size at 96 pixels per inch.
    [[nodiscard]] virtual QSize pixelSize() const = 0;

    // Natural size in twips. Bitmap-like kinds scale with the screen's twips per pixel;
    // metafiles have their own stated extent and ignore it.
    [[nodiscard]] virtual QSizeF naturalSizeTwips(double twipsPerPixelX,
                                                  double twipsPerPixelY) const = 0;

    // Draws the whole picture scaled to `target` (in the painter's logical coordinates).
    // Raster kinds decode at the target size times the painter's device pixel ratio.
    // Throws RuntimeError 5 when the pixels needed exceed kMaxDecodedBytes and 481 when the
    // data turns out to be damaged.
    virtual void draw(QPainter& painter, const QRectF& target) const = 0;

    // The picture at its own full size (bitmaps: every pixel; metafiles: rendered at their
    // natural size in pixels). Throws like draw().
    [[nodiscard]] virtual QImage fullImage() const = 0;

    // The pixels of `region` (in pixels of pixelSize(), clipped to the picture), reduced to
    // `needed` where that is smaller. Raster kinds decode only that part; the others render
    // the whole picture first. Throws like draw().
    [[nodiscard]] virtual QImage regionImage(QRect region, QSize needed) const {
        QImage image = fullImage().copy(region);
        return image.size().boundedTo(needed) == image.size()
                   ? image
                   : image.scaled(needed.boundedTo(image.size()), Qt::IgnoreAspectRatio,
                                  Qt::SmoothTransformation);
    }

    // The file's own bytes and their MIME type, for kinds that are best passed on unchanged
    // (metafiles). Empty for the others.
    [[nodiscard]] virtual QByteArray originalBytes() const { return {}; }
    [[nodiscard]] virtual QString originalMimeType() const { return {}; }
};

using PicturePtr = std::shared_ptr<const Picture>;

} // namespace zelvia::rt
