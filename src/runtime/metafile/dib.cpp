#include "runtime/metafile/dib.h"

#include "runtime/metafile/byte_reader.h"
#include "runtime/picture.h"

#include <QBuffer>
#include <QImageReader>
#include <array>
#include <bit>
#include <vector>

namespace zelvia::rt::metafile {

namespace {

enum Compression : std::uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3,
    BI_JPEG = 4,
    BI_PNG = 5,
    BI_ALPHABITFIELDS = 6
};

struct Header {
    qint64 width = 0;
    qint64 height = 0;
    bool bottomUp = true;
    int bpp = 0;
    std::uint32_t compression = BI_RGB;
    std::array<std::uint32_t, 4> masks{}; // r, g, b, a
    std::vector<QRgb> palette;
    qint64 size = 0; // bytes of header + masks + palette
};

bool tooLarge(qint64 width, qint64 height) {
    return width > 0 && height > 0 && width * height > kMaxDecodedBytes / 4;
}

// Reads one channel through a bit mask and scales it to 0..255.
int channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    const std::uint32_t v = (pixel & mask) >> shift;
    return static_cast<int>((v * 255u + max / 2) / max);
}

// Long by nature: a check per header field.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool readHeader(QByteArrayView info, const DibOptions& options, Header* h) {
    ByteReader r(info);
    if (!r.fits(1, 4)) {
        return false;
    }
    const std::uint32_t headerSize = r.u32();
    int paletteEntrySize = 4;
    if (headerSize == 12) {
        if (!r.fits(1, 8)) {
            return false;
        }
        h->width = r.u16();
        h->height = r.u16();
        r.u16();
        h->bpp = r.u16();
        paletteEntrySize = 3;
    } else if (headerSize >= 40 && headerSize <= 1024 && info.size() >= 40) {
        h->width = r.i32();
        const std::int32_t height = r.i32();
        h->bottomUp = height > 0;
        h->height = height < 0 ? -static_cast<qint64>(height) : height;
        r.u16();
        h->bpp = r.u16();
        h->compression = r.u32();
        r.skip(12);
        const std::uint32_t used = r.u32();
        r.u32();
        qint64 pos = headerSize;
        if (h->compression == BI_BITFIELDS || h->compression == BI_ALPHABITFIELDS) {
            const int count = h->compression == BI_ALPHABITFIELDS ? 4 : 3;
            ByteReader m(info, headerSize >= 52 ? 40 : static_cast<qsizetype>(headerSize));
            if (!m.fits(count, 4)) {
                return false;
            }
            for (int i = 0; i < count; ++i) {
                h->masks[static_cast<std::size_t>(i)] = m.u32();
            }
            if (headerSize < 52) {
                pos += qint64{4} * count;
            }
        }
        h->size = pos;
        if (h->bpp <= 8 && h->bpp > 0) {
            const qint64 entries = used != 0 ? std::min<qint64>(used, 256) : (qint64{1} << h->bpp);
            h->palette.assign(static_cast<std::size_t>(entries), qRgb(0, 0, 0));
            ByteReader p(info, static_cast<qsizetype>(std::min<qint64>(pos, info.size())));
            const qint64 entrySize = options.paletteIndices ? 2 : 4;
            for (qint64 i = 0; i < entries && p.fits(1, entrySize); ++i) {
                if (options.paletteIndices) {
                    // No palette to look in: show the indices as a grey ramp.
                    const int index = p.u16() & 0xFF;
                    h->palette[static_cast<std::size_t>(i)] = qRgb(index, index, index);
                } else {
                    const int b = p.u8();
                    const int g = p.u8();
                    const int rr = p.u8();
                    p.u8();
                    h->palette[static_cast<std::size_t>(i)] = qRgb(rr, g, b);
                }
            }
            h->size = pos + entries * entrySize;
        }
        return true;
    } else {
        return false;
    }
    // Core header: palette of RGB triples.
    h->size = 12;
    if (h->bpp <= 8 && h->bpp > 0) {
        const qint64 entries = qint64{1} << h->bpp;
        h->palette.assign(static_cast<std::size_t>(entries), qRgb(0, 0, 0));
        ByteReader p(info, std::min<qsizetype>(12, info.size()));
        for (qint64 i = 0; i < entries && p.fits(1, paletteEntrySize); ++i) {
            const int b = p.u8();
            const int g = p.u8();
            const int rr = p.u8();
            h->palette[static_cast<std::size_t>(i)] = qRgb(rr, g, b);
        }
        h->size = 12 + entries * paletteEntrySize;
    }
    return true;
}

QRgb paletteColour(const Header& h, unsigned index) {
    return index < h.palette.size() ? h.palette[index] : qRgb(0, 0, 0);
}

// Row `y` of the stored order lands on this image row.
int imageRow(const Header& h, qint64 y) {
    return static_cast<int>(h.bottomUp ? h.height - 1 - y : y);
}

void decodeUncompressed(const Header& h, QByteArrayView bits, const DibOptions& options,
                        QImage* out) {
    const qint64 stride = ((h.width * h.bpp + 31) / 32) * 4;
    const qint64 rows = std::min<qint64>(h.height, stride > 0 ? bits.size() / stride : 0);
    std::array<std::uint32_t, 4> masks = h.masks;
    const bool useMasks = h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS;
    if (!useMasks) {
        if (h.bpp == 16) {
            masks = {0x7C00, 0x03E0, 0x001F, 0};
        } else {
            masks = {0xFF0000, 0xFF00, 0xFF, options.keepAlpha ? 0xFF000000u : 0u};
        }
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bits.data());
    for (qint64 y = 0; y < rows; ++y) {
        const unsigned char* row = data + y * stride;
        auto* line = reinterpret_cast<QRgb*>(out->scanLine(imageRow(h, y)));
        for (qint64 x = 0; x < h.width; ++x) {
            QRgb c = 0;
            switch (h.bpp) {
            case 1:
                c = paletteColour(h, (unsigned{row[x >> 3]} >> (7 - (x & 7))) & 1u);
                break;
            case 4:
                c = paletteColour(h, (unsigned{row[x >> 1]} >> ((x & 1) != 0 ? 0 : 4)) & 0xFu);
                break;
            case 8:
                c = paletteColour(h, row[x]);
                break;
            case 16: {
                const std::uint32_t p =
                    row[2 * x] | (static_cast<std::uint32_t>(row[2 * x + 1]) << 8u);
                c = qRgb(channel(p, masks[0]), channel(p, masks[1]), channel(p, masks[2]));
                break;
            }
            case 24:
                c = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                break;
            case 32: {
                const std::uint32_t p = row[4 * x] |
                                        (static_cast<std::uint32_t>(row[4 * x + 1]) << 8u) |
                                        (static_cast<std::uint32_t>(row[4 * x + 2]) << 16u) |
                                        (static_cast<std::uint32_t>(row[4 * x + 3]) << 24u);
                const int a = masks[3] != 0 ? channel(p, masks[3]) : 255;
                c = qRgba(channel(p, masks[0]), channel(p, masks[1]), channel(p, masks[2]), a);
                break;
            }
            default:
                break;
            }
            line[x] = c;
        }
    }
}

// Long by nature: one state machine for RLE4 and RLE8.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void decodeRle(const Header& h, QByteArrayView bits, QImage* out) {
    const bool four = h.compression == BI_RLE4;
    const auto* data = reinterpret_cast<const unsigned char*>(bits.data());
    const qint64 n = bits.size();
    qint64 i = 0;
    qint64 x = 0;
    qint64 y = 0;
    auto put = [&](unsigned index) {
        if (x < h.width && y < h.height) {
            reinterpret_cast<QRgb*>(out->scanLine(imageRow(h, y)))[x] = paletteColour(h, index);
        }
        ++x;
    };
    while (i + 1 < n && y < h.height) {
        const unsigned count = data[i];
        const unsigned value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (unsigned k = 0; k < count && x < h.width; ++k) {
                put(four ? ((k & 1) != 0 ? value & 0xF : value >> 4) : value);
            }
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= n) {
                break;
            }
            x += data[i];
            y += data[i + 1];
            i += 2;
        } else {
            const qint64 bytes = four ? (value + 1) / 2 : value;
            for (unsigned k = 0; k < value && i + (four ? k / 2 : k) < n; ++k) {
                const unsigned b = data[i + (four ? k / 2 : k)];
                put(four ? ((k & 1) != 0 ? b & 0xF : b >> 4) : b);
            }
            i += bytes + (bytes & 1);
        }
    }
}

DibImage decodeEmbedded(const Header& h, QByteArrayView bits) {
    DibImage result;
    result.bottomUp = h.bottomUp;
    QByteArray copy = bits.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, h.compression == BI_PNG ? "png" : "jpeg");
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
    Header h;
    if (!readHeader(info, options, &h) || h.width <= 0 || h.height <= 0) {
        return result;
    }
    result.bottomUp = h.bottomUp;
    if (h.compression == BI_JPEG || h.compression == BI_PNG) {
        return decodeEmbedded(h, bits);
    }
    if (tooLarge(h.width, h.height)) {
        result.status = DibStatus::TooLarge;
        return result;
    }
    const bool rle =
        (h.compression == BI_RLE8 && h.bpp == 8) || (h.compression == BI_RLE4 && h.bpp == 4);
    const bool plain = h.compression == BI_RGB || h.compression == BI_BITFIELDS ||
                       h.compression == BI_ALPHABITFIELDS;
    const bool knownDepth =
        h.bpp == 1 || h.bpp == 4 || h.bpp == 8 || h.bpp == 16 || h.bpp == 24 || h.bpp == 32;
    if (!knownDepth || (!rle && !plain)) {
        result.status = DibStatus::Unsupported;
        return result;
    }
    const bool alpha = options.keepAlpha && h.bpp == 32;
    QImage image(static_cast<int>(h.width), static_cast<int>(h.height),
                 alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        result.status = DibStatus::TooLarge;
        return result;
    }
    image.fill(alpha ? 0u : 0xFF000000u);
    if (rle) {
        decodeRle(h, bits, &image);
    } else {
        decodeUncompressed(h, bits, options, &image);
    }
    result.image = alpha ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied) : image;
    result.status = DibStatus::Ok;
    return result;
}

DibImage decodePackedDib(QByteArrayView packed, DibOptions options) {
    Header h;
    if (!readHeader(packed, options, &h) || h.size > packed.size()) {
        return {};
    }
    return decodeDib(packed.first(static_cast<qsizetype>(h.size)),
                     packed.sliced(static_cast<qsizetype>(h.size)), options);
}

DibImage decodeBitmap16(QByteArrayView bitmap16) {
    DibImage result;
    ByteReader r(bitmap16);
    if (!r.fits(1, 14)) {
        return result;
    }
    r.i16();
    const qint64 width = r.i16();
    const qint64 height = r.i16();
    const qint64 widthBytes = r.i16();
    const int planes = r.u8();
    const int bpp = r.u8();
    r.u32();
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
