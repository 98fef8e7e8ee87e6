// The look-ahead worker against real files: what it prepares is what drawing would decode, a
// file changed or gone since is never taken for the prepared one, and all of it holds while
// the worker runs beside loading and drawing on this thread.
#include "core/native_path.h"
#include "formats/imaging/raster_base.h"
#include "formats/imaging/raster_picture.h"
#include "lookahead/isolated_read.h"
#include "lookahead/look_ahead.h"
#include "lookahead/reader_spawner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
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
    QString write(const QString& name, QColor colour, int width = 400) {
        QImage image(width, 200, QImage::Format_RGB32);
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

// The shown picture is kept as drawn under the file as it was opened: rewritten since, the file
// is decoded afresh when chosen again.
TEST_F(LookAheadTest, ShownFileRewrittenSinceItWasOpenedIsDecodedAfresh) {
    const QString a = write("a.bmp", QColor(200, 30, 30));
    LookAhead lookAhead;
    PicturePtr shown; // held by the display while shown
    {
        const ReadOnlyFile file(a);
        shown = loadRasterPicture(file);
        ASSERT_EQ(render(*shown).pixelColor(100, 50), QColor(200, 30, 30));
        write("a.bmp", QColor(30, 30, 200), 402); // in place and longer, as a download ending
        lookAhead.adopt(shown, file);
    }
    lookAhead.prepareNeighbours(1, QString(), QString(), placement()); // keeps the shown one
    EXPECT_EQ(render(*load(lookAhead, a)).pixelColor(100, 50), QColor(30, 30, 200));
}

// A decode of `b` that polls its stop request as the decoders do, then a move: the decode stops
// and keeps nothing when b is no neighbour any more, and runs on when it still is.
TEST_F(LookAheadTest, DecodeOfAFileNoLongerANeighbourStopsAndKeepsNothing) {
    const QString a = write("a.bmp", QColor(200, 30, 30));
    const QString b = write("b.bmp", QColor(30, 200, 30));
    const QString c = write("c.bmp", QColor(30, 30, 200));
    for (const bool leftBehind : {false, true}) {
        SCOPED_TRACE(leftBehind);
        std::atomic<bool> started = false, released = false, sawStop = false;
        Placement polling = placement();
        polling.target = [&](QSizeF natural) {
            started = true;
            for (int ms = 0; !released && ms < 20000; ++ms) {
                sawStop = sawStop || stopRequested();
                throwIfStopRequested();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return placement().target(natural);
        };
        LookAhead lookAhead;
        lookAhead.prepareNeighbours(1, QString(), b, polling);
        while (!started) {
            std::this_thread::yield();
        }
        const QString next = leftBehind ? c : b;
        lookAhead.prepareNeighbours(2, a, next, placement());
        released = !leftBehind;
        lookAhead.waitIdle();
        EXPECT_EQ(sawStop, leftBehind);
        for (const QString& path : {b, next}) {
            const PicturePtr picture = load(lookAhead, path);
            render(*picture);
            EXPECT_EQ(decoded(*picture), leftBehind && path == b);
        }
    }
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

// Which entries each move asks for, nearest first: a straight walk one entry at a time reaches
// further ahead, up to the most, and a turn or a jump asks for the two neighbours only.
TEST(LookAheadDepth, AStraightWalkReachesFurtherAheadATurnOrAJumpOnlyTheNeighbours) {
    LookAhead lookAhead;
    const std::vector<std::pair<int, std::vector<int>>> moves = {
        {10, {11, 9}},          // the first choice is a jump
        {11, {12, 13, 10}},     // one step down
        {12, {13, 14, 15, 11}}, // two in a row
        {13, {14, 15, 16, 17, 12}},
        {14, {15, 16, 17, 18, 19, 13}},
        {15, {16, 17, 18, 19, 20, 21, 14}}, // the most ahead
        {16, {17, 18, 19, 20, 21, 22, 15}}, // and no further
        {15, {14, 16}},                     // a turn
        {14, {13, 12, 15}},                 // up, one step after the turn
        {30, {31, 29}},                     // a jump
    };
    for (const auto& [index, expected] : moves) {
        std::vector<int> asked;
        lookAhead.prepareAround(
            index,
            [&](int i) {
                asked.push_back(i);
                return QString();
            },
            placement());
        EXPECT_EQ(asked, expected) << "at " << index;
    }
}

std::atomic<int> g_forks{0}; // forks of this process, counted by an atfork handler

// Once the spawner runs, files are read whole and as they were, and refused as before, without
// forking this process: a fork of the grown window cost every key several milliseconds.
TEST_F(LookAheadTest, ReadsThroughTheSpawnerWithoutForkingThisProcess) {
    lookahead::startReaderSpawner();
    pthread_atfork([] { ++g_forks; }, nullptr, nullptr);
    const QString path = write(QStringLiteral("a.bmp"), Qt::red);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (int i = 0; i < 3; ++i) {
        const std::optional<lookahead::ReadFile> read = lookahead::readInOwnProcess(path, 1 << 20);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->bytes, bytes);
        EXPECT_EQ(read->status.st_size, bytes.size());
    }
    EXPECT_FALSE(lookahead::readInOwnProcess(path, bytes.size() - 1).has_value());
    EXPECT_FALSE(lookahead::readInOwnProcess(dir_.filePath(QStringLiteral("gone.bmp")), 1 << 20));
    EXPECT_FALSE(lookahead::readInOwnProcess(dir_.path(), 1 << 20)); // no regular file
    EXPECT_EQ(g_forks, 0);
}

} // namespace
