#pragma once

// Pictures whose headers claim the largest sizes their formats allow, for the "too large" paths.
// Defined with the other writers (image_writers.cpp).

#include <QByteArray>

namespace zelvia::test {

// A GIF whose logical screen is 65535 x 65535 with a 1 x 1 frame: 16 GiB at full size. It
// displays, reduced, but is too large to produce at its full size.
QByteArray hugeGif();

// A progressive JPEG frame header of 65535 x 65535 with three components and nothing after it:
// it loads (only the header is read), but the decoder would need every coefficient at once, so
// it is too large to display or to decode in any part.
QByteArray hugeProgressiveJpeg();

} // namespace zelvia::test
