#include "core/runtime_error.h"
#include "formats/imaging/formats.h"
#include "formats/imaging/icon_image.h"
#include "formats/imaging/le_bytes.h"
#include "formats/imaging/raster_base.h"

#include <algorithm>
#include <optional>

namespace zelvia::rt::imaging {

namespace {

// Directory entries past this many are not looked at; real icons have a dozen or so.
constexpr int kMaxEntriesConsidered = 512;

// The bytes of the largest icon image decoded (1024 x 1024, 32 bits, and its mask).
constexpr qint64 kMaxEntryBytes = qint64{8} * 1024 * 1024;

struct IconEntry {
    qint64 offset = 0;
    qint64 length = 0; // as the directory names it, within the file
    QSize size;
    int bitCount = 0;
};

// The size and depth the image itself declares (the directory's are often wrong or 0).
std::optional<IconEntry> inspectEntry(const ByteSource& source, qint64 offset, qint64 length) {
    const QByteArray h = source.readAt(offset, std::min<qint64>(length, 40));
    IconEntry e;
    e.offset = offset;
    e.length = length;
    if (h.startsWith("\x89PNG\r\n\x1a\n")) {
        const std::uint32_t w = be32(h, 16);
        const std::uint32_t ht = be32(h, 20);
        const auto maxSide = static_cast<std::uint32_t>(kMaxIconSide);
        if (h.size() < 24 || w == 0 || ht == 0 || w > maxSide || ht > maxSide) {
            return std::nullopt;
        }
        e.size = QSize(static_cast<int>(w), static_cast<int>(ht));
        e.bitCount = 32;
        return e;
    }
    if (h.size() < 16) {
        return std::nullopt;
    }
    const std::uint32_t headerSize = le32(h, 0);
    const qint64 w = le32s(h, 4);
    const qint64 ht = std::abs(qint64{le32s(h, 8)}) / 2;
    if (headerSize < 16 || headerSize > 124 || w <= 0 || ht <= 0 || w > kMaxIconSide ||
        ht > kMaxIconSide) {
        return std::nullopt;
    }
    e.size = QSize(static_cast<int>(w), static_cast<int>(ht));
    e.bitCount = le16(h, 14);
    return e;
}

class IcoPicture final : public RasterPictureBase {
public:
    IcoPicture(ByteSourcePtr source, IconEntry entry)
        : RasterPictureBase(PictureKind::Icon, entry.size), source_(std::move(source)),
          entry_(entry) {}

protected:
    [[nodiscard]] QImage decodeFull() const override {
        checkDecodeLimit(entry_.size);
        const QByteArray data = source_->readAt(entry_.offset, entry_.length);
        QImage image = decodeIconImage(data);
        if (image.isNull()) {
            throw RuntimeError(err::InvalidPicture, "damaged icon image");
        }
        return image;
    }

private:
    ByteSourcePtr source_;
    IconEntry entry_;
};

} // namespace

PicturePtr loadIco(const ByteSourcePtr& source, QByteArrayView head) {
    if (le16(head, 0) != 0 || le16(head, 2) != 1) {
        throw RuntimeError(err::InvalidPicture, "not an icon file");
    }
    const int count = std::min<int>(le16(head, 4), kMaxEntriesConsidered);
    const QByteArray dir = source->readAt(6, qint64{count} * 16);
    std::optional<IconEntry> best;
    for (int i = 0; i < count && (qsizetype{i} + 1) * 16 <= dir.size(); ++i) {
        const qint64 offset = le32(dir, qsizetype{i} * 16 + 12);
        if (offset < 6 || offset >= source->size()) {
            continue;
        }
        // Only the bytes the entry names; a directory without them gets what an icon can hold.
        const qint64 named = le32(dir, qsizetype{i} * 16 + 8);
        const qint64 length =
            std::min({named > 0 ? named : kMaxEntryBytes, kMaxEntryBytes, source->size() - offset});
        const auto e = inspectEntry(*source, offset, length);
        if (!e) {
            continue;
        }
        const qint64 area = qint64{e->size.width()} * e->size.height();
        const qint64 bestArea =
            best ? qint64{best->size.width()} * best->size.height() : qint64{-1};
        if (area > bestArea || (area == bestArea && e->bitCount > best->bitCount)) {
            best = e;
        }
    }
    if (!best) {
        throw RuntimeError(err::InvalidPicture, "icon file has no readable image");
    }
    return std::make_shared<IcoPicture>(source, *best);
}

} // namespace zelvia::rt::imaging
