// Choosing a file: the panel's captions, the fit into the display box and what is drawn.
#include "app/module1.h"
#include "core/basic_types.h"
#include "support/app_fixture.h"

#include <QFile>
#include <QListView>
#include <QPalette>
#include <QTest>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::extentOf;
using zelvia::test::testImage;

namespace {

class DisplayTest : public AppTest {
protected:
    QColor background() { return form().picOut.widget()->palette().color(QPalette::Base); }
    QRect drawnExtent() { return extentOf(form().picOut.image(), background()); }
};

struct FitCase {
    const char* format;
    int width;
    int height;
    QSize drawnMin; // the extent drawn, in pixels, at least...
    QSize drawnMax; // ...and at most
    float picSize;  // expected PicSize, 0 when the picture fits
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.format << ' ' << c.width << 'x' << c.height;
}

class FitTest : public DisplayTest, public ::testing::WithParamInterface<FitCase> {};

} // namespace

TEST_P(FitTest, PictureIsDrawnTopLeftReducedOnlyWhenLargerThanTheBox) {
    const FitCase& c = GetParam();
    const QString name = QStringLiteral("pic.") + QString::fromLatin1(c.format);
    saveImage(name, testImage(c.width, c.height), c.format, 95);
    start();
    choose(name);
    frmMain& f = form();
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：%1").arg(c.width));
    EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：%1").arg(c.height));
    EXPECT_DOUBLE_EQ(f.picTest.Width(), c.width * 15.0);
    EXPECT_DOUBLE_EQ(f.picTest.Height(), c.height * 15.0);
    EXPECT_FLOAT_EQ(f.PicSize, c.picSize);
    const QRect drawn = drawnExtent();
    EXPECT_EQ(drawn.topLeft(), QPoint(0, 0));
    EXPECT_GE(drawn.width(), c.drawnMin.width()) << drawn.width();
    EXPECT_LE(drawn.width(), c.drawnMax.width()) << drawn.width();
    EXPECT_GE(drawn.height(), c.drawnMin.height()) << drawn.height();
    EXPECT_LE(drawn.height(), c.drawnMax.height()) << drawn.height();
    // The picture's own colour shows inside the drawn area.
    const QColor centre = f.picOut.image().pixelColor(drawn.center());
    EXPECT_GT(centre.red(), 150);
    EXPECT_LT(centre.green(), 80);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FitTest,
                         ::testing::Values(
                             // 400 x 300 covers 169 x 126.75 pixels.
                             FitCase{"bmp", 400, 300, {169, 126}, {169, 127}, 6000.0F / 2535.0F},
                             FitCase{"jpg", 400, 300, {169, 126}, {169, 127}, 6000.0F / 2535.0F},
                             // Exactly the box: unscaled.
                             FitCase{"bmp", 169, 169, {169, 169}, {169, 169}, 0.0F},
                             // One pixel more: reduced to the box edge.
                             FitCase{"bmp", 170, 170, {169, 169}, {169, 169}, 2550.0F / 2535.0F},
                             // Tall: 42.25 x 169.
                             FitCase{"bmp", 100, 400, {42, 169}, {43, 169}, 6000.0F / 2535.0F},
                             // Small: neither enlarged nor centred.
                             FitCase{"jpg", 160, 120, {160, 120}, {160, 120}, 0.0F},
                             FitCase{"ico", 48, 48, {48, 48}, {48, 48}, 0.0F}));

TEST_F(DisplayTest, PanelCaptionsFollowTheFileAndTheFolderPathHasOneSlash) {
    const QString path = saveImage(QStringLiteral("写真 1.bmp"), testImage(64, 32), "bmp");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
    start();
    form().mnuReadOnly_Click(); // read-only files are listed only with their option on
    choose(QStringLiteral("写真 1.bmp"));
    frmMain& f = form();
    EXPECT_EQ(Module1::FolderPath, rootPath() + QLatin1Char('/'));
    EXPECT_FALSE(Module1::FolderPath.contains(QStringLiteral("//")));
    EXPECT_EQ(f.lblLine.Caption(), QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：") + rootPath());
    EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：写真 1.bmp"));
    const qint64 size = QFile(path).size();
    EXPECT_EQ(f.lblFileSize.Caption(),
              QStringLiteral("ﾌｧｲﾙｻｲｽﾞ：%1KB(%2ﾊﾞｲﾄ)")
                  .arg(QString::number(static_cast<double>(size) / 1024.0, 'g', 15).left(4))
                  .arg(size));
    EXPECT_EQ(f.lblFileAttribute.Caption(), QStringLiteral("ﾌｧｲﾙ属性：通常＆読み取り専用ファイル"));
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：64"));
    EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：32"));
    EXPECT_TRUE(f.lblLastDay.Caption().startsWith(QStringLiteral("最終更新日：")));
    EXPECT_GT(f.lblLastDay.Caption().size(), QStringLiteral("最終更新日：").size());
    EXPECT_TRUE(f.picTest.Picture());
}

TEST_F(DisplayTest, TheFormatComesFromTheContentNotTheName) {
    saveImage(QStringLiteral("photo.jpg"), testImage(30, 20), "bmp");
    writeFile(QStringLiteral("x.bmp"), "this is text, not a bitmap");
    start();
    choose(QStringLiteral("photo.jpg"));
    EXPECT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：30"));
    choose(QStringLiteral("x.bmp"));
    EXPECT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：表示出来ません"));
}

TEST_F(DisplayTest, WorkBoxKeepsTheLastPictureThroughResetsAndKeyboardSelectionDisplaysToo) {
    saveImage(QStringLiteral("a.bmp"), testImage(10, 10), "bmp");
    saveImage(QStringLiteral("b.bmp"), testImage(20, 10), "bmp");
    start();
    frmMain& f = form();
    f.picFil.widget()->setFocus();
    choose(QStringLiteral("a.bmp"));
    const rt::PicturePtr first = f.picTest.Picture();
    ASSERT_TRUE(first);
    // A folder change clears the panel but never the work box.
    f.picDir.setPath(rootPath());
    EXPECT_EQ(f.picTest.Picture(), first);
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)："));
    EXPECT_FALSE(drawnExtent().isValid());
    // Moving the selection with the keyboard displays the new entry.
    f.picFil.setListIndex(0);
    QTest::keyClick(f.picFil.view(), Qt::Key_Down);
    EXPECT_EQ(f.picFil.FileName(), QStringLiteral("b.bmp"));
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：20"));
}
