#pragma once

#include "core/picture.h"

namespace zelvia::rt {

// The system clipboard as the program uses it.
class Clipboard {
public:
    // Empties the clipboard of all formats.
    static void Clear();
    // Places the picture at its own full size, replacing whatever the clipboard held: bitmaps
    // and icons as an image (Qt offers image/png and image/bmp from it, icons keeping their
    // transparency); metafiles rendered at their natural size plus their own bytes under their
    // MIME type. The picture is produced in full before the clipboard is touched, so when that
    // fails (RuntimeError 5 or 481, also 481 for no picture) the clipboard keeps what it held.
    static void SetData(const PicturePtr& picture);
};

} // namespace zelvia::rt
