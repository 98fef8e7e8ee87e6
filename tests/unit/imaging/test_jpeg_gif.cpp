#include "core/runtime_error.h"
#include "core/stop_request.h"
#include "formats/imaging/raster_picture.h"
#include "support/image_writers.h"
#include "support/picture_checks.h"
#include "support/turbo_jpeg.h"

#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

QImage quadrants(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, QColor(220, 30, 30));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(30, 30, 220));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(30, 200, 30));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(240, 240, 240));
    return img;
}

void expectQuadrants(const QImage& img, int tolerance) {
    const int w = img.width();
    const int h = img.height();
    EXPECT_LE(channelDistance(img.pixel(w / 4, h / 4), qRgb(220, 30, 30)), tolerance);
    EXPECT_LE(channelDistance(img.pixel(3 * w / 4, h / 4), qRgb(30, 30, 220)), tolerance);
    EXPECT_LE(channelDistance(img.pixel(w / 4, 3 * h / 4), qRgb(30, 200, 30)), tolerance);
    EXPECT_LE(channelDistance(img.pixel(3 * w / 4, 3 * h / 4), qRgb(240, 240, 240)), tolerance);
}

} // namespace

TEST(Jpeg, DecodesAtTheSmallestDctScaleCoveringTheTarget) {
    const PicturePtr p = loadRasterPictureFromBytes(encodeWith(quadrants(1600, 1200), "JPG", 90));
    ASSERT_EQ(p->pixelSize(), QSize(1600, 1200));
    struct Case {
        QSize target;
        double ratio;
        QSize decoded;
    };
    const std::vector<Case> cases = {
        {{100, 75}, 1.0, {200, 150}},  // 1/8
        {{50, 37}, 2.0, {200, 150}},   // same device pixels on a 2x screen
        {{201, 150}, 1.0, {400, 300}}, // one pixel too wide for 1/8: 2/8
        {{700, 500}, 1.0, {800, 600}}, // 1/2
        {{1600, 1200}, 1.0, {1600, 1200}},
        {{2000, 1500}, 1.0, {1600, 1200}}, // never decoded larger than natural
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.width());
        const QImage img = drawAt(*p, c.target.width(), c.target.height(), c.ratio);
        EXPECT_EQ(lastDecodedSize(*p), c.decoded);
        expectQuadrants(img, 16);
    }
    EXPECT_EQ(p->fullImage().size(), QSize(1600, 1200));
    EXPECT_EQ(lastDecodedSize(*p), QSize(1600, 1200));
}

TEST(Jpeg, GreyscaleProgressiveAndCmykDecodeToTheRightColours) {
    const QImage grey = solidImage(64, 64, qRgb(90, 90, 90), QImage::Format_Grayscale8);
    const QImage g = loadRasterPictureFromBytes(encodeWith(grey, "JPG", 95))->fullImage();
    EXPECT_LE(channelDistance(g.pixel(10, 10), qRgb(90, 90, 90)), 3);

    const QByteArray progressive =
        turboJpeg(solidImage(64, 64, qRgb(10, 120, 250)), TJSAMP_420, 90, TJFLAG_PROGRESSIVE);
    ASSERT_FALSE(progressive.isEmpty());
    const QImage pr = loadRasterPictureFromBytes(progressive)->fullImage();
    EXPECT_LE(channelDistance(pr.pixel(30, 30), qRgb(10, 120, 250)), 6);

    // Adobe CMYK stores inverted inks: C=255, M=0, Y=0, K=255 (the bytes of opaque blue) means
    // no cyan, full magenta and yellow, no black: red.
    const QByteArray adobe =
        turboJpeg(solidImage(32, 32, qRgb(0, 0, 255)), TJSAMP_444, 90, 0, true);
    ASSERT_FALSE(adobe.isEmpty());
    const QImage c = loadRasterPictureFromBytes(adobe)->fullImage();
    EXPECT_LE(channelDistance(c.pixel(16, 16), qRgb(255, 0, 0)), 8);
}

TEST(Jpeg, TruncatedFileDrawsWhatWasDecoded) {
    const QByteArray full = encodeWith(quadrants(256, 256), "JPG", 90);
    const PicturePtr p = loadRasterPictureFromBytes(full.left(full.size() * 6 / 10));
    const QImage img = p->fullImage();
    ASSERT_EQ(img.size(), QSize(256, 256));
    EXPECT_LE(channelDistance(img.pixel(64, 64), qRgb(220, 30, 30)), 16);
}

TEST(Jpeg, HeaderProblemsGive481AndHugeSizesGive5) {
    const QByteArray good = encodeWith(quadrants(16, 16), "JPG", 90);
    const qsizetype sof = good.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    const auto patched = [&](qsizetype offset, const QByteArray& bytes) {
        QByteArray b = good;
        b.replace(sof + offset, bytes.size(), bytes);
        return b;
    };
    for (const auto& [bytes, what] : {std::pair{patched(4, QByteArray("\x0C")), "12-bit samples"},
                                      {patched(5, QByteArray(4, '\0')), "zero size"},
                                      {patched(1, QByteArray("\xC3")), "lossless"},
                                      {QByteArray("\xFF\xD8\xFF\xD9", 4), "no frame"}}) {
        EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(bytes); }), err::InvalidPicture) << what;
    }

    const PicturePtr huge = loadRasterPictureFromBytes(patched(5, QByteArray("\xEA\x60\xEA\x60")));
    EXPECT_EQ(huge->pixelSize(), QSize(60000, 60000));
    EXPECT_EQ(errorOf([&] { (void)huge->fullImage(); }), err::TooLarge);

    // Data that is no JPEG after a valid header: no usable image.
    QByteArray broken = good.left(sof + 19);
    broken.append(QByteArray(64, '\x5A'));
    const PicturePtr b = loadRasterPictureFromBytes(broken);
    const int e = errorOf([&] { (void)b->fullImage(); });
    EXPECT_TRUE(e == 0 || e == err::InvalidPicture) << e;
}

TEST(Gif, FirstFrameComposedOnTheLogicalScreenWithTransparency) {
    const QByteArray gif =
        makeGif(8, 6, 2, 1, 4, 3, {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)}, 2,
                [](int x, int y) { return x == 3 ? 2 : (y == 0 ? 0 : 1); });
    const PicturePtr p = loadRasterPictureFromBytes(gif);
    EXPECT_EQ(p->kind(), PictureKind::Bitmap);
    ASSERT_EQ(p->pixelSize(), QSize(8, 6));
    const QImage img = p->fullImage();
    ASSERT_EQ(img.size(), QSize(8, 6));
    EXPECT_EQ(img.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(4, 3), qRgb(0, 0, 255));
    EXPECT_EQ(qAlpha(img.pixel(5, 2)), 0); // transparent index
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0); // outside the frame
    const QImage small = drawAt(*p, 4, 3);
    EXPECT_EQ(small.size(), QSize(4, 3));
}

TEST(Gif, ZeroScreenGives481AndHugeScreenGives5) {
    const auto gif = [](int w, int h) {
        return makeGif(w, h, 0, 0, 2, 2, {qRgb(1, 1, 1)}, -1, [](int, int) { return 0; });
    };
    EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(gif(0, 5)); }), err::InvalidPicture);
    const PicturePtr huge = loadRasterPictureFromBytes(gif(65535, 65535));
    EXPECT_EQ(errorOf([&] { (void)huge->fullImage(); }), err::TooLarge);
}

TEST(Jpeg, MultiScanFilesPastTheCoefficientLimitAreRefusedBeforeDecoding) {
    const QByteArray good = encodeWith(quadrants(16, 16), "JPG", 90);
    const qsizetype sof = good.indexOf("\xFF\xC0");
    const qsizetype sos = good.indexOf("\xFF\xDA");
    ASSERT_GT(sof, 0);
    ASSERT_GT(sos, sof);
    // 65000 x 65000, its first scan holding one of the three components: every coefficient of
    // the image would be kept (about 12 GB).
    QByteArray oneComponent = good;
    oneComponent.replace(sof + 5, 4, QByteArray("\xFD\xE8\xFD\xE8", 4));
    oneComponent[sos + 4] = '\x01';
    const PicturePtr p = loadRasterPictureFromBytes(oneComponent);
    ASSERT_EQ(p->pixelSize(), QSize(65000, 65000));
    EXPECT_EQ(errorOf([&] { drawAt(*p, 169, 169); }), err::TooLarge);

    // The same size in one interleaved scan is no multi-scan file: it draws (the data ends
    // at once, the rest is grey) without keeping the coefficients.
    QByteArray oneScan = good;
    oneScan.replace(sof + 5, 4, QByteArray("\x2E\xE0\x2E\xE0", 4)); // 12000 x 12000
    const PicturePtr big = loadRasterPictureFromBytes(oneScan);
    EXPECT_EQ(errorOf([&] { drawAt(*big, 169, 169); }), 0);
    // DCT 1/8 is still 1500 pixels: reduced row by row straight to the box.
    EXPECT_EQ(lastDecodedSize(*big), QSize(169, 169));

    // Progressive: refused past the limit, decoded below it.
    const QByteArray progressive =
        turboJpeg(solidImage(512, 512, qRgb(200, 200, 200)), TJSAMP_420, 90, TJFLAG_PROGRESSIVE);
    const qsizetype psof = progressive.indexOf("\xFF\xC2");
    ASSERT_GT(psof, 0);
    QByteArray huge = progressive;
    huge.replace(psof + 5, 4, QByteArray("\x1F\x40\x1F\x40", 4)); // 8000 x 8000: 183 MiB
    EXPECT_EQ(errorOf([&] { drawAt(*loadRasterPictureFromBytes(huge), 169, 169); }), err::TooLarge);
    QByteArray fits = progressive;
    fits.replace(psof + 5, 4, QByteArray("\x17\x70\x0F\xA0", 4)); // 4000 x 6000: 69 MiB
    EXPECT_EQ(errorOf([&] { drawAt(*loadRasterPictureFromBytes(fits), 169, 169); }), 0);
}

TEST(Jpeg, RegionDecodesOnlyTheRowsAndColumnsAsked) {
    const PicturePtr p = loadRasterPictureFromBytes(encodeWith(quadrants(1600, 1200), "JPG", 90));
    const QImage topLeft = p->regionImage(QRect(0, 0, 400, 300), QSize(400, 300));
    ASSERT_EQ(topLeft.size(), QSize(400, 300));
    EXPECT_LE(channelDistance(topLeft.pixel(200, 150), qRgb(220, 30, 30)), 16);
    const QImage bottomRight = p->regionImage(QRect(1200, 900, 4000, 4000), QSize(100, 75));
    ASSERT_EQ(bottomRight.size(), QSize(100, 75));
    EXPECT_LE(channelDistance(bottomRight.pixel(50, 37), qRgb(240, 240, 240)), 16);
}

TEST(Gif, HugeScreenWithATinyFrameDrawsIntoTheBoxAlone) {
    // 11500 x 11500 screen, one 1 x 1 frame: 35 bytes that once took a full-size frame.
    const auto screenWithFrame = [](int side) {
        return loadRasterPictureFromBytes(makeGif(11500, 11500, 0, 0, side, side, {qRgb(255, 0, 0)},
                                                  1, [](int, int) { return 0; }));
    };
    const PicturePtr p = screenWithFrame(1);
    const QImage box = drawAt(*p, 169, 169);
    EXPECT_EQ(lastDecodedSize(*p), QSize(169, 169));
    EXPECT_EQ(qAlpha(box.pixel(100, 100)), 0);

    // A frame covering the first box pixel shows in it.
    EXPECT_EQ(drawAt(*screenWithFrame(100), 169, 169).pixel(0, 0), qRgb(255, 0, 0));
}

TEST(Gif, InterlacedRowsReduceLikeTheSameRowsInOrder) {
    const int w = 600;
    const int h = 407;
    const auto colour = [](int x, int y) { return (x / 7 + y / 5) % 3; };
    const std::vector<QRgb> palette = {qRgb(250, 0, 0), qRgb(0, 0, 250), qRgb(0, 200, 0)};
    const QByteArray plain = makeGif(w, h, 0, 0, w, h, palette, -1, colour);
    // The same picture stored in the four interlace passes.
    std::vector<int> order;
    for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int y = start; y < h; y += step) {
            order.push_back(y);
        }
    }
    QByteArray interlaced = makeGif(w, h, 0, 0, w, h, palette, -1, [&](int x, int n) {
        return colour(x, order[static_cast<size_t>(n)]);
    });
    const qsizetype descriptor = interlaced.indexOf(',', 13 + 12);
    interlaced[descriptor + 9] = '\x40';
    const PicturePtr a = loadRasterPictureFromBytes(plain);
    const PicturePtr b = loadRasterPictureFromBytes(interlaced);
    EXPECT_EQ(a->fullImage(), b->fullImage());
    EXPECT_EQ(drawAt(*a, 97, 66), drawAt(*b, 97, 66));
    EXPECT_EQ(lastDecodedSize(*b), QSize(97, 66));
}

// Kept fuzzer inputs whose few bytes demand seconds of decoding are refused as too large; the
// same files cut to a fraction of that work still draw.
TEST(WorkBudget, FilesDemandingTooMuchWorkAreRefusedAsTooLarge) {
    const auto kept = [](const char* name) {
        QFile f(QStringLiteral(ZELVIA_FUZZ_REGRESSIONS "/fuzz_load_picture/") + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray gif = kept("gif-12000x12000-of-the-longest-lzw-runs-decodes-for-a-second");
    const QByteArray jpeg = kept("jpeg-499-dc-scans-of-6400x6400-visit-320m-blocks");
    ASSERT_FALSE(gif.isEmpty() || jpeg.isEmpty());
    QByteArray smallGif = gif; // screen and frame cut to 2000 x 2000, so 4 M pixels
    smallGif.replace(6, 4, QByteArray("\xD0\x07\xD0\x07", 4));
    smallGif.replace(30, 4, QByteArray("\xD0\x07\xD0\x07", 4));
    const qsizetype tenScans = jpeg.indexOf("\xFF\xDA") + 10 * 10; // each scan header 10 bytes
    const struct {
        QByteArray bytes;
        int error;
    } cases[] = {{gif, err::TooLarge},
                 {smallGif, 0},
                 {jpeg, err::TooLarge},
                 {jpeg.left(tenScans) + "\xFF\xD9", 0}};
    for (const auto& c : cases) {
        const PicturePtr p = loadRasterPictureFromBytes(c.bytes);
        EXPECT_EQ(errorOf([&] { drawAt(*p, 169, 169); }), c.error) << p->pixelSize().width();
    }
}

// The look-ahead abandons a decode by asking its thread to stop: every decoder polls.
TEST(WorkBudget, DecodersStopWhenTheirThreadIsAskedTo) {
    const QImage image = quadrants(64, 48);
    const QByteArray rle = makeBmp({.bitCount = 8,
                                    .compression = 1,
                                    .palette = {qRgb(0, 0, 0)},
                                    .pixels = QByteArray("\x01\x00\x00\x01", 4)});
    StopRequest stop;
    stop.request();
    const StopScope scope(stop);
    for (const QByteArray& bytes :
         {encodeWith(image, "JPG", 90), encodeWith(image, "BMP"), rle,
          makeGif(4, 4, 0, 0, 4, 4, {}, -1, [](int, int) { return 1; })}) {
        const PicturePtr p = loadRasterPictureFromBytes(bytes);
        EXPECT_THROW(drawAt(*p, 2, 2), Stopped) << bytes.left(3).toHex().constData();
    }
}
