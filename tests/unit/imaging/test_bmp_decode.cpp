#include "core/runtime_error.h"
#include "formats/imaging/raster_picture.h"
#include "support/image_writers.h"
#include "support/picture_checks.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

constexpr QRgb kRed = 0xFFFF0000u;
constexpr QRgb kGreen = 0xFF00FF00u;
constexpr QRgb kBlue = 0xFF0000FFu;
constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kClear = 0x00000000u;
constexpr std::array<std::uint32_t, 4> kArgbMasks = {0x00FF0000, 0x0000FF00, 0x000000FF,
                                                     0xFF000000};

using PixelValue = std::function<std::uint32_t(int x, int y)>;

// The bitmap `s` describes, its rows packed from `value` unless it brings its own pixels.
QByteArray bmp(BmpLayout s, const PixelValue& value = {}) {
    if (value) {
        s.pixels = packRows(s.width, s.height, s.bitCount, s.topDown, value);
    }
    return makeBmp(s);
}

QByteArray rle(std::initializer_list<int> bytes) {
    QByteArray out;
    for (const int b : bytes) {
        out.append(static_cast<char>(b));
    }
    return out;
}

struct Probe {
    int x;
    int y;
    QRgb colour;
};

struct VariantCase {
    const char* name;
    BmpLayout layout;
    PixelValue value; // null when the layout holds the pixel data itself
    std::vector<Probe> probes;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const VariantCase& c, std::ostream* os) {
    *os << c.name;
}

} // namespace

class BmpVariant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(BmpVariant, DecodesPixelsAtFullSize) {
    const VariantCase& c = GetParam();
    const QSize size(c.layout.width, c.layout.height);
    const PicturePtr p = loadRasterPictureFromBytes(bmp(c.layout, c.value));
    ASSERT_EQ(p->pixelSize(), size);
    const QImage img = p->fullImage();
    ASSERT_EQ(img.size(), size);
    for (const Probe& probe : c.probes) {
        EXPECT_EQ(img.pixel(probe.x, probe.y), probe.colour)
            << "at " << probe.x << "," << probe.y << std::hex << " got "
            << img.pixel(probe.x, probe.y) << " want " << probe.colour;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, BmpVariant,
    ::testing::ValuesIn(std::vector<VariantCase>{
        {"pal1_odd_width",
         {.width = 9, .height = 3, .bitCount = 1, .palette = {kRed, kBlue}},
         [](int x, int y) { return (x + y) % 2 == 0 ? 0u : 1u; },
         {{0, 0, kRed}, {1, 0, kBlue}, {8, 0, kRed}, {8, 1, kBlue}, {0, 2, kRed}}},
        {"pal2",
         {.width = 5, .height = 2, .bitCount = 2, .palette = {kBlack, kRed, kGreen, kBlue}},
         [](int x, int) { return static_cast<std::uint32_t>(x % 4); },
         {{0, 0, kBlack}, {1, 1, kRed}, {2, 0, kGreen}, {3, 1, kBlue}, {4, 0, kBlack}}},
        {"pal4_short_palette_and_index_past_it",
         {.width = 4, .height = 1, .bitCount = 4, .colorsUsed = 2, .palette = {kRed, kGreen}},
         [](int x, int) { return x == 3 ? 15u : static_cast<std::uint32_t>(x % 2); },
         {{0, 0, kRed}, {1, 0, kGreen}, {3, 0, kBlack}}},
        {"pal8_top_down",
         {.width = 3,
          .height = 2,
          .topDown = true,
          .bitCount = 8,
          .palette = {kWhite, kRed, kBlue}},
         [](int, int y) { return y == 0 ? 1u : 2u; },
         {{0, 0, kRed}, {2, 0, kRed}, {1, 1, kBlue}}},
        {"rgb16_default_555",
         {.width = 2, .height = 1, .bitCount = 16},
         [](int x, int) { return x == 0 ? 0x7C00u : 0x001Fu; },
         {{0, 0, kRed}, {1, 0, kBlue}}},
        {"rgb16_565_bitfields",
         {.width = 2,
          .height = 1,
          .bitCount = 16,
          .compression = 3,
          .masks = {0xF800, 0x07E0, 0x001F, 0}},
         [](int x, int) { return x == 0 ? 0x07E0u : 0xF800u; },
         {{0, 0, kGreen}, {1, 0, kRed}}},
        {"rgb24_v4_header",
         {.headerSize = 108, .width = 2, .height = 2},
         [](int x, int y) { return x == y ? 0x123456u : 0xABCDEFu; },
         {{0, 0, 0xFF123456u}, {1, 0, 0xFFABCDEFu}, {1, 1, 0xFF123456u}}},
        {"rgb32_ignores_unused_byte",
         {.width = 2, .height = 1, .bitCount = 32},
         [](int, int) { return 0x00102030u; },
         {{0, 0, 0xFF102030u}, {1, 0, 0xFF102030u}}},
        {"rgba32_v5_alpha_mask",
         {.headerSize = 124,
          .width = 2,
          .height = 1,
          .bitCount = 32,
          .compression = 3,
          .masks = kArgbMasks},
         [](int x, int) { return x == 0 ? 0xFFFF0000u : 0x000000FFu; },
         {{0, 0, kRed}, {1, 0, kClear}}},
        {"alphabitfields_unusual_order",
         {.width = 1,
          .height = 1,
          .bitCount = 32,
          .compression = 6,
          .masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}},
         [](int, int) { return 0xFF0000FFu; },
         {{0, 0, kRed}}},
        {"os2_core_header",
         {.headerSize = 12, .width = 3, .height = 2, .bitCount = 8, .palette = {kBlue, kGreen}},
         [](int x, int) { return x == 1 ? 1u : 0u; },
         {{0, 0, kBlue}, {1, 1, kGreen}, {2, 1, kBlue}}},
        {"os2_v2_short_header",
         {.headerSize = 16, .width = 2, .height = 1},
         [](int, int) { return 0x00FF00u; },
         {{1, 0, kGreen}}},
        // Bottom row: a run of 6 (clipped to 4); next row: absolute 1,2,3 then a delta to the
        // top row's last pixel; end of bitmap.
        {"rle8_runs_delta_and_overrun",
         {.width = 4,
          .height = 3,
          .bitCount = 8,
          .compression = 1,
          .palette = {kBlack, kRed, kGreen, kBlue},
          .pixels = rle({6, 1, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 0, 1, 1, 3, 0, 1})},
         {},
         {{0, 2, kRed},
          {3, 2, kRed},
          {0, 1, kRed},
          {1, 1, kGreen},
          {2, 1, kBlue},
          {3, 1, kClear},
          {0, 0, kClear},
          {3, 0, kBlue}}},
        // Bottom row: a run of 3 alternating 1/2, absolute 3,1,2 (clipped at the row's end);
        // the data then ends without an end marker.
        {"rle4_runs_absolute_early_end",
         {.width = 5,
          .height = 2,
          .bitCount = 4,
          .compression = 2,
          .palette = {kBlack, kRed, kGreen, kBlue},
          .pixels = rle({3, 0x12, 0, 3, 0x31, 0x20})},
         {},
         {{0, 1, kRed}, {1, 1, kGreen}, {2, 1, kRed}, {3, 1, kBlue}, {4, 1, kRed}, {0, 0, kClear}}},
        // The bottom row and one pixel of the next.
        {"truncated_rows_stay_transparent",
         {.width = 2,
          .height = 4,
          .pixels = packRows(2, 4, 24, false, [](int, int) { return 0xFF0000u; }).left(8 + 3)},
         {},
         {{0, 3, kRed}, {1, 3, kRed}, {0, 2, kRed}, {1, 2, kClear}, {0, 0, kClear}}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(BmpReduced, QuadrantsKeepTheirColoursWhenDrawnSmall) {
    const PicturePtr p =
        loadRasterPictureFromBytes(bmp({.width = 40, .height = 20}, [](int x, int y) {
            return x < 20 ? (y < 10 ? 0xFF0000u : 0x00FF00u) : (y < 10 ? 0x0000FFu : 0xFFFFFFu);
        }));
    const QImage img = drawAt(*p, 4, 2);
    EXPECT_EQ(lastDecodedSize(*p), QSize(4, 2));
    EXPECT_EQ(img.pixel(0, 0), kRed);
    EXPECT_EQ(img.pixel(0, 1), kGreen);
    EXPECT_EQ(img.pixel(3, 0), kBlue);
    EXPECT_EQ(img.pixel(3, 1), kWhite);
}

TEST(BmpReduced, AveragesEverySourcePixel) {
    // Alternating black and white columns average to mid grey; alpha averages too.
    const PicturePtr p = loadRasterPictureFromBytes(
        bmp({.headerSize = 124,
             .width = 8,
             .height = 4,
             .bitCount = 32,
             .compression = 3,
             .masks = kArgbMasks},
            [](int x, int y) {
                if (y >= 2) {
                    return x % 2 == 0 ? 0xFF000000u : 0xFFFFFFFFu;
                }
                return x % 2 == 0 ? 0xFFFF0000u : 0x00000000u; // red half transparent
            }));
    const QImage img = drawAt(*p, 2, 2);
    const QRgb grey = img.pixel(0, 1);
    EXPECT_NEAR(qRed(grey), 128, 1);
    EXPECT_EQ(qRed(grey), qGreen(grey));
    EXPECT_EQ(qAlpha(grey), 255);
    const QRgb halfRed = qUnpremultiply(img.pixel(1, 0)); // pixel() gives premultiplied
    EXPECT_NEAR(qAlpha(halfRed), 128, 1);
    EXPECT_GE(qRed(halfRed), 250); // still pure red
    EXPECT_EQ(qBlue(halfRed), 0);
}

TEST(BmpReduced, LargeBitmapShownSmallIsNeverDecodedInFull) {
    const PicturePtr p =
        loadRasterPictureFromBytes(bmp({.width = 3000, .height = 2000}, [](int x, int) {
            return x < 1500 ? 0x0000FFu : 0xFF0000u;
        }));
    const QImage img = drawAt(*p, 60, 40, 2.0); // 120x80 device pixels
    EXPECT_EQ(lastDecodedSize(*p), QSize(120, 80));
    EXPECT_EQ(img.pixel(10, 70), kBlue);
    EXPECT_EQ(img.pixel(110, 10), kRed);
}

TEST(BmpReduced, DrawingLargerThanNaturalScalesUpSmoothly) {
    const PicturePtr p = loadRasterPictureFromBytes(
        bmp({.width = 2, .height = 1}, [](int x, int) { return x == 0 ? 0u : 0xFFFFFFu; }));
    const QImage img = drawAt(*p, 20, 10);
    EXPECT_EQ(lastDecodedSize(*p), QSize(2, 1));
    EXPECT_EQ(img.pixel(0, 5), kBlack);
    EXPECT_EQ(img.pixel(19, 5), kWhite);
    const int mid = qRed(img.pixel(10, 5));
    EXPECT_GT(mid, 40); // smooth, not nearest-neighbour
    EXPECT_LT(mid, 215);
}

TEST(BmpLimit, PixelsPastTheLimitGiveError5NotAnAllocation) {
    // One row; the rest is missing.
    const PicturePtr p = loadRasterPictureFromBytes(
        bmp({.width = 30000, .height = 30000, .pixels = QByteArray(90000, '\x7F')}));
    EXPECT_EQ(p->pixelSize(), QSize(30000, 30000));
    EXPECT_EQ(errorOf([&] { (void)p->fullImage(); }), err::TooLarge);
    QImage small(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&small);
    EXPECT_EQ(errorOf([&] { p->draw(painter, QRectF(0, 0, 20000, 20000)); }), err::TooLarge);
    painter.end();
    // Small, it draws: only the one row there is.
    EXPECT_EQ(errorOf([&] { drawAt(*p, 100, 100); }), 0);
}
