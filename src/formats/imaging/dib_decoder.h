#pragma once

#include "formats/imaging/byte_source.h"
#include "formats/imaging/dib_info.h"
#include "formats/imaging/row_sink.h"

namespace zelvia::rt::imaging {

// Decodes the pixel rows `info` describes from `source` into `sink`, reading in chunks.
// Truncated or overrunning data is clipped: what was decoded is kept, the rest stays
// transparent. Returns the number of source bytes of pixel data that were available
// (0 means there was nothing to decode).
qint64 decodeDibPixels(const ByteSource& source, const DibInfo& info, RowSink& sink);

} // namespace zelvia::rt::imaging
