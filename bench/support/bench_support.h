#pragma once

// What the benchmarks share: generated pictures, the program's window on one drive, runs of
// a child process with its own peak RSS, and the bare folder loop listings are held against.

#include "platform/fs/drives.h"
#include "support/scripted_host.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <string>
#include <vector>

class QImage;

namespace zelvia {
class frmMain;
}

namespace zelvia::bench {

// The size of the generated photo: 24 megapixels.
constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

// A gradient with noise, RGB: compresses to about 8 MB at quality 90, like a real photo.
std::vector<unsigned char> noisyPixels(int width = kPhotoWidth, int height = kPhotoHeight);

// RGB pixels as a 4:2:0 JPEG at quality 90; `flags` as for tjCompress2 (TJFLAG_PROGRESSIVE).
QByteArray jpegOf(const std::vector<unsigned char>& rgb, int width, int height, int flags = 0);
QByteArray bmpOf(const QImage& image);

// Writes `bytes` to `path`, or says so and exits.
void writeFile(const QString& path, const QByteArray& bytes);

// Empty files `prefix`0, `prefix`1 ... in `folder`, eight extensions in turn.
void makeEmptyFiles(const QString& folder, int count, const QByteArray& prefix);

// `root`/big holding `count` empty files IMG_0, IMG_1 ...: the large folder the listing
// benchmarks open. Returns its path.
QString makeBigFolder(const QString& root, int count);

double msSince(const QElapsedTimer& t);

// One readdir + fstatat pass over `folder`: the floor a listing is measured against. With
// `dosBits`, each file's user.DOSATTRIB is asked for too, the second system call a file costs
// where the DOS bits are kept in extended attributes.
double bareLoopMs(const QString& folder, bool dosBits = false);

// The middle value (the upper one of an even count); -1 for none.
double median(std::vector<double> v);

// Time of `step` and of the events it leaves behind (deferred listing, layout, paint).
template <class F> double stallMs(F&& step) {
    QElapsedTimer t;
    t.start();
    step();
    QCoreApplication::processEvents();
    return msSince(t);
}

// The root file system as the only drive, so the machine's mounts do not enter the timings.
class OneDrive final : public rt::DriveSource {
public:
    [[nodiscard]] std::vector<rt::Drive> drives() const override;
};

// The program's window started in the current folder with a scripted host; unloaded when done.
class BenchWindow {
public:
    BenchWindow();
    ~BenchWindow();
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    [[nodiscard]] frmMain& form() const;
    // The file list's row of `name`, -1 when it is not listed.
    [[nodiscard]] int rowOf(const QString& name) const;

    rt::ScriptedHost host;

private:
    OneDrive drives_;
};

// This program run again as a child process with `args`; what it printed and what it cost.
struct ChildRun {
    std::string out;
    int status = 0;  // as wait4 gives it
    bool ok = false; // exited with 0
    double peakMb = 0;
    double cpuMs = 0; // user + system time, which contention does not inflate
};
ChildRun runChild(const char* self, const std::vector<std::string>& args);

} // namespace zelvia::bench
