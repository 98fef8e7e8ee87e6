#include "core/native_path.h"
#include "formats/peicon/large_icon.h"
#include "formats/peicon/pe_icon.h"
#include "support/pe_fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace zelvia::test {
namespace {

struct ChoiceCase {
    const char* label;
    std::vector<TestIcon> icons;
    std::size_t expected; // index into icons
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.label;
}

const std::vector<ChoiceCase> kChoiceCases = {
    {"exact32AmongOthers", {{16, 16, 32}, {32, 32, 32}, {48, 48, 32}}, 1},
    {"equalDistanceTakesLarger", {{16, 16, 32}, {48, 48, 32}}, 1},
    {"nearestBelow", {{16, 16, 32}, {24, 24, 32}, {64, 64, 32}}, 1},
    {"deepestOf32", {{32, 32, 8}, {32, 32, 32}, {16, 16, 32}}, 1},
    {"maskedPaletteImage", {{16, 16, 32}, {32, 32, 8}}, 1},
    {"pngBesideDib", {{256, 256, 32, true}, {32, 32, 32, true}, {16, 16, 32}}, 1},
    {"onlyPng256", {{256, 256, 32, true}}, 0},
    {"smallBeats256", {{256, 256, 32, true}, {16, 16, 32}}, 1},
    {"nonSquare", {{40, 20, 32}, {48, 48, 32}}, 0},
    // Sizes come from the images: the group is known to state wrong or zero sizes.
    {"groupMisstatesSizes", {{48, 48, 32, false, 32, 32}, {32, 32, 32, false, 16, 16}}, 1},
    {"groupStatesZero", {{64, 64, 32, false, 0, 0}}, 0},
};

class LargeIconChoice : public testing::TestWithParam<std::tuple<ChoiceCase, bool>> {};

TEST_P(LargeIconChoice, PicksExpectedImageAndDecodesIt) {
    const auto& [c, pe32Plus] = GetParam();
    const BuiltPe pe = buildPe(iconGroupResources({{}, 1}, c.icons, 1), pe32Plus);
    const TestIcon& want = c.icons[c.expected];
    const QRgb colour = colourOf(1 + c.expected);

    const auto source = rt::imaging::memorySource(pe.bytes);
    const auto candidates = rt::pe::largeIconCandidates(*source);
    ASSERT_EQ(candidates.size(), c.icons.size());
    EXPECT_EQ(candidates.front().data, iconData(want, colour));

    const QImage icon = rt::extractLargeIcon(pe.bytes);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(want.width, want.height));
    // The palette image's left half is masked out.
    const QPoint opaque(want.width - 1, want.height / 2);
    EXPECT_EQ(icon.pixel(opaque), colour);
    if (want.bitCount == 8) {
        EXPECT_EQ(qAlpha(icon.pixel(0, want.height / 2)), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(, LargeIconChoice,
                         testing::Combine(testing::ValuesIn(kChoiceCases), testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).label) +
                                    (std::get<1>(p.param) ? "_pe32plus" : "_pe32");
                         });

QRgb iconColour(const std::vector<PeResource>& resources) {
    const QImage icon = rt::extractLargeIcon(buildPe(resources, false).bytes);
    return icon.isNull() ? 0 : icon.pixel(16, 16);
}

std::vector<PeResource> joined(std::vector<PeResource> a, const std::vector<PeResource>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(LargeIconGroups, FirstGroupInDirectoryOrderWins) {
    const std::vector<TestIcon> one32 = {{32, 32, 32}};
    // Named groups come before numbered ones, whatever order they were added in.
    EXPECT_EQ(iconColour(joined(iconGroupResources({{}, 1}, one32, 1),
                                iconGroupResources({"MAINICON", 0}, one32, 2))),
              colourOf(2));
    // Among numbered groups the lowest number comes first.
    EXPECT_EQ(iconColour(joined(iconGroupResources({{}, 9}, one32, 1),
                                iconGroupResources({{}, 4}, one32, 2))),
              colourOf(2));
}

TEST(LargeIconGroups, FallsBackWhenBestImageIsDamaged) {
    std::vector<PeResource> res = iconGroupResources({{}, 1}, {{32, 32, 32}, {16, 16, 32}}, 1);
    res[0].data.truncate(40); // the 32x32 image: header only
    const QImage icon = rt::extractLargeIcon(buildPe(res, true).bytes);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(16, 16));
}

TEST(LargeIconFromFile, ReadsFileWithUndecodableName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const BuiltPe pe = buildPe(iconGroupResources({{}, 1}, {{32, 32, 32}, {48, 48, 8}}, 1), false);
    const QByteArray name = QFile::encodeName(dir.path()) + "/ic\xff\xfeon.exe";
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, pe.bytes.constData(), static_cast<size_t>(pe.bytes.size())),
              pe.bytes.size());
    ::close(fd);

    const QImage fromFile = rt::extractLargeIconFromFile(rt::decodeFileName(name));
    ASSERT_FALSE(fromFile.isNull());
    EXPECT_EQ(fromFile, rt::extractLargeIcon(pe.bytes));
    EXPECT_TRUE(rt::extractLargeIconFromFile(dir.path() + "/missing.exe").isNull());
    EXPECT_TRUE(rt::extractLargeIconFromFile(dir.path()).isNull());
}

} // namespace
} // namespace zelvia::test
