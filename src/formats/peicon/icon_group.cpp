#include "formats/peicon/icon_group.h"

#include "formats/imaging/le_bytes.h"

#include <cstdlib>

namespace zelvia::rt::pe {

namespace {

constexpr std::uint64_t kGroupHeaderSize = 6;
constexpr std::uint64_t kGroupEntrySize = 14;
constexpr int kLargeIconSide = 32;

int sideFromByte(std::uint8_t side) {
    return side == 0 ? 256 : side;
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
    if (data.size() < static_cast<qsizetype>(kGroupHeaderSize) || imaging::le16(data, 0) != 0 ||
        imaging::le16(data, 2) != 1) {
        return entries;
    }
    const std::uint16_t count = imaging::le16(data, 4);
    const auto size = static_cast<std::uint64_t>(data.size());
    for (std::uint64_t i = 0; i < count && entries.size() < maxEntries; ++i) {
        const std::uint64_t at = kGroupHeaderSize + i * kGroupEntrySize;
        if (!imaging::rangeFits(at, kGroupEntrySize, size)) {
            break;
        }
        GroupEntry e;
        const auto field = static_cast<qsizetype>(at);
        e.size = QSize(sideFromByte(static_cast<std::uint8_t>(imaging::byteAt(data, field))),
                       sideFromByte(static_cast<std::uint8_t>(imaging::byteAt(data, field + 1))));
        e.bitCount = imaging::le16(data, field + 6);
        e.iconId = imaging::le16(data, field + 12);
        entries.push_back(e);
    }
    return entries;
}

std::optional<GroupEntry> describeIconImage(const QByteArray& image, const GroupEntry& listed) {
    GroupEntry real = listed;
    if (image.startsWith("\x89PNG\r\n\x1a\n")) {
        if (image.size() >= 26 && image.mid(12, 4) == "IHDR") {
            const std::int64_t w = imaging::be32(image, 16);
            const std::int64_t h = imaging::be32(image, 20);
            if (!plausibleSide(w) || !plausibleSide(h)) {
                return std::nullopt;
            }
            real.size = QSize(static_cast<int>(w), static_cast<int>(h));
            real.bitCount = pngBitsPerPixel(static_cast<std::uint8_t>(image[24]),
                                            static_cast<std::uint8_t>(image[25]));
        }
        return real;
    }
    if (image.size() >= 16 && imaging::le32(image, 0) >= 40) {
        // The DIB's height counts the colour rows and the mask rows.
        const std::int64_t w = imaging::le32s(image, 4);
        const std::int64_t h = imaging::le32s(image, 8) / 2;
        if (!plausibleSide(w) || !plausibleSide(std::abs(h))) {
            return std::nullopt;
        }
        real.size = QSize(static_cast<int>(w), static_cast<int>(std::abs(h)));
        real.bitCount = imaging::le16(image, 14);
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
