// When a file cannot be displayed: what the user sees for each kind of failure, and the icons
// of executables.
#include "app/module1.h"
#include "formats/peicon/pe_icon.h"
#include "support/app_fixture.h"
#include "support/corpus.h"
#include "support/huge_pictures.h"
#include "support/metafile_writers.h"
#include "support/pe_fixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QWidget>
#include <sys/stat.h>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::caseNameOf;
using zelvia::test::extentOf;
using zelvia::test::hugeGif;
using zelvia::test::hugeProgressiveJpeg;
using zelvia::test::testImage;

namespace {

class FailureTest : public AppTest {
protected:
    QColor background() { return form().picOut.widget()->palette().color(QPalette::Base); }
    QRect drawnExtent() { return extentOf(form().picOut.image(), background()); }
    // The labels of a file that cannot be displayed; and no message says so.
    void expectNotDisplayable(const QString& name) {
        frmMain& f = form();
        EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：表示出来ません"));
        EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：表示出来ません"));
        EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：") + name);
        EXPECT_TRUE(messages().isEmpty());
    }
    // What the display box must show when `icon` is drawn into the empty box at (0, 0).
    QImage boxWithIcon(const QImage& icon) {
        QImage expected(form().picOut.image().size(), QImage::Format_ARGB32_Premultiplied);
        expected.fill(background());
        QPainter p(&expected);
        p.drawImage(QPoint(0, 0), icon);
        p.end();
        return expected.convertToFormat(QImage::Format_RGB32);
    }
};

// A JPEG whose frame header is sound but whose data is not (no quantisation table): the
// loader accepts it, the decoder refuses it when the picture is drawn. With `strayByte` a
// harmless oddity comes first, which the decoder reports as a mere warning.
QByteArray jpegWithoutTables(bool strayByte) {
    // SOI; SOF0: 8 bits, 64 x 64, one component.
    QByteArray jpeg = QByteArray::fromHex("ffd8ffc0000b080040004001011100");
    if (strayByte) {
        jpeg += '\0';
    }
    // SOS of that component, scan data, EOI.
    return jpeg + QByteArray::fromHex("ffda0008010100003f00") + QByteArray(64, '\x5a') +
           QByteArray::fromHex("ffd9");
}

test::BuiltPe exeWithIcons(const std::vector<test::TestIcon>& icons) {
    return test::buildPe(test::iconGroupResources({{}, 1}, icons, 1), false);
}

} // namespace

TEST_F(FailureTest, DamagedPictureSaysNotDisplayableAndShowsNothingWithoutAMessage) {
    QByteArray bmp = QByteArray("BM") + QByteArray(12, '\0') + QByteArray::fromHex("28000000");
    bmp += QByteArray::fromHex("00000080"
                               "00000080"
                               "0100"
                               "1800"); // absurd size, then ends
    writeFile(QStringLiteral("photo.bmp"), bmp);
    saveImage(QStringLiteral("good.bmp"), testImage(8, 8), "bmp");
    start();
    choose(QStringLiteral("good.bmp"));
    const rt::PicturePtr before = form().picTest.Picture();
    choose(QStringLiteral("photo.bmp"));
    expectNotDisplayable(QStringLiteral("photo.bmp"));
    EXPECT_FALSE(drawnExtent().isValid());
    // The size and attribute labels were written before the load failed.
    EXPECT_NE(form().lblFileSize.Caption(), QStringLiteral("ﾌｧｲﾙｻｲｽﾞ："));
    EXPECT_NE(form().lblFileAttribute.Caption(), QStringLiteral("ﾌｧｲﾙ属性："));
    EXPECT_NE(form().lblLastDay.Caption(), QStringLiteral("最終更新日："));
    // A failed load leaves the previous picture in the work box.
    EXPECT_EQ(form().picTest.Picture(), before);
}

class UndecodableJpegTest : public FailureTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UndecodableJpegTest, JpegThatFailsOnlyWhenDrawnSaysNotDisplayableAndDrawsNothing) {
    writeFile(QStringLiteral("broken.jpg"), jpegWithoutTables(GetParam()));
    start();
    choose(QStringLiteral("broken.jpg"));
    expectNotDisplayable(QStringLiteral("broken.jpg"));
    EXPECT_FALSE(drawnExtent().isValid()) << "no grey stand-in for pixels never decoded";
    // The attribute label was reached: the failure came from drawing, after the load.
    EXPECT_NE(form().lblFileAttribute.Caption(), QStringLiteral("ﾌｧｲﾙ属性："));
}

INSTANTIATE_TEST_SUITE_P(AfterWarning, UndecodableJpegTest, ::testing::Bool());

TEST_F(FailureTest, TruncatedJpegShowsWhatItHas) {
    const QString path =
        saveImage(QStringLiteral("cut.jpg"), testImage(160, 120, QColor(0, 0, 255)), "jpg", 90);
    ASSERT_TRUE(QFile::resize(path, QFileInfo(path).size() * 2 / 3));
    start();
    choose(QStringLiteral("cut.jpg"));
    EXPECT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：160"));
    EXPECT_TRUE(messages().isEmpty());
    // The blocks that arrived are blue; the rest is filled, not left as garbage.
    const QImage shown = form().picOut.image();
    EXPECT_GT(shown.pixelColor(4, 4).blue(), 200);
    EXPECT_LT(shown.pixelColor(4, 4).red(), 60);
    EXPECT_EQ(drawnExtent(), QRect(0, 0, 160, 120));
}

// The file is listed, then replaced before it is chosen.
enum class Replacement { Removed, Folder, NamedPipe };
constexpr const char* kReplacementNames[] = {"removed", "folder", "namedPipe"};

class UnreadableTest : public FailureTest, public ::testing::WithParamInterface<Replacement> {};

TEST_P(UnreadableTest, FileThatCannotBeOpenedSaysNotDisplayableWithoutAMessage) {
    const QString path = saveImage(QStringLiteral("gone.bmp"), testImage(8, 8), "bmp");
    start();
    ASSERT_EQ(form().picFil.ListCount(), 1); // listed, as the shown window is
    ASSERT_TRUE(QFile::remove(path));
    switch (GetParam()) {
    case Replacement::Removed:
        break;
    case Replacement::Folder:
        ASSERT_TRUE(QDir().mkdir(path));
        break;
    case Replacement::NamedPipe:
        // Opening it for reading must not wait for a writer.
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        break;
    }
    choose(QStringLiteral("gone.bmp"));
    expectNotDisplayable(QStringLiteral("gone.bmp"));
    EXPECT_FALSE(drawnExtent().isValid());
    if (GetParam() == Replacement::Removed) {
        EXPECT_EQ(form().lblLastDay.Caption(), QStringLiteral("最終更新日："))
            << "the date of a vanished file keeps its bare prefix";
        EXPECT_EQ(form().lblFileSize.Caption(), QStringLiteral("ﾌｧｲﾙｻｲｽﾞ："));
    } else {
        EXPECT_NE(form().lblLastDay.Caption(), QStringLiteral("最終更新日："));
    }
}

INSTANTIATE_TEST_SUITE_P(Replacements, UnreadableTest,
                         ::testing::Values(Replacement::Removed, Replacement::Folder,
                                           Replacement::NamedPipe),
                         [](const auto& p) {
                             return std::string(kReplacementNames[static_cast<int>(p.param)]);
                         });

struct TooLargeCase {
    const char* name;
    QByteArray (*bytes)();
    const char* width; // the number in the labels: unlike the normal path, not truncated
    const char* height;
    QSize pixels;
    qint64 growTo = 0; // the file grown with zeros (a sparse file) to this size
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const TooLargeCase& c, std::ostream* os) {
    *os << c.name;
}

class TooLargeTest : public FailureTest, public ::testing::WithParamInterface<TooLargeCase> {};

TEST_P(TooLargeTest, SaysTooLargeThenShowsItsSizeAndKeepsTheNewPicture) {
    const TooLargeCase& c = GetParam();
    const QString name = QString::fromLatin1(c.name);
    const QString path = writeFile(name, c.bytes());
    if (c.growTo > 0) {
        ASSERT_TRUE(QFile::resize(path, c.growTo));
    }
    saveImage(QStringLiteral("small.bmp"), testImage(8, 8), "bmp");
    start();
    choose(QStringLiteral("small.bmp"));
    // The size labels are written only after the message is closed.
    QString nameWhenAsked;
    host_.onCall = [&](const rt::ScriptedHost::Call& call) {
        if (call.kind == QLatin1String("msgbox")) {
            nameWhenAsked = form().lblFileName.Caption();
        }
    };
    choose(name);
    host_.onCall = nullptr;
    ASSERT_EQ(messages(),
              QStringList{QStringLiteral("Zelvia|ピクチャが大きすぎて、表示できません。")});
    EXPECT_EQ(host_.callsOf(QStringLiteral("msgbox"))[0].number, 16);
    EXPECT_EQ(nameWhenAsked, QStringLiteral("ファイル名："));
    frmMain& f = form();
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：") + QLatin1String(c.width));
    EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：") + QLatin1String(c.height));
    EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：") + name);
    EXPECT_NE(f.lblLastDay.Caption(), QStringLiteral("最終更新日："));
    ASSERT_TRUE(f.picTest.Picture());
    EXPECT_EQ(f.picTest.Picture()->pixelSize(), c.pixels);
    EXPECT_FALSE(drawnExtent().isValid());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TooLargeTest,
    ::testing::Values(TooLargeCase{"huge.jpg", hugeProgressiveJpeg, "65535", "65535",
                                   QSize(65535, 65535)},
                      TooLargeCase{"huge.wmf", test::rectangleWmf8000x6000, "533.3333", "400",
                                   QSize(533, 400), test::kPastMetafilePlayLimit}),
    [](const auto& p) { return caseNameOf(QString::fromLatin1(p.param.name)); });

TEST_F(FailureTest, HugeGifScreenWithATinyFrameDisplaysInTheBox) {
    writeFile(QStringLiteral("huge.gif"), hugeGif());
    start();
    choose(QStringLiteral("huge.gif"));
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：65535"));
    // The screen's background colour (black) fills the box.
    EXPECT_EQ(drawnExtent(), QRect(0, 0, 169, 169));
}

struct IconCase {
    const char* name;
    bool hasIcons;
    bool iconExpected;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const IconCase& c, std::ostream* os) {
    *os << c.name;
}

class IconTest : public FailureTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(IconTest, ExecutablesAndLibrariesShowTheirLargeIconTopLeftAtItsOwnSize) {
    const IconCase& c = GetParam();
    const QString name = QString::fromLatin1(c.name);
    // The 32 x 32 image is the large icon; its left half is masked out.
    const test::BuiltPe pe = c.hasIcons ? exeWithIcons({{16, 16, 32}, {32, 32, 8}, {48, 48, 32}})
                                        : test::buildPe({}, false);
    writeFile(name, pe.bytes);
    start();
    choose(name);
    expectNotDisplayable(name);
    if (!c.iconExpected) {
        EXPECT_FALSE(drawnExtent().isValid());
        return;
    }
    const QImage icon = rt::extractLargeIcon(pe.bytes);
    ASSERT_EQ(icon.size(), QSize(32, 32));
    const QImage shown = form().picOut.image().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, boxWithIcon(icon));
    // Only the opaque right half differs from the empty box.
    EXPECT_EQ(drawnExtent(), QRect(16, 0, 16, 32));
}

INSTANTIATE_TEST_SUITE_P(
    Names, IconTest,
    ::testing::Values(IconCase{"setup.exe", true, true}, IconCase{"LIB.Dll", true, true},
                      IconCase{"x.dLl", true, true}, IconCase{"notexe", true, true},
                      IconCase{"tool.ocx", true, false}, IconCase{"tool.cpl", true, false},
                      IconCase{"noicons.exe", false, false}),
    [](const auto& p) { return caseNameOf(QString::fromLatin1(p.param.name)); });

TEST_F(FailureTest, IconSurvivesRepaintsUntilTheNextSelectionClearsTheBox) {
    const test::BuiltPe pe = exeWithIcons({{32, 32, 32}});
    writeFile(QStringLiteral("setup.exe"), pe.bytes);
    writeFile(QStringLiteral("text.txt"), "plain text");
    start();
    choose(QStringLiteral("setup.exe"));
    const QImage icon = rt::extractLargeIcon(pe.bytes);
    ASSERT_FALSE(icon.isNull());
    QWidget* box = form().picOut.widget();
    box->update();
    const QImage screen = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(screen.copy(0, 0, 32, 32), icon.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(extentOf(screen, background()), QRect(0, 0, 32, 32));
    // The next selection starts by clearing the box, on screen too.
    choose(QStringLiteral("text.txt"));
    expectNotDisplayable(QStringLiteral("text.txt"));
    box->update();
    EXPECT_FALSE(extentOf(box->grab().toImage(), background()).isValid());
    EXPECT_FALSE(drawnExtent().isValid());
}

TEST_F(FailureTest, AfterAPictureTheIconIsDrawnIntoAnEmptyBox) {
    saveImage(QStringLiteral("a.bmp"), testImage(100, 100, QColor(0, 0, 255)), "bmp");
    const test::BuiltPe pe = exeWithIcons({{32, 32, 32}});
    writeFile(QStringLiteral("b.exe"), pe.bytes);
    start();
    choose(QStringLiteral("a.bmp"));
    ASSERT_EQ(drawnExtent(), QRect(0, 0, 100, 100));
    choose(QStringLiteral("b.exe"));
    EXPECT_EQ(drawnExtent(), QRect(0, 0, 32, 32)) << "no trace of the previous picture";
    // The work box still holds the bitmap.
    ASSERT_TRUE(form().picTest.Picture());
    EXPECT_EQ(form().picTest.Picture()->pixelSize(), QSize(100, 100));
}
