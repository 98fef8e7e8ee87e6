#include "formats/metafile/dib.h"
#include "formats/metafile/text_codec.h"
#include "support/metafile_writers.h"

#include <gtest/gtest.h>

using namespace zelvia::rt::metafile;
using zelvia::test::put16;
using zelvia::test::put32;

struct CharsetCase {
    int charset;
    QByteArray bytes;
    const char* utf8;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const CharsetCase& c, std::ostream* os) {
    *os << c.charset;
}

class Charsets : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(Charsets, DecodeByTheFontCharacterSet) {
    const auto& c = GetParam();
    EXPECT_EQ(decodeCharsetText(c.bytes, c.charset).text, QString::fromUtf8(c.utf8))
        << "charset " << c.charset;
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, Charsets,
    ::testing::Values(
        CharsetCase{128, QByteArray("A\x93\xFA\x96\x7B\xB1"), "A日本ｱ"},
        CharsetCase{129, QByteArray("\xC7\xD1"), "한"},
        CharsetCase{134, QByteArray("\xD6\xD0"), "中"},
        CharsetCase{136, QByteArray("\xA4\xA4"), "中"}, CharsetCase{161, QByteArray("\xE1"), "α"},
        CharsetCase{162, QByteArray("\xFD"), "ı"}, CharsetCase{177, QByteArray("\xE0"), "א"},
        CharsetCase{178, QByteArray("\xC7"), "ا"}, CharsetCase{186, QByteArray("\xE8"), "č"},
        CharsetCase{204, QByteArray("\xC6"), "Ж"}, CharsetCase{238, QByteArray("\xB3"), "ł"},
        CharsetCase{0, QByteArray("\x80\xE9"), "€é"}, CharsetCase{1, QByteArray("\x93"), "“"}));

TEST(MetafileText, DbcsAdvancesFoldOntoCharacters) {
    // "A" then two double-byte characters: the dx array has one entry per byte.
    const QByteArray bytes("A\x93\xFA\x96\x7B");
    const DecodedText decoded = decodeCharsetText(bytes, 128);
    ASSERT_EQ(decoded.text.size(), 3);
    const auto advances = advancesForUnits(decoded, {10, 20, 5, 30, 7}, bytes.size());
    EXPECT_EQ(advances, (std::vector<double>{10, 25, 37}));
}

TEST(MetafileText, TruncatedLeadByteDoesNotReadPastTheEnd) {
    const DecodedText decoded = decodeCharsetText(QByteArray("\x93"), 128);
    EXPECT_EQ(decoded.text.size(), 1);
    EXPECT_EQ(decoded.byteOfUnit.size(), 1u);
}

namespace {

QByteArray infoHeader(int width, int height, int bpp, int compression = 0, int used = 0) {
    QByteArray h;
    put32(h, 40);
    put32(h, width);
    put32(h, height);
    put16(h, 1);
    put16(h, bpp);
    put32(h, compression);
    put32(h, 0);
    put32(h, 0);
    put32(h, 0);
    put32(h, used);
    put32(h, 0);
    return h;
}

} // namespace

struct DibCase {
    const char* name;
    QByteArray info;
    QByteArray bits;
    QRgb topLeft;
    QRgb bottomRight;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const DibCase& c, std::ostream* os) {
    *os << c.name;
}

class Dibs : public ::testing::TestWithParam<DibCase> {};

TEST_P(Dibs, DecodeTopDown) {
    const auto& c = GetParam();
    const DibImage dib = decodeDib(c.info, c.bits);
    ASSERT_EQ(dib.status, DibStatus::Ok) << c.name;
    ASSERT_EQ(dib.image.size(), QSize(2, 2));
    EXPECT_EQ(dib.image.pixel(0, 0) & 0xFFFFFF, c.topLeft & 0xFFFFFF) << c.name;
    EXPECT_EQ(dib.image.pixel(1, 1) & 0xFFFFFF, c.bottomRight & 0xFFFFFF) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, Dibs,
    ::testing::Values(
        // Bottom-up rows: the first stored row is the bottom one.
        DibCase{"bpp1", infoHeader(2, 2, 1) + QByteArray("\0\0\0\0\xFF\xFF\xFF\0", 8),
                QByteArray("\x40\0\0\0\x80\0\0\0", 8), qRgb(255, 255, 255), qRgb(255, 255, 255)},
        DibCase{"bpp4", infoHeader(2, 2, 4, 0, 2) + QByteArray("\0\0\xFF\0\xFF\0\0\0", 8),
                QByteArray("\x01\0\0\0\x10\0\0\0", 8), qRgb(0, 0, 255), qRgb(0, 0, 255)},
        DibCase{"bpp8", infoHeader(2, 2, 8, 0, 2) + QByteArray("\0\xFF\0\0\x10\x20\x30\0", 8),
                QByteArray("\0\x01\0\0\x01\0\0\0", 8), qRgb(0x30, 0x20, 0x10),
                qRgb(0x30, 0x20, 0x10)},
        DibCase{"bpp16", infoHeader(2, 2, 16), QByteArray("\0\0\x1F\0\0\x7C\0\0", 8),
                qRgb(255, 0, 0), qRgb(0, 0, 255)},
        DibCase{"bpp24", infoHeader(2, 2, 24),
                QByteArray("\xFF\0\0\0\xFF\0\0\0\0\0\xFF\xFF\xFF\xFF\0\0", 16), qRgb(255, 0, 0),
                qRgb(0, 255, 0)},
        DibCase{"bpp32 top-down", infoHeader(2, -2, 32),
                QByteArray("\x01\x02\x03\0\0\0\0\0\0\0\0\0\x04\x05\x06\0", 16), qRgb(3, 2, 1),
                qRgb(6, 5, 4)},
        DibCase{"rle8", infoHeader(2, 2, 8, 1, 2) + QByteArray("\0\0\0\0\xFF\xFF\xFF\0", 8),
                QByteArray("\x02\x01\0\0\x01\x00\x01\x01\0\x01", 10), qRgb(0, 0, 0),
                qRgb(255, 255, 255)}),
    [](const auto& p) {
        std::string n = p.param.name;
        for (char& ch : n) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return n;
    });

TEST(MetafileDib, HostileHeadersAreRefused) {
    // Huge dimensions: refused before any allocation.
    EXPECT_EQ(decodeDib(infoHeader(100000, 100000, 24), QByteArray(16, '\0')).status,
              DibStatus::TooLarge);
    EXPECT_EQ(decodeDib(infoHeader(0, 5, 24), QByteArray(16, '\0')).status, DibStatus::Damaged);
    EXPECT_EQ(decodeDib(infoHeader(2, 2, 7), QByteArray(16, '\0')).status, DibStatus::Unsupported);
    EXPECT_EQ(decodeDib(infoHeader(2, 2, 24).left(20), QByteArray(16, '\0')).status,
              DibStatus::Damaged);
    // Short bits: the rows that are there are decoded, the rest stays black.
    const DibImage partial =
        decodeDib(infoHeader(2, 2, 24), QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF\0\0", 8));
    ASSERT_EQ(partial.status, DibStatus::Ok);
    EXPECT_EQ(partial.image.pixel(0, 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(partial.image.pixel(0, 0) & 0xFFFFFF, 0u);
}

TEST(MetafileDib, PackedDibFindsItsBitsAfterThePalette) {
    QByteArray packed = infoHeader(2, 1, 1) + QByteArray("\0\0\0\0\xFF\xFF\xFF\0", 8);
    packed.append(QByteArray("\x40\0\0\0", 4));
    const DibImage dib = decodePackedDib(packed);
    ASSERT_EQ(dib.status, DibStatus::Ok);
    EXPECT_EQ(dib.image.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(dib.image.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);
}
