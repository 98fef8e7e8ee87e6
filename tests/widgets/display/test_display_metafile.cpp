// Metafiles in the display box: natural size when they fit, reduced to the box edge as vectors
// when they do not, and their size in the panel in whole pixels.
#include "support/app_fixture.h"
#include "support/metafile_writers.h"

#include <QPalette>
#include <algorithm>
#include <cmath>
#include <string>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::EmfWriter;
using zelvia::test::extentOf;
using zelvia::test::WmfWriter;

namespace {

constexpr std::uint32_t kPaleYellow = 0x00A0FFFF; // COLORREF: 0x00BBGGRR
constexpr std::uint32_t kBlack = 0;

// A pale rectangle over the whole picture with a hairline diagonal across it, as a placeable
// WMF of `w` x `h` twips (1440 units per inch).
QByteArray wmfScene(int w, int h) {
    WmfWriter wmf;
    wmf.mapMode(8).windowOrg(0, 0).windowExt(w, h);
    wmf.pen(5, 0, 0).select(0).solidBrush(kPaleYellow).select(1).rectangle(0, 0, w, h);
    wmf.pen(0, 0, kBlack).select(2).moveTo(0, 0).lineTo(w, h);
    return wmf.placeable(QRect(0, 0, w, h), 1440, 3);
}

// The same scene as an EMF of `w` x `h` pixels at 96 DPI (frame in 0.01 mm, inclusive).
QByteArray emfScene(int w, int h) {
    EmfWriter emf;
    emf.pen(1, 5, 0, 0).select(1).solidBrush(2, kPaleYellow).select(2).rectangle(0, 0, w, h);
    emf.pen(3, 0, 0, kBlack).select(3).moveTo(0, 0).lineTo(w, h);
    const int frameW = static_cast<int>(std::lround(w * 2540.0 / 96.0));
    const int frameH = static_cast<int>(std::lround(h * 2540.0 / 96.0));
    return emf.finish(QRect(0, 0, w, h), QRect(QPoint(0, 0), QPoint(frameW - 1, frameH - 1)),
                      QSize(960, 960), QSize(254, 254));
}

struct MetafileCase {
    const char* name;
    bool emf;
    int width; // twips for WMF, pixels for EMF
    int height;
    int labelWidth; // pixels, truncated
    int labelHeight;
    QSizeF drawn; // the picture's extent in the box, in pixels
};

void PrintTo(const MetafileCase& c, std::ostream* os) {
    *os << c.name;
}

class MetafileDisplayTest : public AppTest, public ::testing::WithParamInterface<MetafileCase> {
protected:
    QColor background() { return form().picOut.widget()->palette().color(QPalette::Base); }
};

} // namespace

TEST_P(MetafileDisplayTest, DrawnTopLeftAtNaturalSizeOrReducedToTheBoxAsVectors) {
    const MetafileCase& c = GetParam();
    const QString name = QString::fromLatin1(c.name);
    writeFile(name, c.emf ? emfScene(c.width, c.height) : wmfScene(c.width, c.height));
    start();
    choose(name);
    frmMain& f = form();
    ASSERT_TRUE(messages().isEmpty());
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：%1").arg(c.labelWidth));
    EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：%1").arg(c.labelHeight));

    const QImage shown = f.picOut.image().convertToFormat(QImage::Format_RGB32);
    const QRect extent = extentOf(shown, background());
    EXPECT_EQ(extent.topLeft(), QPoint(0, 0));
    // Edges are anti-aliased: a partly covered last column or row may show or not.
    EXPECT_NEAR(extent.width(), c.drawn.width(), 1.0);
    EXPECT_NEAR(extent.height(), c.drawn.height(), 1.0);
    EXPECT_LE(extent.right(), 168);
    EXPECT_LE(extent.bottom(), 168);

    // The hairline runs corner to corner, one pixel wide and dark all along. A bitmap
    // rendered at natural size and then reduced would show it faint and smeared.
    const bool wide = c.drawn.width() >= c.drawn.height();
    const double along = wide ? c.drawn.width() : c.drawn.height();
    const double across = wide ? c.drawn.height() : c.drawn.width();
    const auto redAt = [&](int a, int b) {
        return qRed(wide ? shown.pixel(a, b) : shown.pixel(b, a));
    };
    for (int a = 3; a < static_cast<int>(along) - 4; ++a) {
        const double expected = a * across / along;
        int dark = 0;
        int tinted = 0;
        for (int b = 0; b < static_cast<int>(std::ceil(across)); ++b) {
            const int red = redAt(a, b);
            if (red < 128) {
                ++dark;
                EXPECT_NEAR(b, expected, 2.0) << "at " << a;
            }
            if (red < 200) {
                ++tinted;
            }
        }
        EXPECT_GE(dark, 1) << "at " << a;
        EXPECT_LE(tinted, 3) << "at " << a;
    }
    // The fill shows away from the line.
    const QColor fill = shown.pixelColor(2, extent.bottom() - 2);
    EXPECT_EQ(fill.red(), 255);
    EXPECT_EQ(fill.blue(), 160);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MetafileDisplayTest,
    ::testing::Values(
        // 1500 x 900 twips = 100 x 60 pixels: fits.
        MetafileCase{"fits.wmf", false, 1500, 900, 100, 60, {100, 60}},
        // 6000 x 3000 twips = 400 x 200 pixels: reduced to 169 x 84.5.
        MetafileCase{"large.wmf", false, 6000, 3000, 400, 200, {169, 84.5}},
        // 8000 twips = 533.33 pixels: truncated in the label; reduced to 169 x 42.25.
        MetafileCase{"third.wmf", false, 8000, 2000, 533, 133, {169, 42.25}},
        MetafileCase{"fits.emf", true, 96, 48, 96, 48, {96, 48}},
        MetafileCase{"large.emf", true, 480, 192, 480, 192, {169, 67.6}},
        // Taller than wide: the height is the limiting side.
        MetafileCase{"tall.emf", true, 150, 300, 150, 300, {84.5, 169}}),
    [](const auto& p) {
        std::string name(p.param.name);
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });
