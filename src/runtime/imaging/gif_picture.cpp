#include "runtime/imaging/formats.h"
#include "runtime/imaging/le_bytes.h"
#include "runtime/imaging/raster_base.h"
#include "runtime/runtime_error.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace zelvia::rt::imaging {

namespace {

// True when the stream holds no frame with pixels: it ends (or reaches its trailer) before
// any image, or its first image is zero-sized. Such a file shows its empty logical screen.
bool hasNoVisibleFrame(QByteArrayView data) {
    const auto flags = byteAt(data, 10);
    qsizetype pos = 13 + ((flags & 0x80u) != 0 ? 3 * (qsizetype{2} << (flags & 7u)) : 0);
    while (pos < data.size()) {
        const auto block = byteAt(data, pos);
        if (block == 0x3B) {
            return true;
        }
        if (block == 0x2C) {
            return le16(data, pos + 5) == 0 || le16(data, pos + 7) == 0;
        }
        if (block != 0x21) {
            return false;
        }
        pos += 2; // introducer and label, then sub-blocks up to an empty one
        while (pos < data.size() && byteAt(data, pos) != 0) {
            pos += 1 + byteAt(data, pos);
        }
        ++pos;
    }
    return true;
}

QImage emptyScreen(QSize size) {
    QImage screen(size, QImage::Format_ARGB32_Premultiplied);
    if (screen.isNull()) {
        throw RuntimeError(err::TooLarge);
    }
    screen.fill(Qt::transparent);
    return screen;
}

class GifPicture final : public RasterPictureBase {
public:
    GifPicture(ByteSourcePtr source, QSize screen)
        : RasterPictureBase(PictureKind::Bitmap, screen), source_(std::move(source)) {}

protected:
    [[nodiscard]] QImage decodeFull() const override {
        checkDecodeLimit(pixelSize());
        QByteArray data = readWhole(*source_);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "gif");
        // A process-wide setting of Qt's, not one of this reader.
        QImageReader::setAllocationLimit(
            static_cast<int>(kMaxDecodedBytes / (qint64{1024} * 1024)) + 1);
        QImage frame = reader.read();
        if (frame.isNull()) {
            if (hasNoVisibleFrame(data)) {
                return emptyScreen(pixelSize());
            }
            throw RuntimeError(err::InvalidPicture, "damaged GIF");
        }
        frame = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (frame.size() == pixelSize()) {
            return frame;
        }
        // The picture is the logical screen, whatever the decoder made of the frame.
        QImage screen = emptyScreen(pixelSize());
        QPainter painter(&screen);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, frame);
        painter.end();
        return screen;
    }

private:
    ByteSourcePtr source_;
};

} // namespace

PicturePtr loadGif(const ByteSourcePtr& source, QByteArrayView head) {
    const QSize screen(le16(head, 6), le16(head, 8));
    if (head.size() < 13 || screen.isEmpty()) {
        throw RuntimeError(err::InvalidPicture, "GIF without a logical screen size");
    }
    return std::make_shared<GifPicture>(source, screen);
}

} // namespace zelvia::rt::imaging
