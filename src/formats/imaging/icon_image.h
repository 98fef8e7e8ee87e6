#pragma once

#include <QByteArrayView>
#include <QImage>

namespace zelvia::rt {

// Real icons stop at 256 pixels a side; an image with a side past this is no icon.
inline constexpr int kMaxIconSide = 1024;

// Decodes one icon image as stored in an .ico file entry or a PE RT_ICON resource:
// either a BITMAPINFOHEADER DIB (height doubled, colour bits then the 1-bit AND mask)
// or a PNG stream. Returns ARGB32 (premultiplied) with the AND mask applied as transparency,
// or a null image when the data is damaged or a side exceeds kMaxIconSide (checked before
// anything is allocated). Never reads outside `data`.
QImage decodeIconImage(QByteArrayView data);

} // namespace zelvia::rt
