#pragma once

#include "formats/imaging/icon_image.h"

#include <QByteArray>
#include <QSize>
#include <cstdint>
#include <optional>
#include <vector>

namespace zelvia::rt::pe {

// One image listed in an icon group (GRPICONDIR entry).
struct GroupEntry {
    QSize size; // 0 in the group means 256
    std::uint16_t bitCount = 0;
    std::uint16_t iconId = 0; // the RT_ICON resource that holds the image
};

// The entries of a GRPICONDIR: reserved 0, type 1, then 14-byte entries. Entries cut off by
// the end of the data are left out; at most `maxEntries` are returned. Empty when the header
// is wrong.
std::vector<GroupEntry> parseIconGroup(const QByteArray& data, std::size_t maxEntries);

// The size and bit depth an RT_ICON image really has, from its PNG or DIB header; the group
// entry's values when the header is neither. Groups are known to list wrong sizes. Nothing
// when the header names an empty side or one past kMaxIconSide: that image is no icon.
std::optional<GroupEntry> describeIconImage(const QByteArray& image, const GroupEntry& listed);

// The order in which images are tried as the large icon: 32x32 first, otherwise the nearest
// size; ties go to the larger image, then the higher bit depth, then the earlier entry.
bool preferredAsLargeIcon(const GroupEntry& a, const GroupEntry& b);

} // namespace zelvia::rt::pe
