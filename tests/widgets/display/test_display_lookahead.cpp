// Choosing the next file after its neighbour was shown: the display takes the picture decoded
// ahead when the file is still the one decoded, and otherwise behaves as without look-ahead.
#include "formats/imaging/raster_picture.h"
#include "lookahead/look_ahead.h"
#include "support/app_fixture.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::testImage;

namespace {

class LookAheadDisplayTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        lookAhead_ = rt::lookahead::shared();
        ASSERT_NE(lookAhead_, nullptr);
        lookAhead_->waitIdle();
        lookAhead_->clear();
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
            saveImage(QString::fromLatin1(name), testImage(800, 600), "jpg", 90);
        }
        start();
    }

    // Shows `name` and lets the worker finish preparing its neighbours.
    void show(const char* name) {
        choose(QString::fromLatin1(name));
        lookAhead_->waitIdle();
    }

    // True when showing the current picture needed no decoding of its own.
    bool drawnFromLookAhead() { return rt::lastDecodedSize(*form().picTest.Picture()).isEmpty(); }

    rt::lookahead::LookAhead* lookAhead_ = nullptr;
};

} // namespace

TEST_F(LookAheadDisplayTest, NeighbourIsDrawnFromThePreparedImageWithTheSamePixels) {
    show("a.jpg");
    show("b.jpg");
    ASSERT_TRUE(drawnFromLookAhead());
    const QImage prepared = form().picOut.image();
    const QString width = form().lblWidth.Caption();

    // b again, cold: from d (whose only neighbour is c) with nothing prepared.
    show("d.jpg");
    lookAhead_->clear();
    show("b.jpg");
    ASSERT_FALSE(drawnFromLookAhead());
    EXPECT_EQ(form().picOut.image(), prepared);
    EXPECT_EQ(form().lblWidth.Caption(), width);
}

TEST_F(LookAheadDisplayTest, FileChangedAfterPreparingShowsItsNewPicture) {
    show("a.jpg");
    const QString b = rootPath() + QStringLiteral("/b.jpg");
    saveImage(QStringLiteral("b.jpg"), testImage(900, 300, QColor(30, 30, 200)), "jpg", 90);
    // A later time set explicitly: the file system's clock may not have moved on.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(b).constData(), &st), 0);
    const timespec later[2] = {st.st_atim, {st.st_mtim.tv_sec + 1, st.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(b).constData(), later, 0), 0);

    show("b.jpg");
    EXPECT_FALSE(drawnFromLookAhead());
    EXPECT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：900"));
    const QColor centre = form().picOut.image().pixelColor(80, 25);
    EXPECT_GT(centre.blue(), 150);
    EXPECT_LT(centre.red(), 80);
}

TEST_F(LookAheadDisplayTest, FileRemovedAfterPreparingTakesTheFailurePath) {
    show("a.jpg");
    ASSERT_TRUE(QFile::remove(rootPath() + QStringLiteral("/b.jpg")));
    show("b.jpg");
    EXPECT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：表示出来ません"));
    EXPECT_EQ(form().lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：表示出来ません"));
    EXPECT_EQ(form().lblFileName.Caption(), QStringLiteral("ファイル名：b.jpg"));
    EXPECT_TRUE(messages().isEmpty());
    // Nothing drawn: the box holds only its background.
    const QImage box = form().picOut.image();
    EXPECT_EQ(box.pixelColor(40, 40), box.pixelColor(0, 0));
}
