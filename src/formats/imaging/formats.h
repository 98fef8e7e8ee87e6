#pragma once

#include "core/picture.h"
#include "formats/imaging/byte_source.h"

#include <QByteArrayView>

namespace zelvia::rt::imaging {

// Per-format loaders. `head` holds the first bytes of `source` (at least the sniffed ones);
// each reads more from `source` when its header needs it and throws RuntimeError 481 when
// the header is invalid.
PicturePtr loadBmp(const ByteSourcePtr& source, QByteArrayView head);
PicturePtr loadIco(const ByteSourcePtr& source, QByteArrayView head);
PicturePtr loadJpeg(const ByteSourcePtr& source, QByteArrayView head);
PicturePtr loadGif(const ByteSourcePtr& source, QByteArrayView head);

// The whole source in memory, refusing (RuntimeError 5) sources past the decode limit.
QByteArray readWhole(const ByteSource& source);

} // namespace zelvia::rt::imaging
