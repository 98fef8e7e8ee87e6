// Shows a 6000x4000 JPEG and BMP at thumbnail size three ways and compares time and peak
// memory: our loader, a naive full decode plus smooth scaling, and bare DCT-scaled decoding
// (the floor for JPEG), and the whole display procedure of the real window: from choosing the
// file in the list to the drawn box. Each mode runs in its own child process so that its peak
// RSS is its own. Usage: bench_picture_display [runs]

#include "app/frm_main.h"
#include "app/module1.h"
#include "runtime/fs/drives.h"
#include "runtime/fs/native_path.h"
#include "runtime/imaging/raster_picture.h"
#include "support/scripted_host.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kBox = 169;

QRectF fitRect() {
    const QSizeF fit = QSizeF(kWidth, kHeight).scaled(kBox, kBox, Qt::KeepAspectRatio);
    return {0, 0, fit.width(), fit.height()};
}

// A gradient with noise: compresses to about 8 MB at quality 90, like a real photo.
std::vector<unsigned char> noisyPixels() {
    std::vector<unsigned char> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(-20, 20);
    size_t i = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int base[3] = {x * 255 / kWidth, y * 255 / kHeight,
                                 (x + y) * 255 / (kWidth + kHeight)};
            for (const int b : base) {
                rgb[i++] = static_cast<unsigned char>(std::clamp(b + noise(rng), 0, 255));
            }
        }
    }
    return rgb;
}

void writeFile(const std::string& path, const char* data, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(data, static_cast<std::streamsize>(size));
}

void generate(const std::string& dir) {
    const std::vector<unsigned char> rgb = noisyPixels();
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    tjCompress2(tj, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &jpeg, &jpegSize, TJSAMP_420, 90, 0);
    writeFile(dir + "/photo.jpg", reinterpret_cast<const char*>(jpeg), jpegSize);
    std::printf("JPEG %dx%d, %.1f MB\n", kWidth, kHeight, static_cast<double>(jpegSize) / 1e6);
    tjFree(jpeg);
    tjDestroy(tj);

    const QImage image(rgb.data(), kWidth, kHeight, kWidth * 3, QImage::Format_RGB888);
    image.save(QString::fromStdString(dir + "/photo.bmp"), "BMP");
    std::printf("BMP  %dx%d, 24-bit, %.1f MB\n", kWidth, kHeight,
                static_cast<double>(static_cast<qint64>(kWidth) * 3 * kHeight) / 1e6);
}

QImage canvas() {
    QImage target(kBox, kBox, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    return target;
}

void runOurs(const std::string& path) {
    const zelvia::rt::ReadOnlyFile file(QString::fromStdString(path));
    const zelvia::rt::PicturePtr picture = zelvia::rt::loadRasterPicture(file);
    QImage target = canvas();
    QPainter painter(&target);
    picture->draw(painter, fitRect());
}

void runNaive(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    reader.setAllocationLimit(0);
    const QImage full = reader.read();
    const QSize fit = fitRect().size().toSize();
    const QImage small = full.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage target = canvas();
    QPainter painter(&target);
    painter.drawImage(fitRect(), small);
}

void runFloor(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    tjhandle tj = tjInitDecompress();
    const tjscalingfactor eighth{1, 8};
    const int w = TJSCALED(kWidth, eighth);
    const int h = TJSCALED(kHeight, eighth);
    std::vector<unsigned char> out(static_cast<size_t>(w) * h * 4);
    tjDecompress2(tj, data.data(), data.size(), out.data(), w, 0, h, TJPF_BGRX, 0);
    tjDestroy(tj);
}

// The program's window, started in the picture's folder, with the file chosen in the list.
class BenchDrives final : public zelvia::rt::DriveSource {
public:
    [[nodiscard]] std::vector<zelvia::rt::Drive> drives() const override {
        return {{QStringLiteral("/"), QString(), QStringLiteral("ext4"), QString()}};
    }
};

int clickChild(const std::string& path, int runs) {
    const std::string folder = path.substr(0, path.rfind('/'));
    const QString name = QString::fromStdString(path.substr(path.rfind('/') + 1));
    if (chdir(folder.c_str()) != 0) {
        return 1;
    }
    zelvia::rt::ScriptedHost host;
    zelvia::rt::setHost(&host);
    BenchDrives drives;
    zelvia::Module1::Main(drives);
    zelvia::frmMain& form = *zelvia::MainForm();
    int row = -1;
    for (int i = 0; i < form.picFil.ListCount(); ++i) {
        row = form.picFil.List(i) == name ? i : row;
    }
    for (int i = 0; i < runs; ++i) {
        form.picFil.setListIndex(-1);
        const auto start = std::chrono::steady_clock::now();
        form.picFil.setListIndex(row); // runs the display procedure to the drawn box
        const std::chrono::duration<double, std::milli> ms =
            std::chrono::steady_clock::now() - start;
        std::printf("%f\n", ms.count());
    }
    zelvia::Module1::Unload();
    return form.lblWidth.Caption().endsWith(QString::number(kWidth)) ? 0 : 1;
}

int child(const std::string& mode, const std::string& path, int runs) {
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (mode == "ours") {
            runOurs(path);
        } else if (mode == "naive") {
            runNaive(path);
        } else {
            runFloor(path);
        }
        const std::chrono::duration<double, std::milli> ms =
            std::chrono::steady_clock::now() - start;
        std::printf("%f\n", ms.count());
    }
    return 0;
}

struct Result {
    double medianMs = 0;
    double peakMb = 0;
    double cpuMsPerRun = 0; // user + system time of the child, which contention does not inflate
};

Result measure(const char* self, const std::string& mode, const std::string& path, int runs) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        std::exit(1);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        const std::string n = std::to_string(runs);
        execl(self, self, "--child", mode.c_str(), path.c_str(), n.c_str(), nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    std::string out;
    char buf[256];
    ssize_t got = 0;
    while ((got = read(pipeFds[0], buf, sizeof buf)) > 0) {
        out.append(buf, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    std::vector<double> times;
    size_t pos = 0;
    while (pos < out.size()) {
        const size_t end = out.find('\n', pos);
        times.push_back(std::stod(out.substr(pos, end - pos)));
        pos = end == std::string::npos ? out.size() : end + 1;
    }
    std::sort(times.begin(), times.end());
    Result r;
    r.medianMs = times.empty() ? -1 : times[times.size() / 2];
    r.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    r.cpuMsPerRun = (ms(usage.ru_utime) + ms(usage.ru_stime)) / runs;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--child") {
        if (std::string(argv[2]) == "click") {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            QApplication app(argc, argv);
            return clickChild(argv[3], std::atoi(argv[4]));
        }
        QCoreApplication app(argc, argv);
        return child(argv[2], argv[3], std::atoi(argv[4]));
    }
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    generate(base);

    const std::string jpeg = base + "/photo.jpg";
    const std::string bmp = base + "/photo.bmp";
    const Result click = measure(argv[0], "click", jpeg, runs);
    const Result clickBmp = measure(argv[0], "click", bmp, runs);
    const Result ours = measure(argv[0], "ours", jpeg, runs);
    const Result naive = measure(argv[0], "naive", jpeg, runs);
    const Result floor = measure(argv[0], "floor", jpeg, runs);
    const Result oursBmp = measure(argv[0], "ours", bmp, runs);
    const Result naiveBmp = measure(argv[0], "naive", bmp, runs);

    std::printf("\nmedian of %d runs, peak RSS of each mode's process\n", runs);
    const auto row = [](const char* name, const Result& r) {
        std::printf("  %-34s %9.1f ms (cpu %6.1f ms/run) %8.1f MB\n", name, r.medianMs,
                    r.cpuMsPerRun, r.peakMb);
    };
    row("JPEG chosen in the window", click);
    row("BMP chosen in the window", clickBmp);
    row("JPEG ours (load + draw 169 px)", ours);
    row("JPEG naive (full decode + scale)", naive);
    row("JPEG floor (tjDecompress2 at 1/8)", floor);
    row("BMP ours (load + draw 169 px)", oursBmp);
    row("BMP naive (full decode + scale)", naiveBmp);
    std::printf("\nJPEG: naive/ours %.1fx (target >= 4x), ours/floor %.2fx (target <= 1.5x), "
                "peak %.1f MB (target < 60 MB)\n",
                naive.medianMs / ours.medianMs, ours.medianMs / floor.medianMs, ours.peakMb);
    std::printf("JPEG chosen in the window: naive/window %.1fx, window/floor %.2fx, peak %.1f MB\n",
                naive.medianMs / click.medianMs, click.medianMs / floor.medianMs, click.peakMb);
    std::printf("BMP:  naive/ours %.1fx time, %.1fx peak memory\n",
                naiveBmp.medianMs / oursBmp.medianMs, naiveBmp.peakMb / oursBmp.peakMb);
    return 0;
}
