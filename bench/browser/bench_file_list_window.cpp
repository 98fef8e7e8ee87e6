// How long the window stops answering while it lists a folder of 100,000 files: opening the
// folder (the folder handler re-reads the file list at once), choosing filter entry 1, and
// painting and scrolling the list, beside a bare readdir + fstatat loop over the same folder.
// Usage: bench_file_list_window [count] [runs]

#include "app/frm_main.h"
#include "support/bench_support.h"

#include <QApplication>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

using zelvia::bench::bareLoopMs;
using zelvia::bench::median;
using zelvia::bench::stallMs;

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 5;

    QTemporaryDir root;
    const QString big = zelvia::bench::makeBigFolder(root.path(), count);
    if (::chdir(QFile::encodeName(root.path()).constData()) != 0) {
        return 1;
    }

    const zelvia::bench::BenchWindow bench;
    zelvia::frmMain& form = bench.form();
    QCoreApplication::processEvents();

    std::vector<double> bare;
    std::vector<double> open;
    std::vector<double> filter;
    std::vector<double> scroll;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(bareLoopMs(big));
        form.picComb.setListIndex(0);
        form.picDir.setPath(root.path());
        QCoreApplication::processEvents();
        open.push_back(stallMs([&] { form.picDir.setPath(big); }));
        filter.push_back(stallMs([&] { form.picComb.setListIndex(1); }));
        scroll.push_back(stallMs([&] {
            QScrollBar* bar = form.picFil.view()->verticalScrollBar();
            bar->setValue(bar->maximum() / 2);
            form.picFil.view()->viewport()->repaint();
        }));
    }
    std::printf("%d files, median of %d runs\n", form.picFil.ListCount() > 0 ? count : 0, runs);
    std::printf("  bare readdir + fstatat loop          %8.1f ms\n", median(bare));
    std::printf("  open the folder (list + paint)       %8.1f ms  (%.2fx the bare loop)\n",
                median(open), median(open) / median(bare));
    std::printf("  filter entry 1 (re-read + paint)     %8.1f ms  (%.2fx the bare loop)\n",
                median(filter), median(filter) / median(bare));
    std::printf("  scroll to the middle and repaint     %8.1f ms\n", median(scroll));
    std::printf("  longest stall seen                   %8.1f ms\n",
                std::max({*std::max_element(open.begin(), open.end()),
                          *std::max_element(filter.begin(), filter.end()),
                          *std::max_element(scroll.begin(), scroll.end())}));
    return 0;
}
