#include "formats/imaging/dib_decoder.h"

#include "formats/imaging/work_budget.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace zelvia::rt::imaging {

namespace {

// Extracts one channel through its mask and widens it to 8 bits.
class Channel {
public:
    Channel(std::uint32_t mask, int absent) : mask_(mask), absent_(absent) {
        if (mask != 0) {
            shift_ = std::countr_zero(mask);
            bits_ = 32 - std::countl_zero(mask) - shift_;
            max_ = (std::uint64_t{1} << bits_) - 1;
        }
    }

    [[nodiscard]] int operator()(std::uint32_t pixel) const {
        if (mask_ == 0) {
            return absent_;
        }
        const std::uint64_t v = (pixel & mask_) >> shift_;
        if (bits_ >= 8) {
            return static_cast<int>(v >> (bits_ - 8));
        }
        return static_cast<int>((v * 255 + max_ / 2) / max_);
    }

private:
    std::uint32_t mask_;
    int absent_;
    int shift_ = 0;
    int bits_ = 0;
    std::uint64_t max_ = 1;
};

class MaskedPixel {
public:
    explicit MaskedPixel(const std::array<std::uint32_t, 4>& m)
        : r_(m[0], 0), g_(m[1], 0), b_(m[2], 0), a_(m[3], 255) {}
    [[nodiscard]] QRgb operator()(std::uint32_t p) const {
        return qRgba(r_(p), g_(p), b_(p), a_(p));
    }

private:
    Channel r_, g_, b_, a_;
};

// Palette padded to 256 entries so that any index maps to a colour (black past the end).
std::array<QRgb, 256> paletteTable(const DibInfo& info) {
    std::array<QRgb, 256> lut{};
    lut.fill(qRgb(0, 0, 0));
    std::copy_n(info.palette.begin(), std::min<size_t>(info.palette.size(), 256), lut.begin());
    return lut;
}

int imageRow(const DibInfo& info, qint64 fileRow) {
    return info.topDown ? static_cast<int>(fileRow) : info.height - 1 - static_cast<int>(fileRow);
}

qint64 decodeUncompressed(const ByteSource& source, const DibInfo& info, RowSink& sink) {
    const qint64 stride = info.stride();
    const qint64 dataEnd = std::min(source.size(), info.pixelOffset + stride * info.height);
    ChunkReader reader(source, info.pixelOffset, dataEnd, std::max<qint64>(stride, 1 << 20));
    std::vector<unsigned char> bytes(static_cast<size_t>(stride));
    std::vector<QRgb> row(static_cast<size_t>(info.width));
    const auto lut = paletteTable(info);
    const MaskedPixel masked(info.masks);
    const int w = info.width;
    const int bits = info.bitCount;
    const bool plain32 = bits == 32 && info.masks[0] == 0x00FF0000u &&
                         info.masks[1] == 0x0000FF00u && info.masks[2] == 0x000000FFu &&
                         (info.masks[3] == 0 || info.masks[3] == 0xFF000000u);

    // 16-bit pixels go through a table: 64 K entries beat four mask extractions per pixel.
    std::vector<QRgb> table16;
    if (bits == 16) {
        table16.resize(65536);
        for (std::uint32_t v = 0; v < 65536; ++v) {
            table16[v] = masked(v);
        }
    }

    qint64 available = 0;
    for (qint64 fileRow = 0; fileRow < info.height; ++fileRow) {
        throwIfStopRequested();
        const qint64 got = reader.read(bytes.data(), stride);
        available += got;
        if (got < stride) {
            // A partial last row: keep the whole pixels it has, the rest transparent.
            std::fill(bytes.begin() + got, bytes.end(), 0);
        }
        if (got == 0) {
            break;
        }
        const unsigned char* b = bytes.data();
        QRgb* out = row.data();
        const qint64 wholePixels = got * 8 / bits;
        switch (bits) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const int perByte = 8 / bits;
            const unsigned mask = (1u << bits) - 1;
            for (int x = 0; x < w; ++x) {
                const unsigned byte = b[x / perByte];
                const int shift = 8 - bits * (x % perByte + 1);
                out[x] = lut[(byte >> shift) & mask];
            }
            break;
        }
        case 16:
            for (qsizetype x = 0; x < w; ++x) {
                out[x] = table16[static_cast<size_t>(b[2 * x] | (b[2 * x + 1] << 8))];
            }
            break;
        case 24:
            for (qsizetype x = 0; x < w; ++x) {
                out[x] = qRgb(b[3 * x + 2], b[3 * x + 1], b[3 * x]);
            }
            break;
        default:
            for (qsizetype x = 0; x < w; ++x) {
                const std::uint32_t p = static_cast<std::uint32_t>(b[4 * x]) |
                                        (static_cast<std::uint32_t>(b[4 * x + 1]) << 8) |
                                        (static_cast<std::uint32_t>(b[4 * x + 2]) << 16) |
                                        (static_cast<std::uint32_t>(b[4 * x + 3]) << 24);
                out[x] = plain32 ? (info.masks[3] != 0 ? p : (p | 0xFF000000u)) : masked(p);
            }
            break;
        }
        if (got < stride) {
            std::fill(row.begin() + std::min<qint64>(wholePixels, w), row.end(), 0u);
        }
        sink.putRow(imageRow(info, fileRow), row.data());
        if (got < stride) {
            break;
        }
    }
    sink.finish();
    return available;
}

// RLE4, RLE8 and OS/2 RLE24. Pixels a delta or an early end skip stay transparent; runs
// that overflow a row are clipped.
// Long by nature: one state machine for the three run-length codings.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
qint64 decodeRle(const ByteSource& source, const DibInfo& info, RowSink& sink) {
    ChunkReader reader(source, info.pixelOffset, source.size());
    const auto lut = paletteTable(info);
    const int w = info.width;
    std::vector<QRgb> row(static_cast<size_t>(w), 0u);
    bool dirty = false;
    qint64 fileRow = 0;
    int x = 0;
    qint64 consumed = 0;
    // The stretch of the row written so far: a few bytes can end a row of a million
    // pixels, so only what was written is passed on and cleared.
    int from = w;
    int to = 0;

    const auto flushRow = [&] {
        if (dirty && fileRow < info.height) {
            sink.putRowSpan(imageRow(info, fileRow), row.data(), from, to);
        }
        if (dirty) {
            std::fill(row.begin() + from, row.begin() + to, 0u);
        }
        dirty = false;
        from = w;
        to = 0;
    };
    const auto put = [&](QRgb c) {
        if (x < w) {
            row[static_cast<size_t>(x)] = c;
            dirty = true;
            from = std::min(from, x);
            to = std::max(to, x + 1);
        }
        ++x;
    };
    const auto nextByte = [&]() {
        const int v = reader.next();
        consumed += v >= 0 ? 1 : 0;
        return v;
    };
    // Each run costs a step, and each pixel it writes; a few bytes can demand millions. A run
    // past the row's end is clipped without a loop.
    WorkBudget budget(kRleWork, "run-length bitmap");
    const auto putRun = [&](int count, const auto& colour) {
        const int n = std::clamp(w - x, 0, count);
        budget.spend(n);
        for (int i = 0; i < n; ++i) {
            put(colour(i));
        }
        x += count - n;
    };
    const auto readRgb = [&]() -> int {
        const int b = nextByte();
        const int g = nextByte();
        const int r = nextByte();
        if (r < 0) {
            return -1;
        }
        put(qRgb(r, g, b));
        return 0;
    };

    while (fileRow < info.height) {
        const int count = nextByte();
        const int value = nextByte();
        if (value < 0) {
            break;
        }
        budget.spend(1);
        if (count > 0) {
            if (info.coding == DibCoding::Rle24) {
                const int g = nextByte();
                const int r = nextByte();
                if (r < 0) {
                    break;
                }
                putRun(count, [c = qRgb(r, g, value)](int) { return c; });
            } else if (info.coding == DibCoding::Rle8) {
                putRun(count, [c = lut[static_cast<size_t>(value)]](int) { return c; });
            } else {
                putRun(count, [&](int i) {
                    return lut[static_cast<size_t>(i % 2 == 0 ? value >> 4 : value & 0x0F)];
                });
            }
            x = std::min(x, w + 1);
            continue;
        }
        if (value == 0) { // end of line
            flushRow();
            ++fileRow;
            x = 0;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            const int dx = nextByte();
            const int dy = nextByte();
            if (dy < 0) {
                break;
            }
            if (dy > 0) {
                flushRow();
                fileRow += dy;
            }
            x += dx;
        } else { // absolute run of `value` pixels, padded to a 16-bit boundary
            budget.spend(value);
            bool ended = false;
            if (info.coding == DibCoding::Rle24) {
                for (int i = 0; i < value && !ended; ++i) {
                    ended = readRgb() < 0;
                }
                if (!ended && (value * 3) % 2 != 0) {
                    nextByte();
                }
            } else if (info.coding == DibCoding::Rle8) {
                for (int i = 0; i < value && !ended; ++i) {
                    const int v = nextByte();
                    ended = v < 0;
                    if (!ended) {
                        put(lut[static_cast<size_t>(v)]);
                    }
                }
                if (!ended && value % 2 != 0) {
                    nextByte();
                }
            } else {
                const int byteCount = (value + 1) / 2;
                int left = value;
                for (int i = 0; i < byteCount && !ended; ++i) {
                    const int v = nextByte();
                    ended = v < 0;
                    if (!ended) {
                        put(lut[static_cast<size_t>(v >> 4)]);
                        if (--left > 0) {
                            put(lut[static_cast<size_t>(v & 0x0F)]);
                            --left;
                        }
                    }
                }
                if (!ended && byteCount % 2 != 0) {
                    nextByte();
                }
            }
            if (ended) {
                break;
            }
        }
        x = std::min(x, w + 1); // keeps the clipped cursor from growing without bound
    }
    flushRow();
    sink.finish();
    return consumed;
}

} // namespace

qint64 decodeDibPixels(const ByteSource& source, const DibInfo& info, RowSink& sink) {
    switch (info.coding) {
    case DibCoding::Rle8:
    case DibCoding::Rle4:
    case DibCoding::Rle24:
        return decodeRle(source, info, sink);
    case DibCoding::Rgb:
    case DibCoding::Bitfields:
        return decodeUncompressed(source, info, sink);
    case DibCoding::Jpeg:
    case DibCoding::Png:
        break; // whole pictures, decoded by their own readers
    }
    sink.finish();
    return 0;
}

} // namespace zelvia::rt::imaging
