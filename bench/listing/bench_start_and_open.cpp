// Starting the program in a folder of many files, and opening that folder, side by side with a
// bare readdir + fstatat loop over it (and one that asks for every file's DOS bits too, as the
// listing must); then moving through files with the short path form on
// and off. The start and the opening are measured again with the listing kept to one thread.
// Usage: bench_start_and_open [file count] [runs]

#include "app/frm_main.h"
#include "app/module1.h"
#include "platform/fs/stat_entries.h"
#include "support/bench_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

using zelvia::bench::bareLoopMs;
using zelvia::bench::median;
using zelvia::bench::msSince;
using zelvia::bench::stallMs;

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
    const QString big = zelvia::bench::makeBigFolder(root.path(), count);
    const QString sub = big + QStringLiteral("/A folder with a long name");
    QDir().mkpath(sub);
    zelvia::bench::makeEmptyFiles(sub, 200, "not a picture ");
    if (::chdir(QFile::encodeName(big).constData()) != 0) {
        return 1;
    }
    zelvia::rt::ScriptedHost host;
    zelvia::rt::setHost(&host);
    zelvia::bench::OneDrive drives;
    bareLoopMs(big); // warm the caches once

    const auto report = [&](unsigned threads, bool walks) {
        zelvia::rt::setListingThreads(threads);
        std::vector<double> bareStart;
        std::vector<double> start;
        std::vector<double> bareOpen;
        std::vector<double> bareStartDos;
        std::vector<double> bareOpenDos;
        std::vector<double> open;
        std::vector<double> walkLong;
        std::vector<double> walkShort;
        std::uint64_t listingsAtStart = 0;
        std::uint64_t listingsPerOpen = 0;
        int listed = 0;
        for (int i = 0; i < runs; ++i) {
            bareStart.push_back(bareLoopMs(big));
            bareStartDos.push_back(bareLoopMs(big, true));
            start.push_back(stallMs([&] { zelvia::Module1::Main(drives); }));
            zelvia::frmMain& form = *zelvia::MainForm();
            listingsAtStart = form.picFil.listingCount();
            listed = form.picFil.ListCount();

            form.picDir.setPath(root.path());
            QCoreApplication::processEvents();
            bareOpen.push_back(bareLoopMs(big));
            bareOpenDos.push_back(bareLoopMs(big, true));
            const std::uint64_t before = form.picFil.listingCount();
            open.push_back(stallMs([&] { form.picDir.setPath(big); }));
            listingsPerOpen = form.picFil.listingCount() - before;

            if (walks) {
                form.picDir.setPath(sub);
                walkMs(form, 200); // the first pass loads what later ones find ready
                walkLong.push_back(walkMs(form, 200));
                form.mnuShortPath_Click();
                walkShort.push_back(walkMs(form, 200));
            }
            zelvia::Module1::Unload();
        }
        std::printf("%d files listed, examined by %u thread(s), median of %d runs\n", listed,
                    zelvia::rt::listingThreads(), runs);
        const auto row = [](const char* what, const std::vector<double>& bare,
                            const std::vector<double>& bareDos, const std::vector<double>& ours,
                            std::uint64_t listings) {
            std::printf("  %s bare readdir + fstatat loop           %8.1f ms\n", what,
                        median(bare));
            std::printf("  %s bare readdir + fstatat + getxattr     %8.1f ms\n", what,
                        median(bareDos));
            std::printf("  %s the window's                          %8.1f ms  (%.2fx, %.2fx)  "
                        "listings %llu\n",
                        what, median(ours), median(ours) / median(bare),
                        median(ours) / median(bareDos), static_cast<unsigned long long>(listings));
        };
        row("start-up:", bareStart, bareStartDos, start, listingsAtStart);
        row("opening: ", bareOpen, bareOpenDos, open, listingsPerOpen);
        if (walks) {
            std::printf("  200 files chosen, long path line                %8.1f ms\n",
                        median(walkLong));
            std::printf("  200 files chosen, short path line               %8.1f ms\n",
                        median(walkShort));
        }
    };
    report(0, true); // as the program runs: the machine's cores share the examining
    report(1, false);
    zelvia::rt::setListingThreads(0);
    zelvia::rt::setHost(nullptr);
    return 0;
}
