#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace zelvia::test {

// A resource type or name: a string when `name` is set, otherwise the number `id`.
struct ResourceKey {
    QString name;
    std::uint16_t id = 0;
};

struct PeResource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language = 0x409;
    QByteArray data;
};

struct BuiltPe {
    QByteArray bytes;
    std::uint32_t resourceFileOffset = 0; // where the resource section starts in `bytes`
    std::uint32_t resourceRva = 0;
    // Offsets within the resource section, in the order the directories were written:
    // the root, then one names directory per type, then one languages directory per name.
    std::vector<std::uint32_t> directoryOffsets;
};

// Writes a minimal PE32 or PE32+ image: a code section and a resource section (mapped at an
// RVA unlike its file offset), with the resources laid out as a linker would: named entries
// before numbered ones, each sorted. No resources gives an image without resource directory.
BuiltPe buildPe(const std::vector<PeResource>& resources, bool pe32Plus);

// A GRPICONDIR listing the given images; each entry is {width, height, bitCount, id}, with
// the width and height as stored (0 meaning 256).
struct GroupItem {
    int width;
    int height;
    std::uint16_t bitCount;
    std::uint16_t id;
};
QByteArray iconGroup(const std::vector<GroupItem>& items);

} // namespace zelvia::test
