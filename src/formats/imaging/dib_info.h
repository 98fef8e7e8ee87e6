#pragma once

#include <QByteArrayView>
#include <QRgb>
#include <array>
#include <cstdint>
#include <vector>

namespace zelvia::rt::imaging {

// Jpeg and Png are whole pictures embedded in place of the pixel rows; only metafile records
// carry them.
enum class DibCoding { Rgb, Rle8, Rle4, Rle24, Bitfields, Jpeg, Png };

// Where a DIB header was found: in a BMP file (after the 14-byte file header), as an icon
// image (height counts colour rows plus AND-mask rows; 32-bit pixels carry alpha), or as the
// BITMAPINFO of a metafile record (the colour table holds exactly the entries it says it has).
enum class DibContext { File, Icon, Record };

// What a metafile record's colour table holds: colours, or 16-bit indices into the logical
// palette (DIB_PAL_COLORS), which we have no palette to look up and show as a grey ramp.
enum class DibColourTable { Colours, PaletteIndices };

// Everything needed to decode the pixel rows of a device-independent bitmap.
struct DibInfo {
    int width = 0;
    int height = 0; // colour rows; for icons half the stored height
    bool topDown = false;
    int bitCount = 0;
    DibCoding coding = DibCoding::Rgb;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha (alpha 0: opaque)
    std::vector<QRgb> palette;            // opaque colours, at most 256
    qint64 pixelOffset = 0;               // first pixel byte, from the start of the source

    [[nodiscard]] qint64 stride() const { return ((qint64{width} * bitCount + 31) / 32) * 4; }
    [[nodiscard]] bool runLength() const {
        return coding == DibCoding::Rle8 || coding == DibCoding::Rle4 || coding == DibCoding::Rle24;
    }
};

// Largest width or height accepted; anything beyond is a damaged header, not a picture.
inline constexpr int kMaxDibDimension = 1 << 20;

// Bytes of `head` a header parse may look at (header, masks and a full palette).
inline constexpr qint64 kDibHeadBytes = 14 + 124 + 16 + 256 * 4;

// Why a header was refused: damaged (sizes, lengths) or a valid header asking for a
// coding or depth we do not decode.
enum class DibFault { None, Damaged, Unsupported };

struct DibHeader {
    DibInfo info;
    DibFault fault = DibFault::None;
    const char* why = ""; // for the error message when refused
};

struct DibPlace {
    qint64 dibStart = 0;    // where the info header starts in `head`
    qint64 fileOffBits = 0; // the file header's pixel offset (files only)
    qint64 sourceSize = 0;  // total size of the source
    DibContext context = DibContext::File;
    DibColourTable table = DibColourTable::Colours;
};

// Parses the info header in `head` (the first bytes of the source) with its masks and colour
// table. Never throws; a refused header comes back with its fault.
DibHeader readDibHeader(QByteArrayView head, const DibPlace& place);

// The same for BMP files and icon images, which have no embedded pictures. Throws
// RuntimeError 481 on a refused header.
DibInfo parseDibHeader(QByteArrayView head, qint64 dibStart, qint64 fileOffBits, qint64 sourceSize,
                       DibContext context);

} // namespace zelvia::rt::imaging
