#pragma once

// JPEG files written by TurboJPEG, which Qt's writer cannot make progressive or CMYK. Header
// only: the tests that include it link TurboJPEG themselves.

#include <QByteArray>
#include <QImage>
#include <turbojpeg.h>

namespace zelvia::test {

// `image` as a JPEG with the given TJSAMP_ subsampling, quality and TJFLAG_ flags. With `cmyk`,
// the four bytes of each pixel in Format_RGB32 (blue, green, red, 0xFF) are written as the
// C, M, Y and K inks. Empty when TurboJPEG refuses.
inline QByteArray turboJpeg(const QImage& image, int subsampling, int quality, int flags = 0,
                            bool cmyk = false) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc =
        tjCompress2(tj, rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()), rgb.height(),
                    cmyk ? TJPF_CMYK : TJPF_BGRX, &out, &size, subsampling, quality, flags);
    const QByteArray bytes =
        rc == 0 ? QByteArray(reinterpret_cast<const char*>(out), qsizetype(size)) : QByteArray();
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

} // namespace zelvia::test
