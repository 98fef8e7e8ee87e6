#include "core/runtime_error.h"
#include "formats/imaging/formats.h"
#include "formats/imaging/gif_lzw.h"
#include "formats/imaging/le_bytes.h"
#include "formats/imaging/raster_base.h"
#include "formats/imaging/work_budget.h"

#include <algorithm>
#include <array>
#include <vector>

namespace zelvia::rt::imaging {

namespace {

// Where the first frame lies and how to read it, found by walking the blocks before it.
struct GifFrame {
    bool present = false; // false: the stream ends before any image with pixels
    QRect rect;           // on the logical screen, not clipped
    bool interlaced = false;
    int minCodeSize = 0;
    QRgb background = 0;   // of the screen outside a first frame that does not cover it
    qint64 dataOffset = 0; // the first data sub-block
    std::array<QRgb, 256> palette{};
};

void readPalette(ChunkReader& in, int entries, std::array<QRgb, 256>& palette) {
    for (int i = 0; i < entries; ++i) {
        std::array<unsigned char, 3> c{};
        if (in.read(c.data(), 3) != 3) {
            return;
        }
        palette[static_cast<size_t>(i)] = qRgb(c[0], c[1], c[2]);
    }
}

void skipSubBlocks(ChunkReader& in, qint64& pos) {
    for (int n = in.next(); n > 0; n = in.next()) {
        in.skip(n);
        pos += 1 + n;
    }
    ++pos;
}

// Long by nature: one branch per block kind.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
GifFrame findFirstFrame(const ByteSource& source, QSize screen) {
    GifFrame frame;
    ChunkReader in(source, 10, source.size(), qint64{1} << 16);
    const int flags = in.next();
    const int backgroundIndex = in.next();
    in.skip(1);
    qint64 pos = 13;
    const bool globalPalette = flags >= 0 && (flags & 0x80) != 0;
    if (globalPalette) {
        readPalette(in, 2 << (flags & 7), frame.palette);
        pos += 3 * (qint64{2} << (flags & 7));
    }
    int transparent = -1;
    for (;;) {
        const int block = in.next();
        ++pos;
        if (block == 0x21) {
            const int label = in.next();
            ++pos;
            if (label == 0xF9) {
                std::array<unsigned char, 5> g{};
                if (in.read(g.data(), 5) == 5 && g[0] >= 4) {
                    transparent = (g[1] & 1u) != 0 ? g[4] : -1;
                    pos += 5;
                    if (g[0] > 4) {
                        in.skip(g[0] - 4);
                        pos += g[0] - 4;
                    }
                } else {
                    return frame;
                }
            }
            skipSubBlocks(in, pos);
            continue;
        }
        if (block != 0x2C) {
            return frame; // trailer, end of data or garbage: no frame
        }
        std::array<unsigned char, 9> d{};
        if (in.read(d.data(), 9) != 9) {
            return frame;
        }
        pos += 9;
        const QByteArrayView v(reinterpret_cast<const char*>(d.data()), 9);
        frame.rect = QRect(le16(v, 0), le16(v, 2), le16(v, 4), le16(v, 6));
        const QRgb globalBackground = globalPalette && backgroundIndex >= 0
                                          ? frame.palette[static_cast<size_t>(backgroundIndex)]
                                          : qRgb(0, 0, 0);
        if (frame.rect.isEmpty()) {
            return frame;
        }
        const unsigned f = d[8];
        frame.interlaced = (f & 0x40u) != 0;
        if ((f & 0x80u) != 0) {
            const int entries = 2 << (f & 7u);
            frame.palette.fill(0);
            readPalette(in, entries, frame.palette);
            pos += 3 * qint64{entries};
        }
        frame.minCodeSize = in.next();
        frame.dataOffset = pos + 1;
        if (transparent >= 0) {
            frame.palette[static_cast<size_t>(transparent)] = 0;
        } else if (!frame.rect.contains(QRect(QPoint(0, 0), screen))) {
            // As other readers do: without transparency, the screen around a smaller first
            // frame shows its background colour (black when there is no global palette).
            frame.background = globalBackground;
        }
        frame.present = true;
        return frame;
    }
}

// Screen row of the n-th row the data holds.
int frameRow(int n, int height, bool interlaced) {
    if (!interlaced) {
        return n;
    }
    static constexpr std::array<int, 4> kStart = {0, 4, 2, 1};
    static constexpr std::array<int, 4> kStep = {8, 8, 4, 2};
    for (size_t pass = 0; pass < 4; ++pass) {
        const int rows = (height - kStart[pass] + kStep[pass] - 1) / kStep[pass];
        if (n < rows) {
            return kStart[pass] + n * kStep[pass];
        }
        n -= std::max(rows, 0);
    }
    return height;
}

// How many rows of the frame's data must be decoded to cover its first `visible` rows: all of
// them up to the last visible one, which in interlaced data may come early.
int rowsToDecode(int visible, int height, bool interlaced) {
    if (visible <= 0) {
        return 0;
    }
    if (!interlaced || visible >= height) {
        return std::min(visible, height);
    }
    int n = height - 1;
    while (n > 0 && frameRow(n, height, true) >= visible) {
        --n;
    }
    return n + 1;
}

class GifPicture final : public RasterPictureBase {
public:
    GifPicture(ByteSourcePtr source, QSize screen, GifFrame frame)
        : RasterPictureBase(PictureKind::Bitmap, screen), source_(std::move(source)),
          frame_(frame) {}

protected:
    [[nodiscard]] QImage decodeFull() const override {
        return decodeRegion(QRect(QPoint(0, 0), pixelSize()), pixelSize());
    }
    [[nodiscard]] QImage decodeFor(QSize needed) const override {
        return decodeRegion(QRect(QPoint(0, 0), pixelSize()), needed);
    }
    [[nodiscard]] QImage decodeRegion(QRect region, QSize needed) const override {
        return reduceRegion(pixelSize(), region, needed, frame_.interlaced,
                            [this](RowSink& sink, int lastRow) { decode(sink, lastRow); });
    }

private:
    // The first frame's rows, each placed on the logical screen; rows and columns past the
    // screen are dropped, and rows past the screen or after `lastRow` are not decoded at all.
    void decode(RowSink& sink, int lastRow) const {
        if (!frame_.present) {
            return; // the empty logical screen
        }
        if (frame_.minCodeSize < 1 || frame_.minCodeSize > 11) {
            throw RuntimeError(err::InvalidPicture, "damaged GIF: bad code size");
        }
        sink.setBackground(frame_.background);
        const int screenW = pixelSize().width();
        const int screenH = pixelSize().height();
        const int fw = frame_.rect.width();
        const int fh = frame_.rect.height();
        const int from = std::min(frame_.rect.left(), screenW);
        const int to = std::min(frame_.rect.left() + fw, screenW);
        const int needed = from < to
                               ? rowsToDecode(std::min(lastRow + 1, screenH) - frame_.rect.top(),
                                              fh, frame_.interlaced)
                               : 0;
        if (needed == 0) {
            return; // the frame lies off the screen: only the background shows
        }
        // LZW can hand out thousands of pixels per code: a small file can demand billions.
        WorkBudget budget(kGifWork, "GIF");
        if (!budget.allows(qint64{needed} * fw)) {
            throw RuntimeError(err::TooLarge, "GIF frame too large to decode");
        }
        std::vector<QRgb> row(static_cast<size_t>(screenW), 0);
        int x = 0;
        int n = 0; // rows completed
        qint64 pixels = 0;
        GifLzw lzw(frame_.minCodeSize, [&](const std::uint8_t* indices, int count) {
            pixels += count;
            for (int i = 0; i < count; ++i) {
                const int sx = frame_.rect.left() + x;
                if (sx < screenW) {
                    row[static_cast<size_t>(sx)] = frame_.palette[indices[i]];
                }
                if (++x == fw) {
                    const int y = frame_.rect.top() + frameRow(n, fh, frame_.interlaced);
                    if (y < screenH) {
                        sink.putRowSpan(y, row.data(), from, to);
                    }
                    x = 0;
                    budget.spend(fw);
                    if (++n == needed) {
                        return false;
                    }
                }
            }
            return true;
        });
        ChunkReader in(*source_, frame_.dataOffset, source_->size(), qint64{1} << 16);
        std::array<std::uint8_t, 255> block{};
        for (int size = in.next(); size > 0; size = in.next()) {
            throwIfStopRequested(); // codes that hand out nothing still take time
            const auto got = static_cast<int>(in.read(block.data(), size));
            if (!lzw.feed(block.data(), got) || got < size) {
                break;
            }
        }
        if (n < needed && x > 0) {
            // A row cut short: what it holds is shown, the rest stays transparent.
            std::fill(row.begin() + std::min(frame_.rect.left() + x, screenW), row.end(), 0);
            const int y = frame_.rect.top() + frameRow(n, fh, frame_.interlaced);
            if (y < screenH) {
                sink.putRowSpan(y, row.data(), from, to);
            }
        }
        if (pixels == 0) {
            throw RuntimeError(err::InvalidPicture, "damaged GIF: no pixel data");
        }
    }

    ByteSourcePtr source_;
    GifFrame frame_;
};

} // namespace

PicturePtr loadGif(const ByteSourcePtr& source, QByteArrayView head) {
    const QSize screen(le16(head, 6), le16(head, 8));
    if (head.size() < 13 || screen.isEmpty()) {
        throw RuntimeError(err::InvalidPicture, "GIF without a logical screen size");
    }
    return std::make_shared<GifPicture>(source, screen, findFirstFrame(*source, screen));
}

} // namespace zelvia::rt::imaging
