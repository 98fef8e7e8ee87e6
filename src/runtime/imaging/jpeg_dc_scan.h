#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

namespace zelvia::rt::imaging {

// A progressive JPEG at 1/8 of its size (each 8 x 8 block its average colour), from its first
// scan alone when that scan carries the DC coefficients of every component: for a picture
// drawn that small, the remaining scans change nothing that shows. Empty when `needed` asks
// for more than 1/8, when the file is not laid out so, or on any trouble; the caller then
// decodes every scan as usual. CMYK files are left to the caller too.
std::optional<QImage> decodeFirstDcScan(const QByteArray& data, QSize needed);

} // namespace zelvia::rt::imaging
