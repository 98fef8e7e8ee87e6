#include "formats/peicon/pe_icon.h"
#include "support/pe_fixtures.h"

#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

namespace zelvia::test {
namespace {

// Writes `v` little-endian at `at`, which must lie inside `b`.
template <typename T> void poke(QByteArray& b, std::uint32_t at, T v) {
    ASSERT_LE(at + sizeof v, static_cast<std::size_t>(b.size()));
    qToLittleEndian(v, b.data() + at);
}

// RT_ICON 1 and RT_GROUP_ICON 1. Directories, in writing order: root, names of RT_ICON,
// names of RT_GROUP_ICON, languages of icon 1, languages of group 1.
std::vector<PeResource> oneIcon() {
    return iconGroupResources({{}, 1}, {{32, 32, 32}}, 1);
}
constexpr std::size_t kRoot = 0, kGroupNames = 2, kGroupLanguages = 4;
constexpr std::uint32_t kOptionalHeader = 0x80 + 24;

std::uint32_t directoryAt(const BuiltPe& pe, std::size_t which) {
    return pe.resourceFileOffset + pe.directoryOffsets.at(which);
}

// The file offset of the `index`th entry's target field in a directory.
std::uint32_t entryTarget(const BuiltPe& pe, std::size_t dir, std::uint32_t index) {
    return directoryAt(pe, dir) + 16 + 8 * index + 4;
}

struct DamageCase {
    const char* label;
    std::function<QByteArray()> make;
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.label;
}

// oneIcon() built, then its bytes patched.
DamageCase patched(const char* label, bool pe32Plus, std::function<void(BuiltPe&)> patch) {
    return {label, [=] {
                BuiltPe pe = buildPe(oneIcon(), pe32Plus);
                patch(pe);
                return pe.bytes;
            }};
}

// oneIcon() with its resources edited, then built.
DamageCase edited(const char* label, std::function<void(std::vector<PeResource>&)> edit) {
    return {label, [=] {
                auto res = oneIcon();
                edit(res);
                return buildPe(res, false).bytes;
            }};
}

const std::vector<DamageCase> kDamaged = {
    {"empty", [] { return QByteArray(); }},
    patched("notMz", false, [](BuiltPe& p) { p.bytes[0] = 'Z'; }),
    patched("peSignatureMissing", false, [](BuiltPe& p) { p.bytes[0x81] = 'X'; }),
    patched("peOffsetPastEnd", false, [](BuiltPe& p) { poke(p.bytes, 0x3C, ~0u); }),
    patched("unknownOptionalMagic", true,
            [](BuiltPe& p) { poke(p.bytes, kOptionalHeader, quint16{0x107}); }),
    patched("tooFewDataDirectories", false,
            [](BuiltPe& p) { poke(p.bytes, kOptionalHeader + 92, 2u); }),
    patched("resourceRvaOutsideSections", true,
            [](BuiltPe& p) { poke(p.bytes, kOptionalHeader + 112 + 16, 0x7FFF0000u); }),
    {"noResources", [] { return buildPe({}, false).bytes; }},
    {"iconsButNoGroup",
     [] {
         return buildPe({{{{}, 3}, {{}, 1}, 0, dibIcon32({32, 32}, 0xFF00FF00)}}, true).bytes;
     }},
    {"groupNamesMissingIcon",
     [] {
         return buildPe({{{{}, 3}, {{}, 1}, 0, dibIcon32({32, 32}, 0xFF00FF00)},
                         {{{}, 14}, {{}, 1}, 0, iconGroup({{32, 32, 32, 7}})}},
                        false)
             .bytes;
     }},
    edited("cursorGroup", [](auto& res) { res.back().data[2] = 2; }),
    edited("emptyGroup", [](auto& res) { res.back().data = iconGroup({}); }),
    edited("iconNotAnImage", [](auto& res) { res.front().data = QByteArray(600, '\x5A'); }),
    // The group's data entry is the last one; its size field follows its RVA.
    patched("groupDataPastEnd", false,
            [](BuiltPe& p) {
                poke(p.bytes, directoryAt(p, kGroupLanguages) + 16 + 8 + 16 + 4, 0xFFFFFFF0u);
            }),
    patched("rootClaimsManyEntries", true,
            [](BuiltPe& p) { poke(p.bytes, directoryAt(p, kRoot) + 14, quint16{0xFFFF}); }),
    // Loops in the tree.
    patched("groupTypePointsAtRoot", false,
            [](BuiltPe& p) { poke(p.bytes, entryTarget(p, kRoot, 1), 0x80000000u); }),
    patched("groupNamePointsAtItsDirectory", true,
            [](BuiltPe& p) {
                poke(p.bytes, entryTarget(p, kGroupNames, 0),
                     0x80000000u | p.directoryOffsets[kGroupNames]);
            }),
    patched("groupNamePointsAtRoot", false,
            [](BuiltPe& p) { poke(p.bytes, entryTarget(p, kGroupNames, 0), 0x80000000u); }),
    patched("languagePointsAtItsDirectory", false,
            [](BuiltPe& p) {
                poke(p.bytes, entryTarget(p, kGroupLanguages, 0),
                     0x80000000u | p.directoryOffsets[kGroupLanguages]);
            }),
    patched("directoryOffsetOverflows", true,
            [](BuiltPe& p) { poke(p.bytes, entryTarget(p, kRoot, 1), 0xFFFFFFFFu); }),
};

class DamagedPe : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedPe, GivesNullImage) {
    EXPECT_TRUE(rt::extractLargeIcon(GetParam().make()).isNull());
}

INSTANTIATE_TEST_SUITE_P(, DamagedPe, testing::ValuesIn(kDamaged),
                         [](const auto& p) { return std::string(p.param.label); });

TEST(DamagedPeBase, UndamagedBaseDecodes) {
    // The damaged cases above start from this file; it must work as it is.
    EXPECT_FALSE(rt::extractLargeIcon(buildPe(oneIcon(), false).bytes).isNull());
    EXPECT_FALSE(rt::extractLargeIcon(buildPe(oneIcon(), true).bytes).isNull());
}

TEST(DamagedPeBase, EveryTruncationIsNullUntilAllDataIsThere) {
    for (const bool pe32Plus : {false, true}) {
        const BuiltPe pe =
            buildPe(iconGroupResources({{}, 1}, {{16, 16, 32, true}, {32, 32, 8}}, 1), pe32Plus);
        const QImage full = rt::extractLargeIcon(pe.bytes);
        ASSERT_FALSE(full.isNull());
        qsizetype firstWorking = -1;
        for (qsizetype n = 0; n <= pe.bytes.size(); ++n) {
            const QImage icon = rt::extractLargeIcon(QByteArrayView(pe.bytes).first(n));
            if (!icon.isNull()) {
                ASSERT_EQ(icon, full) << "prefix of " << n << " bytes";
                if (firstWorking < 0) {
                    firstWorking = n;
                }
            } else {
                ASSERT_LT(firstWorking, 0)
                    << "prefix of " << n << " bytes fails after a shorter one worked";
            }
        }
        // The group's data is written last: the file works from the end of it on.
        EXPECT_GT(firstWorking, static_cast<qsizetype>(pe.resourceFileOffset));
        EXPECT_EQ(pe.bytes.mid(firstWorking).count('\0'), pe.bytes.size() - firstWorking)
            << "only padding may follow the last byte needed";
    }
}

} // namespace
} // namespace zelvia::test
