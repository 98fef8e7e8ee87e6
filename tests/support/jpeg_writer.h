#pragma once

#include <QByteArray>
#include <QImage>

namespace zelvia::test {

// How writeJpeg lays a file out.
struct JpegLayout {
    int components = 3; // 1 (grey), 3 (YCbCr) or 4 (CMYK, with libjpeg's Adobe marker)
    int h = 1;          // sampling of the first component; the others are 1 x 1
    int v = 1;
    int quality = 75;
    int restartRows = 0;    // a restart marker every this many MCU rows
    int dcAl = -1;          // progressive, first DC scan at this Al; -1: baseline
    bool adobeZero = false; // also an Adobe marker with transform 0 after the JFIF one
};

// `image` compressed by libjpeg as `layout` says: grey keeps the red channel, CMYK stores red,
// green and blue as its first three samples and 255 as the fourth.
QByteArray writeJpeg(const QImage& image, const JpegLayout& layout);

} // namespace zelvia::test
