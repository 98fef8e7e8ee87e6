#include "core/native_path.h"
#include "core/runtime_error.h"
#include "formats/imaging/raster_picture.h"
#include "support/image_writers.h"
#include "support/picture_checks.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

QByteArray bmp24(int w, int h) {
    const auto colour = [](int, int) { return 0x336699u; };
    return makeBmp({.width = w, .height = h, .pixels = packRows(w, h, 24, false, colour)});
}

QByteArray withHeaderSize(QByteArray bmp, std::uint32_t size) {
    bmp[14] = static_cast<char>(size);
    return bmp;
}

} // namespace

struct SniffCase {
    const char* name;
    QByteArray head;
    bool raster;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const SniffCase& c, std::ostream* os) {
    *os << c.name;
}

class Sniff : public ::testing::TestWithParam<SniffCase> {};

TEST_P(Sniff, RecognisesFormatsByContent) {
    EXPECT_EQ(looksLikeRaster(GetParam().head), GetParam().raster);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, Sniff,
    ::testing::Values(SniffCase{"bmp", bmp24(2, 2), true},
                      SniffCase{"bmp_core", withHeaderSize(bmp24(2, 2), 12), true},
                      SniffCase{"bmp_bad_header_size", withHeaderSize(bmp24(2, 2), 7), false},
                      SniffCase{"bm_text", QByteArray("BM is not a bitmap, just text"), false},
                      SniffCase{"ico", QByteArray("\0\0\1\0\1\0", 6), true},
                      SniffCase{"cur", QByteArray("\0\0\2\0\1\0", 6), false},
                      SniffCase{"ico_no_images", QByteArray("\0\0\1\0\0\0", 6), false},
                      SniffCase{"jpeg", QByteArray("\xFF\xD8\xFF\xE0", 4), true},
                      SniffCase{"jpeg_two_bytes", QByteArray("\xFF\xD8", 2), false},
                      SniffCase{"gif87", QByteArray("GIF87a\1\0\1\0"), true},
                      SniffCase{"gif89", QByteArray("GIF89a\1\0\1\0"), true},
                      SniffCase{"gif88", QByteArray("GIF88a\1\0\1\0"), false},
                      SniffCase{"png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), false},
                      SniffCase{"text", QByteArray("hello world"), false},
                      SniffCase{"empty", {}, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(RasterLoad, ReportsKindAndNaturalSizePerFormat) {
    struct Case {
        QByteArray bytes;
        PictureKind kind;
        QSize size;
    };
    const QImage photo = solidImage(123, 45, qRgb(200, 10, 10));
    const std::vector<Case> cases = {
        {bmp24(7, 3), PictureKind::Bitmap, {7, 3}},
        {encodeWith(photo, "BMP"), PictureKind::Bitmap, {123, 45}},
        {encodeWith(photo, "JPG", 90), PictureKind::Bitmap, {123, 45}},
        {makeGif(10, 8, 0, 0, 4, 4, {qRgb(1, 2, 3)}, -1, [](int, int) { return 0; }),
         PictureKind::Bitmap,
         {10, 8}},
        {makeIco(
             {{16, 16, 24,
               makeIconDib(
                   16, 16, 24, {}, [](int, int) { return 0u; }, [](int, int) { return false; })}}),
         PictureKind::Icon,
         {16, 16}},
    };
    for (const Case& c : cases) {
        const PicturePtr p = loadRasterPictureFromBytes(c.bytes);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->kind(), c.kind);
        EXPECT_EQ(p->pixelSize(), c.size);
        const QSizeF twips = p->naturalSizeTwips(15.0, 12.0);
        EXPECT_DOUBLE_EQ(twips.width(), c.size.width() * 15.0);
        EXPECT_DOUBLE_EQ(twips.height(), c.size.height() * 12.0);
    }
}

TEST(RasterLoad, FormatComesFromContentNotName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(writeFile(dir.filePath(name), bytes));
        return dir.filePath(name);
    };
    const QString photo = write(QStringLiteral("photo.jpg"), bmp24(5, 4));
    const PicturePtr p = loadRasterPicture(ReadOnlyFile(photo));
    EXPECT_EQ(p->pixelSize(), QSize(5, 4));
    EXPECT_EQ(p->fullImage().pixel(0, 0), qRgb(0x33, 0x66, 0x99));

    const QString png = write(QStringLiteral("x.bmp"), encodeWith(solidImage(4, 4, 0), "PNG"));
    EXPECT_EQ(errorOf([&] { loadRasterPicture(ReadOnlyFile(png)); }), err::InvalidPicture);
    const QString text = write(QStringLiteral("y.bmp"), "just some text\n");
    EXPECT_EQ(errorOf([&] { loadRasterPicture(ReadOnlyFile(text)); }), err::InvalidPicture);
}

TEST(RasterLoad, PictureOutlivesTheFileItWasLoadedFrom) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.bmp"));
    ASSERT_TRUE(writeFile(path, bmp24(3, 3)));
    PicturePtr p;
    {
        const ReadOnlyFile file(path);
        p = loadRasterPicture(file);
    }
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(p->fullImage().pixel(2, 2), qRgb(0x33, 0x66, 0x99));
}

// Saving in place (`cat new > old`) keeps the inode: a picture loaded before must refuse
// rather than decode the new bytes under its old header, whole or just the part printed.
TEST(RasterLoad, RefusesAFileOverwrittenInPlaceSinceItWasLoaded) {
    const QImage before = solidImage(64, 48, qRgb(200, 10, 10));
    const QImage after = solidImage(32, 20, qRgb(10, 10, 200));
    const std::vector<std::pair<QByteArray, QByteArray>> cases = {
        {encodeWith(before, "BMP"), encodeWith(after, "BMP")},
        {encodeWith(before, "JPG", 90), encodeWith(after, "JPG", 90)}};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shown"));
    for (const auto& [first, second] : cases) {
        ASSERT_TRUE(writeFile(path, first));
        const PicturePtr picture = loadRasterPicture(ReadOnlyFile(path));
        ASSERT_TRUE(writeFile(path, second));
        EXPECT_NE(errorOf([&] { (void)picture->fullImage(); }), 0) << first.size();
        EXPECT_NE(errorOf([&] { (void)picture->regionImage({0, 0, 8, 8}, {4, 4}); }), 0);
    }
}

struct BadHeader {
    const char* name;
    std::function<void(BmpLayout&)> change;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const BadHeader& c, std::ostream* os) {
    *os << c.name;
}

class InvalidBmpHeader : public ::testing::TestWithParam<BadHeader> {};

TEST_P(InvalidBmpHeader, Gives481AtLoad) {
    BmpLayout s;
    s.width = 4;
    s.height = 4;
    s.pixels = QByteArray(64, '\x10');
    GetParam().change(s);
    EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(makeBmp(s)); }), err::InvalidPicture);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, InvalidBmpHeader,
    ::testing::ValuesIn(std::vector<BadHeader>{
        {"zero_width", [](BmpLayout& s) { s.width = 0; }},
        {"zero_height", [](BmpLayout& s) { s.height = 0; }},
        {"negative_width", [](BmpLayout& s) { s.width = -4; }},
        {"absurd_width", [](BmpLayout& s) { s.width = 3000000; }},
        {"planes", [](BmpLayout& s) { s.planes = 2; }},
        {"bits_3", [](BmpLayout& s) { s.bitCount = 3; }},
        {"bits_64", [](BmpLayout& s) { s.bitCount = 64; }},
        {"embedded_jpeg", [](BmpLayout& s) { s.compression = 4; }},
        {"embedded_png", [](BmpLayout& s) { s.compression = 5; }},
        {"rle8_at_24_bits", [](BmpLayout& s) { s.compression = 1; }},
        {"bitfields_at_24_bits", [](BmpLayout& s) { s.compression = 3; }},
        {"top_down_rle", [](BmpLayout& s) { s.bitCount = 8; s.compression = 1; s.topDown = true; }},
        {"os2_huffman", [](BmpLayout& s) { s.headerSize = 64; s.bitCount = 1; s.compression = 3; }},
        {"header_size_66", [](BmpLayout& s) { s.headerSize = 66; }},
        {"no_pixel_data", [](BmpLayout& s) { s.pixels.clear(); }}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(RasterLoad, TruncatedHeadersGive481) {
    const QByteArray bitmap = bmp24(4, 4);
    const QByteArray jpeg = encodeWith(solidImage(8, 8, 0), "JPG");
    for (const QByteArray& head :
         {bitmap.left(2), bitmap.left(10), bitmap.left(18), bitmap.left(30), bitmap.left(53),
          jpeg.left(20), QByteArray("GIF89a\0\0\0\0", 10)}) {
        EXPECT_EQ(errorOf([&] { loadRasterPictureFromBytes(head); }), err::InvalidPicture)
            << head.toHex().constData();
    }
}
