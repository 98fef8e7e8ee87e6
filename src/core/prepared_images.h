#pragma once

#include "core/native_path.h"
#include "core/picture.h"

namespace zelvia::rt {

// Images decoded ahead of time for files about to be shown (the look-ahead keeps them). The
// loader is handed one and offers it each picture it loads, so that a file decoded ahead
// needs no decoding again; the formats know nothing of who prepares them.
class PreparedImages {
public:
    PreparedImages() = default;
    PreparedImages(const PreparedImages&) = delete;
    PreparedImages& operator=(const PreparedImages&) = delete;
    PreparedImages(PreparedImages&&) = delete;
    PreparedImages& operator=(PreparedImages&&) = delete;
    virtual ~PreparedImages() = default;

    // Gives `picture`, just loaded from `file`, the image prepared for the same file content,
    // if there is one. Called on every load of a bitmap-like picture.
    virtual void adopt(const PicturePtr& picture, const ReadOnlyFile& file) = 0;
};

} // namespace zelvia::rt
