#pragma once

#include "core/picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

namespace zelvia::rt {

class ReadOnlyFile;

// True when `head` (the first bytes of a file; 32 are plenty) starts like a BMP, ICO, JPEG
// or GIF. Decided from the content only.
bool looksLikeRaster(QByteArrayView head);

// Loads a BMP, ICO, JPEG or GIF, reading only its header: the pixels are decoded when the
// picture is drawn, at the size drawn, and cached for that size. The picture keeps its own
// descriptor of `file`. Throws RuntimeError 481 when the content is no loadable picture or
// its header is invalid, 75 on a read error.
//
// An icon file holds several images; the picture is the one with the largest area, ties
// going to the higher bit depth (the sharpest and most colourful rendition).
// GIF pictures are the first frame composed on the logical screen (around a smaller frame,
// the background colour unless the frame has transparency). Pixels are decoded row by row
// into the size drawn, so a huge picture drawn small never exists at full size.
PicturePtr loadRasterPicture(const ReadOnlyFile& file);
PicturePtr loadRasterPictureFromBytes(QByteArray bytes);

// Sets the process-wide ceiling of Qt's own image readers (PNG images inside icons, JPEG and
// PNG images inside metafiles): a picture past it fails to read instead of being allocated.
// Called once at start-up, before any picture is read.
void limitImageReaders();
inline constexpr int kImageReaderLimitMiB = 64;

// The size of the pixels the last draw(), fullImage() or regionImage() of `picture` decoded,
// before any final smooth scaling: rows reduced as they are decoded come out at the size
// drawn; a JPEG whose DCT scaling comes near that size, at the DCT-scaled size. Empty when
// nothing was decoded yet or the picture is not one of these.
QSize lastDecodedSize(const Picture& picture);

} // namespace zelvia::rt
