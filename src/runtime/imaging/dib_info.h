#pragma once

#include <QByteArrayView>
#include <QRgb>
#include <array>
#include <cstdint>
#include <vector>

namespace zelvia::rt::imaging {

enum class DibCoding { Rgb, Rle8, Rle4, Rle24, Bitfields };

// Where a DIB header was found: in a BMP file (after the 14-byte file header) or as an icon
// image (height counts colour rows plus AND-mask rows; 32-bit pixels carry alpha).
enum class DibContext { File, Icon };

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
};

// Largest width or height accepted; anything beyond is a damaged header, not a picture.
inline constexpr int kMaxDibDimension = 1 << 20;

// Bytes of `head` a header parse may look at (header, masks and a full palette).
inline constexpr qint64 kDibHeadBytes = 14 + 124 + 16 + 256 * 4;

// Parses the info header at `dibStart` of `head` (the first bytes of the source), with its
// masks and palette. `fileOffBits` is the file header's pixel offset (ignored for icons);
// `sourceSize` the total size of the source. Throws RuntimeError 481 on an invalid header.
DibInfo parseDibHeader(QByteArrayView head, qint64 dibStart, qint64 fileOffBits, qint64 sourceSize,
                       DibContext context);

} // namespace zelvia::rt::imaging
