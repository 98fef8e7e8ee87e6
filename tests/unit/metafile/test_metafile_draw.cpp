#include "core/runtime_error.h"
#include "core/stop_request.h"
#include "formats/metafile/metafile_picture.h"
#include "support/metafile_writers.h"
#include "support/picture_checks.h"

#include <QPainter>
#include <cstring>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

constexpr std::uint32_t kRed = 0x0000FF; // COLORREF is 0x00BBGGRR
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;

::testing::AssertionResult colourAt(const QImage& image, int x, int y, QColor expected) {
    const QColor c = image.pixelColor(x, y);
    const int d = std::abs(c.red() - expected.red()) + std::abs(c.green() - expected.green()) +
                  std::abs(c.blue() - expected.blue());
    if (d <= 60) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel (" << x << "," << y << ") is " << c.name().toStdString() << ", expected "
           << expected.name().toStdString();
}

// The same scene for every mapping mode, in device pixels of a 100x100 picture:
// a red square (10,10)-(40,40), a blue ellipse in (55,5)-(95,45), a green line at y = 70.
void expectScene(const QImage& image) {
    EXPECT_TRUE(colourAt(image, 25, 25, Qt::red));
    EXPECT_TRUE(colourAt(image, 12, 38, Qt::red));
    EXPECT_TRUE(colourAt(image, 45, 25, Qt::white));
    EXPECT_TRUE(colourAt(image, 75, 25, Qt::blue));
    EXPECT_TRUE(colourAt(image, 57, 7, Qt::white)); // inside the box, outside the ellipse
    EXPECT_TRUE(colourAt(image, 93, 25, Qt::blue));
    EXPECT_TRUE(colourAt(image, 50, 70, Qt::green));
    EXPECT_TRUE(colourAt(image, 15, 70, Qt::green));
    EXPECT_TRUE(colourAt(image, 50, 58, Qt::white));
    EXPECT_TRUE(colourAt(image, 50, 90, Qt::white));
    EXPECT_TRUE(colourAt(image, 97, 70, Qt::white));
}

// Device pixel of the 100x100 picture -> logical coordinate; the pen widths scale with x.
struct Scaling {
    double x, y, dx = 0, dy = 0;
    QPoint operator()(double px, double py) const {
        return {qRound(px * x + dx), qRound(py * y + dy)};
    }
};

struct Mapping {
    const char* name;
    int mode;
    QPoint windowOrg;
    QSize windowExt; // empty: not set
    QSize viewportExt;
    Scaling emf;
    Scaling wmf;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const Mapping& c, std::ostream* os) {
    *os << c.name;
}

constexpr Scaling kAnisotropic{10, 20, 500, -200};

// EMF: reference device 1 px per mm, frame 100 mm square. WMF: placeable box of 1000 units
// at 1000 per inch, so one picture pixel is 10 units; in MM_ANISOTROPIC the window fills the
// picture box, whatever the viewport.
const Mapping kMappings[] = {
    {"MM_TEXT", 1, {}, {}, {}, {1, 1}, {10, 10}},
    {"MM_ANISOTROPIC", 8, {500, -200}, {1000, 2000}, {100, 100}, kAnisotropic, kAnisotropic},
    {"MM_TWIPS", 6, {}, {}, {}, {1440 / 25.4, -1440 / 25.4}, {14.4, -14.4}},
    {"MM_HIMETRIC", 3, {}, {}, {}, {100, -100}, {25.4, -25.4}},
};

template <typename Writer> void writeScene(Writer& w, const Mapping& m) {
    const Scaling& L = std::is_same_v<Writer, EmfWriter> ? m.emf : m.wmf;
    w.mapMode(m.mode);
    if (!m.windowExt.isEmpty()) {
        w.windowOrg(m.windowOrg.x(), m.windowOrg.y());
        w.windowExt(m.windowExt.width(), m.windowExt.height());
        w.viewportExt(m.viewportExt.width(), m.viewportExt.height());
    }
    auto rect = [&](auto draw, double l, double t, double r, double b) {
        const QPoint a = L(l, t);
        const QPoint c = L(r, b);
        (w.*draw)(a.x(), a.y(), c.x(), c.y());
    };
    const int penWidth = qRound(6 * L.x);
    if constexpr (std::is_same_v<Writer, EmfWriter>) {
        w.pen(1, 5, 0, 0).select(1).solidBrush(2, kRed).select(2);
        rect(&EmfWriter::rectangle, 10, 10, 40, 40);
        w.solidBrush(3, kBlue).select(3);
        rect(&EmfWriter::ellipse, 55, 5, 95, 45);
        w.pen(4, 0, penWidth, kGreen).select(4);
    } else {
        w.pen(5, 0, 0).select(0).solidBrush(kRed).select(1);
        rect(&WmfWriter::rectangle, 10, 10, 40, 40);
        w.solidBrush(kBlue).select(2);
        rect(&WmfWriter::ellipse, 55, 5, 95, 45);
        w.pen(0, penWidth, kGreen).select(3);
    }
    const QPoint from = L(10, 70);
    const QPoint to = L(90, 70);
    w.moveTo(from.x(), from.y());
    w.lineTo(to.x(), to.y());
}

// The EMF picture (100 x 100 pixels) drawn over white at its size.
QImage drawnSquare(const EmfWriter& w) {
    return drawOnWhite(loadMetafilePictureFromBytes(w.finishSquare()), QSize(100, 100));
}

} // namespace

class MappingModes : public ::testing::TestWithParam<Mapping> {};

TEST_P(MappingModes, EmfShapesLandWhereTheMappingPutsThem) {
    EmfWriter w;
    writeScene(w, GetParam());
    expectScene(drawnSquare(w));
}

TEST_P(MappingModes, WmfShapesLandWhereTheMappingPutsThem) {
    WmfWriter w;
    writeScene(w, GetParam());
    const QByteArray bytes = w.placeable(QRect(0, 0, 1000, 1000), 1000, 4);
    expectScene(drawOnWhite(loadMetafilePictureFromBytes(bytes), QSize(100, 100)));
}

INSTANTIATE_TEST_SUITE_P(Metafile, MappingModes, ::testing::ValuesIn(kMappings),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MetafileDraw, PictureIsScaledToFillTheTarget) {
    // Drawn at twice the size and offset, the same places move and scale with the target.
    EmfWriter w;
    writeScene(w, kMappings[0]);
    const PicturePtr pic = loadMetafilePictureFromBytes(w.finishSquare());
    QImage image(240, 240, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    pic->draw(painter, QRectF(40, 40, 200, 200));
    painter.end();
    EXPECT_TRUE(colourAt(image, 40 + 50, 40 + 50, Qt::red));
    EXPECT_TRUE(colourAt(image, 40 + 150, 40 + 50, Qt::blue));
    EXPECT_TRUE(colourAt(image, 40 + 100, 40 + 140, Qt::green));
    EXPECT_TRUE(colourAt(image, 30, 30, Qt::white));
}

TEST(MetafileDraw, PlainWmfWindowFillsThePicture) {
    WmfWriter w;
    w.mapMode(8).windowOrg(0, 0).windowExt(2000, 1000);
    w.pen(5, 0, 0).select(0).solidBrush(kRed).select(1).rectangle(1000, 0, 2000, 1000);
    const PicturePtr pic = loadMetafilePictureFromBytes(w.plain(2));
    const QImage image = drawOnWhite(pic, QSize(100, 50));
    EXPECT_TRUE(colourAt(image, 75, 25, Qt::red));
    EXPECT_TRUE(colourAt(image, 25, 25, Qt::white));
}

TEST(MetafileDraw, WorldTransformAndSaveRestore) {
    // A scaling world transform applies between SaveDC and RestoreDC only.
    EmfWriter w;
    w.pen(1, 5, 0, 0).select(1).solidBrush(2, kRed).select(2);
    w.record(33, QByteArray()); // SaveDC
    QByteArray xform;
    for (float f : {2.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f}) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        put32(xform, bits);
    }
    w.record(35, xform);
    w.rectangle(5, 5, 20, 20); // device (10,10)-(40,40)
    w.record(34, {-1});        // RestoreDC
    w.solidBrush(3, kBlue).select(3).rectangle(60, 10, 90, 40);
    const QImage image = drawnSquare(w);
    EXPECT_TRUE(colourAt(image, 35, 35, Qt::red));
    EXPECT_TRUE(colourAt(image, 75, 25, Qt::blue));
    EXPECT_TRUE(colourAt(image, 50, 25, Qt::white));
}

TEST(MetafileDraw, ClippingLimitsLaterDrawing) {
    EmfWriter w;
    w.pen(1, 5, 0, 0).select(1).solidBrush(2, kRed).select(2);
    w.record(30, {0, 0, 50, 100}); // IntersectClipRect: left half
    w.record(29, {0, 0, 20, 20});  // ExcludeClipRect: top-left corner
    w.rectangle(0, 0, 100, 100);
    const QImage image = drawnSquare(w);
    EXPECT_TRUE(colourAt(image, 30, 50, Qt::red));
    EXPECT_TRUE(colourAt(image, 70, 50, Qt::white));
    EXPECT_TRUE(colourAt(image, 10, 10, Qt::white));
}

TEST(MetafileDraw, PathBracketFillsWhatItEncloses) {
    EmfWriter w;
    w.pen(1, 5, 0, 0).select(1).solidBrush(2, kBlue).select(2);
    w.record(59, QByteArray()); // BeginPath
    w.moveTo(10, 10).lineTo(90, 10).lineTo(90, 90);
    w.record(61, QByteArray()); // CloseFigure
    w.record(60, QByteArray()); // EndPath
    w.record(62, {0, 0, 0, 0}); // FillPath
    const QImage image = drawnSquare(w);
    EXPECT_TRUE(colourAt(image, 75, 25, Qt::blue)); // above the diagonal
    EXPECT_TRUE(colourAt(image, 25, 75, Qt::white));
}

TEST(MetafileDraw, StretchDibitsDrawsTheBitmapUpright) {
    // A 2x2 24-bit bottom-up DIB: bottom row red, top row blue, stretched over 100x100.
    QByteArray bmi = words32({40, 2, 2});
    put16(bmi, 1);
    put16(bmi, 24);
    bmi += words32({0, 0, 0, 0, 0, 0});
    QByteArray bits;
    for (const char* row :
         {"\x00\x00\xFF\x00\x00\xFF\x00\x00", "\xFF\x00\x00\xFF\x00\x00\x00\x00"}) {
        bits.append(row, 8);
    }
    const int offBmi = 80;
    QByteArray params = words32({0, 0, 100, 100, 0, 0, 0, 0, 2, 2, offBmi, bmi.size(),
                                 offBmi + bmi.size(), bits.size(), 0, 0x00CC0020, 100, 100});
    params += bmi + bits;
    EmfWriter w;
    w.record(81, params);
    const QImage image = drawnSquare(w);
    EXPECT_TRUE(colourAt(image, 50, 10, Qt::blue));
    EXPECT_TRUE(colourAt(image, 50, 90, Qt::red));
}

TEST(MetafileDraw, FullImageIsNaturalSizeOnWhite) {
    WmfWriter w;
    w.pen(5, 0, 0).select(0).solidBrush(kRed).select(1).rectangle(0, 0, 720, 1440);
    const PicturePtr pic =
        loadMetafilePictureFromBytes(w.placeable(QRect(0, 0, 1440, 1440), 1440, 2));
    const QImage image = pic->fullImage();
    EXPECT_EQ(image.size(), QSize(96, 96));
    EXPECT_TRUE(colourAt(image, 20, 48, Qt::red));
    EXPECT_TRUE(colourAt(image, 76, 48, Qt::white));
}

// Each cheap record can fill the whole picture: past the area budget the file is refused as too
// large, a tenth of the records still draw, and a thread asked to stop leaves at the first.
TEST(MetafileDraw, PlaybackIsBoundedByTheAreaDrawnAndStopsWhenAsked) {
    const auto fills = [](int count) {
        WmfWriter w;
        w.solidBrush(kRed).select(0);
        for (int i = 0; i < count; ++i) {
            w.rectangle(0, 0, 1000, 1000);
        }
        return loadMetafilePictureFromBytes(w.placeable(QRect(0, 0, 1000, 1000), 1000, 1));
    };
    EXPECT_EQ(errorOf([&] { (void)drawOnWhite(fills(3000), QSize(1000, 1000)); }), err::TooLarge);
    EXPECT_TRUE(colourAt(drawOnWhite(fills(300), QSize(500, 500)), 250, 250, QColor(Qt::red)));
    StopRequest stop;
    stop.request();
    const StopScope scope(stop);
    EXPECT_THROW((void)drawOnWhite(fills(1), QSize(10, 10)), Stopped);
}
