#include "core/native_path.h"
#include "core/runtime_error.h"
#include "formats/imaging/raster_picture.h"
#include "support/corpus.h"
#include "support/picture_checks.h"

#include <QImageReader>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

using namespace zelvia::rt;
using namespace zelvia::test;

TEST(Corpus, ValidBmpSuiteFilesLoadWithTheirDimensionsAndDraw) {
    ZELVIA_REQUIRE_CORPUS(dir);
    int checked = 0;
    for (const CorpusEntry& e : corpusEntries(QStringLiteral("bmp/bmpsuite/g/"))) {
        SCOPED_TRACE(e.relPath.toStdString());
        ASSERT_EQ(e.expect, QStringLiteral("valid"));
        const PicturePtr p = loadRasterPicture(ReadOnlyFile(e.path));
        const QStringList wh = e.dims.split(QLatin1Char('x'));
        ASSERT_EQ(wh.size(), 2);
        EXPECT_EQ(p->pixelSize(), QSize(wh[0].toInt(), wh[1].toInt()));
        EXPECT_NO_THROW(drawAt(*p, 169, 112));
        EXPECT_NO_THROW((void)p->fullImage());
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

// Every raster file either loads and draws, or is refused with 481 (or 5); never anything
// else, never a crash.
TEST(Corpus, EveryRasterFileLoadsOrIsRefusedCleanly) {
    ZELVIA_REQUIRE_CORPUS(dir);
    std::map<std::string, std::map<std::string, std::pair<int, int>>> counts; // ok, refused
    for (const QString& folder : {QStringLiteral("bmp/"), QStringLiteral("ico/"),
                                  QStringLiteral("jpeg/"), QStringLiteral("gif/")}) {
        for (const CorpusEntry& e : corpusEntries(folder)) {
            SCOPED_TRACE(e.relPath.toStdString());
            auto& c = counts[folder.toStdString()][e.expect.toStdString()];
            try {
                const PicturePtr p = loadRasterPicture(ReadOnlyFile(e.path));
                ASSERT_TRUE(p);
                EXPECT_FALSE(p->pixelSize().isEmpty());
                drawAt(*p, 169, 112);
                const QImage full = p->fullImage();
                EXPECT_EQ(full.size(), p->pixelSize());
                ++c.first;
                EXPECT_FALSE(knownRefusals().contains(e.relPath))
                    << "listed as refused but loads: update knownRefusals()";
            } catch (const RuntimeError& err) {
                if (e.expect == QStringLiteral("valid")) {
                    EXPECT_TRUE(knownRefusals().contains(e.relPath))
                        << "valid file refused: " << err.what();
                }
                EXPECT_TRUE(err.number() == err::InvalidPicture || err.number() == err::TooLarge)
                    << err.number() << " " << err.what();
                ++c.second;
            }
        }
    }
    for (const auto& [folder, byExpect] : counts) {
        for (const auto& [expect, c] : byExpect) {
            std::cout << "[corpus] " << folder << " " << expect << ": " << c.first << " loaded, "
                      << c.second << " refused\n";
        }
    }
}

// The GIF decoder's first frame against Qt's own reader, pixel for pixel, on every valid
// GIF of the corpus (interlaced, 4095 codes, clears, frames off the screen...).
TEST(Corpus, GifFirstFramesMatchQtsReader) {
    ZELVIA_REQUIRE_CORPUS(dir);
    int compared = 0;
    for (const CorpusEntry& e : corpusEntries(QStringLiteral("gif/"))) {
        if (e.expect != QStringLiteral("valid")) {
            continue;
        }
        SCOPED_TRACE(e.relPath.toStdString());
        QImageReader reader(e.path, "gif");
        const QImage expected = reader.read().convertToFormat(QImage::Format_ARGB32);
        if (expected.isNull()) {
            continue;
        }
        const QImage mine = loadRasterPicture(ReadOnlyFile(e.path))
                                ->fullImage()
                                .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(mine.size(), expected.size());
        int differing = 0;
        for (int y = 0; y < mine.height(); ++y) {
            for (int x = 0; x < mine.width(); ++x) {
                const QRgb a = mine.pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                differing += a != b && (qAlpha(a) != 0 || qAlpha(b) != 0) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0);
        ++compared;
    }
    EXPECT_GT(compared, 30);
}
