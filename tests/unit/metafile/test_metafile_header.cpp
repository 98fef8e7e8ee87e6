#include "core/runtime_error.h"
#include "formats/metafile/metafile_picture.h"
#include "support/corpus.h"
#include "support/metafile_writers.h"
#include "support/picture_checks.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

QByteArray simpleEmf(QRect bounds, QRect frame, QSize px = {1000, 1000}, QSize mm = {250, 250}) {
    EmfWriter w;
    w.rectangle(0, 0, 10, 10);
    return w.finish(bounds, frame, px, mm);
}

} // namespace

struct PlaceableCase {
    QRect box;
    int inch;
    double twipsW;
    double twipsH;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const PlaceableCase& c, std::ostream* os) {
    *os << c.inch;
}

class PlaceableSize : public ::testing::TestWithParam<PlaceableCase> {};

TEST_P(PlaceableSize, BoundingBoxAtItsUnitsPerInch) {
    const auto& c = GetParam();
    WmfWriter w;
    w.rectangle(c.box.left(), c.box.top(), c.box.right(), c.box.bottom());
    const PicturePtr pic = loadMetafilePictureFromBytes(w.placeable(c.box, c.inch, 0));
    EXPECT_EQ(pic->kind(), PictureKind::Metafile);
    // The screen's twips per pixel do not matter for metafiles.
    const QSizeF twips = pic->naturalSizeTwips(7.0, 30.0);
    EXPECT_NEAR(twips.width(), c.twipsW, 1e-6);
    EXPECT_NEAR(twips.height(), c.twipsH, 1e-6);
    EXPECT_EQ(pic->pixelSize(), QSize(qRound(c.twipsW / 15), qRound(c.twipsH / 15)));
    EXPECT_EQ(pic->originalMimeType(), "image/x-wmf");
}

INSTANTIATE_TEST_SUITE_P(Metafile, PlaceableSize,
                         ::testing::Values(PlaceableCase{QRect(0, 0, 1000, 500), 1000, 1440, 720},
                                           PlaceableCase{QRect(-8, -8, 1905, 692), 575,
                                                         1905 * 1440.0 / 575, 692 * 1440.0 / 575},
                                           PlaceableCase{QRect(100, 200, 2880, 1440), 0, 2880,
                                                         1440}, // 0 -> 1440
                                           PlaceableCase{QRect(0, 0, 96, 48), 96, 1440, 720}));

TEST(MetafileHeader, PlaceableWithWrongChecksumStillLoads) {
    WmfWriter w;
    w.rectangle(0, 0, 10, 10);
    const QByteArray bytes = w.placeable(QRect(0, 0, 1440, 720), 1440, 0, false);
    EXPECT_EQ(loadMetafilePictureFromBytes(bytes)->naturalSizeTwips(15, 15), QSizeF(1440, 720));
}

TEST(MetafileHeader, PlainWmfUsesItsWindowExtent) {
    WmfWriter w;
    w.mapMode(8).windowOrg(-50, 30).windowExt(3000, -1500).rectangle(0, 0, 10, 10);
    const PicturePtr pic = loadMetafilePictureFromBytes(w.plain(0));
    EXPECT_EQ(pic->naturalSizeTwips(15, 15), QSizeF(3000, 1500));
    EXPECT_EQ(pic->pixelSize(), QSize(200, 100));
}

TEST(MetafileHeader, PlainWmfWithoutWindowUsesItsDrawingExtent) {
    WmfWriter w;
    w.pen(5, 0, 0).select(0).solidBrush(0x0000FF).select(1).rectangle(100, 200, 1600, 950);
    const PicturePtr pic = loadMetafilePictureFromBytes(w.plain(2));
    const QSizeF twips = pic->naturalSizeTwips(15, 15);
    EXPECT_NEAR(twips.width(), 1500, 2);
    EXPECT_NEAR(twips.height(), 750, 2);
}

TEST(MetafileHeader, EmfFrameIsInclusiveHundredthsOfMillimetre) {
    // 0..2539 inclusive is 25.4 mm, one inch.
    const PicturePtr pic = loadMetafilePictureFromBytes(
        simpleEmf(QRect(0, 0, 10, 10), QRect(QPoint(0, 0), QPoint(2539, 5079))));
    EXPECT_EQ(pic->kind(), PictureKind::EnhMetafile);
    EXPECT_NEAR(pic->naturalSizeTwips(15, 15).width(), 1440, 1e-6);
    EXPECT_NEAR(pic->naturalSizeTwips(15, 15).height(), 2880, 1e-6);
    EXPECT_EQ(pic->pixelSize(), QSize(96, 192));
    EXPECT_EQ(pic->originalMimeType(), "image/x-emf");
}

TEST(MetafileHeader, EmfWithEmptyFrameUsesBoundsThroughReferenceDevice) {
    // 4 px per mm: 100 px wide is 25 mm.
    const PicturePtr pic = loadMetafilePictureFromBytes(
        simpleEmf(QRect(QPoint(10, 10), QPoint(109, 59)), QRect(QPoint(0, 0), QPoint(0, 0))));
    EXPECT_NEAR(pic->naturalSizeTwips(15, 15).width(), 25 * 1440 / 25.4, 1e-6);
    EXPECT_NEAR(pic->naturalSizeTwips(15, 15).height(), 12.5 * 1440 / 25.4, 1e-6);
}

TEST(MetafileHeader, OriginalBytesAreTheFile) {
    const QByteArray bytes = simpleEmf(QRect(0, 0, 10, 10), QRect(0, 0, 1000, 1000));
    EXPECT_EQ(loadMetafilePictureFromBytes(bytes)->originalBytes(), bytes);
}

struct SniffCase {
    const char* name;
    QByteArray head;
    bool metafile;
};

// Names the case in test output and in the test list, stably between runs.
[[maybe_unused]] void PrintTo(const SniffCase& c, std::ostream* os) {
    *os << c.name;
}

class Sniff : public ::testing::TestWithParam<SniffCase> {};

TEST_P(Sniff, RecognisesHeaders) {
    EXPECT_EQ(looksLikeMetafile(GetParam().head), GetParam().metafile) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, Sniff,
    ::testing::Values(
        SniffCase{"placeable", words32({0x9AC6CDD7}), true},
        SniffCase{"plain v3", words16({1, 9, 0x0300, 0, 0, 0, 0, 0, 0}), true},
        SniffCase{"plain v1 disk", words16({2, 9, 0x0100, 0, 0, 0, 0, 0, 0}), true},
        SniffCase{"plain bad version", words16({1, 9, 0x0200, 0, 0, 0, 0, 0, 0}), false},
        SniffCase{"plain bad header size", words16({1, 8, 0x0300, 0, 0, 0, 0, 0, 0}), false},
        SniffCase{"emf", simpleEmf(QRect(0, 0, 1, 1), QRect(0, 0, 1, 1)).left(44), true},
        SniffCase{"bmp", QByteArray("BM\x10\0\0\0\0\0\0\0", 10), false},
        SniffCase{"short", QByteArray("\x01", 1), false}),
    [](const auto& p) { return caseNameOf(QString::fromLatin1(p.param.name)); });

TEST(MetafileHeader, DamagedHeadersAreNotLoadable) {
    const QByteArray emf = simpleEmf(QRect(0, 0, 10, 10), QRect(0, 0, 1000, 1000));
    QByteArray badSignature = emf;
    badSignature[41] = 'X';
    QByteArray hugeHeaderSize = emf;
    hugeHeaderSize[4] = '\xF0';
    hugeHeaderSize[5] = '\xFF';
    WmfWriter w;
    w.rectangle(0, 0, 10, 10);
    const QByteArray emptyBox = w.placeable(QRect(5, 5, 0, 0), 1440, 0);
    const QByteArray placeableOnly = w.placeable(QRect(0, 0, 10, 10), 1440, 0).left(30);
    const QByteArray drawsNothing = WmfWriter().plain(0);
    for (const QByteArray& bad : {badSignature, hugeHeaderSize, emptyBox, placeableOnly,
                                  drawsNothing, emf.left(60), QByteArray("GIF89a")}) {
        EXPECT_EQ(errorOf([&] { loadMetafilePictureFromBytes(bad); }), err::InvalidPicture);
    }
}

// Past the size a metafile may have to be played, only the header is read: the picture keeps
// the size stated there and refuses to be drawn, so the window can say how large it is.
TEST(MetafileHeader, FilesPastThePlayLimitKeepTheirStatedSizeAndRefuseToDraw) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto hugeFile = [&](const char* name, const QByteArray& head) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(head) == head.size());
        EXPECT_TRUE(f.resize(kPastMetafilePlayLimit));
        return path;
    };
    const PicturePtr p =
        loadMetafilePicture(ReadOnlyFile(hugeFile("huge.wmf", rectangleWmf8000x6000())));
    EXPECT_EQ(p->kind(), PictureKind::Metafile);
    EXPECT_EQ(p->naturalSizeTwips(15, 15), QSizeF(8000, 6000));
    QImage canvas(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    EXPECT_EQ(errorOf([&] { p->draw(painter, QRectF(0, 0, 10, 10)); }), err::TooLarge);
    EXPECT_EQ(errorOf([&] { (void)p->fullImage(); }), err::TooLarge);

    // No header: not a metafile at all.
    EXPECT_EQ(errorOf([&] { loadMetafilePicture(ReadOnlyFile(hugeFile("zeros.emf", {}))); }),
              err::InvalidPicture);
}
