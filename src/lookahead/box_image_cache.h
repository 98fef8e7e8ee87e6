#pragma once

#include "lookahead/file_identity.h"

#include <QImage>
#include <cstddef>
#include <deque>
#include <mutex>

namespace zelvia::rt::lookahead {

// A few box-sized images, each the rendering of one file's content at one size; the least
// recently used goes first. Thread-safe.
class BoxImageCache {
public:
    explicit BoxImageCache(std::size_t capacity) : capacity_(capacity) {}

    void put(const FileIdentity& file, QImage image);
    // The image for `file` at `size`; null when there is none.
    [[nodiscard]] QImage find(const FileIdentity& file, QSize size) const;
    // The most recent image for `file` at any size; null when there is none.
    [[nodiscard]] QImage findAnySize(const FileIdentity& file) const;
    void clear();

private:
    struct Entry {
        FileIdentity file;
        QImage image;
    };

    std::size_t capacity_;
    mutable std::mutex mutex_;
    mutable std::deque<Entry> entries_; // most recently used first
};

} // namespace zelvia::rt::lookahead
