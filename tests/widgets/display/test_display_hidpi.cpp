// The display box on a screen with two device pixels per pixel: pictures are decoded and drawn
// at the device resolution, so they stay sharp. This binary runs with QT_SCALE_FACTOR=2.
#include "formats/imaging/raster_picture.h"
#include "platform/screen.h"
#include "support/app_fixture.h"

#include <QPalette>
#include <cstdlib>
#include <string>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::extentOf;
using zelvia::test::testImage;

namespace {

// Runs before main() creates the application, which reads the variable once.
const bool kScaled = [] {
    ::setenv("QT_SCALE_FACTOR", "2", 1);
    return true;
}();

class HiDpiTest : public AppTest {
protected:
    QColor background() { return form().picOut.widget()->palette().color(QPalette::Base); }
};

struct HiDpiCase {
    const char* format;
    int width;
    int height;
    QSize decodedMin; // what the decoder produced, before any final smoothing
    QSize decodedMax;
    QSize device; // the picture's extent in device pixels
};

class HiDpiFitTest : public HiDpiTest, public ::testing::WithParamInterface<HiDpiCase> {};

} // namespace

TEST_F(HiDpiTest, PersistentImageHasTheScreensRatioAndTwipsStayLogical) {
    ASSERT_TRUE(kScaled);
    writeFile(QStringLiteral("text.txt"), "no picture");
    start();
    choose(QStringLiteral("text.txt")); // clears the box: a fresh persistent image
    const QImage canvas = form().picOut.image();
    EXPECT_DOUBLE_EQ(canvas.devicePixelRatio(), 2.0);
    EXPECT_EQ(canvas.size(), QSize(338, 338));
    // Twips stay tied to logical pixels: the box is still 169 pixels.
    EXPECT_DOUBLE_EQ(rt::Screen::TwipsPerPixelX(), 15.0);
    EXPECT_DOUBLE_EQ(form().picOut.ScaleWidth(), 169.0);
}

TEST_P(HiDpiFitTest, PictureIsDecodedForTheDevicePixelsNotUpscaled) {
    const HiDpiCase& c = GetParam();
    const QString name = QStringLiteral("pic.") + QString::fromLatin1(c.format);
    saveImage(name, testImage(c.width, c.height), c.format, 95);
    start();
    choose(name);
    frmMain& f = form();
    // The panel still speaks in logical pixels.
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：%1").arg(c.width));
    const QSize decoded = rt::lastDecodedSize(*f.picTest.Picture());
    EXPECT_GE(decoded.width(), c.decodedMin.width()) << decoded.width();
    EXPECT_LE(decoded.width(), c.decodedMax.width()) << decoded.width();
    EXPECT_GE(decoded.height(), c.decodedMin.height()) << decoded.height();
    EXPECT_LE(decoded.height(), c.decodedMax.height()) << decoded.height();
    const QRect extent = extentOf(f.picOut.image(), background());
    EXPECT_EQ(extent.topLeft(), QPoint(0, 0));
    EXPECT_NEAR(extent.width(), c.device.width(), 1);
    EXPECT_NEAR(extent.height(), c.device.height(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, HiDpiFitTest,
    ::testing::Values(
        // 400 x 300 reduced to 169 x 126.75 logical pixels = 338 x 253.5 device pixels.
        HiDpiCase{"bmp", 400, 300, {338, 253}, {338, 254}, {338, 254}},
        // JPEG decodes at the smallest DCT scale covering that (7/8: 350 x 263).
        HiDpiCase{"jpg", 400, 300, {338, 253}, {360, 270}, {338, 254}},
        // A picture that fits is drawn at its natural size in logical pixels, from all the
        // pixels it has.
        HiDpiCase{"bmp", 100, 50, {100, 50}, {100, 50}, {200, 100}}),
    [](const auto& p) {
        return std::string(p.param.format) + "_" + std::to_string(p.param.width) + "x" +
               std::to_string(p.param.height);
    });
