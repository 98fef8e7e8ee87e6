#include "formats/imaging/raster_picture.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "formats/imaging/dib_info.h"
#include "formats/imaging/formats.h"
#include "formats/imaging/le_bytes.h"
#include "formats/imaging/raster_base.h"

#include <QImageReader>

namespace zelvia::rt {

namespace {

enum class Format { None, Bmp, Ico, Jpeg, Gif };

Format sniff(QByteArrayView head) {
    using imaging::le16;
    using imaging::le32;
    if (head.size() >= 18 && head.startsWith("BM")) {
        const std::uint32_t info = le32(head, 14);
        if (info == 12 || (info >= 16 && info <= 64) || info == 108 || info == 124) {
            return Format::Bmp;
        }
    }
    if (head.size() >= 6 && le16(head, 0) == 0 && le16(head, 2) == 1 && le16(head, 4) > 0) {
        return Format::Ico;
    }
    if (head.size() >= 3 && head.startsWith("\xFF\xD8\xFF")) {
        return Format::Jpeg;
    }
    if (head.size() >= 6 && (head.startsWith("GIF87a") || head.startsWith("GIF89a"))) {
        return Format::Gif;
    }
    return Format::None;
}

PicturePtr load(const imaging::ByteSourcePtr& source) {
    const QByteArray head = source->readAt(0, imaging::kDibHeadBytes);
    switch (sniff(head)) {
    case Format::Bmp:
        return imaging::loadBmp(source, head);
    case Format::Ico:
        return imaging::loadIco(source, head);
    case Format::Jpeg:
        return imaging::loadJpeg(source, head);
    case Format::Gif:
        return imaging::loadGif(source, head);
    case Format::None:
        break;
    }
    throw RuntimeError(err::InvalidPicture, "not a BMP, ICO, JPEG or GIF picture");
}

} // namespace

bool looksLikeRaster(QByteArrayView head) {
    return sniff(head) != Format::None;
}

PicturePtr loadRasterPicture(const ReadOnlyFile& file) {
    return load(imaging::fileSource(file));
}

PicturePtr loadRasterPictureFromBytes(QByteArray bytes) {
    return load(imaging::memorySource(std::move(bytes)));
}

void limitImageReaders() {
    QImageReader::setAllocationLimit(kImageReaderLimitMiB);
}

QSize lastDecodedSize(const Picture& picture) {
    const auto* raster = dynamic_cast<const imaging::RasterPictureBase*>(&picture);
    return raster != nullptr ? raster->lastDecodedSize() : QSize();
}

namespace imaging {

QByteArray readWhole(const ByteSource& source) {
    if (source.size() > kMaxDecodedBytes) {
        throw RuntimeError(err::TooLarge);
    }
    return source.readAt(0, source.size());
}

} // namespace imaging

} // namespace zelvia::rt
