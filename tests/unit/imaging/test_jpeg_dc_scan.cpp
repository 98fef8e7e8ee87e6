// Progressive JPEGs drawn at 1/8 or less come from their first (DC) scan alone.
#include "runtime/imaging/jpeg_dc_scan.h"
#include "runtime/imaging/raster_picture.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <turbojpeg.h>

using namespace zelvia::rt;

namespace {

QByteArray encode(const QImage& rgb32, bool progressive) {
    const QImage image = rgb32.convertToFormat(QImage::Format_RGB888);
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, image.constBits(), image.width(), static_cast<int>(image.bytesPerLine()),
                image.height(), TJPF_RGB, &out, &size, TJSAMP_420, 90,
                progressive ? TJFLAG_PROGRESSIVE : 0);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

QImage halves(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h, QColor(220, 30, 30));
    p.fillRect(w / 2, 0, w - w / 2, h, QColor(30, 30, 220));
    return img;
}

int distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// Everything up to the second scan, then the end marker.
QByteArray firstScanOnly(const QByteArray& jpeg) {
    const qsizetype first = jpeg.indexOf("\xFF\xDA");
    const qsizetype second = jpeg.indexOf("\xFF\xDA", first + 2);
    return jpeg.left(second) + QByteArray("\xFF\xD9");
}

} // namespace

TEST(JpegDcScan, FirstScanAloneGivesTheEighthSizePicture) {
    const QByteArray jpeg = encode(halves(1600, 1200), true);
    const QByteArray cut = firstScanOnly(jpeg);
    ASSERT_LT(cut.size(), jpeg.size());
    const std::optional<QImage> small = imaging::decodeFirstDcScan(cut, QSize(200, 150));
    ASSERT_TRUE(small.has_value());
    ASSERT_EQ(small->size(), QSize(200, 150));
    EXPECT_LE(distance(small->pixel(40, 75), qRgb(220, 30, 30)), 12);
    EXPECT_LE(distance(small->pixel(160, 75), qRgb(30, 30, 220)), 12);

    // Through the picture: drawn small, it matches the full decode of every scan.
    const PicturePtr p = loadRasterPictureFromBytes(jpeg);
    const QImage full = p->fullImage().scaled(200, 150);
    EXPECT_EQ(lastDecodedSize(*p), QSize(1600, 1200));
    QImage drawn(100, 75, QImage::Format_RGB32);
    QPainter painter(&drawn);
    p->draw(painter, QRectF(0, 0, 100, 75));
    painter.end();
    EXPECT_EQ(lastDecodedSize(*p), QSize(200, 150));
    EXPECT_LE(distance(drawn.pixel(20, 37), full.pixel(40, 75)), 12);
    EXPECT_LE(distance(drawn.pixel(80, 37), full.pixel(160, 75)), 12);
}

TEST(JpegDcScan, LeavesEverythingElseToTheFullDecoder) {
    const QByteArray progressive = encode(halves(1600, 1200), true);
    // More than 1/8 needed.
    EXPECT_FALSE(imaging::decodeFirstDcScan(progressive, QSize(201, 150)));
    // One scan only.
    EXPECT_FALSE(imaging::decodeFirstDcScan(encode(halves(1600, 1200), false), QSize(20, 15)));
    // Data ending inside the first scan: the full decoder decides what shows.
    const qsizetype scan = progressive.indexOf("\xFF\xDA");
    EXPECT_FALSE(imaging::decodeFirstDcScan(progressive.left(scan + 200), QSize(20, 15)));
    EXPECT_FALSE(imaging::decodeFirstDcScan(QByteArray("\xFF\xD8\xFF"), QSize(1, 1)));
}
