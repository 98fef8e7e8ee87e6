#pragma once

#include "formats/imaging/le_bytes.h"

#include <QColor>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>

namespace zelvia::rt::metafile {

using imaging::ByteReader;

// A record whose fields or counts point past its end. The players catch it and end the
// drawing there, keeping what was drawn so far.
using DamagedRecord = imaging::TruncatedData;

// COLORREF: red, green, blue, flags. Palette-relative colours are taken as plain RGB.
inline QColor readColorRef(ByteReader& r) {
    const int red = r.u8();
    const int green = r.u8();
    const int blue = r.u8();
    r.u8();
    return {red, green, blue};
}

// Fields the players pass over, named for what they hold.
namespace skipped {
inline constexpr qint64 kBounds = 16;                   // RECTL bounds: drawing works out its own
inline constexpr qint64 kRegionSizeAndType = 8;         // RGNDATAHEADER dwSize, iType
inline constexpr qint64 kRegionBytesAndBounds = 4 + 16; // RGNDATAHEADER nRgnSize, rcBound
inline constexpr qint64 kGraphicsModeAndScales = 4 + 4 + 4;     // iGraphicsMode, exScale, eyScale
inline constexpr qint64 kSourceTransformAndBackground = 24 + 4; // xformSrc, crBkColorSrc
inline constexpr qint64 kPenPatternBitmap = 16; // offBmi, cbBmi, offBits, cbBits: drawn solid
inline constexpr qint64 kPenHatch = 4;          // elpHatch
inline constexpr qint64 kPenWidthY32 = 4;       // LOGPEN width.y, unused by GDI
inline constexpr qint64 kPenWidthY16 = 2;
inline constexpr qint64 kVertexAlpha = 2;       // TRIVERTEX Alpha: gradients are opaque
inline constexpr qint64 kFontOrientation32 = 4; // lfOrientation: glyphs follow the escapement
inline constexpr qint64 kFontPrecisionsAndQuality = 3;       // out and clip precision, quality
inline constexpr qint64 kRegionObjectHeader = 2 + 2 + 4 + 2; // nextInChain, type, count, size
inline constexpr qint64 kMaxScanAndBounds = 2 + 8;
inline constexpr qint64 kScanCountAgain = 2;     // a scan repeats its count at its end
inline constexpr qint64 kReservedWord = 2;       // BitBlt records without a bitmap
inline constexpr qint64 kColorUsage = 2;         // StretchDIB's ColorUsage: colour tables are RGB
inline constexpr qint64 kColorUsageAndScans = 6; // SetDIBToDev ColorUsage, ScanCount, StartScan
} // namespace skipped

// Points and text come in 16-bit and 32-bit (EMF) record variants.
enum class Coords { Short, Long };
enum class Chars { Ansi, Utf16 };

// `count` points of two 16-bit or two 32-bit coordinates, checked against the record first.
inline QPolygonF readPoints(ByteReader& r, qint64 count, Coords coords) {
    const bool wide = coords == Coords::Long;
    r.require(count, wide ? 8 : 4);
    QPolygonF points;
    points.reserve(static_cast<qsizetype>(count));
    for (qint64 i = 0; i < count; ++i) {
        const double x = wide ? r.i32() : r.i16();
        const double y = wide ? r.i32() : r.i16();
        points.append(QPointF(x, y));
    }
    return points;
}

// RECTL (left, top, right, bottom) of 32-bit values.
inline QRectF readRectL(ByteReader& r) {
    const double left = r.i32();
    const double top = r.i32();
    const double right = r.i32();
    const double bottom = r.i32();
    return {QPointF(left, top), QPointF(right, bottom)};
}

} // namespace zelvia::rt::metafile
