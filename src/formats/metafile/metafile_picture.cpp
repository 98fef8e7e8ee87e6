#include "formats/metafile/metafile_picture.h"

#include "core/runtime_error.h"
#include "formats/metafile/emf_player.h"
#include "formats/metafile/metafile_header.h"
#include "formats/metafile/player_limits.h"
#include "formats/metafile/wmf_player.h"

#include <QPainter>
#include <QPicture>
#include <cmath>

namespace zelvia::rt {

namespace {

using metafile::MetafileFormat;
using metafile::MetafileInfo;

// Plays the records; a damaged record ends the drawing quietly with what was drawn.
void play(QByteArrayView bytes, const MetafileInfo& info, QPainter& painter, const QRectF& target) {
    metafile::DeviceSetup setup = info.setup;
    setup.target = target;
    painter.save();
    try {
        metafile::GdiDevice device(painter, setup);
        if (info.format == MetafileFormat::Wmf) {
            metafile::playWmf(bytes, info, device);
        } else {
            metafile::playEmf(bytes, info, device);
        }
    } catch (...) { // past the work budget, or asked to stop
        painter.restore();
        throw;
    }
    painter.restore();
}

// The extent of what the records draw, in device units, for files whose header gives none.
QRectF drawingExtent(QByteArrayView bytes, const MetafileInfo& info) {
    MetafileInfo probe = info;
    const QRectF everywhere(-1e6, -1e6, 2e6, 2e6);
    probe.setup.deviceFrame = everywhere;
    QPicture recording;
    {
        QPainter painter(&recording);
        play(bytes, probe, painter, everywhere);
    }
    return {recording.boundingRect()};
}

class MetafilePicture final : public Picture {
public:
    MetafilePicture(QByteArray bytes, MetafileInfo info)
        : bytes_(std::move(bytes)), info_(std::move(info)) {}

    [[nodiscard]] PictureKind kind() const override {
        return info_.format == MetafileFormat::Wmf ? PictureKind::Metafile
                                                   : PictureKind::EnhMetafile;
    }

    [[nodiscard]] QSize pixelSize() const override {
        return {static_cast<int>(std::lround(info_.naturalTwips.width() / 15.0)),
                static_cast<int>(std::lround(info_.naturalTwips.height() / 15.0))};
    }

    [[nodiscard]] QSizeF naturalSizeTwips(double /*twipsPerPixelX*/,
                                          double /*twipsPerPixelY*/) const override {
        return info_.naturalTwips;
    }

    void draw(QPainter& painter, const QRectF& target) const override {
        if (target.isEmpty() || info_.setup.deviceFrame.isEmpty()) {
            return;
        }
        play(bytes_, info_, painter, target);
    }

    [[nodiscard]] QImage fullImage() const override {
        const QSize size = pixelSize().expandedTo(QSize(1, 1));
        if (static_cast<qint64>(size.width()) * size.height() * 4 > kMaxDecodedBytes) {
            throw RuntimeError(err::TooLarge, "metafile too large to render");
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            throw RuntimeError(err::TooLarge, "metafile too large to render");
        }
        image.fill(Qt::white);
        QPainter painter(&image);
        draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
        return image;
    }

    [[nodiscard]] QByteArray originalBytes() const override { return bytes_; }
    [[nodiscard]] QString originalMimeType() const override {
        return info_.format == MetafileFormat::Wmf ? QStringLiteral("image/x-wmf")
                                                   : QStringLiteral("image/x-emf");
    }

private:
    QByteArray bytes_;
    MetafileInfo info_;
};

// A metafile too large to play. It keeps the size its header states, so that the window can
// show how large the new file is, and refuses to be drawn.
class OversizedMetafile final : public Picture {
public:
    explicit OversizedMetafile(const MetafileInfo& info)
        : format_(info.format), natural_(info.naturalTwips) {}

    [[nodiscard]] PictureKind kind() const override {
        return format_ == MetafileFormat::Wmf ? PictureKind::Metafile : PictureKind::EnhMetafile;
    }
    [[nodiscard]] QSize pixelSize() const override {
        return {static_cast<int>(std::lround(natural_.width() / 15.0)),
                static_cast<int>(std::lround(natural_.height() / 15.0))};
    }
    [[nodiscard]] QSizeF naturalSizeTwips(double /*twipsPerPixelX*/,
                                          double /*twipsPerPixelY*/) const override {
        return natural_;
    }
    void draw(QPainter& /*painter*/, const QRectF& /*target*/) const override { refuse(); }
    [[nodiscard]] QImage fullImage() const override { refuse(); }
    [[nodiscard]] QImage regionImage(QRect /*region*/, QSize /*needed*/) const override {
        refuse();
    }

private:
    [[noreturn]] static void refuse() {
        throw RuntimeError(err::TooLarge, "metafile too large to play");
    }

    MetafileFormat format_;
    QSizeF natural_;
};

// The header of a metafile is within its first bytes; only these are read of one too large.
constexpr qint64 kHeaderBytes = 65536;

PicturePtr oversized(QByteArrayView head) {
    const MetafileInfo info = metafile::readMetafileInfo(head);
    if (info.needsDrawingExtent) {
        // Its size is the extent of its drawing, and the drawing is what cannot be afforded.
        throw RuntimeError(err::TooLarge, "metafile too large to play and of no stated size");
    }
    return std::make_shared<OversizedMetafile>(info);
}

} // namespace

PicturePtr loadMetafilePictureFromBytes(QByteArray bytes) {
    if (bytes.size() > metafile::kMaxFileBytes) {
        return oversized(QByteArrayView(bytes).first(kHeaderBytes));
    }
    MetafileInfo info = metafile::readMetafileInfo(bytes);
    if (info.needsDrawingExtent) {
        const QRectF extent = drawingExtent(bytes, info);
        if (extent.isEmpty()) {
            throw RuntimeError(err::InvalidPicture, "metafile has no size and draws nothing");
        }
        metafile::applyDrawingExtent(&info, extent);
    }
    return std::make_shared<MetafilePicture>(std::move(bytes), std::move(info));
}

PicturePtr loadMetafilePicture(const ReadOnlyFile& file) {
    if (file.size() > metafile::kMaxFileBytes) {
        return oversized(file.readAt(0, kHeaderBytes));
    }
    return loadMetafilePictureFromBytes(file.readAll(metafile::kMaxFileBytes));
}

} // namespace zelvia::rt
