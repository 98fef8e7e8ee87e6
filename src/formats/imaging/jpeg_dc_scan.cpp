#include "formats/imaging/jpeg_dc_scan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

// Only the DC coefficients of the first scan are decoded, straight from the entropy-coded
// data: a general decoder keeps the coefficients of every block for the later scans, about
// 72 MB for 24 megapixels, where these take under a megabyte.
namespace zelvia::rt::imaging {

namespace {

constexpr int kMaxComponents = 3;
// libjpeg's own limits: it refuses larger sides and interleaved scans of more blocks per MCU.
constexpr int kMaxSide = 65500;
constexpr int kMaxBlocksInMcu = 10;

struct HuffmanTable {
    bool present = false;
    std::array<int, 17> maxCode{};    // largest code of each length, -1 when none
    std::array<int, 17> valueIndex{}; // index into values of the first code of each length
    std::array<int, 17> minCode{};
    std::vector<std::uint8_t> values;
};

struct Component {
    int id = 0;
    int h = 1;
    int v = 1;
    int quantTable = 0;
    int dcTable = 0;
    int quant = 0;      // DC quantiser, as the component's first scan found it
    int blocksWide = 0; // over whole MCUs
    int blocksHigh = 0;
    int ownWide = 0; // over the component's own samples, as a scan of it alone covers them
    int ownHigh = 0;
    std::vector<std::int16_t> dc; // one coefficient per block
};

struct Frame {
    int width = 0;
    int height = 0;
    int hMax = 1;
    int vMax = 1;
    std::vector<Component> components;
    std::array<int, 4> quantDc{}; // first (DC) entry of each quantisation table
    std::array<bool, 4> quantPresent{};
    std::array<HuffmanTable, 4> dcTables;
    std::array<bool, 4> acPresent{};
    int restartInterval = 0;
    int adobeTransform = -1; // -1: no Adobe segment
    bool jfif = false;
};

// Reads the entropy-coded bits of a scan; a marker other than a stuffed zero ends them.
class BitReader {
public:
    BitReader(const QByteArray& data, qsizetype pos) : data_(data), pos_(pos) {}

    // -1 when the data ends or a marker is reached.
    int bit() {
        if (count_ == 0) {
            if (pos_ >= data_.size() || stopped_) {
                return -1;
            }
            auto byte = static_cast<std::uint8_t>(data_[pos_]);
            if (byte == 0xFF) {
                if (pos_ + 1 >= data_.size() || data_[pos_ + 1] != 0) {
                    stopped_ = true;
                    return -1;
                }
                ++pos_; // stuffed zero
            }
            ++pos_;
            current_ = byte;
            count_ = 8;
        }
        --count_;
        return (current_ >> count_) & 1;
    }

    // A restart marker at the next byte boundary; false when it is missing.
    bool restart() {
        count_ = 0;
        stopped_ = false;
        while (pos_ + 1 < data_.size() && static_cast<std::uint8_t>(data_[pos_]) == 0xFF &&
               static_cast<std::uint8_t>(data_[pos_ + 1]) == 0xFF) {
            ++pos_; // fill bytes
        }
        if (pos_ + 1 >= data_.size() || static_cast<std::uint8_t>(data_[pos_]) != 0xFF) {
            return false;
        }
        const auto marker = static_cast<std::uint8_t>(data_[pos_ + 1]);
        if (marker < 0xD0 || marker > 0xD7) {
            return false;
        }
        pos_ += 2;
        return true;
    }

private:
    const QByteArray& data_;
    qsizetype pos_;
    std::uint8_t current_ = 0;
    int count_ = 0;
    bool stopped_ = false;
};

int byteAt(const QByteArray& data, qsizetype i) {
    return i < data.size() ? static_cast<std::uint8_t>(data[i]) : -1;
}

int be16At(const QByteArray& data, qsizetype i) {
    const int hi = byteAt(data, i);
    const int lo = byteAt(data, i + 1);
    return hi < 0 || lo < 0 ? -1 : (hi << 8) | lo;
}

// Decodes one Huffman symbol; -1 on bad or missing data.
int decodeSymbol(BitReader& bits, const HuffmanTable& table) {
    int code = 0;
    for (int length = 1; length <= 16; ++length) {
        const int b = bits.bit();
        if (b < 0) {
            return -1;
        }
        code = (code << 1) | b;
        if (table.maxCode[static_cast<size_t>(length)] >= code &&
            code >= table.minCode[static_cast<size_t>(length)]) {
            const int index = table.valueIndex[static_cast<size_t>(length)] + code -
                              table.minCode[static_cast<size_t>(length)];
            return table.values[static_cast<size_t>(index)];
        }
    }
    return -1;
}

// The DC difference of `size` bits, sign-extended; false on missing data.
bool receiveExtend(BitReader& bits, int size, int& value) {
    int v = 0;
    for (int i = 0; i < size; ++i) {
        const int b = bits.bit();
        if (b < 0) {
            return false;
        }
        v = (v << 1) | b;
    }
    value = size > 0 && v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
    return true;
}

bool readQuantTables(const QByteArray& data, qsizetype pos, qsizetype end, Frame& frame) {
    while (pos < end) {
        const int pq = byteAt(data, pos) >> 4;
        const int tq = byteAt(data, pos) & 15;
        if (tq > 3 || pq > 1) {
            return false;
        }
        frame.quantDc[static_cast<size_t>(tq)] =
            pq == 0 ? byteAt(data, pos + 1) : be16At(data, pos + 1);
        frame.quantPresent[static_cast<size_t>(tq)] = true;
        pos += 1 + 64 * (pq + 1);
    }
    return pos == end;
}

bool readHuffmanTables(const QByteArray& data, qsizetype pos, qsizetype end, Frame& frame) {
    while (pos + 17 <= end) {
        const int tc = byteAt(data, pos) >> 4;
        const int th = byteAt(data, pos) & 15;
        if (th > 3 || tc > 1) {
            return false;
        }
        std::array<int, 17> counts{};
        int total = 0;
        for (int i = 1; i <= 16; ++i) {
            counts[static_cast<size_t>(i)] = byteAt(data, pos + i);
            total += counts[static_cast<size_t>(i)];
        }
        if (pos + 17 + total > end || total > 256) {
            return false;
        }
        HuffmanTable t;
        t.present = true;
        int code = 0;
        int index = 0;
        for (size_t length = 1; length <= 16; ++length) {
            t.valueIndex[length] = index;
            t.minCode[length] = code;
            code += counts[length];
            index += counts[length];
            t.maxCode[length] = counts[length] > 0 ? code - 1 : -1;
            if (code >= (1 << length)) {
                return false; // more codes than the length allows, or an all-ones code
            }
            code <<= 1;
        }
        for (int i = 0; i < total; ++i) {
            const int value = byteAt(data, pos + 17 + i);
            if (tc == 0 && value > 15) {
                return false;
            }
            t.values.push_back(static_cast<std::uint8_t>(value));
        }
        if (tc == 0) {
            frame.dcTables[static_cast<size_t>(th)] = std::move(t);
        } else {
            frame.acPresent[static_cast<size_t>(th)] = true;
        }
        pos += 17 + total;
    }
    return pos == end;
}

bool readFrame(const QByteArray& data, qsizetype pos, qsizetype end, Frame& frame) {
    if (byteAt(data, pos) != 8 || end - pos < 6) {
        return false;
    }
    frame.height = be16At(data, pos + 1);
    frame.width = be16At(data, pos + 3);
    const int count = byteAt(data, pos + 5);
    if (frame.width <= 0 || frame.height <= 0 || frame.width > kMaxSide ||
        frame.height > kMaxSide || (count != 1 && count != kMaxComponents) ||
        end - pos < 6 + 3 * qsizetype{count}) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const qsizetype at = pos + 6 + 3 * qsizetype{i};
        Component c;
        c.id = byteAt(data, at);
        c.h = byteAt(data, at + 1) >> 4;
        c.v = byteAt(data, at + 1) & 15;
        c.quantTable = byteAt(data, at + 2);
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quantTable > 3) {
            return false;
        }
        frame.components.push_back(c);
        frame.hMax = std::max(frame.hMax, c.h);
        frame.vMax = std::max(frame.vMax, c.v);
    }
    // Colour sampled at a ratio other than a whole one is not upsampled by libjpeg.
    const auto mcusWide = (frame.width + 8 * frame.hMax - 1) / (8 * frame.hMax);
    const auto mcusHigh = (frame.height + 8 * frame.vMax - 1) / (8 * frame.vMax);
    for (Component& c : frame.components) {
        if (frame.hMax % c.h != 0 || frame.vMax % c.v != 0) {
            return false;
        }
        const bool alone = count == 1;
        c.blocksWide = alone ? (frame.width + 7) / 8 : mcusWide * c.h;
        c.blocksHigh = alone ? (frame.height + 7) / 8 : mcusHigh * c.v;
        c.ownWide = ((frame.width * c.h + frame.hMax - 1) / frame.hMax + 7) / 8;
        c.ownHigh = ((frame.height * c.v + frame.vMax - 1) / frame.vMax + 7) / 8;
        c.dc.assign(static_cast<size_t>(c.blocksWide) * static_cast<size_t>(c.blocksHigh), 0);
    }
    return true;
}

// The components a scan header at `pos` names, as indices into the frame's; empty when it
// names an unknown one twice over, or interleaves more blocks per MCU than libjpeg takes.
std::vector<size_t> scanComponents(const QByteArray& data, qsizetype pos, const Frame& frame) {
    const int count = byteAt(data, pos);
    std::vector<size_t> found;
    int blocks = 0;
    for (int i = 0; i < count; ++i) {
        const int id = byteAt(data, pos + 1 + 2 * qsizetype{i});
        const auto c = std::find_if(frame.components.begin(), frame.components.end(),
                                    [&](const Component& k) { return k.id == id; });
        const auto index = static_cast<size_t>(c - frame.components.begin());
        if (c == frame.components.end() ||
            std::find(found.begin(), found.end(), index) != found.end()) {
            return {};
        }
        found.push_back(index);
        blocks += c->h * c->v;
    }
    return count > 1 && blocks > kMaxBlocksInMcu ? std::vector<size_t>{} : found;
}

// One block of a DC scan into `coefficient`: its first value, from `prediction` and the
// Huffman-coded difference, or (`ah` not 0) its refinement bit `al`.
bool decodeBlock(BitReader& bits, const HuffmanTable& table, std::uint32_t& prediction, int ah,
                 int al, std::int16_t& coefficient) {
    if (ah != 0) {
        const int bit = bits.bit();
        coefficient = static_cast<std::int16_t>(coefficient | (std::max(bit, 0) << al));
        return bit >= 0;
    }
    const int size = decodeSymbol(bits, table);
    int diff = 0;
    if (size < 0 || size > 11 || !receiveExtend(bits, size, diff)) {
        return false;
    }
    // Wrapping as the 16-bit coefficients of the full decoder do.
    prediction += static_cast<std::uint32_t>(diff);
    coefficient = static_cast<std::int16_t>(prediction << static_cast<unsigned>(al));
    return true;
}

// Decodes the entropy-coded data of a DC scan from `pos` into the coefficients of `scan`'s
// components: a first scan (`ah` 0) sets them from Huffman-coded differences, a refinement
// adds bit `al` to each. Whole MCUs in turn when the scan interleaves components, otherwise
// the component's own blocks row by row.
bool decodeDcScan(const QByteArray& data, qsizetype pos, Frame& frame,
                  const std::vector<size_t>& scan, int ah, int al) {
    const bool interleaved = scan.size() > 1;
    const Component& first = frame.components[scan[0]];
    const int mcusWide =
        interleaved ? (frame.width + 8 * frame.hMax - 1) / (8 * frame.hMax) : first.ownWide;
    const int mcusHigh =
        interleaved ? (frame.height + 8 * frame.vMax - 1) / (8 * frame.vMax) : first.ownHigh;
    BitReader bits(data, pos);
    std::array<std::uint32_t, kMaxComponents> predictions{};
    int untilRestart = frame.restartInterval;
    for (int my = 0; my < mcusHigh; ++my) {
        for (int mx = 0; mx < mcusWide; ++mx) {
            if (frame.restartInterval > 0 && untilRestart == 0) {
                if (!bits.restart()) {
                    return false;
                }
                predictions.fill(0);
                untilRestart = frame.restartInterval;
            }
            --untilRestart;
            for (size_t k = 0; k < scan.size(); ++k) {
                Component& c = frame.components[scan[k]];
                const int bh = interleaved ? c.h : 1;
                const int bv = interleaved ? c.v : 1;
                const HuffmanTable& table = frame.dcTables[static_cast<size_t>(c.dcTable)];
                for (int b = 0; b < bh * bv; ++b) {
                    const int x = mx * bh + b % bh;
                    const int y = my * bv + b / bh;
                    const auto at = static_cast<size_t>(y) * static_cast<size_t>(c.blocksWide) +
                                    static_cast<size_t>(x);
                    if (!decodeBlock(bits, table, predictions[k], ah, al, c.dc[at])) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

// Reads the first scan's header at `pos`: false unless it is a first DC scan of every
// component with its tables defined.
bool readDcScanHeader(const QByteArray& data, qsizetype pos, qsizetype end, Frame& frame, int& al) {
    const int count = byteAt(data, pos);
    const std::vector<size_t> scan = scanComponents(data, pos, frame);
    if (count != static_cast<int>(frame.components.size()) ||
        scan.size() != frame.components.size() || end - pos != 4 + 2 * qsizetype{count}) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        Component& c = frame.components[scan[static_cast<size_t>(i)]];
        c.dcTable = byteAt(data, pos + 2 + 2 * qsizetype{i}) >> 4;
        if (c.dcTable > 3 || !frame.dcTables[static_cast<size_t>(c.dcTable)].present ||
            !frame.quantPresent[static_cast<size_t>(c.quantTable)]) {
            return false;
        }
        c.quant = frame.quantDc[static_cast<size_t>(c.quantTable)];
    }
    const qsizetype s = pos + 1 + 2 * qsizetype{count};
    const int ss = byteAt(data, s);
    const int se = byteAt(data, s + 1);
    const int ah = byteAt(data, s + 2) >> 4;
    al = byteAt(data, s + 2) & 15;
    return ss == 0 && se == 0 && ah == 0 && al <= 13;
}

// Where the entropy-coded data starting at `pos` ends: at the first marker that is neither a
// stuffed zero nor a restart.
qsizetype endOfScanData(const QByteArray& data, qsizetype pos) {
    for (; pos + 1 < data.size(); ++pos) {
        if (static_cast<std::uint8_t>(data[pos]) != 0xFF) {
            continue;
        }
        const auto next = static_cast<std::uint8_t>(data[pos + 1]);
        if (next != 0 && next != 0xFF && (next < 0xD0 || next > 0xD7)) {
            return pos;
        }
    }
    return data.size();
}

// A later scan header the full decoder would refuse; the first scan alone must not hide it.
bool laterScanSound(const QByteArray& data, qsizetype pos, qsizetype end, const Frame& frame) {
    const int count = byteAt(data, pos);
    if (count < 1 || static_cast<size_t>(count) != scanComponents(data, pos, frame).size() ||
        end - pos != 4 + 2 * qsizetype{count}) {
        return false;
    }
    const qsizetype s = pos + 1 + 2 * qsizetype{count};
    const int ss = byteAt(data, s);
    const int se = byteAt(data, s + 1);
    const int ah = byteAt(data, s + 2) >> 4;
    const int al = byteAt(data, s + 2) & 15;
    const bool dc = ss == 0;
    if ((dc && se != 0) || (!dc && (ss > se || se > 63 || count != 1)) ||
        (ah != 0 && al != ah - 1) || al > 13) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const int id = byteAt(data, pos + 1 + 2 * qsizetype{i});
        const int tables = byteAt(data, pos + 2 + 2 * qsizetype{i});
        const bool known = std::any_of(frame.components.begin(), frame.components.end(),
                                       [&](const Component& c) { return c.id == id; });
        const bool tableDefined =
            dc ? (ah != 0 ||
                  ((tables >> 4) < 4 && frame.dcTables[static_cast<size_t>(tables >> 4)].present))
               : ((tables & 15) < 4 && frame.acPresent[static_cast<size_t>(tables & 15)]);
        if (!known || !tableDefined) {
            return false;
        }
    }
    return true;
}

// After the first scan (its data from `pos`): the file goes on to its end marker, and the
// headers of the later scans and tables are as sound as the full decoder needs them. The DC
// refinement scans on the way add their bits; later tables and restart intervals go into
// `frame`.
bool readRest(const QByteArray& data, qsizetype pos, Frame& frame) {
    for (;;) {
        pos = endOfScanData(data, pos);
        while (byteAt(data, pos) == 0xFF && byteAt(data, pos + 1) == 0xFF) {
            ++pos;
        }
        const int marker = byteAt(data, pos + 1);
        if (marker == 0xD9) {
            return true;
        }
        const int length = be16At(data, pos + 2);
        // Cut short: the full decoder shows what the later scans got to, so it draws this.
        if (marker < 0 || length < 2 || pos + 2 + length > data.size()) {
            return false;
        }
        const qsizetype body = pos + 4;
        const qsizetype end = pos + 2 + length;
        bool ok = true;
        if (marker == 0xC4) {
            ok = readHuffmanTables(data, body, end, frame);
        } else if (marker == 0xDB) {
            ok = readQuantTables(data, body, end, frame);
        } else if (marker == 0xDD) {
            frame.restartInterval = be16At(data, body);
        } else if (marker == 0xDA) {
            const qsizetype s = body + 1 + 2 * qsizetype{byteAt(data, body)};
            const int ah = byteAt(data, s + 2) >> 4;
            // A second first DC scan is left to the full decoder.
            ok = laterScanSound(data, body, end, frame) &&
                 (byteAt(data, s) != 0 ||
                  (ah != 0 && decodeDcScan(data, end, frame, scanComponents(data, body, frame), ah,
                                           byteAt(data, s + 2) & 15)));
        } else if ((marker >= 0xC0 && marker <= 0xCF) || marker == 0xDC || marker < 0xC0) {
            ok = false; // another frame, a line count or something unknown: not for this path
        }
        if (!ok) {
            return false;
        }
        pos = end;
    }
}

// The block's average sample, as an inverse DCT of its DC coefficient alone gives it.
int sampleOf(std::int32_t dequantisedDc) {
    return std::clamp(((dequantisedDc + 4) >> 3) + 128, 0, 255);
}

// libjpeg at 1/8 decodes a component sampled at half the rate or less in both directions at
// 2 x 2 or more, from its first AC coefficients as well; that detail is approximated here by
// interpolating between block centres. Every other subsampled component it repeats, since it
// does no smooth upsampling at this scale.
bool interpolated(const Frame& frame, const Component& c) {
    return frame.hMax % (2 * c.h) == 0 && frame.vMax % (2 * c.v) == 0;
}

QImage render(const Frame& frame, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    const int hMax = frame.hMax;
    const int vMax = frame.vMax;
    const bool grey = frame.components.size() == 1;
    // As libjpeg decides: a JFIF marker means YCbCr, else Adobe's transform flag 0 or, with
    // no marker at all, components named R, G, B mean no colour transform.
    const bool rgb = !grey && !frame.jfif &&
                     (frame.adobeTransform == 0 ||
                      (frame.adobeTransform < 0 && frame.components[0].id == 'R' &&
                       frame.components[1].id == 'G' && frame.components[2].id == 'B'));
    const auto sample = [](const Component& c, int bx, int by) {
        return sampleOf(c.quant * c.dc[static_cast<size_t>(by) * static_cast<size_t>(c.blocksWide) +
                                       static_cast<size_t>(bx)]);
    };
    // A component's sample at output pixel (x, y).
    const auto at = [&](const Component& c, int x, int y) -> double {
        if (grey || (c.h == hMax && c.v == vMax)) {
            return sample(c, std::min(x, c.blocksWide - 1), std::min(y, c.blocksHigh - 1));
        }
        if (!interpolated(frame, c)) {
            return sample(c, std::min(x * c.h / hMax, c.blocksWide - 1),
                          std::min(y * c.v / vMax, c.blocksHigh - 1));
        }
        const int wide = std::min(c.blocksWide, c.ownWide);
        const int high = std::min(c.blocksHigh, c.ownHigh);
        const double fx = (x + 0.5) * c.h / hMax - 0.5;
        const double fy = (y + 0.5) * c.v / vMax - 0.5;
        const int x0 = static_cast<int>(std::floor(fx));
        const int y0 = static_cast<int>(std::floor(fy));
        const double tx = fx - x0;
        const double ty = fy - y0;
        const auto clampX = [&](int v) { return std::clamp(v, 0, wide - 1); };
        const auto clampY = [&](int v) { return std::clamp(v, 0, high - 1); };
        const double top = (1 - tx) * sample(c, clampX(x0), clampY(y0)) +
                           tx * sample(c, clampX(x0 + 1), clampY(y0));
        const double bottom = (1 - tx) * sample(c, clampX(x0), clampY(y0 + 1)) +
                              tx * sample(c, clampX(x0 + 1), clampY(y0 + 1));
        return (1 - ty) * top + ty * bottom;
    };
    const auto clamp = [](double v) {
        return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
    };
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double a = at(frame.components[0], x, y);
            if (grey) {
                row[x] = qRgb(clamp(a), clamp(a), clamp(a));
                continue;
            }
            const double b = at(frame.components[1], x, y);
            const double c = at(frame.components[2], x, y);
            if (rgb) {
                row[x] = qRgb(clamp(a), clamp(b), clamp(c));
                continue;
            }
            const double cb = b - 128.0;
            const double cr = c - 128.0;
            row[x] = qRgb(clamp(a + 1.402 * cr), clamp(a - 0.344136 * cb - 0.714136 * cr),
                          clamp(a + 1.772 * cb));
        }
    }
    return image;
}

} // namespace

std::optional<QImage> decodeFirstDcScan(const QByteArray& data, QSize needed,
                                        bool approximateColour) {
    Frame frame;
    bool progressive = false;
    qsizetype pos = 2;
    if (byteAt(data, 0) != 0xFF || byteAt(data, 1) != 0xD8) {
        return std::nullopt;
    }
    for (;;) {
        while (byteAt(data, pos) == 0xFF && byteAt(data, pos + 1) == 0xFF) {
            ++pos; // fill bytes
        }
        if (byteAt(data, pos) != 0xFF) {
            return std::nullopt;
        }
        const int marker = byteAt(data, pos + 1);
        const int length = be16At(data, pos + 2);
        if (marker < 0 || length < 2 || pos + 2 + length > data.size()) {
            return std::nullopt;
        }
        const qsizetype body = pos + 4;
        const qsizetype end = pos + 2 + length;
        bool ok = true;
        switch (marker) {
        case 0xC2: // progressive, Huffman coded
            progressive = frame.components.empty() && readFrame(data, body, end, frame);
            ok = progressive;
            break;
        case 0xDB:
            ok = readQuantTables(data, body, end, frame);
            break;
        case 0xC4:
            ok = readHuffmanTables(data, body, end, frame);
            break;
        case 0xDD:
            frame.restartInterval = be16At(data, body);
            break;
        case 0xE0:
            // libjpeg counts the marker only with its 14 bytes of header.
            frame.jfif = frame.jfif || (length >= 16 && data.mid(body, 5) == QByteArray("JFIF", 5));
            break;
        case 0xEE:
            if (length >= 14 && data.mid(body, 5) == "Adobe") {
                frame.adobeTransform = byteAt(data, body + 11);
            }
            break;
        case 0xDA: {
            if (!progressive) {
                return std::nullopt;
            }
            const QSize size((frame.width + 7) / 8, (frame.height + 7) / 8);
            int al = 0;
            const bool approximate =
                std::any_of(frame.components.begin(), frame.components.end(),
                            [&](const Component& c) { return interpolated(frame, c); });
            if (needed.width() > size.width() || needed.height() > size.height() ||
                (approximate && !approximateColour) ||
                !readDcScanHeader(data, body, end, frame, al) ||
                !decodeDcScan(data, end, frame, scanComponents(data, body, frame), 0, al) ||
                !readRest(data, end, frame)) {
                return std::nullopt;
            }
            QImage image = render(frame, size);
            if (image.isNull()) {
                return std::nullopt;
            }
            return image;
        }
        default:
            // Any other frame kind (baseline, arithmetic, lossless) is not for this path.
            ok = !(marker >= 0xC0 && marker <= 0xCF) && marker != 0xD9;
            break;
        }
        if (!ok) {
            return std::nullopt;
        }
        pos = end;
    }
}

} // namespace zelvia::rt::imaging
