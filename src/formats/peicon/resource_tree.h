#pragma once

#include "formats/imaging/byte_source.h"
#include "formats/peicon/pe_layout.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

namespace zelvia::rt::pe {

using imaging::ByteSource;

// Resource type numbers.
inline constexpr std::uint16_t kRtIcon = 3;
inline constexpr std::uint16_t kRtGroupIcon = 14;

// The three-level resource directory of a PE image (type, name, language), read on demand.
// Every directory and entry is checked against the file; a subdirectory that points back to
// one of the directories above it, or a tree of another depth, counts as missing.
class ResourceTree {
public:
    // One directory's entries, read once so that repeated look-ups do not read them again.
    struct Directory {
        std::uint32_t offset = 0; // from the start of the resource section
        QByteArray entries;       // 8 bytes each, named entries first
        std::uint32_t count = 0;
    };

    ResourceTree(const ByteSource& source, const PeLayout& layout);

    // The names directory of a numbered resource type.
    [[nodiscard]] std::optional<Directory> typeDirectory(std::uint16_t type) const;

    // The data of the first entry of `names` (named entries come first), in its first
    // language; nothing when damaged or larger than `maxSize`.
    [[nodiscard]] std::optional<QByteArray> firstData(const Directory& names,
                                                      std::uint32_t maxSize) const;

    // The data of the resource numbered `id` in `names`, in its first language.
    [[nodiscard]] std::optional<QByteArray> dataById(const Directory& names, std::uint16_t id,
                                                     std::uint32_t maxSize) const;

private:
    struct Entry {
        std::uint32_t name = 0;
        std::uint32_t target = 0;
        [[nodiscard]] bool isNamed() const { return (name & 0x80000000u) != 0; }
        [[nodiscard]] bool isDirectory() const { return (target & 0x80000000u) != 0; }
        [[nodiscard]] std::uint32_t targetOffset() const { return target & 0x7FFFFFFFu; }
    };

    [[nodiscard]] std::optional<Directory> directoryAt(std::uint32_t offset) const;
    [[nodiscard]] static Entry entry(const Directory& dir, std::uint32_t index);
    [[nodiscard]] std::optional<Directory>
    subdirectory(const Directory& parent, const Entry& e,
                 std::initializer_list<std::uint32_t> above) const;
    [[nodiscard]] std::optional<QByteArray> languageData(const Directory& names, const Entry& e,
                                                         std::uint32_t maxSize) const;
    [[nodiscard]] std::optional<QByteArray> dataEntry(std::uint32_t offset,
                                                      std::uint32_t maxSize) const;
    [[nodiscard]] std::optional<std::uint32_t> rvaOf(std::uint32_t offset) const;

    const ByteSource& source_;
    const PeLayout& layout_;
    std::optional<DataDirectory> base_;
};

} // namespace zelvia::rt::pe
