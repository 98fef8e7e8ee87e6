#include "runtime/peicon/icon_group.h"

#include "runtime/peicon/byte_source.h"

#include <cstdlib>

namespace zelvia::rt::pe {

namespace {

constexpr std::uint64_t kGroupHeaderSize = 6;
constexpr std::uint64_t kGroupEntrySize = 14;
constexpr int kLargeIconSide = 32;

int sideFromByte(std::uint8_t side) {
    return side == 0 ? 256 : side;
}

std::uint32_t bigEndian32(const QByteArray& bytes, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::uint16_t pngBitsPerPixel(std::uint8_t bitDepth, std::uint8_t colourType) {
    switch (colourType) {
    case 2:
        return static_cast<std::uint16_t>(bitDepth * 3);
    case 4:
        return static_cast<std::uint16_t>(bitDepth * 2);
    case 6:
        return static_cast<std::uint16_t>(bitDepth * 4);
    default:
        return bitDepth;
    }
}

bool plausibleSide(std::int64_t side) {
    return side > 0 && side <= kMaxIconSide;
}

std::int64_t distanceFromLarge(const QSize& s) {
    return std::abs(std::int64_t{s.width()} - kLargeIconSide) +
           std::abs(std::int64_t{s.height()} - kLargeIconSide);
}

} // namespace

std::vector<GroupEntry> parseIconGroup(const QByteArray& data, std::size_t maxEntries) {
    std::vector<GroupEntry> entries;
    const auto reserved = u16At(data, 0);
    const auto type = u16At(data, 2);
    const auto count = u16At(data, 4);
    if (!reserved || !type || !count || *reserved != 0 || *type != 1) {
        return entries;
    }
    const auto size = static_cast<std::uint64_t>(data.size());
    for (std::uint64_t i = 0; i < *count && entries.size() < maxEntries; ++i) {
        const std::uint64_t at = kGroupHeaderSize + i * kGroupEntrySize;
        if (!rangeFits(at, kGroupEntrySize, size)) {
            break;
        }
        GroupEntry e;
        e.size = QSize(sideFromByte(*u8At(data, at)), sideFromByte(*u8At(data, at + 1)));
        e.bitCount = *u16At(data, at + 6);
        e.iconId = *u16At(data, at + 12);
        entries.push_back(e);
    }
    return entries;
}

std::optional<GroupEntry> describeIconImage(const QByteArray& image, const GroupEntry& listed) {
    GroupEntry real = listed;
    if (image.startsWith("\x89PNG\r\n\x1a\n")) {
        if (image.size() >= 26 && image.mid(12, 4) == "IHDR") {
            const std::int64_t w = bigEndian32(image, 16);
            const std::int64_t h = bigEndian32(image, 20);
            if (!plausibleSide(w) || !plausibleSide(h)) {
                return std::nullopt;
            }
            real.size = QSize(static_cast<int>(w), static_cast<int>(h));
            real.bitCount = pngBitsPerPixel(static_cast<std::uint8_t>(image[24]),
                                            static_cast<std::uint8_t>(image[25]));
        }
        return real;
    }
    const auto headerSize = u32At(image, 0);
    const auto width = u32At(image, 4);
    const auto height = u32At(image, 8);
    const auto bitCount = u16At(image, 14);
    if (headerSize && *headerSize >= 40 && width && height && bitCount) {
        // The DIB's height counts the colour rows and the mask rows.
        const std::int64_t w = static_cast<std::int32_t>(*width);
        const std::int64_t h = static_cast<std::int32_t>(*height) / 2;
        if (!plausibleSide(w) || !plausibleSide(std::abs(h))) {
            return std::nullopt;
        }
        real.size = QSize(static_cast<int>(w), static_cast<int>(std::abs(h)));
        real.bitCount = *bitCount;
    }
    return real;
}

bool preferredAsLargeIcon(const GroupEntry& a, const GroupEntry& b) {
    const std::int64_t da = distanceFromLarge(a.size);
    const std::int64_t db = distanceFromLarge(b.size);
    if (da != db) {
        return da < db;
    }
    const std::int64_t areaA = std::int64_t{a.size.width()} * a.size.height();
    const std::int64_t areaB = std::int64_t{b.size.width()} * b.size.height();
    if (areaA != areaB) {
        return areaA > areaB;
    }
    return a.bitCount > b.bitCount;
}

} // namespace zelvia::rt::pe
