#pragma once

#include "formats/imaging/byte_source.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace zelvia::rt::pe {

using imaging::ByteSource;

struct SectionHeader {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t rawSize = 0;
};

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

// The headers of a PE32 or PE32+ image, as far as needed to find its resources, and the
// mapping of relative virtual addresses to file offsets.
class PeLayout {
public:
    // Nothing when `source` holds no PE image (no MZ/PE signatures, unknown optional header
    // magic, or headers cut short).
    static std::optional<PeLayout> read(const ByteSource& source);

    [[nodiscard]] bool isPe32Plus() const { return pe32Plus_; }
    [[nodiscard]] const std::vector<SectionHeader>& sections() const { return sections_; }

    // The resource data directory, when the image declares one.
    [[nodiscard]] std::optional<DataDirectory> resourceDirectory() const { return resources_; }

    // The file offset of `length` bytes starting at `rva`, when they all lie in the file
    // part of one section (or of the headers).
    [[nodiscard]] std::optional<std::uint64_t> fileOffset(std::uint32_t rva,
                                                          std::uint32_t length) const;

    // Those bytes themselves.
    [[nodiscard]] std::optional<QByteArray> readRva(const ByteSource& source, std::uint32_t rva,
                                                    std::uint32_t length) const;

private:
    std::vector<SectionHeader> sections_;
    std::optional<DataDirectory> resources_;
    std::uint64_t fileSize_ = 0;
    std::uint32_t sizeOfHeaders_ = 0;
    std::uint32_t fileAlignment_ = 0;
    bool flatMapping_ = false;
    bool pe32Plus_ = false;
};

} // namespace zelvia::rt::pe
