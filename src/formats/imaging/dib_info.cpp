#include "formats/imaging/dib_info.h"

#include "core/runtime_error.h"
#include "formats/imaging/le_bytes.h"

#include <algorithm>

namespace zelvia::rt::imaging {

namespace {

enum Compression : std::uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3, // Huffman 1D in OS/2 headers
    BI_JPEG = 4,      // RLE24 in OS/2 headers
    BI_PNG = 5,
    BI_ALPHABITFIELDS = 6
};

bool isWindowsHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Headers longer than any we know carry fields we do not need; metafile writers produce them.
inline constexpr std::uint32_t kMaxHeaderSize = 1024;

class Refusal {
public:
    Refusal(DibFault fault, const char* why) : fault_(fault), why_(why) {}
    [[nodiscard]] DibHeader header() const { return {{}, fault_, why_}; }

private:
    DibFault fault_;
    const char* why_;
};

[[noreturn]] void damaged(const char* why) {
    throw Refusal(DibFault::Damaged, why);
}

[[noreturn]] void unsupported(const char* why) {
    throw Refusal(DibFault::Unsupported, why);
}

struct Fields {
    std::uint32_t headerSize = 0;
    bool core = false; // 12-byte header: 16-bit sizes, RGB triples in the colour table
    bool os2v2 = false;
    qint64 width = 0;
    qint64 height = 0;
    std::uint32_t planes = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colorsUsed = 0;
};

Fields readFields(QByteArrayView head, const DibPlace& place, int* bitCount) {
    const auto at = [&](qint64 off) { return static_cast<qsizetype>(place.dibStart + off); };
    if (head.size() < place.dibStart + 4) {
        damaged("truncated header");
    }
    Fields f;
    f.headerSize = le32(head, at(0));
    f.core = f.headerSize == 12;
    f.os2v2 = f.headerSize >= 16 && f.headerSize <= 64 && !isWindowsHeaderSize(f.headerSize);
    if (!f.core && f.headerSize < 16) {
        damaged("unknown header size");
    }
    if (f.headerSize > kMaxHeaderSize) {
        damaged("unknown header size");
    }
    if (head.size() < place.dibStart + std::min<std::uint32_t>(f.headerSize, 40)) {
        damaged("truncated header");
    }
    if (f.core) {
        f.width = le16(head, at(4));
        f.height = le16(head, at(6));
        f.planes = le16(head, at(8));
        *bitCount = le16(head, at(10));
        return f;
    }
    // Short OS/2 headers leave out trailing fields, which then count as zero.
    const auto field32 = [&](std::uint32_t off) {
        return off + 4 <= f.headerSize ? le32(head, at(off)) : 0u;
    };
    f.width = le32s(head, at(4));
    f.height = le32s(head, at(8));
    f.planes = le16(head, at(12));
    *bitCount = le16(head, at(14));
    f.compression = field32(16);
    f.colorsUsed = field32(32);
    return f;
}

void checkSize(Fields& f, const DibPlace& place, DibInfo& info) {
    if (place.context == DibContext::Icon) {
        f.height /= 2;
    }
    if (f.height < 0) {
        info.topDown = true;
        f.height = -f.height;
    }
    if (f.width <= 0 || f.height <= 0) {
        damaged("zero or negative size");
    }
    if (f.width > kMaxDibDimension || f.height > kMaxDibDimension) {
        damaged("absurd size");
    }
    info.width = static_cast<int>(f.width);
    info.height = static_cast<int>(f.height);
    // Icon images and metafile records often leave the plane count at zero.
    if (place.context == DibContext::File && f.planes != 1) {
        damaged("planes is not 1");
    }
}

// Sets the coding; returns how many mask bytes follow a header too short to hold them.
qint64 readCoding(const Fields& f, const DibPlace& place, DibInfo& info) {
    const int bits = info.bitCount;
    const bool embedded = place.context == DibContext::Record && !f.os2v2 && !f.core &&
                          (f.compression == BI_JPEG || f.compression == BI_PNG);
    if (embedded) {
        info.coding = f.compression == BI_PNG ? DibCoding::Png : DibCoding::Jpeg;
        return 0;
    }
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
        bits != 32) {
        unsupported("unsupported bit count");
    }
    qint64 maskBytes = 0;
    switch (f.compression) {
    case BI_RGB:
        info.coding = DibCoding::Rgb;
        break;
    case BI_RLE8:
        info.coding = DibCoding::Rle8;
        if (bits != 8) {
            unsupported("RLE8 needs 8 bits");
        }
        break;
    case BI_RLE4:
        info.coding = DibCoding::Rle4;
        if (bits != 4) {
            unsupported("RLE4 needs 4 bits");
        }
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (f.os2v2) {
            unsupported("Huffman 1D compression is not supported");
        }
        if (bits != 16 && bits != 32) {
            unsupported("bit fields need 16 or 32 bits");
        }
        info.coding = DibCoding::Bitfields;
        if (f.headerSize < 52) {
            maskBytes = f.compression == BI_ALPHABITFIELDS ? 16 : 12;
        }
        break;
    case BI_JPEG:
        if (f.os2v2 && bits == 24) {
            info.coding = DibCoding::Rle24;
            break;
        }
        unsupported("embedded JPEG is not supported");
    default:
        unsupported("unsupported compression");
    }
    if (info.runLength() && info.topDown) {
        damaged("top-down RLE");
    }
    return maskBytes;
}

void readMasks(QByteArrayView head, const Fields& f, const DibPlace& place, DibInfo& info) {
    const int bits = info.bitCount;
    if (info.coding == DibCoding::Bitfields) {
        const qint64 maskAt =
            f.headerSize >= 52 ? place.dibStart + 40 : place.dibStart + f.headerSize;
        const bool alpha = f.compression == BI_ALPHABITFIELDS || f.headerSize >= 56;
        if (head.size() < maskAt + (alpha ? 16 : 12)) {
            damaged("truncated colour masks");
        }
        for (int i = 0; i < (alpha ? 4 : 3); ++i) {
            info.masks[static_cast<size_t>(i)] =
                le32(head, static_cast<qsizetype>(maskAt + qint64{4} * i));
        }
    } else if (bits == 16) {
        info.masks = {0x7C00u, 0x03E0u, 0x001Fu, 0u};
    } else if (bits == 32) {
        info.masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu,
                      place.context == DibContext::Icon ? 0xFF000000u : 0u};
    }
}

// Reads the colour table; returns the offset just past it.
qint64 readColourTable(QByteArrayView head, const Fields& f, const DibPlace& place,
                       qint64 tableStart, DibInfo& info) {
    const int bits = info.bitCount;
    const bool indices = place.table == DibColourTable::PaletteIndices && !f.core;
    const qint64 entrySize = f.core ? 3 : (indices ? 2 : 4);
    qint64 stored = std::min<qint64>(f.colorsUsed, 1 << 16);
    if (bits <= 8) {
        const qint64 full = qint64{1} << bits;
        stored = f.colorsUsed == 0 || f.colorsUsed > full ? full : f.colorsUsed;
        if (place.context == DibContext::Record && f.colorsUsed > full) {
            stored = std::min<qint64>(f.colorsUsed, 256);
        }
        if (f.core && place.context == DibContext::File && place.fileOffBits > tableStart) {
            stored = std::min(stored, (place.fileOffBits - tableStart) / entrySize);
        }
        const qint64 count =
            std::min({stored, full, std::max<qint64>(0, (head.size() - tableStart) / entrySize)});
        info.palette.reserve(static_cast<size_t>(count));
        for (qint64 i = 0; i < count; ++i) {
            const auto p = static_cast<qsizetype>(tableStart + i * entrySize);
            if (indices) {
                const int index = static_cast<int>(byteAt(head, p));
                info.palette.push_back(qRgb(index, index, index));
            } else {
                info.palette.push_back(qRgb(static_cast<int>(byteAt(head, p + 2)),
                                            static_cast<int>(byteAt(head, p + 1)),
                                            static_cast<int>(byteAt(head, p))));
            }
        }
    }
    return tableStart + stored * entrySize;
}

} // namespace

DibHeader readDibHeader(QByteArrayView head, const DibPlace& place) {
    try {
        DibInfo info;
        Fields f = readFields(head, place, &info.bitCount);
        checkSize(f, place, info);
        const qint64 maskBytes = readCoding(f, place, info);
        const qint64 afterHeader = place.dibStart + f.headerSize;
        if (info.coding == DibCoding::Jpeg || info.coding == DibCoding::Png) {
            info.pixelOffset = afterHeader;
            return {std::move(info)};
        }
        readMasks(head, f, place, info);
        info.pixelOffset = readColourTable(head, f, place, afterHeader + maskBytes, info);
        if (place.context == DibContext::File && place.fileOffBits >= afterHeader &&
            place.fileOffBits < place.sourceSize) {
            info.pixelOffset = place.fileOffBits;
        }
        return {std::move(info)};
    } catch (const Refusal& refusal) {
        return refusal.header();
    }
}

DibInfo parseDibHeader(QByteArrayView head, qint64 dibStart, qint64 fileOffBits, qint64 sourceSize,
                       DibContext context) {
    DibHeader header = readDibHeader(head, {.dibStart = dibStart,
                                            .fileOffBits = fileOffBits,
                                            .sourceSize = sourceSize,
                                            .context = context});
    if (header.fault != DibFault::None) {
        throw RuntimeError(err::InvalidPicture,
                           std::string("invalid bitmap header: ") + header.why);
    }
    return std::move(header.info);
}

} // namespace zelvia::rt::imaging
