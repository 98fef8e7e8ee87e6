#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

namespace zelvia::rt::imaging {

// A progressive JPEG at 1/8 of its size (each 8 x 8 block its average colour), from its first
// scan alone when that scan carries the DC coefficients of every component: for a picture
// drawn that small, the remaining scans change nothing that shows. Empty when `needed` asks
// for more than 1/8, for files not laid out so (one-scan, arithmetic-coded, CMYK), for files
// cut short or with a later scan header the full decoder would refuse, and on any damage:
// the caller then decodes every scan as usual, and shows or reports what it always did.
std::optional<QImage> decodeFirstDcScan(const QByteArray& data, QSize needed);

} // namespace zelvia::rt::imaging
