#include "formats/imaging/row_sink.h"

#include "core/picture.h"
#include "core/runtime_error.h"

#include <algorithm>
#include <array>

namespace zelvia::rt::imaging {

QImage allocateImage(int width, int height) {
    if (qint64{width} * height * 4 > kMaxDecodedBytes) {
        throw RuntimeError(err::TooLarge);
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        throw RuntimeError(err::TooLarge);
    }
    image.fill(Qt::transparent);
    return image;
}

FullImageSink::FullImageSink(int width, int height) : image_(allocateImage(width, height)) {}

void FullImageSink::putRow(int y, const QRgb* row) {
    putRowSpan(y, row, 0, image_.width());
}

// The image starts transparent, so a sparse row only costs the stretch it holds.
void FullImageSink::putRowSpan(int y, const QRgb* row, int from, int to) {
    if (y < 0 || y >= image_.height()) {
        return;
    }
    auto* out = reinterpret_cast<QRgb*>(image_.scanLine(y));
    const int end = std::min(to, image_.width());
    for (int x = std::max(from, 0); x < end; ++x) {
        const QRgb p = row[x];
        out[x] = qAlpha(p) == 255 ? p : qPremultiply(p);
    }
}

namespace {

// Destination column of each source column, and how many source columns each one gathers.
void mapColumns(int sourceWidth, int width, std::vector<int>& column,
                std::vector<std::uint32_t>& count) {
    for (int x = 0; x < sourceWidth; ++x) {
        const auto d = static_cast<int>(qint64{x} * width / sourceWidth);
        column[static_cast<size_t>(x)] = d;
        ++count[static_cast<size_t>(d)];
    }
}

void addPixel(std::uint64_t* s, QRgb p) {
    const auto a = static_cast<unsigned>(qAlpha(p));
    if (a == 255) {
        s[0] += 255;
        s[1] += static_cast<unsigned>(qRed(p));
        s[2] += static_cast<unsigned>(qGreen(p));
        s[3] += static_cast<unsigned>(qBlue(p));
    } else if (a != 0) {
        s[0] += a;
        s[1] += (static_cast<unsigned>(qRed(p)) * a + 127) / 255;
        s[2] += (static_cast<unsigned>(qGreen(p)) * a + 127) / 255;
        s[3] += (static_cast<unsigned>(qBlue(p)) * a + 127) / 255;
    }
}

// The average of `n` source pixels, of which `received` arrived with sums `s` and the rest
// take the background colour.
QRgb average(const std::uint64_t* s, std::uint64_t received, std::uint64_t n, QRgb background) {
    std::array<std::uint64_t, 4> t = {s[0], s[1], s[2], s[3]};
    if (qAlpha(background) != 0 && received < n) {
        const QRgb b = qPremultiply(background);
        const std::uint64_t missing = n - received;
        t[0] += missing * static_cast<unsigned>(qAlpha(b));
        t[1] += missing * static_cast<unsigned>(qRed(b));
        t[2] += missing * static_cast<unsigned>(qGreen(b));
        t[3] += missing * static_cast<unsigned>(qBlue(b));
    }
    s = t.data();
    const auto avg = [&](int i) { return static_cast<int>((s[i] + n / 2) / n); };
    return qRgba(avg(1), avg(2), avg(3), avg(0));
}

// Index of the first source line that maps to destination line `d`.
qint64 firstSource(qint64 d, qint64 sourceSize, qint64 size) {
    return (d * sourceSize + size - 1) / size;
}

} // namespace

BoxReduceSink::BoxReduceSink(int sourceWidth, int sourceHeight, int width, int height)
    : sourceWidth_(sourceWidth), sourceHeight_(sourceHeight), image_(allocateImage(width, height)),
      column_(static_cast<size_t>(sourceWidth)), columnCount_(static_cast<size_t>(width)),
      sums_(static_cast<size_t>(width) * 4), received_(static_cast<size_t>(width)),
      done_(static_cast<size_t>(height)) {
    mapColumns(sourceWidth, width, column_, columnCount_);
}

void BoxReduceSink::putRow(int y, const QRgb* row) {
    putRowSpan(y, row, 0, sourceWidth_);
}

void BoxReduceSink::putRowSpan(int y, const QRgb* row, int from, int to) {
    from = std::max(from, 0);
    to = std::min(to, sourceWidth_);
    if (y < 0 || y >= sourceHeight_) {
        return;
    }
    const auto d = static_cast<int>(qint64{y} * image_.height() / sourceHeight_);
    if (d != currentRow_) {
        flush();
        currentRow_ = d;
    }
    std::uint64_t* sums = sums_.data();
    for (int x = from; x < to; ++x) {
        const auto c = static_cast<size_t>(column_[static_cast<size_t>(x)]);
        addPixel(sums + 4 * c, row[x]);
        ++received_[c];
    }
}

void BoxReduceSink::fillRows(int from, int to, int width, QRgb colour) {
    if (width != sourceWidth_) {
        RowSink::fillRows(from, to, width, colour);
        return;
    }
    // Whole rows of one colour: each destination column gathers its count of them at once.
    std::array<std::uint64_t, 4> one{};
    addPixel(one.data(), colour);
    for (int y = std::max(from, 0); y < std::min(to, sourceHeight_); ++y) {
        const auto d = static_cast<int>(qint64{y} * image_.height() / sourceHeight_);
        if (d != currentRow_) {
            flush();
            currentRow_ = d;
        }
        for (size_t c = 0; c < columnCount_.size(); ++c) {
            std::uint64_t* s = &sums_[c * 4];
            for (size_t i = 0; i < 4; ++i) {
                s[i] += one[i] * columnCount_[c];
            }
            received_[c] += columnCount_[c];
        }
    }
}

void BoxReduceSink::flush() {
    if (currentRow_ < 0) {
        return;
    }
    // Rows that never arrived count as transparent, so divide by the full coverage.
    const qint64 rows = firstSource(currentRow_ + 1, sourceHeight_, image_.height()) -
                        firstSource(currentRow_, sourceHeight_, image_.height());
    auto* out = reinterpret_cast<QRgb*>(image_.scanLine(currentRow_));
    for (int x = 0; x < image_.width(); ++x) {
        const auto n = static_cast<std::uint64_t>(rows) * columnCount_[static_cast<size_t>(x)];
        std::uint64_t* s = &sums_[static_cast<size_t>(x) * 4];
        if (n == 0) {
            continue;
        }
        out[x] = average(s, received_[static_cast<size_t>(x)], n, background_);
        s[0] = s[1] = s[2] = s[3] = 0;
        received_[static_cast<size_t>(x)] = 0;
    }
    done_[static_cast<size_t>(currentRow_)] = true;
    currentRow_ = -1;
}

void BoxReduceSink::finish() {
    flush();
    if (qAlpha(background_) == 0) {
        return;
    }
    for (int d = 0; d < image_.height(); ++d) {
        if (!done_[static_cast<size_t>(d)]) {
            auto* out = reinterpret_cast<QRgb*>(image_.scanLine(d));
            std::fill(out, out + image_.width(), qPremultiply(background_));
        }
    }
}

ScatterReduceSink::ScatterReduceSink(int sourceWidth, int sourceHeight, int width, int height)
    : sourceWidth_(sourceWidth), sourceHeight_(sourceHeight), image_(allocateImage(width, height)),
      column_(static_cast<size_t>(sourceWidth)), columnCount_(static_cast<size_t>(width)) {
    if (workBytes(width, height) > kMaxDecodedBytes) {
        throw RuntimeError(err::TooLarge);
    }
    sums_.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    received_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    mapColumns(sourceWidth, width, column_, columnCount_);
}

void ScatterReduceSink::putRow(int y, const QRgb* row) {
    putRowSpan(y, row, 0, sourceWidth_);
}

void ScatterReduceSink::putRowSpan(int y, const QRgb* row, int from, int to) {
    from = std::max(from, 0);
    to = std::min(to, sourceWidth_);
    if (y < 0 || y >= sourceHeight_) {
        return;
    }
    const auto d = static_cast<size_t>(qint64{y} * image_.height() / sourceHeight_);
    const size_t first = d * static_cast<size_t>(image_.width());
    for (int x = from; x < to; ++x) {
        const auto c = first + static_cast<size_t>(column_[static_cast<size_t>(x)]);
        addPixel(sums_.data() + 4 * c, row[x]);
        ++received_[c];
    }
}

void ScatterReduceSink::finish() {
    const qint64 h = image_.height();
    for (int d = 0; d < image_.height(); ++d) {
        const qint64 rows = firstSource(d + 1, sourceHeight_, h) - firstSource(d, sourceHeight_, h);
        auto* out = reinterpret_cast<QRgb*>(image_.scanLine(d));
        const size_t first = static_cast<size_t>(d) * static_cast<size_t>(image_.width());
        for (int x = 0; x < image_.width(); ++x) {
            const auto n = static_cast<std::uint64_t>(rows) * columnCount_[static_cast<size_t>(x)];
            const size_t c = first + static_cast<size_t>(x);
            if (n != 0) {
                out[x] = average(sums_.data() + 4 * c, received_[c], n, background_);
            }
        }
    }
}

CropSink::CropSink(RowSink& inner, QRect region) : inner_(inner), region_(region) {}

void CropSink::putRow(int y, const QRgb* row) {
    putRowSpan(y, row, region_.left(), region_.left() + region_.width());
}

void CropSink::putRowSpan(int y, const QRgb* row, int from, int to) {
    if (y < region_.top() || y > region_.bottom()) {
        return;
    }
    from = std::max(from, region_.left());
    to = std::min(to, region_.left() + region_.width());
    if (from >= to) {
        return;
    }
    inner_.putRowSpan(y - region_.top(), row + region_.left(), from - region_.left(),
                      to - region_.left());
}

} // namespace zelvia::rt::imaging
