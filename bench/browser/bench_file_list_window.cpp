// How long the window stops answering while it lists a folder of 100,000 files: opening the
// folder (the folder handler re-reads the file list at once), choosing filter entry 1, and
// painting and scrolling the list, beside a bare readdir + fstatat loop over the same folder.
// Usage: bench_file_list_window [count] [runs]

#include "app/frm_main.h"
#include "app/module1.h"
#include "runtime/fs/drives.h"
#include "support/scripted_host.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
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

void makeFiles(const QString& folder, int count) {
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QFile::encodeName(folder) + "/IMG_" + QByteArray::number(i) +
                                kExtensions[static_cast<size_t>(i) % 8];
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
        }
    }
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
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Time of `step` plus the event processing it leaves behind (layout, paint).
template <class F> double stallMs(F&& step) {
    QElapsedTimer t;
    t.start();
    step();
    QCoreApplication::processEvents();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 5;

    QTemporaryDir root;
    const QString big = root.path() + QStringLiteral("/big");
    QDir().mkpath(big);
    makeFiles(big, count);
    if (::chdir(QFile::encodeName(root.path()).constData()) != 0) {
        return 1;
    }

    zelvia::rt::ScriptedHost host;
    zelvia::rt::setHost(&host);
    BenchDrives drives;
    zelvia::Module1::Main(drives);
    zelvia::frmMain& form = *zelvia::MainForm();
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
    zelvia::Module1::Unload();
    return 0;
}
