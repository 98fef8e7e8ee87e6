#pragma once

#include <QByteArray>
#include <QRgb>
#include <QSize>

namespace zelvia::test {

// RT_ICON payloads as resource compilers write them.

// A 32-bit DIB filled with `colour` (opaque), its AND mask all clear.
QByteArray dibIcon32(QSize size, QRgb colour);

// An 8-bit palette DIB filled with `colour`, whose AND mask makes the left half transparent.
QByteArray dibIcon8HalfMasked(QSize size, QRgb colour);

// A PNG stream filled with `colour`.
QByteArray pngIcon(QSize size, QRgb colour);

} // namespace zelvia::test
