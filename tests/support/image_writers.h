#pragma once

// Small writers for the picture formats the tests feed the loader: every header variant the
// loader has to understand, built byte by byte.

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace zelvia::test {

void put16(QByteArray& out, std::uint32_t v);
void put32(QByteArray& out, std::uint32_t v);

// Packs pixel values into DIB rows (padded to 4 bytes, bottom row first unless `topDown`).
// For 1..8 bits the value is a palette index; for 16/24/32 bits the raw little-endian pixel.
QByteArray packRows(int width, int height, int bits, bool topDown,
                    const std::function<std::uint32_t(int x, int y)>& value);

struct BmpLayout {
    int headerSize = 40;
    int width = 1;
    int height = 1;
    bool topDown = false;
    int planes = 1;
    int bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<QRgb> palette{};
    std::array<std::uint32_t, 4> masks{}; // written when compression is 3 or 6
    QByteArray pixels{};
};

// A complete BMP file: file header, info header (any size), masks, palette, pixels.
QByteArray makeBmp(const BmpLayout& layout);

// A DIB as stored in an icon: info header with doubled height, palette, colour rows, then
// the AND mask rows (`maskBit(x, y)` true = transparent).
QByteArray makeIconDib(int width, int height, int bits, const std::vector<QRgb>& palette,
                       const std::function<std::uint32_t(int x, int y)>& value,
                       const std::function<bool(int x, int y)>& maskBit);

// An .ico (or .cur with type 2) file holding `images` (DIBs or PNG streams), with directory
// sizes and depths as given.
struct IconDirEntry {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    QByteArray data;
};
QByteArray makeIco(const std::vector<IconDirEntry>& images, int type = 1);

QByteArray encodeWith(const QImage& image, const char* format, int quality = -1);

// Writes `bytes` to the file at `path`, replacing what it held; false when it cannot.
bool writeFile(const QString& path, const QByteArray& bytes);

// A `width` x `height` image of `format` filled with `colour`, its alpha too where it has one.
QImage solidImage(int width, int height, QRgb colour, QImage::Format format = QImage::Format_RGB32);

// A GIF with one frame of `frameWidth` x `frameHeight` at (`left`, `top`) on a logical screen,
// colour indices from `index`; `transparentIndex` < 0 means none.
QByteArray makeGif(int screenWidth, int screenHeight, int left, int top, int frameWidth,
                   int frameHeight, const std::vector<QRgb>& palette, int transparentIndex,
                   const std::function<int(int x, int y)>& index);

// LZW `codes` of a fixed width packed low bit first into GIF data sub-blocks, with the
// terminating empty block.
QByteArray gifSubBlocks(const std::vector<int>& codes, int codeBits);
// The same with code i `codeBits[i]` bits wide, as an encoder whose table grows writes them.
QByteArray gifSubBlocks(const std::vector<int>& codes, const std::vector<int>& codeBits);

// Colour distance for lossy formats: the largest channel difference.
int channelDistance(QRgb a, QRgb b);

} // namespace zelvia::test
