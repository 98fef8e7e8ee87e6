#pragma once

#include "support/icon_images.h"
#include "support/pe_writer.h"

#include <QRgb>
#include <vector>

namespace zelvia::test {

// One image of a test icon group.
struct TestIcon {
    int width;
    int height;
    std::uint16_t bitCount; // 32 for DIB and PNG images, 8 for the masked palette DIB
    bool png = false;
    int listedWidth = -1; // what the group claims, when it differs from the image
    int listedHeight = -1;
};

// A distinct opaque colour per image, to tell which image was chosen.
QRgb colourOf(std::size_t index);

QByteArray iconData(const TestIcon& icon, QRgb colour);

// RT_ICON resources numbered from `firstId` and a group naming them.
std::vector<PeResource> iconGroupResources(const ResourceKey& groupName,
                                           const std::vector<TestIcon>& icons,
                                           std::uint16_t firstId);

} // namespace zelvia::test
