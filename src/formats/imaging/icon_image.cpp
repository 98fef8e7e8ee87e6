#include "formats/imaging/icon_image.h"

#include "core/picture.h"
#include "core/runtime_error.h"
#include "formats/imaging/byte_source.h"
#include "formats/imaging/dib_decoder.h"
#include "formats/imaging/dib_info.h"
#include "formats/imaging/le_bytes.h"

#include <string_view>

namespace zelvia::rt {

namespace {

constexpr std::string_view kPngSignature{"\x89PNG\r\n\x1a\n", 8};

QImage decodePngIcon(QByteArrayView data) {
    // Refuse sizes past an icon's before the PNG decoder allocates anything.
    const std::uint32_t w = imaging::be32(data, 16);
    const std::uint32_t h = imaging::be32(data, 20);
    const auto maxSide = static_cast<std::uint32_t>(kMaxIconSide);
    if (data.size() < 24 || data.sliced(12, 4) != "IHDR" || w == 0 || h == 0 || w > maxSide ||
        h > maxSide) {
        return {};
    }
    QImage image = QImage::fromData(data, "PNG");
    if (image.isNull()) {
        return {};
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// True when any pixel of a 32-bit DIB has a non-zero alpha byte. Icons without alpha leave
// those bytes zero and rely on the AND mask alone.
bool hasAlphaBytes(QByteArrayView data, const imaging::DibInfo& info) {
    const qint64 end =
        std::min<qint64>(data.size(), info.pixelOffset + info.stride() * info.height);
    for (qint64 i = info.pixelOffset + 3; i < end; i += 4) {
        if (data[static_cast<qsizetype>(i)] != 0) {
            return true;
        }
    }
    return false;
}

void applyAndMask(QImage& image, QByteArrayView data, const imaging::DibInfo& info) {
    const qint64 maskStride = ((qint64{info.width} + 31) / 32) * 4;
    const qint64 maskStart = info.pixelOffset + info.stride() * info.height;
    for (qint64 fileRow = 0; fileRow < info.height; ++fileRow) {
        const qint64 rowStart = maskStart + fileRow * maskStride;
        if (rowStart + maskStride > data.size()) {
            break; // missing mask rows: those pixels stay opaque
        }
        const int y =
            info.topDown ? static_cast<int>(fileRow) : info.height - 1 - static_cast<int>(fileRow);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < info.width; ++x) {
            const auto byte =
                static_cast<unsigned char>(data[static_cast<qsizetype>(rowStart + x / 8)]);
            if (((byte >> (7 - x % 8)) & 1u) != 0) {
                out[x] = 0;
            }
        }
    }
}

QImage decodeDibIcon(QByteArrayView data) {
    imaging::DibInfo info =
        imaging::parseDibHeader(data, 0, 0, data.size(), imaging::DibContext::Icon);
    if (info.width > kMaxIconSide || info.height > kMaxIconSide) {
        return {};
    }
    const bool alpha =
        info.bitCount == 32 && info.coding == imaging::DibCoding::Rgb && hasAlphaBytes(data, info);
    if (info.bitCount == 32 && !alpha) {
        info.masks[3] = 0;
    }
    // The view outlives the source, which only lives for this call.
    const auto source = imaging::memorySource(QByteArray::fromRawData(data.data(), data.size()));
    imaging::FullImageSink sink(info.width, info.height);
    if (imaging::decodeDibPixels(*source, info, sink) == 0) {
        return {};
    }
    QImage image = std::move(sink).image();
    const bool rle =
        info.coding != imaging::DibCoding::Rgb && info.coding != imaging::DibCoding::Bitfields;
    if (!alpha && !rle) {
        applyAndMask(image, data, info);
    }
    return image;
}

} // namespace

QImage decodeIconImage(QByteArrayView data) {
    try {
        if (data.startsWith(QByteArrayView(kPngSignature.data(), kPngSignature.size()))) {
            return decodePngIcon(data);
        }
        return decodeDibIcon(data);
    } catch (const RuntimeError&) {
        return {};
    }
}

} // namespace zelvia::rt
