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
    const std::vector<QString> found =
        listFiles(dir.path(), QString::fromLatin1(GetParam().pattern), {});
    QStringList listed(found.begin(), found.end());
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
        {"[x].bmp", "[x].BMP", true},
        {"[x].bmp", "x.bmp", false},
        {"a;b", "a*", true},
        // No UTF-8, full-width letters (which fold only to full-width), folding outside ASCII.
        {"n\xff.bmp", "n?.BMP", true},
        {"\xef\xbc\xa9.bmp", "i.bmp", false},
        {"\xef\xbc\xa9.bmp", "\xef\xbd\x89.*", true},
        {"\xe2\x84\xaa.bmp", "k.BMP", true}, // the Kelvin sign folds to k
        {"stra\xc3\x9f"
         "e.bmp",
         "strasse.bmp", false},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*c", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(matchesPattern(decodeFileName(r.name), QString::fromUtf8(r.pattern)), r.matches)
            << r.name << " / " << r.pattern;
        // The shortcut for all-ASCII names agrees.
        if (std::ranges::none_of(std::string_view(r.name),
                                 [](char c) { return (c & 0x80) != 0; })) {
            EXPECT_EQ(WildcardPattern(QString::fromUtf8(r.pattern)).matchesAscii(r.name), r.matches)
                << r.name << " / " << r.pattern;
        }
    }
    // Case folding beyond ASCII, and "?" as one character even outside the BMP.
    EXPECT_TRUE(matchesPattern(QStringLiteral("ÉTÉ.JPG"), QStringLiteral("été.jpg")));
    EXPECT_TRUE(matchesPattern(QStringLiteral("ΣΟΦΙΑ.gif"), QStringLiteral("σοφια.*")));
    EXPECT_TRUE(
        matchesPattern(QString::fromUtf8("a\xf0\x9f\x98\x80.bmp"), QStringLiteral("a?.bmp")));
    EXPECT_FALSE(matchesPattern(QStringLiteral("a.jpeg"), QStringLiteral("*.JEPG")));
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
