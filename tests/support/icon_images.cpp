#include "support/icon_images.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

namespace zelvia::test {

namespace {

QByteArray infoHeader(QSize size, int bitCount) {
    QByteArray h(40, '\0');
    qToLittleEndian<quint32>(40, h.data());
    qToLittleEndian<qint32>(size.width(), h.data() + 4);
    qToLittleEndian<qint32>(size.height() * 2, h.data() + 8);
    qToLittleEndian<quint16>(1, h.data() + 12);
    qToLittleEndian<quint16>(static_cast<quint16>(bitCount), h.data() + 14);
    return h;
}

int maskStride(QSize size) {
    return (size.width() + 31) / 32 * 4;
}

} // namespace

QByteArray dibIcon32(QSize size, QRgb colour) {
    QByteArray d = infoHeader(size, 32);
    for (int i = 0; i < size.width() * size.height(); ++i) {
        const char bgra[4] = {static_cast<char>(qBlue(colour)), static_cast<char>(qGreen(colour)),
                              static_cast<char>(qRed(colour)), static_cast<char>(0xFF)};
        d.append(bgra, 4);
    }
    d.append(QByteArray(maskStride(size) * size.height(), '\0'));
    return d;
}

QByteArray dibIcon8HalfMasked(QSize size, QRgb colour) {
    QByteArray d = infoHeader(size, 8);
    QByteArray palette(256 * 4, '\0');
    palette[4] = static_cast<char>(qBlue(colour));
    palette[5] = static_cast<char>(qGreen(colour));
    palette[6] = static_cast<char>(qRed(colour));
    d.append(palette);
    const int stride = (size.width() + 3) / 4 * 4;
    for (int y = 0; y < size.height(); ++y) {
        QByteArray row(stride, '\0');
        row.fill('\1', size.width());
        d.append(row);
    }
    for (int y = 0; y < size.height(); ++y) {
        QByteArray row(maskStride(size), '\0');
        for (int x = 0; x < size.width() / 2; ++x) {
            row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
        d.append(row);
    }
    return d;
}

QByteArray pngIcon(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

} // namespace zelvia::test
