#pragma once

#include "runtime/imaging/le_bytes.h"

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

// `count` points of two 16-bit or two 32-bit coordinates, checked against the record first.
inline QPolygonF readPoints(ByteReader& r, qint64 count, bool wide) {
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
