#pragma once

#include "core/native_path.h"
#include "core/picture.h"

#include <QByteArray>
#include <QByteArrayView>

namespace zelvia::rt {

// True when `head` (the first bytes of a file) starts like a placeable WMF, a plain WMF or an
// EMF. A quick test for the loader's dispatch; loading checks the header in full.
bool looksLikeMetafile(QByteArrayView head);

// Loads a WMF or EMF. Reads the whole file and checks its header; throws RuntimeError 481
// when it is not a loadable metafile. A file over 64 MiB is too large to play: only its
// header is read, the picture has the size stated there and drawing it raises error 5 (as
// does loading it when its header states no size).
// The picture is played as vectors whenever it is drawn; fullImage() renders it at its
// natural size at 96 DPI on white, since metafiles have no background of their own.
PicturePtr loadMetafilePicture(const ReadOnlyFile& file);
PicturePtr loadMetafilePictureFromBytes(QByteArray bytes);

} // namespace zelvia::rt
