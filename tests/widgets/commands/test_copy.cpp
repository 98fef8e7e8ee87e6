// Copy: the two guards, and the picture placed at its own size in the formats of its kind.
#include "app/module1.h"
#include "commands_fixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>

namespace zelvia::test {
namespace {

const QString kClipboardTitle = QStringLiteral("クリップボードエラー");
const QString kBefore = QStringLiteral("held before");

class CopyTest : public CommandsTest {
protected:
    void SetUp() override {
        CommandsTest::SetUp();
        QGuiApplication::clipboard()->setText(kBefore);
    }
    static const QMimeData* clipboard() { return QGuiApplication::clipboard()->mimeData(); }
    static bool clipboardUnchanged() {
        return clipboard() != nullptr && clipboard()->text() == kBefore && !clipboard()->hasImage();
    }
    // The clipboard's image, or a null image when it holds none.
    static QImage clipboardImage() {
        return clipboard() != nullptr && clipboard()->hasImage()
                   ? qvariant_cast<QImage>(clipboard()->imageData())
                   : QImage();
    }
};

class CopyGuardTest : public CopyTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(CopyGuardTest, RefusesWithItsMessageAndLeavesTheClipboard) {
    const GuardCase& c = GetParam();
    startBefore(c.before, QStringLiteral("broken.bmp"), "BM this is no bitmap");
    form().mnuCopy_Click();
    expectCriticalMessage(kClipboardTitle + QLatin1Char('|') + QString::fromUtf16(c.message));
    EXPECT_TRUE(clipboardUnchanged());
}

INSTANTIATE_TEST_SUITE_P(
    States, CopyGuardTest,
    ::testing::ValuesIn(guardCases(u"指定したファイルは、コピーできない形式です。")), rowName);

struct CaptionCase : Named<CaptionCase> {
    const char16_t* caption;
    bool copies;
};

class CopyCaptionTest : public CopyTest, public ::testing::WithParamInterface<CaptionCase> {};

// Only the two exact captions refuse; the label decides, not the picture box.
TEST_P(CopyCaptionTest, OnlyTheTwoExactCaptionsRefuse) {
    saveImage(QStringLiteral("a.bmp"), testImage(20, 10), "bmp");
    start();
    choose(QStringLiteral("a.bmp"));
    form().lblWidth.setCaption(QString::fromUtf16(GetParam().caption));
    host_.clear();
    form().mnuCopy_Click();
    if (GetParam().copies) {
        EXPECT_TRUE(noMessages());
        EXPECT_EQ(clipboardImage().size(), QSize(20, 10));
    } else {
        EXPECT_EQ(messages().size(), 1);
        EXPECT_TRUE(clipboardUnchanged());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Captions, CopyCaptionTest,
    ::testing::Values(CaptionCase{"BarePrefix", u"横(ﾋﾟｸｾﾙ)：", false},
                      CaptionCase{"NotDisplayable", u"横(ﾋﾟｸｾﾙ)：表示出来ません", false},
                      CaptionCase{"Number", u"横(ﾋﾟｸｾﾙ)：12", true},
                      CaptionCase{"PrefixAndBlank", u"横(ﾋﾟｸｾﾙ)： ", true},
                      CaptionCase{"NotDisplayableAndBlank", u"横(ﾋﾟｸｾﾙ)：表示出来ません ", true},
                      CaptionCase{"OtherPrefix", u"縦(ﾋﾟｸｾﾙ)：", true}),
    rowName);

struct SizeCase {
    const char* format;
    int width;
    int height;
    bool reducedOnScreen;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.format << ' ' << c.width << 'x' << c.height;
}

class CopySizeTest : public CopyTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(CopySizeTest, ClipboardHoldsOnlyThePictureAtItsOwnSize) {
    const SizeCase& c = GetParam();
    const QString name = QStringLiteral("pic.") + QString::fromLatin1(c.format);
    saveImage(name, testImage(c.width, c.height, QColor(0, 160, 0)), c.format, 95);
    start();
    choose(name);
    frmMain& f = form();
    ASSERT_EQ(f.PicSize > 0, c.reducedOnScreen);
    f.mnuCopy_Click();
    EXPECT_TRUE(noMessages());
    const QImage copied = clipboardImage();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), QSize(c.width, c.height));
    const QColor centre = copied.pixelColor(c.width / 2, c.height / 2);
    EXPECT_NEAR(centre.green(), 160, 8);
    EXPECT_LT(centre.red(), 20);
    EXPECT_FALSE(clipboard()->hasText()) << "the text held before is gone";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CopySizeTest,
    ::testing::Values(SizeCase{"bmp", 400, 300, true}, SizeCase{"jpg", 1000, 90, true},
                      SizeCase{"bmp", 31, 17, false}, SizeCase{"jpg", 64, 200, true}),
    [](const auto& p) { return std::string(p.param.format) + std::to_string(p.param.width); });

TEST_F(CopyTest, IconKeepsItsTransparency) {
    QImage icon(32, 32, QImage::Format_ARGB32); // left half transparent, right half opaque blue
    icon.fill(Qt::transparent);
    QPainter(&icon).fillRect(16, 0, 16, 32, QColor(0, 0, 255));
    saveImage(QStringLiteral("half.ico"), icon, "ico");
    start();
    choose(QStringLiteral("half.ico"));
    form().mnuCopy_Click();
    const QImage copied = clipboardImage();
    ASSERT_EQ(copied.size(), QSize(32, 32));
    ASSERT_TRUE(copied.hasAlphaChannel());
    EXPECT_EQ(copied.pixelColor(4, 16).alpha(), 0);
    EXPECT_EQ(copied.pixelColor(28, 16), QColor(0, 0, 255));
}

struct MetafileCase : Named<MetafileCase> {
    QByteArray (*bytes)();
    const char* mime;
    QSize pixels;
};

class CopyMetafileTest : public CopyTest, public ::testing::WithParamInterface<MetafileCase> {};

TEST_P(CopyMetafileTest, RenderedAtItsNaturalSizeWithItsOwnBytes) {
    const MetafileCase& c = GetParam();
    const QByteArray bytes = c.bytes();
    writeFile(QString::fromLatin1(c.name), bytes);
    start();
    choose(QString::fromLatin1(c.name));
    form().mnuCopy_Click();
    EXPECT_TRUE(noMessages());
    const QImage copied = clipboardImage();
    EXPECT_NEAR(copied.width(), c.pixels.width(), 1);
    EXPECT_NEAR(copied.height(), c.pixels.height(), 1);
    EXPECT_EQ(copied.pixelColor(copied.width() / 2, copied.height() / 2), QColor(255, 0, 0));
    EXPECT_EQ(clipboard()->data(QString::fromLatin1(c.mime)), bytes);
    EXPECT_FALSE(clipboard()->hasText());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CopyMetafileTest,
    ::testing::Values(MetafileCase{"red.wmf", redWmf, "image/x-wmf", QSize(96, 48)},
                      MetafileCase{"red.emf", redEmf, "image/x-emf", QSize(192, 96)}),
    [](const auto& p) { return std::string(p.param.mime).substr(8); });

TEST_F(CopyTest, APictureTooLargeForItsFullSizeIsReportedAndTheProgramGoesOn) {
    writeFile(QStringLiteral("huge.gif"), hugeGif());
    saveImage(QStringLiteral("small.bmp"), testImage(8, 6), "bmp");
    start();
    choose(QStringLiteral("huge.gif"));
    ASSERT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：65535")) << "displayed";
    ASSERT_TRUE(messages().isEmpty());
    host_.clear();
    form().mnuCopy_Click();
    expectCriticalMessage(kClipboardTitle + QLatin1Char('|') +
                          QStringLiteral("ピクチャをクリップボードにコピーできませんでした。"));
    EXPECT_TRUE(clipboardUnchanged()) << "nothing held before is lost";
    // And the next copy works.
    choose(QStringLiteral("small.bmp"));
    form().mnuCopy_Click();
    EXPECT_EQ(clipboardImage().size(), QSize(8, 6));
}

} // namespace
} // namespace zelvia::test
