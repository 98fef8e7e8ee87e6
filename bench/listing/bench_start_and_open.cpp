// Starting the program in a folder of many files, and opening that folder, side by side with a
// bare readdir + fstatat loop over it; then moving through files with the short path form on
// and off. Usage: bench_start_and_open [file count] [runs]

#include "app/frm_main.h"
#include "app/module1.h"
#include "runtime/fs/drives.h"
#include "support/scripted_host.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class BenchDrives final : public zelvia::rt::DriveSource {
public:
    [[nodiscard]] std::vector<zelvia::rt::Drive> drives() const override {
        return {{QStringLiteral("/"), QString(), QStringLiteral("ext4"), QString()}};
    }
};

const char* const kExtensions[] = {".bmp", ".jpg", ".txt", ".gif", ".dat", ".wmf", ".doc", ".ico"};

void makeFiles(const QString& folder, int count, const QByteArray& prefix) {
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QFile::encodeName(folder) + "/" + prefix + QByteArray::number(i) +
                                kExtensions[static_cast<size_t>(i) % 8];
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double bareLoopMs(const QString& folder) {
    QElapsedTimer t;
    t.start();
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    int n = 0;
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        n += ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 ? 1 : 0;
    }
    ::closedir(dir);
    (void)n;
    return msSince(t);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Time of `step` and of the events it leaves behind (the deferred listing, layout, paint).
template <class F> double stallMs(F&& step) {
    QElapsedTimer t;
    t.start();
    step();
    QCoreApplication::processEvents();
    return msSince(t);
}

// Chooses the first `steps` files one after another, as the arrow keys do.
double walkMs(zelvia::frmMain& form, int steps) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < steps && i < form.picFil.ListCount(); ++i) {
        form.picFil.setListIndex(i);
    }
    return msSince(t);
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 7;

    // big/ holds the files and a long-named subfolder of a few files; in that subfolder the
    // short form of the path needs the names of big/.
    QTemporaryDir root;
    const QString big = root.path() + QStringLiteral("/big");
    const QString sub = big + QStringLiteral("/A folder with a long name");
    QDir().mkpath(sub);
    makeFiles(big, count, "IMG_");
    makeFiles(sub, 200, "not a picture ");
    if (::chdir(QFile::encodeName(big).constData()) != 0) {
        return 1;
    }
    zelvia::rt::ScriptedHost host;
    zelvia::rt::setHost(&host);
    BenchDrives drives;
    bareLoopMs(big); // warm the caches once

    std::vector<double> bareStart;
    std::vector<double> start;
    std::vector<double> bareOpen;
    std::vector<double> open;
    std::vector<double> walkLong;
    std::vector<double> walkShort;
    std::uint64_t listingsAtStart = 0;
    std::uint64_t listingsPerOpen = 0;
    int listed = 0;
    for (int i = 0; i < runs; ++i) {
        bareStart.push_back(bareLoopMs(big));
        start.push_back(stallMs([&] { zelvia::Module1::Main(drives); }));
        zelvia::frmMain& form = *zelvia::MainForm();
        listingsAtStart = form.picFil.listingCount();
        listed = form.picFil.ListCount();

        form.picDir.setPath(root.path());
        QCoreApplication::processEvents();
        bareOpen.push_back(bareLoopMs(big));
        const std::uint64_t before = form.picFil.listingCount();
        open.push_back(stallMs([&] { form.picDir.setPath(big); }));
        listingsPerOpen = form.picFil.listingCount() - before;
        if (std::getenv("BENCH_PHASES") != nullptr) {
            form.picDir.setPath(root.path());
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            form.picDir.setPath(big);
            const double a = msSince(t);
            (void)form.picFil.ListCount();
            const double b = msSince(t);
            QCoreApplication::processEvents();
            std::printf("phases: folder list %.1f, listing %.1f, events %.1f\n", a, b - a,
                        msSince(t) - b);
        }

        form.picDir.setPath(sub);
        walkMs(form, 200); // the first pass loads what later ones find ready
        walkLong.push_back(walkMs(form, 200));
        form.mnuShortPath_Click();
        walkShort.push_back(walkMs(form, 200));
        zelvia::Module1::Unload();
    }
    std::printf("%d files listed, median of %d runs\n", listed, runs);
    std::printf("  start-up: bare readdir + fstatat loop  %8.1f ms\n", median(bareStart));
    std::printf("  start-up: window with the list        %8.1f ms  (%.2fx)  listings %llu\n",
                median(start), median(start) / median(bareStart),
                static_cast<unsigned long long>(listingsAtStart));
    std::printf("  opening:  bare readdir + fstatat loop  %8.1f ms\n", median(bareOpen));
    std::printf("  opening:  the folder, listed, painted %8.1f ms  (%.2fx)  listings %llu\n",
                median(open), median(open) / median(bareOpen),
                static_cast<unsigned long long>(listingsPerOpen));
    std::printf("  200 files chosen, long path line      %8.1f ms\n", median(walkLong));
    std::printf("  200 files chosen, short path line     %8.1f ms\n", median(walkShort));
    zelvia::rt::setHost(nullptr);
    return 0;
}
