// The look-ahead worker against real files: what it prepares is what drawing would decode, a
// file changed or gone since is never taken for the prepared one, and all of it holds while
// the worker runs beside loading and drawing on this thread.
#include "core/native_path.h"
#include "formats/imaging/raster_base.h"
#include "formats/imaging/raster_picture.h"
#include "lookahead/look_ahead.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace zelvia::rt;
using zelvia::rt::lookahead::LookAhead;
using zelvia::rt::lookahead::Placement;

namespace {

// Every picture drawn into a 100 x 50 rectangle, at two device pixels per unit.
Placement placement() {
    Placement p;
    p.target = [](QSizeF) { return QRectF(0, 0, 100, 50); };
    p.pixelRatio = 2.0;
    return p;
}
const QSize kNeeded(200, 100);

class LookAheadTest : public ::testing::Test {
protected:
    QString write(const QString& name, QColor colour) {
        QImage image(400, 200, QImage::Format_RGB32);
        image.fill(colour);
        image.setPixelColor(0, 0, Qt::white); // some detail for the smooth scaling
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }

    // The picture as the display loads it: adopting whatever was prepared for its file.
    static PicturePtr load(LookAhead& lookAhead, const QString& path) {
        const ReadOnlyFile file(path);
        PicturePtr picture = loadRasterPicture(file);
        lookAhead.adopt(picture, file);
        return picture;
    }

    static QImage render(const Picture& picture) {
        return dynamic_cast<const imaging::RasterPictureBase&>(picture).renderFor(kNeeded);
    }

    static bool decoded(const Picture& picture) { return !lastDecodedSize(picture).isEmpty(); }

    QTemporaryDir dir_;
};

TEST_F(LookAheadTest, PreparesBothNeighboursAsDrawingWouldAndNothingForFailingFiles) {
    const QString a = write("a.bmp", QColor(200, 30, 30));
    const QString b = write("b.bmp", QColor(30, 30, 200));
    const QString text = dir_.filePath("c.txt");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();

    LookAhead lookAhead;
    lookAhead.prepareNeighbours(1, a, b, placement());
    lookAhead.waitIdle();
    for (const QString& path : {a, b}) {
        const PicturePtr prepared = load(lookAhead, path);
        const QImage fromCache = render(*prepared);
        EXPECT_FALSE(decoded(*prepared)) << path.toStdString();
        const PicturePtr cold = loadRasterPicture(ReadOnlyFile(path));
        EXPECT_EQ(fromCache, render(*cold)) << path.toStdString();
        EXPECT_TRUE(decoded(*cold));
    }

    // A missing file and one that is no picture are left out, and the worker goes on.
    lookAhead.prepareNeighbours(2, dir_.filePath("gone.bmp"), text, placement());
    const QString d = write("d.bmp", QColor(30, 200, 30));
    lookAhead.prepareNeighbours(3, QString(), d, placement());
    lookAhead.waitIdle();
    EXPECT_FALSE(decoded(*load(lookAhead, d)));
}

TEST_F(LookAheadTest, FileChangedOrReplacedSincePreparingIsDecodedAfresh) {
    const QString a = write("a.bmp", QColor(200, 30, 30));
    const QString b = write("b.bmp", QColor(200, 30, 30));
    const QString c = write("c.bmp", QColor(200, 30, 30));
    LookAhead lookAhead;
    lookAhead.prepareNeighbours(0, a, b, placement());
    lookAhead.waitIdle();
    lookAhead.prepareNeighbours(1, QString(), c, placement());
    lookAhead.waitIdle();
    // Rewritten at the same size with its modification time put back (touch -r, rsync): only
    // the change time tells.
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(c).constData(), &before), 0);
    write("c.bmp", QColor(30, 30, 200));
    const timespec putBack[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(c).constData(), putBack, 0), 0);

    // Rewritten in place: same inode and size, later modification time. (Set explicitly: the
    // file system's clock may not have moved on within a test.)
    write("a.bmp", QColor(30, 30, 200));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(a).constData(), &st), 0);
    const timespec later[2] = {st.st_atim, {st.st_mtim.tv_sec + 1, st.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(a).constData(), later, 0), 0);
    // Replaced by another file under the same name, as editors save.
    const QString fresh = write("fresh.bmp", QColor(30, 30, 200));
    ASSERT_EQ(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(b).constData()), 0);

    for (const QString& path : {a, b, c}) {
        const PicturePtr picture = load(lookAhead, path);
        const QColor centre = render(*picture).pixelColor(100, 50);
        EXPECT_TRUE(decoded(*picture)) << path.toStdString();
        EXPECT_GT(centre.blue(), 150) << path.toStdString();
        EXPECT_LT(centre.red(), 80) << path.toStdString();
    }
}

// The shown picture is kept as drawn under the file as it was opened: rewritten in place since,
// the file is decoded afresh when chosen again.
TEST_F(LookAheadTest, ShownFileRewrittenSinceItWasOpenedIsDecodedAfresh) {
    const QString a = write("a.bmp", QColor(200, 30, 30));
    LookAhead lookAhead;
    PicturePtr shown; // held by the display while shown
    {
        const ReadOnlyFile file(a);
        shown = loadRasterPicture(file);
        ASSERT_EQ(render(*shown).pixelColor(100, 50), QColor(200, 30, 30));
        QFile rewrite(a);
        ASSERT_TRUE(rewrite.open(QIODevice::ReadWrite)); // same inode, as a download finishing
        QImage blue(400, 200, QImage::Format_RGB32);
        blue.fill(QColor(30, 30, 200));
        ASSERT_TRUE(blue.save(&rewrite, "BMP"));
        rewrite.write(QByteArray(64, '\0'));
        rewrite.close();
        lookAhead.adopt(shown, file);
    }
    lookAhead.prepareNeighbours(1, QString(), QString(), placement()); // keeps the shown one
    const PicturePtr again = load(lookAhead, a);
    EXPECT_EQ(render(*again).pixelColor(100, 50), QColor(30, 30, 200));
    EXPECT_TRUE(decoded(*again));
}

// A decode that polls its stop request, as the decoders do: it spins until asked to stop or
// released, then goes on as a decode that ended would.
struct PollingDecode {
    std::atomic<bool> started{false};
    std::atomic<bool> released{false};
    std::atomic<bool> sawStop{false};
    bool polls = true;

    Placement placement() {
        Placement p = ::placement();
        p.target = [this](QSizeF natural) {
            started = true;
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!released && std::chrono::steady_clock::now() < giveUp) {
                if (polls && stopRequested()) {
                    sawStop = true;
                    throwIfStopRequested();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return ::placement().target(natural);
        };
        return p;
    }
    void waitStarted() const {
        while (!started) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};

TEST_F(LookAheadTest, DecodeOfAFileNoLongerANeighbourStopsAndKeepsNothing) {
    const QString a = write("a.bmp", QColor(200, 30, 30));
    const QString b = write("b.bmp", QColor(30, 200, 30));
    const QString c = write("c.bmp", QColor(30, 30, 200));
    struct Move {
        const char* what;
        QString previous, next;
        bool stops;
    };
    for (const Move& move :
         {Move{"b stays a neighbour", a, b, false}, Move{"b is left behind", QString(), c, true}}) {
        SCOPED_TRACE(move.what);
        LookAhead lookAhead;
        PollingDecode decode;
        lookAhead.prepareNeighbours(1, QString(), b, decode.placement());
        decode.waitStarted();
        lookAhead.prepareNeighbours(2, move.previous, move.next, placement());
        if (!move.stops) {
            decode.released = true;
        }
        lookAhead.waitIdle();
        EXPECT_EQ(decode.sawStop, move.stops);
        const auto decodedWhenDrawn = [&](const QString& path) {
            const PicturePtr picture = load(lookAhead, path);
            render(*picture);
            return decoded(*picture);
        };
        EXPECT_EQ(decodedWhenDrawn(b), move.stops);
        EXPECT_FALSE(decodedWhenDrawn(move.next)); // the worker went on
    }
}

TEST_F(LookAheadTest, StoppingWithinAPatienceLeavesAWorkerThatDoesNotEndBehind) {
    const QString a = write("a.bmp", QColor(200, 30, 30));
    PollingDecode stuck;
    stuck.polls = false; // as a read that never returns
    LookAhead lookAhead;
    lookAhead.prepareNeighbours(0, QString(), a, stuck.placement());
    stuck.waitStarted();
    EXPECT_FALSE(lookAhead.stopWithin(std::chrono::milliseconds(30)));
    stuck.released = true;
    EXPECT_TRUE(lookAhead.stopWithin(std::chrono::seconds(20)));
}

// Moving on quickly, while this thread loads and draws the same files, and ending the worker
// in the middle of its work. ThreadSanitizer watches this one.
TEST_F(LookAheadTest, RapidMovesBesideLoadingAndDrawingGiveEachFileItsOwnPicture) {
    const QColor colours[] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200)};
    QStringList paths;
    for (int i = 0; i < 3; ++i) {
        paths << write(QStringLiteral("%1.bmp").arg(i), colours[i]);
    }
    paths << dir_.filePath("missing.bmp");
    auto lookAhead = std::make_unique<LookAhead>();
    for (int step = 0; step < 60; ++step) {
        const int index = step % 4;
        lookAhead->prepareNeighbours(index, paths[(index + 3) % 4], paths[(index + 1) % 4],
                                     placement());
        if (index == 3) {
            lookAhead->clear();
            continue;
        }
        const PicturePtr picture = load(*lookAhead, paths[index]);
        EXPECT_EQ(render(*picture).pixelColor(100, 50), colours[index]) << step;
    }
    lookAhead.reset(); // joins a worker that may still be decoding
}

} // namespace
