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
// Colour sampled at half the rate both ways is drawn by the full decoder from its first AC
// coefficients as well; without `approximateColour` such files are left to it, with it their
// colour is interpolated between blocks (close, but not the same at sharp colour edges).
std::optional<QImage> decodeFirstDcScan(const QByteArray& data, QSize needed,
                                        bool approximateColour = true);

} // namespace zelvia::rt::imaging
