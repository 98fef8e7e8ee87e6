#include "core/runtime_error.h"
#include "formats/imaging/icon_image.h"
#include "formats/imaging/raster_picture.h"
#include "support/icon_images.h"
#include "support/image_writers.h"
#include "support/picture_checks.h"

#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

QByteArray dib(int size, int bits, std::uint32_t colour) {
    std::vector<QRgb> palette;
    if (bits <= 8) {
        palette = {qRgb(0, 0, 0), colour};
    }
    return makeIconDib(
        size, size, bits, palette, [&](int, int) { return bits <= 8 ? 1u : colour; },
        [](int, int) { return false; });
}

// `bytes` with the 32-bit field at `at` set to `value`, big-endian as in PNG or little-endian
// as in icon directories and DIBs.
QByteArray with32(QByteArray bytes, int at, std::uint32_t value, bool bigEndian = false) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 8 * (3 - i) : 8 * i;
        bytes[at + i] = static_cast<char>((value >> shift) & 0xFF);
    }
    return bytes;
}

} // namespace

TEST(IconFile, AnEntryIsReadOnlyAsFarAsItsDirectoryNamesIt) {
    // A bottom-up 16 x 16 DIB whose directory entry names only its header, palette-free
    // pixels of the lower half: the upper half never arrives.
    const QByteArray ico =
        with32(makeIco({{16, 16, 32, dib(16, 32, 0x00FF00)}}), 6 + 8, 40 + 16 * 4 * 8);
    const QImage img = loadRasterPictureFromBytes(ico)->fullImage();
    ASSERT_EQ(img.size(), QSize(16, 16));
    EXPECT_EQ(img.pixel(8, 12), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(img.pixel(8, 3)), 0);
}

TEST(IconFile, PicksLargestAreaThenHighestDepth) {
    struct Case {
        const char* name;
        std::vector<IconDirEntry> entries;
        QSize size;
        QRgb colour;
    };
    const std::vector<Case> cases = {
        {"largest_last",
         {{16, 16, 8, dib(16, 8, 0xFF0000)}, {32, 32, 4, dib(32, 4, 0x00FF00)}},
         {32, 32},
         0xFF00FF00u},
        {"tie_goes_to_depth",
         {{32, 32, 24, dib(32, 24, 0x0000FF)},
          {32, 32, 32, dib(32, 32, 0xFFFF0000)},
          {32, 32, 8, dib(32, 8, 0x00FF00)}},
         {32, 32},
         0xFFFF0000u},
        {"png_entry",
         {{16, 16, 32, dib(16, 32, 0xFF0000FF)}, {0, 0, 32, pngIcon({48, 48}, 0xFF123456)}},
         {48, 48},
         0xFF123456u},
        // The image's own header wins over a directory that lies about the size.
        {"directory_lies", {{64, 64, 24, dib(8, 24, 0xABCDEF)}}, {8, 8}, 0xFFABCDEFu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PicturePtr p = loadRasterPictureFromBytes(makeIco(c.entries));
        EXPECT_EQ(p->kind(), PictureKind::Icon);
        ASSERT_EQ(p->pixelSize(), c.size);
        EXPECT_EQ(p->fullImage().pixel(c.size.width() / 2, c.size.height() / 2), c.colour);
    }
}

TEST(IconFile, CursorsAndBrokenDirectoriesGive481) {
    const QByteArray one = dib(16, 24, 0xFF0000);
    const std::vector<QByteArray> bad = {
        makeIco({{16, 16, 24, one}}, 2),                 // a cursor
        makeIco({{16, 16, 24, one}}).left(6 + 16),       // image data missing
        makeIco({{16, 16, 24, QByteArray(40, '\xFF')}}), // garbage header
        // Sides past 1024 pixels, which no real icon has: their pixels are never allocated.
        makeIco({{0, 0, 32, with32(pngIcon({16, 16}, qRgb(1, 2, 3)), 16, 65535, true)}}),
        makeIco({{0, 0, 32, with32(dib(16, 32, 0xFF0000), 4, 2048)}}),
    };
    for (const QByteArray& bytes : bad) {
        EXPECT_EQ(errorOf([&] { (void)loadRasterPictureFromBytes(bytes); }), err::InvalidPicture);
    }
}

TEST(IconImage, AndMaskMakesPixelsTransparent) {
    for (const int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        const std::vector<QRgb> palette =
            bits <= 8 ? std::vector<QRgb>{0, 0xFF0000} : std::vector<QRgb>{};
        const QByteArray data = makeIconDib(
            10, 6, bits, palette, [&](int, int) { return bits <= 8 ? 1u : 0xFF0000u; },
            [](int x, int y) { return x == 9 || y == 0; });
        const QImage img = decodeIconImage(data);
        ASSERT_EQ(img.size(), QSize(10, 6));
        EXPECT_EQ(img.pixel(0, 5), qRgb(255, 0, 0));
        EXPECT_EQ(qAlpha(img.pixel(9, 3)), 0);
        EXPECT_EQ(qAlpha(img.pixel(4, 0)), 0);
    }
}

TEST(IconImage, ThirtyTwoBitAlphaWinsOverMaskUnlessAllZero) {
    // The first column `first`, the others `rest`; the mask covers the last column.
    const auto decode = [](std::uint32_t first, std::uint32_t rest) {
        return decodeIconImage(makeIconDib(
            4, 4, 32, {}, [&](int x, int) { return x == 0 ? first : rest; },
            [](int x, int) { return x == 3; }));
    };
    const QImage withAlpha = decode(0x8000FF00u, 0xFF00FF00u);
    EXPECT_NEAR(qAlpha(withAlpha.pixel(0, 0)), 0x80, 1);
    EXPECT_EQ(qAlpha(withAlpha.pixel(3, 0)), 255); // alpha channel rules, mask ignored

    const QImage masked = decode(0x0000FF00u, 0x0000FF00u);
    EXPECT_EQ(masked.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(masked.pixel(3, 0)), 0);
}

TEST(IconImage, DamagedDataGivesNullNeverACrash) {
    const QByteArray good = makeIconDib(
        16, 16, 8, {qRgb(1, 2, 3)}, [](int, int) { return 0u; }, [](int, int) { return false; });
    EXPECT_TRUE(decodeIconImage({}).isNull());
    EXPECT_TRUE(decodeIconImage(QByteArray(3, 'x')).isNull());
    EXPECT_TRUE(decodeIconImage(QByteArray("\x89PNG\r\n\x1a\n garbage")).isNull());
    // Every truncation either decodes what is there or gives null.
    for (qsizetype n = 0; n < good.size(); n += 7) {
        const QImage img = decodeIconImage(good.left(n));
        EXPECT_TRUE(img.isNull() || img.size() == QSize(16, 16));
    }
    // A PNG claiming an enormous size is refused before decoding.
    QByteArray huge = pngIcon({4, 4}, 0xFF000000u);
    huge[16] = '\x7F';
    huge[20] = '\x7F';
    EXPECT_TRUE(decodeIconImage(huge).isNull());
    // 1024 pixels a side is the most an icon may have.
    EXPECT_EQ(decodeIconImage(pngIcon({1024, 1024}, 0xFF00FF00u)).size(), QSize(1024, 1024));
    EXPECT_TRUE(decodeIconImage(pngIcon({1025, 1025}, 0xFF00FF00u)).isNull());
}
