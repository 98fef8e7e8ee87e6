#include "core/runtime_error.h"
#include "formats/imaging/icon_image.h"
#include "formats/imaging/raster_picture.h"
#include "support/image_writers.h"

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

QByteArray png(int size, QRgb colour) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(colour);
    return encodeWith(img, "PNG");
}

// `bytes` with the big-endian (PNG) or little-endian (DIB) width field at `at` set to `side`.
QByteArray withSize(QByteArray bytes, int at, std::uint32_t side) {
    const bool bigEndian = at == 16;
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 8 * (3 - i) : 8 * i;
        bytes[at + i] = static_cast<char>((side >> shift) & 0xFF);
    }
    return bytes;
}

} // namespace

TEST(IconFile, AnEntryIsReadOnlyAsFarAsItsDirectoryNamesIt) {
    // A bottom-up 16 x 16 DIB whose directory entry names only its header, palette-free
    // pixels of the lower half: the upper half never arrives.
    const QByteArray image = dib(16, 32, 0x00FF00);
    QByteArray ico = makeIco({{16, 16, 32, image}});
    const int named = 40 + 16 * 4 * 8;
    for (int i = 0; i < 4; ++i) {
        ico[6 + 8 + i] = static_cast<char>((named >> (8 * i)) & 0xFF);
    }
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
         {{16, 16, 32, dib(16, 32, 0xFF0000FF)}, {0, 0, 32, png(48, 0xFF123456)}},
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
        makeIco({{0, 0, 32, withSize(png(16, qRgb(1, 2, 3)), 16, 65535)}}),
        makeIco({{0, 0, 32, withSize(dib(16, 32, 0xFF0000), 4, 2048)}}),
    };
    for (const QByteArray& bytes : bad) {
        try {
            (void)loadRasterPictureFromBytes(bytes);
            ADD_FAILURE() << "loaded";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), err::InvalidPicture);
        }
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
    const auto make = [](std::uint32_t pixel) {
        return makeIconDib(
            4, 4, 32, {}, [&](int x, int) { return x == 0 ? pixel : 0xFF00FF00u; },
            [](int x, int) { return x == 3; });
    };
    const QImage withAlpha = decodeIconImage(make(0x8000FF00u));
    EXPECT_NEAR(qAlpha(withAlpha.pixel(0, 0)), 0x80, 1);
    EXPECT_EQ(qAlpha(withAlpha.pixel(3, 0)), 255); // alpha channel rules, mask ignored

    const auto noAlpha = makeIconDib(
        4, 4, 32, {}, [](int, int) { return 0x0000FF00u; }, [](int x, int) { return x == 3; });
    const QImage masked = decodeIconImage(noAlpha);
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
    QByteArray huge = png(4, 0xFF000000u);
    huge[16] = '\x7F';
    huge[20] = '\x7F';
    EXPECT_TRUE(decodeIconImage(huge).isNull());
    // 1024 pixels a side is the most an icon may have.
    EXPECT_EQ(decodeIconImage(png(1024, 0xFF00FF00u)).size(), QSize(1024, 1024));
    EXPECT_TRUE(decodeIconImage(png(1025, 0xFF00FF00u)).isNull());
}
