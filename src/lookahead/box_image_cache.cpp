#include "lookahead/box_image_cache.h"

#include <algorithm>

namespace zelvia::rt::lookahead {

void BoxImageCache::put(const FileIdentity& file, QImage image) {
    const std::lock_guard lock(mutex_);
    std::erase_if(entries_,
                  [&](const Entry& e) { return e.file == file && e.image.size() == image.size(); });
    entries_.push_front(Entry{file, std::move(image)});
    while (entries_.size() > capacity_) {
        entries_.pop_back();
    }
}

QImage BoxImageCache::find(const FileIdentity& file, QSize size) const {
    const std::lock_guard lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.file == file && e.image.size() == size;
    });
    if (it == entries_.end()) {
        return {};
    }
    Entry hit = *it;
    entries_.erase(it);
    entries_.push_front(hit);
    return hit.image;
}

QImage BoxImageCache::findAnySize(const FileIdentity& file) const {
    const std::lock_guard lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.file == file; });
    return it != entries_.end() ? it->image : QImage();
}

void BoxImageCache::clear() {
    const std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace zelvia::rt::lookahead
