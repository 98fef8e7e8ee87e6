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

struct Probe {
    int x;
    int y;
    QRgb colour;
};

struct VariantCase {
    const char* name;
    std::function<QByteArray()> file;
    QSize size;
    std::vector<Probe> probes;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const VariantCase& c, std::ostream* os) {
    *os << c.name;
}

QByteArray rle(std::initializer_list<int> bytes) {
    QByteArray out;
    for (const int b : bytes) {
        out.append(static_cast<char>(b));
    }
    return out;
}

BmpLayout layout(int w, int h, int bits) {
    BmpLayout s;
    s.width = w;
    s.height = h;
    s.bitCount = bits;
    return s;
}

} // namespace

class BmpVariant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(BmpVariant, DecodesPixelsAtFullSize) {
    const VariantCase& c = GetParam();
    const PicturePtr p = loadRasterPictureFromBytes(c.file());
    ASSERT_EQ(p->pixelSize(), c.size);
    const QImage img = p->fullImage();
    ASSERT_EQ(img.size(), c.size);
    for (const Probe& probe : c.probes) {
        EXPECT_EQ(img.pixel(probe.x, probe.y), probe.colour)
            << "at " << probe.x << "," << probe.y << std::hex << " got "
            << img.pixel(probe.x, probe.y) << " want " << probe.colour;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, BmpVariant,
    ::testing::Values(
        VariantCase{"pal1_odd_width",
                    [] {
                        BmpLayout s = layout(9, 3, 1);
                        s.palette = {kRed, kBlue};
                        s.pixels = packRows(9, 3, 1, false, [](int x, int y) {
                            return (x + y) % 2 == 0 ? 0u : 1u;
                        });
                        return makeBmp(s);
                    },
                    {9, 3},
                    {{0, 0, kRed}, {1, 0, kBlue}, {8, 0, kRed}, {8, 1, kBlue}, {0, 2, kRed}}},
        VariantCase{"pal2",
                    [] {
                        BmpLayout s = layout(5, 2, 2);
                        s.palette = {kBlack, kRed, kGreen, kBlue};
                        s.pixels = packRows(5, 2, 2, false, [](int x, int) {
                            return static_cast<std::uint32_t>(x % 4);
                        });
                        return makeBmp(s);
                    },
                    {5, 2},
                    {{0, 0, kBlack}, {1, 1, kRed}, {2, 0, kGreen}, {3, 1, kBlue}, {4, 0, kBlack}}},
        VariantCase{"pal4_short_palette_and_index_past_it",
                    [] {
                        BmpLayout s = layout(4, 1, 4);
                        s.palette = {kRed, kGreen};
                        s.colorsUsed = 2;
                        s.pixels = packRows(4, 1, 4, false, [](int x, int) {
                            return x == 3 ? 15u : static_cast<std::uint32_t>(x % 2);
                        });
                        return makeBmp(s);
                    },
                    {4, 1},
                    {{0, 0, kRed}, {1, 0, kGreen}, {3, 0, kBlack}}},
        VariantCase{"pal8_top_down",
                    [] {
                        BmpLayout s = layout(3, 2, 8);
                        s.topDown = true;
                        s.palette = {kWhite, kRed, kBlue};
                        s.pixels =
                            packRows(3, 2, 8, true, [](int, int y) { return y == 0 ? 1u : 2u; });
                        return makeBmp(s);
                    },
                    {3, 2},
                    {{0, 0, kRed}, {2, 0, kRed}, {1, 1, kBlue}}},
        VariantCase{"rgb16_default_555",
                    [] {
                        BmpLayout s = layout(2, 1, 16);
                        s.pixels = packRows(2, 1, 16, false,
                                            [](int x, int) { return x == 0 ? 0x7C00u : 0x001Fu; });
                        return makeBmp(s);
                    },
                    {2, 1},
                    {{0, 0, kRed}, {1, 0, kBlue}}},
        VariantCase{"rgb16_565_bitfields",
                    [] {
                        BmpLayout s = layout(2, 1, 16);
                        s.compression = 3;
                        s.masks = {0xF800, 0x07E0, 0x001F, 0};
                        s.pixels = packRows(2, 1, 16, false,
                                            [](int x, int) { return x == 0 ? 0x07E0u : 0xF800u; });
                        return makeBmp(s);
                    },
                    {2, 1},
                    {{0, 0, kGreen}, {1, 0, kRed}}},
        VariantCase{"rgb24_v4_header",
                    [] {
                        BmpLayout s = layout(2, 2, 24);
                        s.headerSize = 108;
                        s.pixels = packRows(2, 2, 24, false, [](int x, int y) {
                            return x == y ? 0x123456u : 0xABCDEFu;
                        });
                        return makeBmp(s);
                    },
                    {2, 2},
                    {{0, 0, 0xFF123456u}, {1, 0, 0xFFABCDEFu}, {1, 1, 0xFF123456u}}},
        VariantCase{"rgb32_ignores_unused_byte",
                    [] {
                        BmpLayout s = layout(2, 1, 32);
                        s.pixels = packRows(2, 1, 32, false, [](int, int) { return 0x00102030u; });
                        return makeBmp(s);
                    },
                    {2, 1},
                    {{0, 0, 0xFF102030u}, {1, 0, 0xFF102030u}}},
        VariantCase{"rgba32_v5_alpha_mask",
                    [] {
                        BmpLayout s = layout(2, 1, 32);
                        s.headerSize = 124;
                        s.compression = 3;
                        s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
                        s.pixels = packRows(2, 1, 32, false, [](int x, int) {
                            return x == 0 ? 0xFFFF0000u : 0x000000FFu;
                        });
                        return makeBmp(s);
                    },
                    {2, 1},
                    {{0, 0, kRed}, {1, 0, kClear}}},
        VariantCase{"alphabitfields_unusual_order",
                    [] {
                        BmpLayout s = layout(1, 1, 32);
                        s.compression = 6;
                        s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
                        s.pixels = packRows(1, 1, 32, false, [](int, int) { return 0xFF0000FFu; });
                        return makeBmp(s);
                    },
                    {1, 1},
                    {{0, 0, kRed}}},
        VariantCase{"os2_core_header",
                    [] {
                        BmpLayout s = layout(3, 2, 8);
                        s.headerSize = 12;
                        s.palette = {kBlue, kGreen};
                        s.pixels =
                            packRows(3, 2, 8, false, [](int x, int) { return x == 1 ? 1u : 0u; });
                        return makeBmp(s);
                    },
                    {3, 2},
                    {{0, 0, kBlue}, {1, 1, kGreen}, {2, 1, kBlue}}},
        VariantCase{"os2_v2_short_header",
                    [] {
                        BmpLayout s = layout(2, 1, 24);
                        s.headerSize = 16;
                        s.pixels = packRows(2, 1, 24, false, [](int, int) { return 0x00FF00u; });
                        return makeBmp(s);
                    },
                    {2, 1},
                    {{1, 0, kGreen}}},
        VariantCase{"rle8_runs_delta_and_overrun",
                    [] {
                        BmpLayout s = layout(4, 3, 8);
                        s.compression = 1;
                        s.palette = {kBlack, kRed, kGreen, kBlue};
                        // bottom row: run of 6 (clipped to 4); next row: absolute 1,2,3 then
                        // a delta to the top row's last pixel; end of bitmap.
                        s.pixels = rle({6, 1, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 0, 1, 1, 3, 0, 1});
                        return makeBmp(s);
                    },
                    {4, 3},
                    {{0, 2, kRed},
                     {3, 2, kRed},
                     {0, 1, kRed},
                     {1, 1, kGreen},
                     {2, 1, kBlue},
                     {3, 1, kClear},
                     {0, 0, kClear},
                     {3, 0, kBlue}}},
        VariantCase{"rle4_runs_absolute_early_end",
                    [] {
                        BmpLayout s = layout(5, 2, 4);
                        s.compression = 2;
                        s.palette = {kBlack, kRed, kGreen, kBlue};
                        // bottom row: run of 3 alternating 1/2, absolute 3,1,2 (clipped at
                        // the row's end); the data then ends without an end marker.
                        s.pixels = rle({3, 0x12, 0, 3, 0x31, 0x20});
                        return makeBmp(s);
                    },
                    {5, 2},
                    {{0, 1, kRed},
                     {1, 1, kGreen},
                     {2, 1, kRed},
                     {3, 1, kBlue},
                     {4, 1, kRed},
                     {0, 0, kClear}}},
        VariantCase{"truncated_rows_stay_transparent",
                    [] {
                        BmpLayout s = layout(2, 4, 24);
                        s.pixels = packRows(2, 4, 24, false, [](int, int) {
                                       return 0xFF0000u;
                                   }).left(8 + 3); // bottom row and one pixel of the next
                        return makeBmp(s);
                    },
                    {2, 4},
                    {{0, 3, kRed}, {1, 3, kRed}, {0, 2, kRed}, {1, 2, kClear}, {0, 0, kClear}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(BmpReduced, QuadrantsKeepTheirColoursWhenDrawnSmall) {
    BmpLayout s = layout(40, 20, 24);
    s.pixels = packRows(40, 20, 24, false, [](int x, int y) {
        return x < 20 ? (y < 10 ? 0xFF0000u : 0x00FF00u) : (y < 10 ? 0x0000FFu : 0xFFFFFFu);
    });
    const PicturePtr p = loadRasterPictureFromBytes(makeBmp(s));
    const QImage img = drawAt(*p, 4, 2);
    EXPECT_EQ(lastDecodedSize(*p), QSize(4, 2));
    EXPECT_EQ(img.pixel(0, 0), kRed);
    EXPECT_EQ(img.pixel(0, 1), kGreen);
    EXPECT_EQ(img.pixel(3, 0), kBlue);
    EXPECT_EQ(img.pixel(3, 1), kWhite);
}

TEST(BmpReduced, AveragesEverySourcePixel) {
    // Alternating black and white columns average to mid grey; alpha averages too.
    BmpLayout s = layout(8, 4, 32);
    s.headerSize = 124;
    s.compression = 3;
    s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    s.pixels = packRows(8, 4, 32, false, [](int x, int y) {
        if (y >= 2) {
            return x % 2 == 0 ? 0xFF000000u : 0xFFFFFFFFu;
        }
        return x % 2 == 0 ? 0xFFFF0000u : 0x00000000u; // red half transparent
    });
    const PicturePtr p = loadRasterPictureFromBytes(makeBmp(s));
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
    BmpLayout s = layout(3000, 2000, 24);
    s.pixels = packRows(3000, 2000, 24, false,
                        [](int x, int) { return x < 1500 ? 0x0000FFu : 0xFF0000u; });
    const PicturePtr p = loadRasterPictureFromBytes(makeBmp(s));
    const QImage img = drawAt(*p, 60, 40, 2.0); // 120x80 device pixels
    EXPECT_EQ(lastDecodedSize(*p), QSize(120, 80));
    EXPECT_EQ(img.pixel(10, 70), kBlue);
    EXPECT_EQ(img.pixel(110, 10), kRed);
}

TEST(BmpReduced, DrawingLargerThanNaturalScalesUpSmoothly) {
    BmpLayout s = layout(2, 1, 24);
    s.pixels = packRows(2, 1, 24, false, [](int x, int) { return x == 0 ? 0u : 0xFFFFFFu; });
    const PicturePtr p = loadRasterPictureFromBytes(makeBmp(s));
    const QImage img = drawAt(*p, 20, 10);
    EXPECT_EQ(lastDecodedSize(*p), QSize(2, 1));
    EXPECT_EQ(img.pixel(0, 5), kBlack);
    EXPECT_EQ(img.pixel(19, 5), kWhite);
    const int mid = qRed(img.pixel(10, 5));
    EXPECT_GT(mid, 40); // smooth, not nearest-neighbour
    EXPECT_LT(mid, 215);
}

TEST(BmpLimit, PixelsPastTheLimitGiveError5NotAnAllocation) {
    BmpLayout s = layout(30000, 30000, 24);
    s.pixels = QByteArray(90000, '\x7F'); // one row; the rest is missing
    const PicturePtr p = loadRasterPictureFromBytes(makeBmp(s));
    EXPECT_EQ(p->pixelSize(), QSize(30000, 30000));
    EXPECT_EQ(errorOf([&] { (void)p->fullImage(); }), err::TooLarge);
    QImage small(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&small);
    EXPECT_EQ(errorOf([&] { p->draw(painter, QRectF(0, 0, 20000, 20000)); }), err::TooLarge);
    painter.end();
    // Small, it draws: only the one row there is.
    EXPECT_EQ(errorOf([&] { drawAt(*p, 100, 100); }), 0);
}
