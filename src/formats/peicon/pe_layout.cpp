#include "formats/peicon/pe_layout.h"

#include "formats/imaging/le_bytes.h"

#include <algorithm>

namespace zelvia::rt::pe {

using imaging::le16;
using imaging::le32;
using imaging::rangeFits;

namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint64_t kCoffHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint32_t kPageSize = 0x1000;
constexpr std::uint32_t kSectorSize = 0x200;

} // namespace

std::optional<PeLayout> PeLayout::read(const ByteSource& source) {
    const auto dos = imaging::readExactly(source, 0, 64);
    if (!dos || !dos->startsWith("MZ")) {
        return std::nullopt;
    }
    const std::uint64_t ntOffset = le32(*dos, 0x3C);
    const auto nt = imaging::readExactly(source, ntOffset, 4 + kCoffHeaderSize + 2);
    if (!nt || !nt->startsWith(QByteArrayView("PE\0\0", 4))) {
        return std::nullopt;
    }
    const std::uint16_t sectionCount = le16(*nt, 4 + 2);
    const std::uint16_t optionalHeaderSize = le16(*nt, 4 + 16);
    const std::uint64_t optionalOffset = ntOffset + 4 + kCoffHeaderSize;
    const std::uint16_t magic = le16(*nt, 4 + static_cast<qsizetype>(kCoffHeaderSize));

    PeLayout layout;
    layout.fileSize_ = static_cast<std::uint64_t>(std::max<qint64>(source.size(), 0));
    std::uint64_t countOffset = 0;
    if (magic == kMagicPe32) {
        countOffset = 92;
    } else if (magic == kMagicPe32Plus) {
        countOffset = 108;
        layout.pe32Plus_ = true;
    } else {
        return std::nullopt;
    }
    // Alignments and SizeOfHeaders sit at the same place in both layouts.
    const auto common = imaging::readExactly(source, optionalOffset, 64);
    if (!common) {
        return std::nullopt;
    }
    const std::uint32_t sectionAlignment = le32(*common, 32);
    layout.fileAlignment_ = le32(*common, 36);
    layout.sizeOfHeaders_ = le32(*common, 60);
    // Below page alignment the loader maps the file as it is: RVA and file offset agree.
    layout.flatMapping_ = sectionAlignment < kPageSize && sectionAlignment == layout.fileAlignment_;

    // A directory count or entry cut off by the end of the file means no resources.
    const auto count = imaging::readExactly(source, optionalOffset + countOffset, 4);
    if (count && le32(*count, 0) > kResourceDirectoryIndex) {
        const auto entry = imaging::readExactly(
            source, optionalOffset + countOffset + 4 + std::uint64_t{8} * kResourceDirectoryIndex,
            8);
        if (entry) {
            const DataDirectory dir{le32(*entry, 0), le32(*entry, 4)};
            // The loader ignores the size: files with a size of 0 still have resources.
            if (dir.rva != 0) {
                layout.resources_ = dir;
            }
        }
    }

    // Sections whose header lies past the end of the file are left out.
    const std::uint64_t tableOffset = optionalOffset + optionalHeaderSize;
    const std::uint64_t available =
        tableOffset < layout.fileSize_ ? (layout.fileSize_ - tableOffset) / kSectionHeaderSize : 0;
    const std::uint64_t readable = std::min<std::uint64_t>(sectionCount, available);
    if (readable > 0) {
        const auto table = imaging::readExactly(source, tableOffset, readable * kSectionHeaderSize);
        if (!table) {
            return std::nullopt;
        }
        layout.sections_.reserve(readable);
        for (std::uint64_t i = 0; i < readable; ++i) {
            const std::uint64_t at = i * kSectionHeaderSize;
            layout.sections_.push_back(
                SectionHeader{le32(*table, static_cast<qsizetype>(at) + 12),
                              le32(*table, static_cast<qsizetype>(at) + 8),
                              le32(*table, static_cast<qsizetype>(at) + 20),
                              le32(*table, static_cast<qsizetype>(at) + 16)});
        }
    }
    return layout;
}

std::optional<std::uint64_t> PeLayout::fileOffset(std::uint32_t rva, std::uint32_t length) const {
    if (flatMapping_) {
        return rangeFits(rva, length, fileSize_) ? std::optional<std::uint64_t>(rva) : std::nullopt;
    }
    for (const SectionHeader& s : sections_) {
        const std::uint32_t virtualSize = s.virtualSize != 0 ? s.virtualSize : s.rawSize;
        if (rva < s.virtualAddress || rva - s.virtualAddress >= virtualSize) {
            continue;
        }
        const std::uint32_t delta = rva - s.virtualAddress;
        // The loader rounds raw offsets down to a sector; only the part of the section that
        // is both in the file and in its virtual size holds file bytes, the rest is zeros.
        const std::uint64_t rawStart = fileAlignment_ >= kSectorSize
                                           ? s.rawOffset & ~std::uint64_t{kSectorSize - 1}
                                           : s.rawOffset;
        const std::uint64_t mapped = std::min(s.rawSize, virtualSize);
        if (!rangeFits(delta, length, mapped) || !rangeFits(rawStart + delta, length, fileSize_)) {
            return std::nullopt;
        }
        return rawStart + delta;
    }
    // Outside every section: the headers are mapped at their own offsets.
    const std::uint64_t headers = std::min<std::uint64_t>(sizeOfHeaders_, fileSize_);
    if (rangeFits(rva, length, headers)) {
        return rva;
    }
    return std::nullopt;
}

std::optional<QByteArray> PeLayout::readRva(const ByteSource& source, std::uint32_t rva,
                                            std::uint32_t length) const {
    const auto offset = fileOffset(rva, length);
    if (!offset) {
        return std::nullopt;
    }
    return imaging::readExactly(source, *offset, length);
}

} // namespace zelvia::rt::pe
