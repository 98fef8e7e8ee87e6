#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QImage>

namespace zelvia::rt::metafile {

enum class DibStatus { Ok, TooLarge, Damaged, Unsupported };

struct DibImage {
    QImage image; // top-down; RGB32, or ARGB32_Premultiplied when alpha was asked for
    DibStatus status = DibStatus::Damaged;
    bool bottomUp = true; // rows were stored bottom-up (source rectangles count from below)
};

struct DibOptions {
    bool paletteIndices = false; // DIB_PAL_COLORS: the colour table holds palette indices
    bool keepAlpha = false;      // 32-bit pixels carry straight alpha (AlphaBlend)
};

// Decodes a device-independent bitmap with the raster loader's DIB decoder: `info` is the
// BITMAPINFO (header, masks, colour table), `bits` the pixel rows. Uncompressed
// 1/2/4/8/16/24/32-bit, RLE4/RLE8/RLE24, and embedded JPEG/PNG.
// Bitmaps needing more than kMaxDecodedBytes give TooLarge; rows missing from `bits` stay black.
DibImage decodeDib(QByteArrayView info, QByteArrayView bits, DibOptions options = {});

// A packed DIB: BITMAPINFO immediately followed by the bits (WMF records).
DibImage decodePackedDib(QByteArrayView packed, DibOptions options = {});

// The WMF device-dependent bitmap (Bitmap16 object): monochrome and 24-bit are understood.
DibImage decodeBitmap16(QByteArrayView bitmap16);

// A monochrome pattern recoloured for a pattern brush: set bits in `one`, clear in `zero`.
QImage recolourMonochrome(const QImage& mono, const QColor& zero, const QColor& one);

} // namespace zelvia::rt::metafile
