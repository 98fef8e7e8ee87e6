#pragma once

#include <QtGlobal>

namespace zelvia::rt::imaging {

// A JPEG of several scans (progressive, or a first scan without every component) keeps the
// coefficients of the whole image while it decodes, at any output scale. Files whose
// coefficients would pass this are refused with error 5 before anything is allocated; a
// 24-megapixel progressive photo with halved chroma needs about 69 MiB.
inline constexpr qint64 kMaxJpegCoefficientBytes = qint64{80} * 1024 * 1024;

// The ceiling given to the decoder itself, so that whatever the checks miss fails cleanly.
inline constexpr long kMaxJpegMemory = 96L * 1024 * 1024;

// A progressive picture drawn from its first DC scan: the file is read whole, and each 8 x 8
// block keeps its DC values and its pixel.
inline constexpr qint64 kMaxDcScanFileBytes = qint64{32} * 1024 * 1024;
inline constexpr qint64 kMaxDcScanBlockBytes = qint64{32} * 1024 * 1024;
// Past this many bytes of coefficients (a picture of about 5 megapixels with halved colour),
// the first DC scan stands in even where it can only approximate the full decoder's colour.
inline constexpr qint64 kExactDcScanCoefficientBytes = qint64{16} * 1024 * 1024;

} // namespace zelvia::rt::imaging
