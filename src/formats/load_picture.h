#pragma once

#include "core/picture.h"
#include "core/prepared_images.h"

#include <QByteArray>
#include <QString>

namespace zelvia::rt {

// Loads the picture in `path`, recognising its format from the content (never the name).
// An empty path gives an empty picture (nullptr). Reads only what is needed for the kind and
// natural size. Throws RuntimeError 53/75 when the file cannot be opened or read and 481 when
// it is no loadable picture (BMP, ICO, JPEG, GIF, WMF, EMF). A bitmap-like picture is offered
// to `prepared` (when given), which may hand it the image already decoded for that file.
PicturePtr LoadPicture(const QString& path, PreparedImages* prepared = nullptr);

// The same from bytes already in memory (tests and fuzzing).
PicturePtr LoadPictureFromBytes(const QByteArray& bytes);

} // namespace zelvia::rt
