#include "support/image_writers.h"

#include "support/huge_pictures.h"

#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <cstdlib>

namespace zelvia::test {

void put16(QByteArray& out, std::uint32_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
}

void put32(QByteArray& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

QByteArray packRows(int width, int height, int bits, bool topDown,
                    const std::function<std::uint32_t(int x, int y)>& value) {
    const int stride = ((width * bits + 31) / 32) * 4;
    QByteArray out;
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        QByteArray line(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, y);
            if (bits < 8) {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                line[x / perByte] =
                    static_cast<char>(static_cast<unsigned char>(line[x / perByte]) | (v << shift));
            } else {
                const int bytes = bits / 8;
                for (int i = 0; i < bytes; ++i) {
                    line[x * bytes + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
                }
            }
        }
        out.append(line);
    }
    return out;
}

QByteArray makeBmp(const BmpLayout& s) {
    QByteArray info;
    if (s.headerSize == 12) {
        put32(info, 12);
        put16(info, static_cast<std::uint32_t>(s.width));
        put16(info, static_cast<std::uint32_t>(s.height));
        put16(info, static_cast<std::uint32_t>(s.planes));
        put16(info, static_cast<std::uint32_t>(s.bitCount));
    } else {
        put32(info, static_cast<std::uint32_t>(s.headerSize));
        put32(info, static_cast<std::uint32_t>(s.width));
        put32(info, static_cast<std::uint32_t>(s.topDown ? -s.height : s.height));
        put16(info, static_cast<std::uint32_t>(s.planes));
        put16(info, static_cast<std::uint32_t>(s.bitCount));
        put32(info, s.compression);
        put32(info, static_cast<std::uint32_t>(s.pixels.size()));
        put32(info, 2835);
        put32(info, 2835);
        put32(info, s.colorsUsed);
        put32(info, 0);
        if (s.headerSize >= 52) {
            for (int i = 0; i < (s.headerSize >= 56 ? 4 : 3); ++i) {
                put32(info, s.masks[static_cast<size_t>(i)]);
            }
        }
        info.resize(s.headerSize, '\0');
    }
    if ((s.compression == 3 || s.compression == 6) && s.headerSize < 52) {
        for (int i = 0; i < (s.compression == 6 ? 4 : 3); ++i) {
            put32(info, s.masks[static_cast<size_t>(i)]);
        }
    }
    for (const QRgb c : s.palette) {
        info.append(static_cast<char>(qBlue(c)));
        info.append(static_cast<char>(qGreen(c)));
        info.append(static_cast<char>(qRed(c)));
        if (s.headerSize != 12) {
            info.append('\0');
        }
    }
    QByteArray out("BM");
    const auto offBits = static_cast<std::uint32_t>(14 + info.size());
    put32(out, offBits + static_cast<std::uint32_t>(s.pixels.size()));
    put32(out, 0);
    put32(out, offBits);
    return out + info + s.pixels;
}

QByteArray makeIconDib(int width, int height, int bits, const std::vector<QRgb>& palette,
                       const std::function<std::uint32_t(int x, int y)>& value,
                       const std::function<bool(int x, int y)>& maskBit) {
    QByteArray out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height * 2));
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bits));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(palette.size()));
    put32(out, 0);
    for (const QRgb c : palette) {
        put32(out, c & 0xFFFFFFu);
    }
    out += packRows(width, height, bits, false, value);
    out += packRows(width, height, 1, false, [&](int x, int y) { return maskBit(x, y) ? 1u : 0u; });
    return out;
}

QByteArray makeIco(const std::vector<IconDirEntry>& images, int type) {
    QByteArray out;
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(type));
    put16(out, static_cast<std::uint32_t>(images.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const IconDirEntry& e : images) {
        out.append(static_cast<char>(e.width & 0xFF));
        out.append(static_cast<char>(e.height & 0xFF));
        out.append('\0');
        out.append('\0');
        put16(out, 1);
        put16(out, static_cast<std::uint32_t>(e.bitCount));
        put32(out, static_cast<std::uint32_t>(e.data.size()));
        put32(out, offset);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const IconDirEntry& e : images) {
        out += e.data;
    }
    return out;
}

QByteArray encodeWith(const QImage& image, const char* format, int quality) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QImage solidImage(int width, int height, QRgb colour, QImage::Format format) {
    QImage image(width, height, format);
    image.fill(QColor::fromRgba(colour));
    return image;
}

QByteArray makeGif(int screenWidth, int screenHeight, int left, int top, int frameWidth,
                   int frameHeight, const std::vector<QRgb>& palette, int transparentIndex,
                   const std::function<int(int x, int y)>& index) {
    // A global table of 4 colours (2-bit codes); LZW output stays uncompressed by sending a
    // clear code before the table could grow, so every code is 3 bits wide.
    QByteArray out("GIF89a");
    put16(out, static_cast<std::uint32_t>(screenWidth));
    put16(out, static_cast<std::uint32_t>(screenHeight));
    out.append(static_cast<char>(0xF1)); // global table, 4 entries
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 4; ++i) {
        const QRgb c = i < static_cast<int>(palette.size()) ? palette[static_cast<size_t>(i)] : 0;
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    if (transparentIndex >= 0) {
        out.append("\x21\xF9\x04\x01\x00\x00", 6);
        out.append(static_cast<char>(transparentIndex));
        out.append('\0');
    }
    out.append(',');
    put16(out, static_cast<std::uint32_t>(left));
    put16(out, static_cast<std::uint32_t>(top));
    put16(out, static_cast<std::uint32_t>(frameWidth));
    put16(out, static_cast<std::uint32_t>(frameHeight));
    out.append('\0');
    out.append('\x02'); // minimum code size

    std::vector<int> codes;
    int sinceClear = 0;
    codes.push_back(4); // clear
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < frameWidth; ++x) {
            if (sinceClear == 2) {
                codes.push_back(4);
                sinceClear = 0;
            }
            codes.push_back(index(x, y));
            ++sinceClear;
        }
    }
    codes.push_back(5); // end
    out.append(gifSubBlocks(codes, 3));
    out.append(';');
    return out;
}

QByteArray gifSubBlocks(const std::vector<int>& codes, int codeBits) {
    return gifSubBlocks(codes, std::vector<int>(codes.size(), codeBits));
}

QByteArray gifSubBlocks(const std::vector<int>& codes, const std::vector<int>& codeBits) {
    QByteArray data;
    std::uint32_t acc = 0;
    int nbits = 0;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        acc |= static_cast<std::uint32_t>(codes[i]) << nbits;
        nbits += codeBits[i];
        while (nbits >= 8) {
            data.append(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            nbits -= 8;
        }
    }
    if (nbits > 0) {
        data.append(static_cast<char>(acc & 0xFF));
    }
    QByteArray out;
    for (qsizetype i = 0; i < data.size(); i += 255) {
        const qsizetype n = std::min<qsizetype>(255, data.size() - i);
        out.append(static_cast<char>(n));
        out.append(data.mid(i, n));
    }
    out.append('\0');
    return out;
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

QByteArray hugeGif() {
    QByteArray gif("GIF89a");
    gif += QByteArray::fromHex("ffffffff800000"); // screen, global table of 2
    gif += QByteArray::fromHex("000000ffffff");   // palette
    gif += QByteArray::fromHex("2c000000000100010000");
    gif += QByteArray::fromHex("02024c0100"); // LZW data
    gif += QByteArray::fromHex("3b");
    return gif;
}

QByteArray hugeProgressiveJpeg() {
    return QByteArray::fromHex("ffd8ffc2001108ffffffff03012200021101031101ffd9");
}

} // namespace zelvia::test
