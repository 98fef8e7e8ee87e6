#include "support/bench_support.h"

#include "app/frm_main.h"
#include "app/module1.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <turbojpeg.h>
#include <unistd.h>

namespace zelvia::bench {

std::vector<unsigned char> noisyPixels(int width, int height) {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(-20, 20);
    size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int base[3] = {x * 255 / width, y * 255 / height,
                                 (x + y) * 255 / (width + height)};
            for (const int b : base) {
                rgb[i++] = static_cast<unsigned char>(std::clamp(b + noise(rng), 0, 255));
            }
        }
    }
    return rgb;
}

QByteArray jpegOf(const std::vector<unsigned char>& rgb, int width, int height, int flags) {
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90,
                    flags) != 0) {
        std::fprintf(stderr, "cannot encode the JPEG: %s\n", tjGetErrorStr2(tj));
        std::exit(1);
    }
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

QByteArray bmpOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

void makeEmptyFiles(const QString& folder, int count, const QByteArray& prefix) {
    static const char* const kExtensions[] = {".bmp", ".jpg", ".txt", ".gif",
                                              ".dat", ".wmf", ".doc", ".ico"};
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QFile::encodeName(folder) + "/" + prefix + QByteArray::number(i) +
                                kExtensions[static_cast<size_t>(i) % 8];
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

QString makeBigFolder(const QString& root, int count) {
    const QString big = root + QStringLiteral("/big");
    QDir().mkpath(big);
    makeEmptyFiles(big, count, "IMG_");
    return big;
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double bareLoopMs(const QString& folder, bool dosBits) {
    QElapsedTimer t;
    t.start();
    const QByteArray base = QFile::encodeName(folder) + '/';
    DIR* dir = ::opendir(base.constData());
    if (dir == nullptr) {
        return -1;
    }
    int n = 0;
    QByteArray path;
    std::array<char, 256> value{};
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        n += ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 ? 1 : 0;
        if (dosBits && S_ISREG(st.st_mode)) {
            path = base + e->d_name;
            n += ::getxattr(path.constData(), "user.DOSATTRIB", value.data(), value.size()) > 0;
        }
    }
    ::closedir(dir);
    (void)n;
    return msSince(t);
}

double median(std::vector<double> v) {
    if (v.empty()) {
        return -1;
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<rt::Drive> OneDrive::drives() const {
    return {{QStringLiteral("/"), QString(), QStringLiteral("ext4"), QString()}};
}

BenchWindow::BenchWindow() {
    rt::setHost(&host);
    Module1::Main(drives_);
}

BenchWindow::~BenchWindow() {
    Module1::Unload();
}

frmMain& BenchWindow::form() const {
    return *MainForm();
}

int BenchWindow::rowOf(const QString& name) const {
    frmMain& f = form();
    int row = -1;
    for (int i = 0; i < f.picFil.ListCount(); ++i) {
        row = f.picFil.List(i) == name ? i : row;
    }
    return row;
}

ChildRun runChild(const char* self, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::exit(1);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        std::vector<char*> argv{const_cast<char*>(self)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(self, argv.data());
        _exit(127);
    }
    close(fds[1]);
    ChildRun run;
    char buf[512];
    ssize_t got = 0;
    while ((got = read(fds[0], buf, sizeof buf)) > 0) {
        run.out.append(buf, static_cast<size_t>(got));
    }
    close(fds[0]);
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    run.ok = WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
    run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    return run;
}

} // namespace zelvia::bench
