#pragma once

#include "core/runtime_error.h"
#include "core/stop_request.h"

#include <QtGlobal>
#include <string>

namespace zelvia::rt::imaging {

// The work one decode may do, counted in what the file makes the decoder do (pixels through
// LZW, coefficient blocks per scan, run-length runs, metafile records and the area they fill).
// Header checks bound what is allocated; this bounds the time a small file can demand. Past the
// budget the file is refused as too large. Each charge also polls the thread's stop request, so
// charges belong where a decoder does a row's or a record's worth of work, not per pixel.
class WorkBudget {
public:
    explicit WorkBudget(qint64 limit, const char* what) : left_(limit), what_(what) {}

    void spend(qint64 units) {
        left_ -= units;
        if (left_ < 0) {
            throw RuntimeError(err::TooLarge, std::string(what_) + ": too much work to decode");
        }
        throwIfStopRequested();
    }
    [[nodiscard]] bool allows(qint64 units) const { return units <= left_; }

private:
    qint64 left_;
    const char* what_;
};

// Budgets, from decode rates measured on a 2-core machine (bench_display_memory), so that no
// file costs much more than half a second of CPU to show or to refuse.
// GIF: pixels handed out by LZW, about 60 M a second for honest data: 8000 x 6000 still shows.
inline constexpr qint64 kGifWork = qint64{48} * 1000 * 1000;

// JPEG: 8 x 8 blocks visited, summed over the scans, about 80 M a second for scans that carry
// nothing. A 24-megapixel progressive photo visits about 3 M, a baseline one 0.56 M.
inline constexpr qint64 kJpegWork = qint64{12} * 1000 * 1000;

// Run-length bitmaps: one per run or escape plus one per pixel written.
inline constexpr qint64 kRleWork = qint64{128} * 1000 * 1000;

// Metafiles: device pixels their fills cover and their strokes trace, plus a fixed cost per
// record.
inline constexpr qint64 kMetafileWork = qint64{256} * 1000 * 1000;

} // namespace zelvia::rt::imaging
