#include "support/pe_fixtures.h"

namespace zelvia::test {

QRgb colourOf(std::size_t index) {
    const int i = static_cast<int>(index);
    return qRgb(30 + 40 * i % 220, 200 - 25 * i % 190, 60 + 70 * i % 180);
}

QByteArray iconData(const TestIcon& icon, QRgb colour) {
    const QSize size(icon.width, icon.height);
    if (icon.png) {
        return pngIcon(size, colour);
    }
    return icon.bitCount == 8 ? dibIcon8HalfMasked(size, colour) : dibIcon32(size, colour);
}

std::vector<PeResource> iconGroupResources(const ResourceKey& groupName,
                                           const std::vector<TestIcon>& icons,
                                           std::uint16_t firstId) {
    std::vector<PeResource> out;
    std::vector<GroupItem> items;
    for (std::size_t i = 0; i < icons.size(); ++i) {
        const TestIcon& icon = icons[i];
        const auto id = static_cast<std::uint16_t>(firstId + i);
        out.push_back({{{}, 3}, {{}, id}, 0x409, iconData(icon, colourOf(firstId + i))});
        const int w = icon.listedWidth >= 0 ? icon.listedWidth : icon.width;
        const int h = icon.listedHeight >= 0 ? icon.listedHeight : icon.height;
        items.push_back({w % 256, h % 256, icon.bitCount, id});
    }
    out.push_back({{{}, 14}, groupName, 0x409, iconGroup(items)});
    return out;
}

} // namespace zelvia::test
