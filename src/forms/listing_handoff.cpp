#include "forms/listing_handoff.h"

namespace zelvia::rt {

ListingHandoff& ListingHandoff::instance() {
    static ListingHandoff handoff;
    return handoff;
}

void ListingHandoff::awaitSubfolders(const void* owner, const QString& folder) {
    waiter_ = owner;
    waitFolder_ = folder;
    hasDelivered_ = false;
    delivered_.clear();
}

std::optional<std::vector<QString>> ListingHandoff::takeSubfolders(const void* owner,
                                                                   const QString& folder) {
    if (waiter_ != owner || waitFolder_ != folder) {
        return std::nullopt;
    }
    if (!hasDelivered_ && fileList_ != nullptr && fileListFolder_ == folder && listNow_) {
        const std::function<void()> listNow = listNow_;
        listNow();
    }
    const bool had = hasDelivered_;
    std::vector<QString> taken = std::move(delivered_);
    waiter_ = nullptr;
    waitFolder_.clear();
    hasDelivered_ = false;
    delivered_.clear();
    if (!had) {
        return std::nullopt;
    }
    return taken;
}

void ListingHandoff::fileListPending(const void* owner, const QString& folder,
                                     std::function<void()> listNow) {
    fileList_ = owner;
    fileListFolder_ = folder;
    listNow_ = std::move(listNow);
}

void ListingHandoff::fileListDone(const void* owner) {
    if (fileList_ == owner) {
        fileList_ = nullptr;
        fileListFolder_.clear();
        listNow_ = nullptr;
    }
}

bool ListingHandoff::wantsSubfolders(const QString& folder) const {
    return waiter_ != nullptr && waitFolder_ == folder && !hasDelivered_;
}

void ListingHandoff::deliver(const QString& folder, std::vector<QString> subfolders) {
    if (wantsSubfolders(folder)) {
        delivered_ = std::move(subfolders);
        hasDelivered_ = true;
    }
}

void ListingHandoff::forget(const void* owner) {
    if (waiter_ == owner) {
        waiter_ = nullptr;
        waitFolder_.clear();
        hasDelivered_ = false;
        delivered_.clear();
    }
    fileListDone(owner);
}

} // namespace zelvia::rt
