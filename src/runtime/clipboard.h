#pragma once

#include "runtime/picture.h"

namespace zelvia::rt {

// The system clipboard as the program uses it.
class Clipboard {
public:
    // Empties the clipboard of all formats.
    static void Clear();
    // Places the picture at its own full size: bitmaps and icons as an image (Qt offers
    // image/png and image/bmp from it, icons keeping their transparency); metafiles rendered at
    // their natural size plus their own bytes under their MIME type. Throws RuntimeError when
    // the picture cannot be decoded in full (5, 481) or there is nothing to place (481).
    static void SetData(const PicturePtr& picture);
};

} // namespace zelvia::rt
