#include "runtime/imaging/raster_picture.h"
#include "runtime/runtime_error.h"
#include "support/image_writers.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <turbojpeg.h>

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

QImage drawAt(const Picture& p, int w, int h, double ratio = 1.0) {
    QImage target(qRound(w * ratio), qRound(h * ratio), QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(ratio);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    p.draw(painter, QRectF(0, 0, w, h));
    painter.end();
    return target;
}

// Encodes through TurboJPEG, which the Qt writer cannot do for CMYK and progressive files.
QByteArray tjEncode(const std::vector<unsigned char>& pixels, int w, int h, int format,
                    int subsampling, int flags) {
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc =
        tjCompress2(tj, pixels.data(), w, 0, h, format, &out, &size, subsampling, 90, flags);
    QByteArray bytes;
    if (rc == 0) {
        bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    }
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
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
    QImage grey(64, 64, QImage::Format_Grayscale8);
    grey.fill(QColor(90, 90, 90));
    const QImage g = loadRasterPictureFromBytes(encodeWith(grey, "JPG", 95))->fullImage();
    EXPECT_LE(channelDistance(g.pixel(10, 10), qRgb(90, 90, 90)), 3);

    std::vector<unsigned char> rgb(64 * 64 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = 10;
        rgb[i + 1] = 120;
        rgb[i + 2] = 250;
    }
    const QByteArray progressive = tjEncode(rgb, 64, 64, TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE);
    ASSERT_FALSE(progressive.isEmpty());
    const QImage pr = loadRasterPictureFromBytes(progressive)->fullImage();
    EXPECT_LE(channelDistance(pr.pixel(30, 30), qRgb(10, 120, 250)), 6);

    // Adobe CMYK stores inverted inks: C=255, M=0, Y=0, K=255 means no cyan, full
    // magenta and yellow, no black: red.
    std::vector<unsigned char> cmyk(32 * 32 * 4);
    for (size_t i = 0; i < cmyk.size(); i += 4) {
        cmyk[i] = 255;
        cmyk[i + 1] = 0;
        cmyk[i + 2] = 0;
        cmyk[i + 3] = 255;
    }
    const QByteArray adobe = tjEncode(cmyk, 32, 32, TJPF_CMYK, TJSAMP_444, 0);
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
    EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(patched(4, QByteArray("\x0C"))); }),
              err::InvalidPicture); // 12-bit samples
    EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(patched(5, QByteArray(4, '\0'))); }),
              err::InvalidPicture); // zero size
    EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(patched(1, QByteArray("\xC3"))); }),
              err::InvalidPicture); // lossless
    EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(QByteArray("\xFF\xD8\xFF\xD9", 4)); }),
              err::InvalidPicture);

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
