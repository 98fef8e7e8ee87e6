#include "formats/metafile/dib.h"

#include "core/picture.h"
#include "core/runtime_error.h"
#include "formats/imaging/dib_decoder.h"
#include "formats/imaging/dib_info.h"
#include "formats/imaging/row_sink.h"
#include "formats/metafile/record_fields.h"

#include <QBuffer>
#include <QImageReader>

namespace zelvia::rt::metafile {

namespace {

using imaging::DibCoding;
using imaging::DibFault;

bool tooLarge(qint64 width, qint64 height) {
    return width > 0 && height > 0 && width * height > kMaxDecodedBytes / 4;
}

imaging::DibHeader readHeader(QByteArrayView info, const DibOptions& options) {
    return imaging::readDibHeader(info, {.sourceSize = info.size(),
                                         .context = imaging::DibContext::Record,
                                         .table = options.paletteIndices
                                                      ? imaging::DibColourTable::PaletteIndices
                                                      : imaging::DibColourTable::Colours});
}

DibStatus statusOf(DibFault fault) {
    return fault == DibFault::Unsupported ? DibStatus::Unsupported : DibStatus::Damaged;
}

DibImage decodeEmbedded(const imaging::DibInfo& info, QByteArrayView bits) {
    DibImage result;
    result.bottomUp = !info.topDown;
    QByteArray copy = bits.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, info.coding == DibCoding::Png ? "png" : "jpeg");
    const QSize size = reader.size();
    if (size.isValid() && tooLarge(size.width(), size.height())) {
        result.status = DibStatus::TooLarge;
        return result;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        result.status = DibStatus::Unsupported;
        return result;
    }
    result.image = image.convertToFormat(QImage::Format_RGB32);
    result.bottomUp = false;
    result.status = DibStatus::Ok;
    return result;
}

} // namespace

DibImage decodeDib(QByteArrayView info, QByteArrayView bits, DibOptions options) {
    DibImage result;
    imaging::DibHeader header = readHeader(info, options);
    if (header.fault != DibFault::None) {
        result.status = statusOf(header.fault);
        return result;
    }
    imaging::DibInfo& dib = header.info;
    result.bottomUp = !dib.topDown;
    if (dib.coding == DibCoding::Jpeg || dib.coding == DibCoding::Png) {
        return decodeEmbedded(dib, bits);
    }
    if (tooLarge(dib.width, dib.height)) {
        result.status = DibStatus::TooLarge;
        return result;
    }
    // Only AlphaBlend draws with the alpha bytes; everywhere else they are padding.
    const bool alpha = options.keepAlpha && dib.bitCount == 32;
    if (!alpha) {
        dib.masks[3] = 0;
    } else if (dib.coding == DibCoding::Rgb) {
        dib.masks[3] = 0xFF000000u;
    }
    dib.pixelOffset = 0;
    try {
        imaging::FullImageSink sink(dib.width, dib.height);
        // The view outlives the source, which only lives for this call.
        const auto source =
            imaging::memorySource(QByteArray::fromRawData(bits.data(), bits.size()));
        imaging::decodeDibPixels(*source, dib, sink);
        QImage image = std::move(sink).image();
        // Pixels the bits do not cover stay transparent, and so black once opaque.
        result.image = alpha ? image : image.convertToFormat(QImage::Format_RGB32);
    } catch (const RuntimeError&) {
        result.status = DibStatus::TooLarge;
        return result;
    }
    result.status = DibStatus::Ok;
    return result;
}

DibImage decodePackedDib(QByteArrayView packed, DibOptions options) {
    const imaging::DibHeader header = readHeader(packed, options);
    if (header.fault != DibFault::None) {
        DibImage refused;
        refused.status = statusOf(header.fault);
        return refused;
    }
    const qint64 infoSize = header.info.pixelOffset;
    if (infoSize > packed.size()) {
        return {};
    }
    return decodeDib(packed.first(static_cast<qsizetype>(infoSize)),
                     packed.sliced(static_cast<qsizetype>(infoSize)), options);
}

DibImage decodeBitmap16(QByteArrayView bitmap16) {
    DibImage result;
    ByteReader r(bitmap16);
    if (!r.fits(1, 14)) {
        return result;
    }
    r.skip(2); // bmType, always 0
    const qint64 width = r.i16();
    const qint64 height = r.i16();
    const qint64 widthBytes = r.i16();
    const int planes = r.u8();
    const int bpp = r.u8();
    r.skip(4); // bmBits, a pointer when the bitmap was in memory
    if (width <= 0 || height <= 0 || planes != 1 || (bpp != 1 && bpp != 24)) {
        result.status = width > 0 && height > 0 ? DibStatus::Unsupported : DibStatus::Damaged;
        return result;
    }
    if (widthBytes < (width * bpp + 7) / 8 || !r.fits(height, widthBytes)) {
        return result;
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    const auto* data = reinterpret_cast<const unsigned char*>(bitmap16.data()) + r.pos();
    for (qint64 y = 0; y < height; ++y) {
        const unsigned char* row = data + y * widthBytes;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (qint64 x = 0; x < width; ++x) {
            if (bpp == 1) {
                line[x] = ((unsigned{row[x >> 3]} >> (7 - (x & 7))) & 1u) != 0 ? qRgb(255, 255, 255)
                                                                               : qRgb(0, 0, 0);
            } else {
                line[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            }
        }
    }
    result.image = image;
    result.bottomUp = false;
    result.status = DibStatus::Ok;
    return result;
}

QImage recolourMonochrome(const QImage& mono, const QColor& zero, const QColor& one) {
    QImage out = mono.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(out.constScanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x] & 0xFFFFFF;
            if (c != 0 && c != 0xFFFFFF) {
                return out; // not monochrome: keep its own colours
            }
        }
    }
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            line[x] = qGray(line[x]) >= 128 ? one.rgb() : zero.rgb();
        }
    }
    return out;
}

} // namespace zelvia::rt::metafile
