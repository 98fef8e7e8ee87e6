#include "platform/fs/folder_listing.h"
#include "platform/fs/natural_sort.h"
#include "platform/fs/wildcard.h"
#include "temp_tree.h"

#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/stat.h>

using namespace zelvia::rt;

namespace {

struct FilterCase {
    const char* label;
    const char* pattern;
    QStringList listed;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.label;
}

// The file list's nine filter entries against names in mixed case.
class FilterPatterns : public ::testing::TestWithParam<FilterCase> {};

const QStringList kNames = {
    QStringLiteral("a.BMP"),        QStringLiteral("b.bmp"),  QStringLiteral("c.Jpg"),
    QStringLiteral("d.jepg"),       QStringLiteral("e.jpeg"), QStringLiteral("noext"),
    QStringLiteral("two.dots.gif"), QStringLiteral("f.dib"),  QStringLiteral("g.ICO"),
    QStringLiteral("h.wmf"),        QStringLiteral("i.Emf"),  QStringLiteral("k.bmp.txt"),
    QStringLiteral("bmp"),
};

TEST_P(FilterPatterns, ListsExactlyTheMatchingFiles) {
    zelvia::test::ScratchDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString& name : kNames) {
        ASSERT_TRUE(zelvia::test::makeFile(dir.path(), encodeFileName(name)));
    }
    QStringList listed;
    for (const ListedFile& f : listFiles(dir.path(), QString::fromLatin1(GetParam().pattern), {})) {
        listed.append(f.name);
    }
    QStringList expected = GetParam().listed;
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected) << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(
    NineEntries, FilterPatterns,
    ::testing::Values(FilterCase{"All", "*.*", kNames},
                      FilterCase{"Pictures",
                                 "*.BMP;*.DIB;*.GIF;*.EMF;*.ICO;*.JPG;*.JEPG;*.WMF",
                                 {"a.BMP", "b.bmp", "c.Jpg", "d.jepg", "two.dots.gif", "f.dib",
                                  "g.ICO", "h.wmf", "i.Emf"}},
                      FilterCase{"Bmp", "*.BMP", {"a.BMP", "b.bmp"}},
                      FilterCase{"Ico", "*.ICO", {"g.ICO"}}, FilterCase{"Wmf", "*.WMF", {"h.wmf"}},
                      FilterCase{"Emf", "*.EMF", {"i.Emf"}}, FilterCase{"Dib", "*.DIB", {"f.dib"}},
                      FilterCase{"Jpeg", "*.JPG;*.JEPG", {"c.Jpg", "d.jepg"}},
                      FilterCase{"Gif", "*.GIF", {"two.dots.gif"}}),
    [](const ::testing::TestParamInfo<FilterCase>& row) { return std::string(row.param.label); });

TEST(Wildcard, MatchesWholeNamesWithQuestionMarksStarsAndCaseFolding) {
    struct Row {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Row rows[] = {
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"abbc", "a?c", false},
        {"abc.txt", "*.TXT", true},
        {"ABC.Txt", "a*.tXT", true},
        {"abc.txt.bak", "*.txt", false},
        {"abc", "*.*", true},
        {"abc", "a*.*", true},
        {"xbc", "a*.*", false},
        {"abc", "*.", true},
        {"a.bc", "*.", false},
        {"", "*", true},
        {"aXbXc", "a*b*c", true},
        {"aXbX", "a*b*c", false},
        {"a.bmp", " *.gif ; *.BMP", true},
        {"a.bmp", ";;", true},
        {"a.bmp", "", true},
        {"*", "?", true},
        // Names holding the mask's own characters: a mask star is still a star.
        {"*new.bmp", "*.BMP", true},
        {"img*1.bmp", "IMG*.BMP", true},
        {"x*y*z", "*z", true},
        {"*a", "*b", false},
        {"[x].bmp", "[x].BMP", true},
        {"[x].bmp", "x.bmp", false},
        {"a;b", "a*", true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*c", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(matchesPattern(QString::fromUtf8(r.name), QString::fromUtf8(r.pattern)),
                  r.matches)
            << r.name << " / " << r.pattern;
        // The shortcut for all-ASCII names agrees.
        EXPECT_EQ(WildcardPattern(QString::fromUtf8(r.pattern)).matchesAscii(r.name), r.matches)
            << r.name << " / " << r.pattern;
    }
    // Case folding beyond ASCII, and "?" as one character even outside the BMP.
    EXPECT_TRUE(matchesPattern(QStringLiteral("ÉTÉ.JPG"), QStringLiteral("été.jpg")));
    EXPECT_TRUE(matchesPattern(QStringLiteral("ΣΟΦΙΑ.gif"), QStringLiteral("σοφια.*")));
    EXPECT_TRUE(
        matchesPattern(QString::fromUtf8("a\xf0\x9f\x98\x80.bmp"), QStringLiteral("a?.bmp")));
    EXPECT_FALSE(matchesPattern(QStringLiteral("a.jpeg"), QStringLiteral("*.JEPG")));
}

// The listing matches all-ASCII names on a fast path and the rest on the general one; over
// odd names both must give what matches() gives, and list exactly those files.
TEST(Wildcard, ListingPathsAgreeWithTheGeneralMatchOverOddNames) {
    const char* const names[] = {
        "*new.bmp",
        "img*1.bmp",
        "a?b.bmp",
        "[x].bmp",
        "a;b.BMP",
        "**.*",
        "noext",
        "n\xff.bmp",
        "\xff\xfe",                                                                  // no UTF-8
        "\xef\xbc\xa9\xef\xbc\xad\xef\xbc\xa7.\xef\xbc\xa2\xef\xbc\xad\xef\xbc\xb0", // full width
        "\xce\xa3\xce\x9f\xce\xa6.BMP",
        "stra\xc3\x9f"
        "e.bmp",
        "\xe2\x84\xaa.bmp", // Kelvin sign
        "\xc4\xb0mg.bmp"};
    const char* const patterns[] = {
        "*.BMP", "IMG*.BMP", "a?b.*", "[x].bmp",        "*;*",
        "?.bmp", "*.",       "k.BMP", "*\xef\xbc\xa2*", "\xcf\x83\xce\xbf\xcf\x86.*",
        "i*",    "*e.*"};
    zelvia::test::ScratchDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : names) {
        ASSERT_TRUE(zelvia::test::makeFile(dir.path(), name)) << name;
    }
    for (const char* pattern : patterns) {
        const WildcardPattern wildcard(QString::fromUtf8(pattern));
        QStringList expected;
        for (const std::string_view name : names) {
            const QString decoded =
                decodeFileName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
            const bool matches = wildcard.matches(decoded);
            if (std::ranges::all_of(name, [](char c) { return (c & 0x80) == 0; })) {
                EXPECT_EQ(wildcard.matchesAscii(name), matches) << name << " / " << pattern;
            }
            if (matches) {
                expected.append(decoded);
            }
        }
        QStringList listed;
        for (const ListedFile& f : listFiles(dir.path(), QString::fromUtf8(pattern), {})) {
            listed.append(f.name);
        }
        std::sort(listed.begin(), listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected) << pattern;
    }
}

TEST(NaturalSort, OrdersNumbersByValueIgnoringCaseAndBreaksTiesByBytes) {
    const std::vector<QString> expected = {
        QStringLiteral("01"),
        QStringLiteral("1"),
        QStringLiteral("2"),
        QStringLiteral("10"),
        QStringLiteral("A"),
        QStringLiteral("a"),
        QStringLiteral("a2"),
        QStringLiteral("a10"),
        QStringLiteral("a10b"),
        QStringLiteral("B"),
        QStringLiteral("IMG_2"),
        QStringLiteral("IMG_10"),
        QStringLiteral("img_10"),
        QStringLiteral("img_10.jpg"),
        QStringLiteral("x99999999999999999999"),
        QStringLiteral("x100000000000000000000"),
        QStringLiteral("éa"),
        QStringLiteral("Éb"),
    };
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::vector<QString> names = expected;
        std::shuffle(names.begin(), names.end(), random);
        naturalSort(names);
        ASSERT_EQ(names, expected);
    }
    for (const QString& a : expected) {
        for (const QString& b : expected) {
            const int ab = naturalCompare(a, b);
            EXPECT_EQ(ab, -naturalCompare(b, a)) << a.toStdString() << " " << b.toStdString();
            EXPECT_EQ(ab == 0, a == b);
        }
    }
    // Names that differ only in escaped bytes still order totally.
    const QString bad1 = decodeFileName("n\xff");
    const QString bad2 = decodeFileName("n\xfe");
    EXPECT_GT(naturalCompare(bad1, bad2), 0);
}

TEST(NaturalSort, SubfoldersAreSortedAndDotFoldersLeftOut) {
    zelvia::test::ScratchDir dir;
    for (const char* name : {"IMG_10", "img_2", ".cache", "Beta", "alpha"}) {
        ASSERT_EQ(::mkdir(zelvia::test::join(dir.path(), name).constData(), 0755), 0);
    }
    ASSERT_TRUE(zelvia::test::makeFile(dir.path(), "file"));
    ASSERT_EQ(::symlink("alpha", zelvia::test::join(dir.path(), "linked").constData()), 0);
    const std::vector<QString> expected = {QStringLiteral("alpha"), QStringLiteral("Beta"),
                                           QStringLiteral("img_2"), QStringLiteral("IMG_10"),
                                           QStringLiteral("linked")};
    EXPECT_EQ(listSubfolders(dir.path()), expected);
}

} // namespace
