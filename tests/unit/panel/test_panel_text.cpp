// The information panel's texts: sizes at every bound, the attribute table, dates, pixels.
#include "viewer/panel_text.h"

#include <gtest/gtest.h>

using namespace zelvia::panel;

namespace {

struct SizeCase {
    std::int64_t bytes;
    const char* expected; // after the prefix
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.bytes;
}

class SizeCaptionTest : public ::testing::TestWithParam<SizeCase> {};

} // namespace

TEST_P(SizeCaptionTest, ValueIsCutNeverRounded) {
    const SizeCase& c = GetParam();
    EXPECT_EQ(FileSizeCaption(c.bytes), kSizePrefix + QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, SizeCaptionTest,
    ::testing::Values(SizeCase{0, "0ﾊﾞｲﾄ"}, SizeCase{512, "512ﾊﾞｲﾄ"}, SizeCase{1023, "1023ﾊﾞｲﾄ"},
                      SizeCase{1024, "1KB(1024ﾊﾞｲﾄ)"}, SizeCase{1530, "1.49KB(1530ﾊﾞｲﾄ)"},
                      SizeCase{1536, "1.5KB(1536ﾊﾞｲﾄ)"}, SizeCase{2047, "1.99KB(2047ﾊﾞｲﾄ)"},
                      SizeCase{20000, "19.5KB(20000ﾊﾞｲﾄ)"}, SizeCase{200000, "195KB(200000ﾊﾞｲﾄ)"},
                      SizeCase{1048575, "1023KB(1048575ﾊﾞｲﾄ)"},
                      SizeCase{1048576, "1MB(1048576ﾊﾞｲﾄ)"},
                      SizeCase{1073741823, "1023MB(1073741823ﾊﾞｲﾄ)"},
                      SizeCase{1073741824, "1GB(1073741824ﾊﾞｲﾄ)"}, SizeCase{-5, "-5ﾊﾞｲﾄ"}));

// Values of 1000 or more in their unit keep their whole integer part instead of a cut "100".
INSTANTIATE_TEST_SUITE_P(ThousandsInTheirUnit, SizeCaptionTest,
                         ::testing::Values(SizeCase{1024000, "1000KB(1024000ﾊﾞｲﾄ)"},
                                           SizeCase{1048576000, "1000MB(1048576000ﾊﾞｲﾄ)"},
                                           SizeCase{1073741823, "1023MB(1073741823ﾊﾞｲﾄ)"}));

// Sizes are 64-bit: 2 GiB and beyond keep their true count, never a negative number.
INSTANTIATE_TEST_SUITE_P(LargeFiles, SizeCaptionTest,
                         ::testing::Values(SizeCase{2147483647, "1.99GB(2147483647ﾊﾞｲﾄ)"},
                                           SizeCase{2147483648LL, "2GB(2147483648ﾊﾞｲﾄ)"},
                                           SizeCase{5LL * 1024 * 1024 * 1024 + 512LL * 1024 * 1024,
                                                    "5.5GB(5905580032ﾊﾞｲﾄ)"},
                                           SizeCase{1100LL * 1024 * 1024 * 1024,
                                                    "1100GB(1181116006400ﾊﾞｲﾄ)"}));

TEST(AttributeCaption, EveryTableValueAndTheUnmatchedOnes) {
    const std::vector<std::pair<std::uint32_t, QString>> table = {
        {0, QStringLiteral("通常ファイル")},
        {1, QStringLiteral("通常＆読み取り専用ファイル")},
        {2, QStringLiteral("通常＆隠しファイル")},
        {3, QStringLiteral("通常＆読み取り専用＆隠しファイル")},
        {4, QStringLiteral("通常＆システムファイル")},
        {5, QStringLiteral("通常＆読み取り専用＆システムファイル")},
        {6, QStringLiteral("通常＆隠し＆システムファイル")},
        {7, QStringLiteral("通常＆読み取り専用＆隠し＆システムファイル")},
        {32, QStringLiteral("通常＆ｱｰｶｲﾌﾞﾌｧｲﾙ")},
        {33, QStringLiteral("通常＆読み取り専用＆ｱｰｶｲﾌﾞﾌｧｲﾙ")},
        {34, QStringLiteral("通常＆隠し＆ｱｰｶｲﾌﾞﾌｧｲﾙ")},
        {35, QStringLiteral("通常＆読み取り＆隠し＆ｱｰｶｲﾌﾞﾌｧｲﾙ")},
        {36, QStringLiteral("通常＆システム＆ｱｰｶｲﾌﾞﾌｧｲﾙ")},
        {39, QStringLiteral("通常＆読み取り専用＆隠し＆システム＆ｱｰｶｲﾌﾞﾌｧｲﾙ")},
    };
    for (const auto& [value, text] : table) {
        EXPECT_EQ(AttributeCaption(value), kAttributePrefix + text) << value;
    }
    for (const std::uint32_t unmatched : {8U, 16U, 17U, 37U, 38U, 40U, 63U}) {
        EXPECT_EQ(AttributeCaption(unmatched), kAttributePrefix) << unmatched;
    }
    // Bits the table does not know (as NTFS and Samba keep them) are left out, not an overflow.
    EXPECT_EQ(AttributeCaption(0x2000U | 32U),
              kAttributePrefix + QStringLiteral("通常＆ｱｰｶｲﾌﾞﾌｧｲﾙ"));
    EXPECT_EQ(AttributeCaption(0x80U), kAttributePrefix + QStringLiteral("通常ファイル"));
}

TEST(DateText, JapaneseShortDateAndLongTimeWithoutZone) {
    const QLocale ja(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(DateText(QDateTime(QDate(1998, 3, 5), QTime(9, 41, 7)), ja),
              QStringLiteral("1998/03/05 9:41:07"));
    EXPECT_EQ(DateText(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)), ja),
              QStringLiteral("2024/12/31 23:59:59"));
    // Exactly midnight: the date alone; one second later the time is back.
    EXPECT_EQ(DateText(QDateTime(QDate(1998, 3, 5), QTime(0, 0)), ja),
              QStringLiteral("1998/03/05"));
    EXPECT_EQ(DateText(QDateTime(QDate(1998, 3, 5), QTime(0, 0, 1)), ja),
              QStringLiteral("1998/03/05 0:00:01"));
}

TEST(DateText, OtherLocalesUseTheirOwnFormatsWithoutATimeZone) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QString text = DateText(QDateTime(QDate(1998, 3, 5), QTime(9, 41, 7)), us);
    EXPECT_TRUE(text.startsWith(us.toString(QDate(1998, 3, 5), QLocale::ShortFormat)))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("9:41:07"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("UTC")) || text.contains(QStringLiteral("GMT")))
        << text.toStdString();
}

TEST(PixelText, NormalPathTruncatesTheTooLargeReportKeepsTheFraction) {
    EXPECT_EQ(PixelText(9600, 15), QStringLiteral("640"));
    EXPECT_EQ(PixelText(8000, 15), QStringLiteral("533"));
    EXPECT_EQ(PixelText(14, 15), QStringLiteral("0"));
    EXPECT_EQ(PixelTextUntruncated(8000, 15), QStringLiteral("533.3333"));
    EXPECT_EQ(PixelTextUntruncated(9600, 15), QStringLiteral("640"));
}
