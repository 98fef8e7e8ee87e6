#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace zelvia::rt::imaging {

// Receives decoded rows of a picture, each `width` unpremultiplied ARGB pixels, row 0 at the
// top. Rows arrive in increasing or in decreasing order and are never revisited; pixels that
// never arrive take the background colour.
class RowSink {
public:
    RowSink() = default;
    RowSink(const RowSink&) = delete;
    RowSink& operator=(const RowSink&) = delete;
    virtual ~RowSink() = default;

    virtual void putRow(int y, const QRgb* row) = 0;
    // The same for a row whose pixels outside [from, to) are transparent; sinks that need
    // not look at those skip them, so sparse rows cost what they hold.
    virtual void putRowSpan(int y, const QRgb* row, int from, int to) {
        (void)from;
        (void)to;
        putRow(y, row);
    }
    virtual void finish() {}
    // Rows [from, to) of `width` pixels all of one opaque colour.
    virtual void fillRows(int from, int to, int width, QRgb colour) {
        const std::vector<QRgb> row(static_cast<size_t>(std::max(width, 0)), colour);
        for (int y = from; y < to; ++y) {
            putRow(y, row.data());
        }
    }
    // The colour of pixels that never arrive; transparent unless set before the first row.
    // Sinks that keep no pixels of their own ignore it.
    virtual void setBackground(QRgb colour) { (void)colour; }
};

// Allocates a transparent premultiplied image, throwing RuntimeError 5 when its pixels would
// exceed the decode limit or the allocation fails.
QImage allocateImage(int width, int height);

// Keeps every row: the picture at full size.
class FullImageSink final : public RowSink {
public:
    FullImageSink(int width, int height);
    void putRow(int y, const QRgb* row) override;
    void putRowSpan(int y, const QRgb* row, int from, int to) override;
    void setBackground(QRgb colour) override { image_.fill(qPremultiply(colour)); }
    [[nodiscard]] QImage image() && { return std::move(image_); }

private:
    QImage image_;
};

// Averages rows straight into a smaller image (box filter: every source pixel belongs to
// exactly one destination pixel), holding only one destination row of sums at a time.
class BoxReduceSink final : public RowSink {
public:
    BoxReduceSink(int sourceWidth, int sourceHeight, int width, int height);
    void putRow(int y, const QRgb* row) override;
    void putRowSpan(int y, const QRgb* row, int from, int to) override;
    void finish() override;
    void fillRows(int from, int to, int width, QRgb colour) override;
    void setBackground(QRgb colour) override { background_ = colour; }
    [[nodiscard]] QImage image() && { return std::move(image_); }

private:
    void flush();

    int sourceWidth_;
    int sourceHeight_;
    QImage image_;
    std::vector<int> column_;                // destination column of each source column
    std::vector<std::uint32_t> columnCount_; // source columns per destination column
    std::vector<std::uint64_t> sums_;        // premultiplied a, r, g, b per destination column
    std::vector<std::uint64_t> received_;    // source pixels arrived per destination column
    std::vector<bool> done_;                 // destination rows written
    QRgb background_ = 0;
    int currentRow_ = -1;
};

// The same box filter for rows that arrive in any order (interlaced pictures): it keeps the
// sums of every destination pixel, so it suits small destinations such as the display box.
class ScatterReduceSink final : public RowSink {
public:
    ScatterReduceSink(int sourceWidth, int sourceHeight, int width, int height);
    void putRow(int y, const QRgb* row) override;
    void putRowSpan(int y, const QRgb* row, int from, int to) override;
    void finish() override;
    void setBackground(QRgb colour) override { background_ = colour; }
    [[nodiscard]] QImage image() && { return std::move(image_); }

    // Bytes of sums a destination of `width` x `height` needs.
    static qint64 workBytes(int width, int height) { return qint64{width} * height * 40; }

private:
    int sourceWidth_;
    int sourceHeight_;
    QImage image_;
    std::vector<int> column_;
    std::vector<std::uint32_t> columnCount_;
    std::vector<std::uint64_t> sums_;     // premultiplied a, r, g, b per destination pixel
    std::vector<std::uint64_t> received_; // source pixels arrived per destination pixel
    QRgb background_ = 0;
};

// Passes on the rows and columns of `region` (in source coordinates) to `inner`, shifted so
// that the region's top-left corner becomes (0, 0).
class CropSink final : public RowSink {
public:
    CropSink(RowSink& inner, QRect region);
    void putRow(int y, const QRgb* row) override;
    void putRowSpan(int y, const QRgb* row, int from, int to) override;
    void finish() override { inner_.finish(); }
    void setBackground(QRgb colour) override { inner_.setBackground(colour); }
    // True once every row of the region has been passed on (rows arriving in order).
    [[nodiscard]] bool pastRegion(int y) const { return y >= region_.bottom(); }

private:
    RowSink& inner_;
    QRect region_;
};

} // namespace zelvia::rt::imaging
