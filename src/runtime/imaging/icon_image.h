#pragma once

#include <QByteArrayView>
#include <QImage>

namespace zelvia::rt {

// Decodes one icon image as stored in an .ico file entry or a PE RT_ICON resource:
// either a BITMAPINFOHEADER DIB (height doubled, colour bits then the 1-bit AND mask)
// or a PNG stream. Returns ARGB32 (premultiplied) with the AND mask applied as transparency,
// or a null image when the data is damaged. Never reads outside `data`.
QImage decodeIconImage(QByteArrayView data);

} // namespace zelvia::rt
