#include "platform/fs/short_name.h"
#include "temp_tree.h"

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zelvia::rt;

namespace {

TEST(ShortName, TellsValidEightDotThreeNames) {
    for (const char* valid : {"README.TXT", "readme.txt", "ReadMe.Txt", "A", "12345678.123", ".",
                              "..", "$X~1.(_)", "NOEXT"}) {
        EXPECT_TRUE(isShortName(QString::fromUtf8(valid))) << valid;
    }
    for (const char* invalid : {"readme.text", "a b.txt", "toolongname.txt", ".profile", "x.",
                                "a+b.c", "a.b.c", "", "caf\xc3\xa9.txt", "x;y"}) {
        EXPECT_FALSE(isShortName(QString::fromUtf8(invalid))) << invalid;
    }
    EXPECT_FALSE(isShortName(decodeFileName("AB\xff")));
}

TEST(ShortName, BuildsAliasesFromLongNames) {
    struct Row {
        const char* longName;
        int number;
        const char* alias;
    };
    const Row rows[] = {
        {"Long File Name.html", 1, "LONGFI~1.HTM"},
        {"Long File Name.html", 2, "LONGFI~2.HTM"},
        {"Long File Name.html", 10, "LONGF~10.HTM"},
        {"Long File Name.html", 123, "LONG~123.HTM"},
        {"a.b.c", 1, "AB~1.C"},
        {".bashrc", 1, "BASHRC~1"},
        {"my photo+1.jpeg", 1, "MYPHOT~1.JPE"},
        {"caf\xc3\xa9 au lait.txt", 1, "CAFAUL~1.TXT"},
        {"x.", 1, "X~1"},
        {"Program Files", 1, "PROGRA~1"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(aliasFor(aliasBasis(QString::fromUtf8(r.longName)), r.number),
                  QString::fromLatin1(r.alias))
            << r.longName;
    }
    // Nothing left to keep: a hash stands in for the stem, stable for the same name.
    const QString japanese = aliasFor(aliasBasis(QStringLiteral("写真.jpg")), 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^[0-9A-F]{4}~1\\.JPG$")).match(japanese).hasMatch())
        << japanese.toStdString();
    EXPECT_EQ(japanese, aliasFor(aliasBasis(QStringLiteral("写真.jpg")), 1));
    EXPECT_NE(japanese, aliasFor(aliasBasis(QStringLiteral("風景.jpg")), 1));
}

TEST(ShortName, NumbersCollisionsInNaturalOrderSkippingTakenAliases) {
    const std::vector<QString> folder = {
        QStringLiteral("Long File Name Two.txt"), QStringLiteral("LONGFI~1.TXT"),
        QStringLiteral("Long File Name One.txt"), QStringLiteral("Long File Name 10.txt"),
        QStringLiteral("Longfellow.md"),          QStringLiteral("short.txt"),
    };
    EXPECT_EQ(shortNameAmong(QStringLiteral("Long File Name 10.txt"), folder),
              QStringLiteral("LONGFI~2.TXT"));
    EXPECT_EQ(shortNameAmong(QStringLiteral("Long File Name One.txt"), folder),
              QStringLiteral("LONGFI~3.TXT"));
    EXPECT_EQ(shortNameAmong(QStringLiteral("Long File Name Two.txt"), folder),
              QStringLiteral("LONGFI~4.TXT"));
    EXPECT_EQ(shortNameAmong(QStringLiteral("Longfellow.md"), folder),
              QStringLiteral("LONGFE~1.MD"));
    EXPECT_EQ(shortNameAmong(QStringLiteral("short.txt"), folder), QStringLiteral("short.txt"));
}

class ShortPath : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        base_ = shortPath(dir_.path()).value_or(QString());
        ASSERT_FALSE(base_.isEmpty());
        if (base_.size() > 50) {
            GTEST_SKIP() << "temporary folder's short form too long for the length cases";
        }
    }
    QString make(const QString& relative) {
        const QString path = dir_.path() + QLatin1Char('/') + relative;
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    zelvia::test::ScratchDir dir_{QDir::tempPath() + QStringLiteral("/zfXXXXXX")};
    QString base_;
};

TEST_F(ShortPath, ReplacesLongComponentsAndKeepsEightDotThreeOnes) {
    make(QStringLiteral("Long Folder One/inner"));
    make(QStringLiteral("Long Folder Two/Another Long Name"));
    ASSERT_TRUE(zelvia::test::makeFile(dir_.path(), "LONGFO~1"));
    EXPECT_EQ(shortPath(dir_.path() + QStringLiteral("/Long Folder One/inner")),
              base_ + QStringLiteral("/LONGFO~2/inner"));
    EXPECT_EQ(shortPath(dir_.path() + QStringLiteral("/Long Folder Two/Another Long Name/")),
              base_ + QStringLiteral("/LONGFO~3/ANOTHE~1/"));
    EXPECT_EQ(shortPath(dir_.path() + QStringLiteral("/missing")), std::nullopt);
    EXPECT_EQ(shortPath(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(shortPathForLine(QString()), QString());
}

TEST_F(ShortPath, FitsSeventyNineCharactersOrNothing) {
    // base + "/LONGFO~1" + 8.3 folders padding the short form to 79 and to 80 characters.
    const qsizetype pad = 79 - base_.size() - 9;
    QString tail;
    while (pad - tail.size() > 8) {
        const qsizetype segment = std::min<qsizetype>(9, pad - tail.size() - 3);
        tail += QLatin1Char('/') + QString(segment - 1, QLatin1Char('A'));
    }
    const QString last79 = QStringLiteral("/") + QString(pad - tail.size() - 1, QLatin1Char('X'));
    const QString last80 = last79 + QLatin1Char('Y');
    ASSERT_LE(last80.size(), 9);
    const QString long79 = make(QStringLiteral("Long Folder Name") + tail + last79);
    const QString long80 = make(QStringLiteral("Long Folder Name") + tail + last80);
    const QString short79 = shortPathForLine(long79);
    EXPECT_EQ(short79, base_ + QStringLiteral("/LONGFO~1") + tail + last79);
    EXPECT_EQ(short79.size(), 79);
    EXPECT_EQ(shortPath(long80)->size(), 80);
    EXPECT_EQ(shortPathForLine(long80), QString());
    // A path already in 8.3 form looks the same both ways.
    const QString plain = make(QStringLiteral("PLAIN/DIR.1"));
    EXPECT_EQ(shortPathForLine(plain), base_ + QStringLiteral("/PLAIN/DIR.1"));
    if (base_ == dir_.path()) {
        EXPECT_EQ(shortPathForLine(plain), plain);
    }
}

} // namespace
