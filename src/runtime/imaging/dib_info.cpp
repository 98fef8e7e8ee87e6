#include "runtime/imaging/dib_info.h"

#include "runtime/imaging/le_bytes.h"
#include "runtime/runtime_error.h"

#include <algorithm>

namespace zelvia::rt::imaging {

namespace {

[[noreturn]] void invalid(const char* why) {
    throw RuntimeError(err::InvalidPicture, std::string("invalid bitmap header: ") + why);
}

bool isWindowsHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

} // namespace

// Long by nature: one check per header field, in file order.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
DibInfo parseDibHeader(QByteArrayView head, qint64 dibStart, qint64 fileOffBits, qint64 sourceSize,
                       DibContext context) {
    const auto at = [&](qint64 off) { return static_cast<qsizetype>(dibStart + off); };
    const std::uint32_t headerSize = le32(head, at(0));
    const bool core = headerSize == 12;
    const bool os2v2 = headerSize >= 16 && headerSize <= 64 && !isWindowsHeaderSize(headerSize);
    if (!core && !os2v2 && !isWindowsHeaderSize(headerSize)) {
        invalid("unknown header size");
    }
    if (head.size() < dibStart + std::min<std::uint32_t>(headerSize, 40) && !core) {
        invalid("truncated header");
    }
    if (core && head.size() < dibStart + 12) {
        invalid("truncated header");
    }

    DibInfo info;
    qint64 width = 0;
    qint64 height = 0;
    std::uint32_t planes = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    if (core) {
        width = le16(head, at(4));
        height = le16(head, at(6));
        planes = le16(head, at(8));
        info.bitCount = le16(head, at(10));
    } else {
        // Short OS/2 headers leave out trailing fields, which then count as zero.
        const auto field32 = [&](std::uint32_t off) {
            return off + 4 <= headerSize ? le32(head, at(off)) : 0u;
        };
        width = le32s(head, at(4));
        height = le32s(head, at(8));
        planes = le16(head, at(12));
        info.bitCount = le16(head, at(14));
        compression = field32(16);
        colorsUsed = field32(32);
    }

    if (context == DibContext::Icon) {
        height /= 2;
    }
    if (height < 0) {
        info.topDown = true;
        height = -height;
    }
    if (width <= 0 || height <= 0) {
        invalid("zero or negative size");
    }
    if (width > kMaxDibDimension || height > kMaxDibDimension) {
        invalid("absurd size");
    }
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    if (context == DibContext::File && planes != 1) {
        invalid("planes is not 1");
    }
    const int bits = info.bitCount;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
        bits != 32) {
        invalid("unsupported bit count");
    }

    qint64 maskBytes = 0; // masks stored after a 40-byte header
    switch (compression) {
    case 0:
        info.coding = DibCoding::Rgb;
        break;
    case 1:
        info.coding = DibCoding::Rle8;
        if (bits != 8) {
            invalid("RLE8 needs 8 bits");
        }
        break;
    case 2:
        info.coding = DibCoding::Rle4;
        if (bits != 4) {
            invalid("RLE4 needs 4 bits");
        }
        break;
    case 3:
    case 6:
        if (os2v2) {
            invalid("Huffman 1D compression is not supported");
        }
        if (bits != 16 && bits != 32) {
            invalid("bit fields need 16 or 32 bits");
        }
        info.coding = DibCoding::Bitfields;
        if (headerSize < 52) {
            maskBytes = compression == 6 ? 16 : 12;
        }
        break;
    case 4:
        if (os2v2 && bits == 24) {
            info.coding = DibCoding::Rle24;
            break;
        }
        invalid("embedded JPEG is not supported");
    default:
        invalid("unsupported compression");
    }
    const bool rle = info.coding == DibCoding::Rle8 || info.coding == DibCoding::Rle4 ||
                     info.coding == DibCoding::Rle24;
    if (rle && info.topDown) {
        invalid("top-down RLE");
    }

    // Channel masks.
    const qint64 afterHeader = dibStart + headerSize;
    if (info.coding == DibCoding::Bitfields) {
        const qint64 maskAt = headerSize >= 52 ? dibStart + 40 : afterHeader;
        for (int i = 0; i < 3; ++i) {
            info.masks[static_cast<size_t>(i)] =
                le32(head, static_cast<qsizetype>(maskAt + qint64{4} * i));
        }
        if (compression == 6 || headerSize >= 56) {
            info.masks[3] = le32(head, static_cast<qsizetype>(maskAt + 12));
        }
    } else if (bits == 16) {
        info.masks = {0x7C00u, 0x03E0u, 0x001Fu, 0u};
    } else if (bits == 32) {
        info.masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu,
                      context == DibContext::Icon ? 0xFF000000u : 0u};
    }

    // Palette.
    const qint64 paletteStart = afterHeader + maskBytes;
    const qint64 entrySize = core ? 3 : 4;
    qint64 storedEntries = std::min<qint64>(colorsUsed, 1 << 16);
    if (bits <= 8) {
        const qint64 full = qint64{1} << bits;
        qint64 count = colorsUsed == 0 || colorsUsed > full ? full : colorsUsed;
        if (core && context == DibContext::File && fileOffBits > paletteStart) {
            count = std::min(count, (fileOffBits - paletteStart) / entrySize);
        }
        storedEntries = count;
        count = std::min(count, std::max<qint64>(0, (head.size() - paletteStart) / entrySize));
        info.palette.reserve(static_cast<size_t>(count));
        for (qint64 i = 0; i < count; ++i) {
            const auto p = static_cast<qsizetype>(paletteStart + i * entrySize);
            info.palette.push_back(qRgb(static_cast<int>(byteAt(head, p + 2)),
                                        static_cast<int>(byteAt(head, p + 1)),
                                        static_cast<int>(byteAt(head, p))));
        }
    }
    const qint64 computedOffset = paletteStart + storedEntries * entrySize;
    info.pixelOffset = computedOffset;
    if (context == DibContext::File && fileOffBits >= afterHeader && fileOffBits < sourceSize) {
        info.pixelOffset = fileOffBits;
    }
    return info;
}

} // namespace zelvia::rt::imaging
