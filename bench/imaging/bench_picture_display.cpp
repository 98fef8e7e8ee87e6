// Shows a 6000x4000 JPEG and BMP at thumbnail size three ways and compares time and peak
// memory: our loader, a naive full decode plus smooth scaling, and bare DCT-scaled decoding
// (the floor for JPEG), and the whole display procedure of the real window: from choosing the
// file in the list to the drawn box. Each mode runs in its own child process so that its peak
// RSS is its own. Usage: bench_picture_display [runs]

#include "app/frm_main.h"
#include "core/native_path.h"
#include "formats/imaging/raster_picture.h"
#include "support/bench_support.h"

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
#include <string>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = zelvia::bench::kPhotoWidth;
constexpr int kHeight = zelvia::bench::kPhotoHeight;
constexpr int kBox = 169;

QRectF fitRect() {
    const QSizeF fit = QSizeF(kWidth, kHeight).scaled(kBox, kBox, Qt::KeepAspectRatio);
    return {0, 0, fit.width(), fit.height()};
}

void generate(const std::string& dir) {
    const std::vector<unsigned char> rgb = zelvia::bench::noisyPixels();
    const QByteArray jpeg = zelvia::bench::jpegOf(rgb, kWidth, kHeight);
    zelvia::bench::writeFile(QString::fromStdString(dir + "/photo.jpg"), jpeg);
    std::printf("JPEG %dx%d, %.1f MB\n", kWidth, kHeight, static_cast<double>(jpeg.size()) / 1e6);

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
int clickChild(const std::string& path, int runs) {
    const std::string folder = path.substr(0, path.rfind('/'));
    const QString name = QString::fromStdString(path.substr(path.rfind('/') + 1));
    if (chdir(folder.c_str()) != 0) {
        return 1;
    }
    const zelvia::bench::BenchWindow bench;
    zelvia::frmMain& form = bench.form();
    const int row = bench.rowOf(name);
    for (int i = 0; i < runs; ++i) {
        form.picFil.setListIndex(-1);
        const auto start = std::chrono::steady_clock::now();
        form.picFil.setListIndex(row); // runs the display procedure to the drawn box
        const std::chrono::duration<double, std::milli> ms =
            std::chrono::steady_clock::now() - start;
        std::printf("%f\n", ms.count());
    }
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
    const zelvia::bench::ChildRun run =
        zelvia::bench::runChild(self, {"--child", mode, path, std::to_string(runs)});
    std::vector<double> times;
    size_t pos = 0;
    while (pos < run.out.size()) {
        const size_t end = run.out.find('\n', pos);
        times.push_back(std::stod(run.out.substr(pos, end - pos)));
        pos = end == std::string::npos ? run.out.size() : end + 1;
    }
    Result r;
    r.medianMs = zelvia::bench::median(times);
    r.peakMb = run.peakMb;
    r.cpuMsPerRun = run.cpuMs / runs;
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
