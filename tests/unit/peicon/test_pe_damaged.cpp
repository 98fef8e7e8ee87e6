#include "formats/peicon/pe_icon.h"
#include "support/pe_fixtures.h"

#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

namespace zelvia::test {
namespace {

void put32(QByteArray& b, std::uint32_t at, std::uint32_t v) {
    ASSERT_LE(at + 4, static_cast<std::uint32_t>(b.size()));
    qToLittleEndian(static_cast<quint32>(v), b.data() + at);
}

void put16(QByteArray& b, std::uint32_t at, std::uint16_t v) {
    ASSERT_LE(at + 2u, static_cast<std::uint32_t>(b.size()));
    qToLittleEndian(v, b.data() + at);
}

// RT_ICON 1 and RT_GROUP_ICON 1. Directories, in writing order: root, names of RT_ICON,
// names of RT_GROUP_ICON, languages of icon 1, languages of group 1.
std::vector<PeResource> oneIcon() {
    return iconGroupResources({{}, 1}, {{32, 32, 32}}, 1);
}
constexpr std::size_t kRoot = 0, kGroupNames = 2, kGroupLanguages = 4;

std::uint32_t directoryAt(const BuiltPe& pe, std::size_t which) {
    return pe.resourceFileOffset + pe.directoryOffsets.at(which);
}

// The file offset of the `index`th entry's target field in a directory.
std::uint32_t entryTarget(const BuiltPe& pe, std::size_t dir, std::uint32_t index) {
    return directoryAt(pe, dir) + 16 + 8 * index + 4;
}

std::uint32_t optionalHeader(const BuiltPe&) {
    return 0x80 + 24;
}

struct DamageCase {
    const char* label;
    std::function<QByteArray()> make;
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.label;
}

QByteArray patched(const std::vector<PeResource>& res, bool pe32Plus,
                   const std::function<void(BuiltPe&)>& patch) {
    BuiltPe pe = buildPe(res, pe32Plus);
    patch(pe);
    return pe.bytes;
}

const std::vector<DamageCase> kDamaged = {
    {"empty", [] { return QByteArray(); }},
    {"notMz", [] { return patched(oneIcon(), false, [](BuiltPe& p) { p.bytes[0] = 'Z'; }); }},
    {"peSignatureMissing",
     [] { return patched(oneIcon(), false, [](BuiltPe& p) { p.bytes[0x81] = 'X'; }); }},
    {"peOffsetPastEnd",
     [] { return patched(oneIcon(), false, [](BuiltPe& p) { put32(p.bytes, 0x3C, ~0u); }); }},
    {"unknownOptionalMagic",
     [] {
         return patched(oneIcon(), true,
                        [](BuiltPe& p) { put16(p.bytes, optionalHeader(p), 0x107); });
     }},
    {"tooFewDataDirectories",
     [] {
         return patched(oneIcon(), false,
                        [](BuiltPe& p) { put32(p.bytes, optionalHeader(p) + 92, 2); });
     }},
    {"resourceRvaOutsideSections",
     [] {
         return patched(oneIcon(), true, [](BuiltPe& p) {
             put32(p.bytes, optionalHeader(p) + 112 + 16, 0x7FFF0000);
         });
     }},
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
    {"cursorGroup",
     [] {
         auto res = oneIcon();
         res.back().data[2] = 2;
         return buildPe(res, false).bytes;
     }},
    {"emptyGroup",
     [] {
         auto res = oneIcon();
         res.back().data = iconGroup({});
         return buildPe(res, false).bytes;
     }},
    {"iconNotAnImage",
     [] {
         auto res = oneIcon();
         res.front().data = QByteArray(600, '\x5A');
         return buildPe(res, false).bytes;
     }},
    {"groupDataPastEnd",
     [] {
         // The group's data entry is the last one; its size field follows its RVA.
         return patched(oneIcon(), false, [](BuiltPe& p) {
             const std::uint32_t entries = directoryAt(p, kGroupLanguages) + 16 + 8;
             put32(p.bytes, entries + 16 + 4, 0xFFFFFFF0);
         });
     }},
    {"rootClaimsManyEntries",
     [] {
         return patched(oneIcon(), true,
                        [](BuiltPe& p) { put16(p.bytes, directoryAt(p, kRoot) + 14, 0xFFFF); });
     }},
    // Loops in the tree.
    {"groupTypePointsAtRoot",
     [] {
         return patched(oneIcon(), false,
                        [](BuiltPe& p) { put32(p.bytes, entryTarget(p, kRoot, 1), 0x80000000u); });
     }},
    {"groupNamePointsAtItsDirectory",
     [] {
         return patched(oneIcon(), true, [](BuiltPe& p) {
             put32(p.bytes, entryTarget(p, kGroupNames, 0),
                   0x80000000u | p.directoryOffsets[kGroupNames]);
         });
     }},
    {"groupNamePointsAtRoot",
     [] {
         return patched(oneIcon(), false, [](BuiltPe& p) {
             put32(p.bytes, entryTarget(p, kGroupNames, 0), 0x80000000u);
         });
     }},
    {"languagePointsAtItsDirectory",
     [] {
         return patched(oneIcon(), false, [](BuiltPe& p) {
             put32(p.bytes, entryTarget(p, kGroupLanguages, 0),
                   0x80000000u | p.directoryOffsets[kGroupLanguages]);
         });
     }},
    {"directoryOffsetOverflows",
     [] {
         return patched(oneIcon(), true,
                        [](BuiltPe& p) { put32(p.bytes, entryTarget(p, kRoot, 1), 0xFFFFFFFFu); });
     }},
};

class DamagedPe : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedPe, GivesNullImage) {
    const QByteArray bytes = GetParam().make();
    EXPECT_TRUE(rt::extractLargeIcon(bytes).isNull());
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
