#include "formats/peicon/resource_tree.h"

#include "formats/imaging/le_bytes.h"

#include <algorithm>

namespace zelvia::rt::pe {

using imaging::le16;
using imaging::le32;

namespace {

constexpr std::uint32_t kDirectoryHeaderSize = 16;
constexpr std::uint32_t kEntrySize = 8;
constexpr std::uint32_t kDataEntrySize = 16;

} // namespace

ResourceTree::ResourceTree(const ByteSource& source, const PeLayout& layout)
    : source_(source), layout_(layout), base_(layout.resourceDirectory()) {}

std::optional<std::uint32_t> ResourceTree::rvaOf(std::uint32_t offset) const {
    if (!base_) {
        return std::nullopt;
    }
    const std::uint64_t rva = std::uint64_t{base_->rva} + offset;
    if (rva > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(rva);
}

std::optional<ResourceTree::Directory> ResourceTree::directoryAt(std::uint32_t offset) const {
    const auto rva = rvaOf(offset);
    if (!rva) {
        return std::nullopt;
    }
    const auto header = layout_.readRva(source_, *rva, kDirectoryHeaderSize);
    if (!header) {
        return std::nullopt;
    }
    Directory dir;
    dir.offset = offset;
    dir.count = std::uint32_t{le16(*header, 12)} + le16(*header, 14);
    if (dir.count == 0) {
        return dir;
    }
    const std::uint64_t entriesRva = std::uint64_t{*rva} + kDirectoryHeaderSize;
    if (entriesRva > UINT32_MAX) {
        return std::nullopt;
    }
    // At most 131070 entries of 8 bytes: bounded, and it must lie in the file.
    auto entries =
        layout_.readRva(source_, static_cast<std::uint32_t>(entriesRva), dir.count * kEntrySize);
    if (!entries) {
        return std::nullopt;
    }
    dir.entries = std::move(*entries);
    return dir;
}

ResourceTree::Entry ResourceTree::entry(const Directory& dir, std::uint32_t index) {
    const std::uint64_t at = std::uint64_t{index} * kEntrySize;
    return Entry{le32(dir.entries, static_cast<qsizetype>(at)),
                 le32(dir.entries, static_cast<qsizetype>(at) + 4)};
}

std::optional<ResourceTree::Directory>
ResourceTree::subdirectory(const Directory& parent, const Entry& e,
                           std::initializer_list<std::uint32_t> above) const {
    if (!e.isDirectory()) {
        return std::nullopt;
    }
    const std::uint32_t offset = e.targetOffset();
    if (offset == parent.offset || std::find(above.begin(), above.end(), offset) != above.end()) {
        return std::nullopt; // a loop in the tree
    }
    return directoryAt(offset);
}

std::optional<ResourceTree::Directory> ResourceTree::typeDirectory(std::uint16_t type) const {
    const auto root = directoryAt(0);
    if (!root) {
        return std::nullopt;
    }
    for (std::uint32_t i = 0; i < root->count; ++i) {
        const Entry e = entry(*root, i);
        if (!e.isNamed() && e.name == type) {
            return subdirectory(*root, e, {});
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> ResourceTree::languageData(const Directory& names, const Entry& e,
                                                     std::uint32_t maxSize) const {
    const auto languages = subdirectory(names, e, {0});
    if (!languages || languages->count == 0) {
        return std::nullopt;
    }
    const Entry first = entry(*languages, 0);
    if (first.isDirectory()) {
        return std::nullopt; // deeper than a resource tree goes
    }
    return dataEntry(first.target, maxSize);
}

std::optional<QByteArray> ResourceTree::dataEntry(std::uint32_t offset,
                                                  std::uint32_t maxSize) const {
    const auto rva = rvaOf(offset);
    if (!rva) {
        return std::nullopt;
    }
    const auto header = layout_.readRva(source_, *rva, kDataEntrySize);
    if (!header) {
        return std::nullopt;
    }
    // Unlike directory offsets, the data's address is an RVA of its own.
    const std::uint32_t dataRva = le32(*header, 0);
    const std::uint32_t size = le32(*header, 4);
    if (size == 0 || size > maxSize) {
        return std::nullopt;
    }
    return layout_.readRva(source_, dataRva, size);
}

std::optional<QByteArray> ResourceTree::firstData(const Directory& names,
                                                  std::uint32_t maxSize) const {
    if (names.count == 0) {
        return std::nullopt;
    }
    return languageData(names, entry(names, 0), maxSize);
}

std::optional<QByteArray> ResourceTree::dataById(const Directory& names, std::uint16_t id,
                                                 std::uint32_t maxSize) const {
    for (std::uint32_t i = 0; i < names.count; ++i) {
        const Entry e = entry(names, i);
        if (!e.isNamed() && e.name == id) {
            return languageData(names, e, maxSize);
        }
    }
    return std::nullopt;
}

} // namespace zelvia::rt::pe
