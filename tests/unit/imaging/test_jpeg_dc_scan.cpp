// Progressive JPEGs drawn at 1/8 or less come from their first (DC) scan alone.
#include "formats/imaging/jpeg_dc_scan.h"
#include "formats/imaging/raster_picture.h"
#include "support/corpus.h"
#include "support/image_writers.h"
#include "support/picture_checks.h"
#include "support/turbo_jpeg.h"

#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>
#include <turbojpeg.h>

using namespace zelvia::rt;
using zelvia::test::channelDistance;

namespace {

QByteArray encode(const QImage& image, bool progressive) {
    return zelvia::test::turboJpeg(image, TJSAMP_420, 90, progressive ? TJFLAG_PROGRESSIVE : 0);
}

QImage halves(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h, QColor(220, 30, 30));
    p.fillRect(w / 2, 0, w - w / 2, h, QColor(30, 30, 220));
    return img;
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
    EXPECT_LE(channelDistance(small->pixel(40, 75), qRgb(220, 30, 30)), 12);
    EXPECT_LE(channelDistance(small->pixel(160, 75), qRgb(30, 30, 220)), 12);

    // Through the picture: drawn small, it matches the full decode of every scan.
    const PicturePtr p = loadRasterPictureFromBytes(jpeg);
    const QImage full = p->fullImage().scaled(200, 150);
    EXPECT_EQ(lastDecodedSize(*p), QSize(1600, 1200));
    const QImage drawn = zelvia::test::drawAt(*p, 100, 75);
    EXPECT_EQ(lastDecodedSize(*p), QSize(200, 150));
    EXPECT_LE(channelDistance(drawn.pixel(20, 37), full.pixel(40, 75)), 12);
    EXPECT_LE(channelDistance(drawn.pixel(80, 37), full.pixel(160, 75)), 12);
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

// Every corpus file the first-scan path takes looks as the full decoder draws it at 1/8.
TEST(JpegDcScan, CorpusFilesMatchTheFullDecoderAtOneEighth) {
    ZELVIA_REQUIRE_CORPUS(corpus);
    int taken = 0;
    for (const zelvia::test::CorpusEntry& e :
         zelvia::test::corpusEntries(QStringLiteral("jpeg/"))) {
        QFile f(e.path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << e.relPath.toStdString();
        const QByteArray data = f.readAll();
        const std::optional<QImage> small = imaging::decodeFirstDcScan(data, QSize(1, 1));
        if (!small) {
            continue;
        }
        ++taken;
        SCOPED_TRACE(e.relPath.toStdString());
        tjhandle tj = tjInitDecompress();
        QImage full(small->size(), QImage::Format_RGB32);
        const int rc =
            tjDecompress2(tj, reinterpret_cast<const unsigned char*>(data.constData()),
                          static_cast<unsigned long>(data.size()), full.bits(), full.width(),
                          static_cast<int>(full.bytesPerLine()), full.height(), TJPF_BGRX, 0);
        const bool usable = rc == 0 || tjGetErrorCode(tj) == TJERR_WARNING;
        tjDestroy(tj);
        // What the full decoder refuses, the first scan must not show.
        ASSERT_TRUE(usable);
        qint64 sum = 0;
        for (int y = 0; y < full.height(); ++y) {
            for (int x = 0; x < full.width(); ++x) {
                sum += channelDistance(small->pixel(x, y), full.pixel(x, y));
            }
        }
        EXPECT_LE(static_cast<double>(sum) / (full.width() * full.height()), 5.0);
    }
    EXPECT_GE(taken, 2);
}
