#pragma once

#include "formats/metafile/gdi_state.h"

#include <QFont>
#include <QString>

namespace zelvia::rt::metafile {

// The installed family that stands in for a face name the metafile asks for.
QString substituteFamily(const QString& faceName, int charset);

// A QFont for `desc` with the given em size in pixels (the caller maps the logical height).
QFont makeFont(const LogFont& desc, double pixelSize);

// The em size for a logical font height: negative heights are the em itself, positive ones
// the cell height (ascent + descent), zero a default.
double emSizeForHeight(const LogFont& desc);

} // namespace zelvia::rt::metafile
