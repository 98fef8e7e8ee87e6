// Walking through a folder in the real window: Down through 20 files at one key per 300 ms,
// timing each key to the panel complete and to the display box painted and on the X server
// (a one-pixel grab of the box's centre, a round trip that returns once the server has drawn
// it), with the look-ahead on and off. Folders of 24-megapixel baseline and progressive JPEGs,
// 72 MB BMPs and a 2 x 2 bitmap as the baseline are generated in a temporary folder. Each walk
// runs in its own child process so that its peak RSS is its own. Then the held key: Down held
// for 1.2 s through the X server, timing how long the box goes on changing after the release.
// Usage (with DISPLAY set; bench/walk/run_walk.sh starts a private X server):
//   bench_walk [steps [held]]

#include "app/frm_main.h"
#include "lookahead/look_ahead.h"
#include "lookahead/reader_spawner.h"
#include "support/bench_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QListView>
#include <QMainWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

#ifdef ZELVIA_HELD_KEY
namespace zelvia::bench {
double holdDown(int holdMs, const std::function<double()>& now);
}
#endif

namespace {

using zelvia::bench::kPhotoHeight;
using zelvia::bench::kPhotoWidth;
using zelvia::bench::median;
using zelvia::bench::msSince;

constexpr int kStepMs = 300;

// Files 00 to `count` - 1 of the same bytes (each its own file, so nothing is shared).
void fill(const QString& folder, const char* ext, const QByteArray& bytes, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        zelvia::bench::writeFile(QStringLiteral("%1/%2.%3")
                                     .arg(folder)
                                     .arg(i, 2, 10, QLatin1Char('0'))
                                     .arg(QLatin1String(ext)),
                                 bytes);
    }
    std::printf("  %s: %d files of %.1f MB\n", qPrintable(QDir(folder).dirName()), count,
                static_cast<double>(bytes.size()) / 1e6);
}

// One walk in the window; prints "panel painted" in ms per step.
int walk(const std::string& folder, int steps) {
    if (chdir(folder.c_str()) != 0) {
        return 1;
    }
    const zelvia::bench::BenchWindow bench;
    zelvia::frmMain& form = bench.form();
    QWidget* window = form.window();
    if (!QTest::qWaitForWindowExposed(window)) {
        return 1;
    }
    QWidget* box = form.picOut.widget();
    const QPoint centre = box->mapTo(window, box->rect().center());
    QScreen* screen = window->screen();
    // The box painted and on the server: the grab is a round trip behind the drawing.
    const auto onScreen = [&] {
        (void)screen->grabWindow(window->winId(), centre.x(), centre.y(), 1, 1);
    };

    form.picFil.view()->setFocus();
    form.picFil.setListIndex(0);
    QTest::qWait(kStepMs);
    for (int i = 1; i <= steps && i < form.picFil.ListCount(); ++i) {
        const QString name = form.picFil.List(i);
        QElapsedTimer t;
        t.start();
        QTest::keyClick(form.picFil.view(), Qt::Key_Down);
        // Complete once the last two labels name the new file.
        while ((form.lblFileName.Caption() != QStringLiteral("ファイル名：") + name ||
                form.lblLastDay.Caption() == QStringLiteral("最終更新日：")) &&
               t.elapsed() < 5000) {
            QCoreApplication::processEvents();
        }
        const double panel = msSince(t);
        QCoreApplication::processEvents(); // the paint the display procedure asked for
        onScreen();
        const double painted = msSince(t);
        std::printf("%f %f\n", panel, painted);
        std::fflush(stdout);
        QTest::qWait(std::max(1, kStepMs - static_cast<int>(msSince(t))));
    }
    return 0;
}

#ifdef ZELVIA_HELD_KEY
// Calls `seen` with each event `watched` receives, before it is handled.
class Watch final : public QObject {
public:
    Watch(QObject* watched, std::function<void(QEvent*)> seen)
        : QObject(watched), seen_(std::move(seen)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        seen_(event);
        return false;
    }

private:
    std::function<void(QEvent*)> seen_;
};

// Holds Down for `holdMs` as a user does, through the X server: one XTest press, the server's
// own auto-repeat (660 ms delay, 25 per second), one release. Prints the ms from the release to
// the last move or paint of the box, the files passed, the repeats the server sent, and the moves
// that started after the release.
int hold(const std::string& folder, int holdMs) {
    if (chdir(folder.c_str()) != 0) {
        return 1;
    }
    const zelvia::bench::BenchWindow bench;
    zelvia::frmMain& form = bench.form();
    QWidget* window = form.window();
    if (!QTest::qWaitForWindowActive(window)) {
        std::fprintf(stderr, "the window did not get the focus\n");
        return 1;
    }
    form.picFil.view()->setFocus();
    form.picFil.setListIndex(0);
    QTest::qWait(kStepMs);
    if (zelvia::rt::lookahead::LookAhead* lookAhead = zelvia::rt::lookahead::shared()) {
        lookAhead->waitIdle();
    }

    QElapsedTimer clock;
    clock.start();
    std::atomic<double> released{-1};
    double lastPaint = 0;
    int repeats = 0;
    int movesAfter = 0;
    const Watch paints(form.picOut.widget(), [&](QEvent* e) {
        lastPaint = e->type() == QEvent::Paint ? msSince(clock) : lastPaint;
    });
    const Watch keys(form.picFil.view(), [&](QEvent* e) {
        repeats += e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->isAutoRepeat() &&
                   e->spontaneous();
    });
    double lastMove = 0;
    form.picFil.Click.connect([&] {
        movesAfter += released >= 0;
        form.picFil_Click();
        lastMove = msSince(clock);
    });
    std::thread user(
        [&] { released = zelvia::bench::holdDown(holdMs, [&] { return msSince(clock); }); });
    // A backlog of keys may be worked off in one turn of the event loop: wait for a quiet second.
    const auto lastChange = [&] { return std::max({released.load(), lastPaint, lastMove}); };
    while (released < 0 || msSince(clock) < lastChange() + 1000) {
        QTest::qWait(5);
    }
    user.join();
    std::printf("%f %d %d %d\n", lastChange() - released, form.picFil.ListIndex(), repeats,
                movesAfter);
    return 0;
}

struct HoldResult {
    double settleMs = -1;
    int passed = 0;
    int repeats = 0;
    int movesAfter = 0;
    double peakMb = 0;
};

HoldResult measureHold(const char* self, const QString& folder) {
    const zelvia::bench::ChildRun run =
        zelvia::bench::runChild(self, {"--hold", QFile::encodeName(folder).toStdString(), "1200"});
    HoldResult r;
    const QList<QByteArray> f = QByteArray::fromStdString(run.out).trimmed().split(' ');
    if (run.ok && f.size() == 4) {
        r = {f[0].toDouble(), f[1].toInt(), f[2].toInt(), f[3].toInt(), run.peakMb};
    } else {
        std::fprintf(stderr, "held key in %s failed\n", qPrintable(folder));
    }
    return r;
}
#endif

struct Result {
    std::vector<double> panel;
    std::vector<double> painted;
    double peakMb = 0;
};

Result measure(const char* self, const QString& folder, bool lookAhead, int steps) {
    const zelvia::bench::ChildRun run = zelvia::bench::runChild(
        self, {lookAhead ? "--walk" : "--walk-without-look-ahead",
               QFile::encodeName(folder).toStdString(), std::to_string(steps)});
    Result r;
    for (const QByteArray& line : QByteArray::fromStdString(run.out).split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 2) {
            r.panel.push_back(f[0].toDouble());
            r.painted.push_back(f[1].toDouble());
        }
    }
    r.peakMb = run.peakMb;
    if (!run.ok || r.painted.empty()) {
        std::fprintf(stderr, "walk in %s failed\n", qPrintable(folder));
    }
    return r;
}

double worst(const std::vector<double>& v) {
    return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char** argv) {
    zelvia::rt::lookahead::startReaderSpawner(); // as the program does
    if (argc == 4 && std::string(argv[1]).starts_with("--walk")) {
        if (std::string(argv[1]) == "--walk-without-look-ahead") {
            zelvia::rt::lookahead::switchOff();
        }
        QApplication app(argc, argv);
        return walk(argv[2], std::atoi(argv[3]));
    }
#ifdef ZELVIA_HELD_KEY
    if (argc == 4 && std::string(argv[1]) == "--hold") {
        QApplication app(argc, argv);
        return hold(argv[2], std::atoi(argv[3]));
    }
#endif
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "needs an X display (bench/walk/run_walk.sh starts one)\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const int steps = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 100) : 20;
    QTemporaryDir dir;
    std::printf("generating %d + 1 files per folder in %s\n", steps, qPrintable(dir.path()));
    {
        const std::vector<unsigned char> rgb = zelvia::bench::noisyPixels();
        fill(dir.filePath(QStringLiteral("baseline")), "jpg",
             zelvia::bench::jpegOf(rgb, kPhotoWidth, kPhotoHeight), steps + 1);
        fill(dir.filePath(QStringLiteral("progressive")), "jpg",
             zelvia::bench::jpegOf(rgb, kPhotoWidth, kPhotoHeight, TJFLAG_PROGRESSIVE), steps + 1);
        const QImage image(rgb.data(), kPhotoWidth, kPhotoHeight, kPhotoWidth * 3,
                           QImage::Format_RGB888);
        fill(dir.filePath(QStringLiteral("bmp")), "bmp", zelvia::bench::bmpOf(image), steps + 1);
    }
    QImage tiny(2, 2, QImage::Format_RGB888);
    tiny.fill(Qt::red);
    fill(dir.filePath(QStringLiteral("tiny")), "bmp", zelvia::bench::bmpOf(tiny), steps + 1);

    // "held" as the second argument runs only the held key.
    const bool walks = argc < 3 || std::string(argv[2]) != "held";
    std::printf("\n%d steps of Down, one per %d ms; ms from the key (median / worst)\n", steps,
                kStepMs);
    std::printf("%-24s %-10s %17s %17s %9s\n", "folder", "look-ahead", "panel complete",
                "box on screen", "peak RSS");
    for (const char* set : {"tiny", "baseline", "progressive", "bmp"}) {
        if (!walks) {
            break;
        }
        for (const bool on : {false, true}) {
            const Result r = measure(argv[0], dir.filePath(QString::fromLatin1(set)), on, steps);
            std::printf("%-24s %-10s %7.1f / %7.1f %7.1f / %7.1f %6.1f MB\n", set,
                        on ? "on" : "off", median(r.panel), worst(r.panel), median(r.painted),
                        worst(r.painted), r.peakMb);
            std::fflush(stdout);
        }
    }
#ifdef ZELVIA_HELD_KEY
    std::printf("\nDown held for 1.2 s (server repeat: 660 ms delay, 25 per second)\n");
    std::printf("%-24s %18s %8s %8s %14s %9s\n", "folder", "settled after (ms)", "passed",
                "repeats", "moves after", "peak RSS");
    for (const char* set : {"tiny", "baseline", "progressive", "bmp"}) {
        const HoldResult r = measureHold(argv[0], dir.filePath(QString::fromLatin1(set)));
        std::printf("%-24s %18.1f %8d %8d %14d %6.1f MB\n", set, r.settleMs, r.passed, r.repeats,
                    r.movesAfter, r.peakMb);
        std::fflush(stdout);
    }
#else
    std::printf("\nthe held-key case needs the X11 and XTest headers\n");
#endif
    return 0;
}
