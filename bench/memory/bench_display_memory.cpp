// Peak resident memory, CPU time and time of the real display procedure, one file per process:
// the largest honest file of each format and crafted files that once ran away with memory or
// time. The
// files are generated here into a temporary folder, never kept. Each file is chosen in the
// program's own window (offscreen) in a fresh child process, whose peak RSS is reported.
// Then the look-ahead: how long each file takes to prepare as a neighbour, and how soon its
// decode stops when the user moves on while it runs.
// Usage: bench_display_memory

#include "app/frm_main.h"
#include "formats/imaging/raster_picture.h"
#include "lookahead/look_ahead.h"
#include "lookahead/reader_spawner.h"
#include "support/bench_support.h"
#include "support/image_writers.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace {

using zelvia::bench::jpegOf;
using zelvia::bench::kPhotoHeight;
using zelvia::bench::kPhotoWidth;

void put16(QByteArray& out, int v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
}

void save(const QString& path, const QByteArray& bytes, qint64 growTo = 0) {
    zelvia::bench::writeFile(path, bytes);
    if (growTo > 0) {
        QFile(path).resize(growTo); // sparse: the disk holds only the header
    }
}

// A GIF of 256 grey levels whose LZW codes stay 9 bits wide (a clear code every 254 codes).
QByteArray bigGif(int w, int h) {
    QByteArray out("GIF89a");
    put16(out, w);
    put16(out, h);
    out.append("\xF7\x00\x00", 3);
    for (int i = 0; i < 256; ++i) {
        out.append(QByteArray(3, static_cast<char>(i)));
    }
    out.append(',');
    put16(out, 0);
    put16(out, 0);
    put16(out, w);
    put16(out, h);
    out.append('\0');
    out.append('\x08');
    std::vector<int> codes;
    codes.reserve(static_cast<size_t>(w) * static_cast<size_t>(h) * 255 / 254 + 2);
    int sinceClear = 254;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (sinceClear == 254) {
                codes.push_back(256);
                sinceClear = 0;
            }
            codes.push_back((x / 16 + y / 16) & 0xFF);
            ++sinceClear;
        }
    }
    codes.push_back(257);
    out.append(zelvia::test::gifSubBlocks(codes, 9));
    out.append(';');
    return out;
}

// A small three-component baseline JPEG with its frame size changed; `firstScanComponents`
// below three makes it a file of several scans.
QByteArray patchedJpeg(int w, int h, int firstScanComponents) {
    std::vector<unsigned char> rgb(16 * 16 * 3, 128);
    QByteArray jpeg = jpegOf(rgb, 16, 16);
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    const qsizetype sos = jpeg.indexOf("\xFF\xDA");
    jpeg[sof + 5] = static_cast<char>(h >> 8);
    jpeg[sof + 6] = static_cast<char>(h & 0xFF);
    jpeg[sof + 7] = static_cast<char>(w >> 8);
    jpeg[sof + 8] = static_cast<char>(w & 0xFF);
    jpeg[sos + 4] = static_cast<char>(firstScanComponents);
    return jpeg;
}

// A progressive frame header of 65535 x 65535 and nothing after it.
QByteArray progressiveHeaderOnly() {
    return QByteArray::fromHex("ffd8ffc20011"
                               "08ffffffff03"
                               "012200021101031101"
                               "ffd9");
}

// The GIF of the issue: an 11500 x 11500 logical screen and one 1 x 1 frame.
QByteArray hugeScreenGif() {
    QByteArray gif("GIF89a");
    put16(gif, 11500);
    put16(gif, 11500);
    gif += QByteArray::fromHex("800000"
                               "000000ffffff"
                               "2c00000000010001000002024c01003b");
    return gif;
}

// A placeable WMF of 8000 x 6000 twips: header, SetMapMode, EOF.
QByteArray placeableWmf() {
    QByteArray out;
    const auto u16 = [&](int v) { put16(out, v); };
    const auto u32 = [&](std::uint32_t v) {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    };
    u32(0x9AC6CDD7);
    u16(0);
    u16(0);
    u16(0);
    u16(8000);
    u16(6000);
    u16(1440);
    u32(0);
    int sum = 0;
    for (qsizetype i = 0; i < out.size(); i += 2) {
        sum ^= static_cast<unsigned char>(out[i]) | (static_cast<unsigned char>(out[i + 1]) << 8);
    }
    u16(sum);
    u16(1);
    u16(9);
    u16(0x0300);
    u32(9 + 4 + 3);
    u16(0);
    u32(4);
    u16(0);
    u32(4); // SetMapMode(MM_ANISOTROPIC)
    u16(0x0103);
    u16(8);
    u32(3); // EOF
    u16(0);
    return out;
}

// An icon whose one PNG image claims 65535 x 65535 pixels.
QByteArray hugePngIcon() {
    QByteArray png("\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\xff\xff\x00\x00\xff\xff\x08\x06"
                   "\x00\x00\x00\x00\x00\x00\x00",
                   33);
    QByteArray ico = QByteArray::fromHex("000001000100"
                                         "0000000001002000");
    const auto u32 = [&](std::uint32_t v) {
        put16(ico, static_cast<int>(v & 0xFFFF));
        put16(ico, static_cast<int>(v >> 16));
    };
    u32(static_cast<std::uint32_t>(png.size()));
    u32(22);
    return ico + png;
}

// A GIF whose frame is drawn by the longest runs LZW allows: every code after the first few
// hands out about 4,000 pixels, so a 65535 x 65535 frame takes 1.6 MB.
QByteArray longestRunGif(int screenWidth, int screenHeight, int frameWidth, int frameHeight) {
    QByteArray out("GIF89a");
    put16(out, screenWidth);
    put16(out, screenHeight);
    out.append("\xF1\x00\x00", 3);
    out.append("\x00\x00\x00\xFF\xFF\xFF\xFF\x00\x00\x00\x00\xFF", 12);
    out.append(',');
    put16(out, 0);
    put16(out, 0);
    put16(out, frameWidth);
    put16(out, frameHeight);
    out.append('\0');
    out.append('\x02');
    // Clear, index 0, then each new code the one being defined (the previous string and its
    // first index again), so code k holds k - 4 zeros; once the table is full, its last code
    // over and over. The widths follow the decoder's: one bit more once the next code needs it.
    const qint64 total = qint64{frameWidth} * frameHeight;
    std::vector<int> codes{4, 0};
    std::vector<int> widths{3, 3};
    int next = 6;
    int width = 3;
    qint64 pixels = 1;
    while (pixels < total) {
        const int code = std::min(next, 4095);
        codes.push_back(code);
        widths.push_back(width);
        pixels += code - 4;
        if (next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12) {
                ++width;
            }
        }
    }
    codes.push_back(5);
    widths.push_back(width);
    out.append(zelvia::test::gifSubBlocks(codes, widths));
    out.append(';');
    return out;
}

// A progressive JPEG of `scans` DC scans, each of one component in turn, with no entropy data:
// each scan costs the decoder a pass over that component's blocks.
QByteArray dcScansJpeg(int width, int height, int components, int scans) {
    const auto marker = [](QByteArray& out, int code, const QByteArray& body) {
        out.append('\xFF');
        out.append(static_cast<char>(code));
        out.append(static_cast<char>((body.size() + 2) >> 8));
        out.append(static_cast<char>((body.size() + 2) & 0xFF));
        out.append(body);
    };
    QByteArray out("\xFF\xD8", 2);
    marker(out, 0xDB, QByteArray(1, '\0') + QByteArray(64, '\1'));
    QByteArray frame("\x08", 1);
    frame.append(static_cast<char>(height >> 8));
    frame.append(static_cast<char>(height & 0xFF));
    frame.append(static_cast<char>(width >> 8));
    frame.append(static_cast<char>(width & 0xFF));
    frame.append(static_cast<char>(components));
    for (int c = 1; c <= components; ++c) {
        frame.append(static_cast<char>(c));
        frame.append("\x11\x00", 2);
    }
    marker(out, 0xC2, frame);
    // One DC code, one bit long: the difference 0. The scans carry no data, so the decoder
    // reads zeros for every block.
    marker(out, 0xC4, QByteArray("\x00\x01", 2) + QByteArray(15, '\0') + QByteArray(1, '\0'));
    for (int s = 0; s < scans; ++s) {
        QByteArray scan("\x01", 1);
        scan.append(static_cast<char>(1 + s % components));
        scan.append(QByteArray(4, '\0'));
        marker(out, 0xDA, scan);
    }
    out.append("\xFF\xD9", 2);
    return out;
}

// An RLE8 bitmap 16 pixels wide whose data is `bytes` of 255-pixel runs: all but the first run
// lie past the row's end.
QByteArray rleRunsPastTheRow(int bytes) {
    zelvia::test::BmpLayout layout;
    layout.width = 16;
    layout.height = 1;
    layout.bitCount = 8;
    layout.compression = 1;
    layout.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    for (int i = 0; i < bytes / 2; ++i) {
        layout.pixels.append("\xFF\x01", 2);
    }
    layout.pixels.append("\x00\x01", 2);
    return zelvia::test::makeBmp(layout);
}

// The honest references and the crafted files, written into `base`.
void writeFiles(const QString& base) {
    const auto path = [&](const char* name) { return base + QLatin1Char('/') + name; };
    {
        const std::vector<unsigned char> rgb = zelvia::bench::noisyPixels();
        save(path("photo.jpg"), jpegOf(rgb, kPhotoWidth, kPhotoHeight));
        save(path("progressive.jpg"), jpegOf(rgb, kPhotoWidth, kPhotoHeight, TJFLAG_PROGRESSIVE));
        const QImage image(rgb.data(), kPhotoWidth, kPhotoHeight, kPhotoWidth * 3,
                           QImage::Format_RGB888);
        image.save(path("photo.bmp"), "BMP");
    }
    save(path("big.gif"), bigGif(4000, 3000));
    save(path("crafted-multiscan.jpg"), patchedJpeg(65000, 65000, 1));
    save(path("crafted-baseline.jpg"), patchedJpeg(65000, 65000, 3));
    save(path("crafted-progressive.jpg"), progressiveHeaderOnly());
    save(path("crafted-screen.gif"), hugeScreenGif());
    save(path("crafted-huge.wmf"), placeableWmf(), qint64{65} << 20);
    save(path("crafted-pngicon.ico"), hugePngIcon());
    save(path("crafted-runs-65535.gif"), longestRunGif(65535, 65535, 65535, 65535));
    save(path("crafted-runs-20000.gif"), longestRunGif(20000, 20000, 20000, 20000));
    save(path("big-10000.gif"), bigGif(10000, 10000));
    save(path("crafted-dc-scans.jpg"), dcScansJpeg(2900, 2900, 3, 499));
    save(path("crafted-dc-scans-grey.jpg"), dcScansJpeg(6400, 6400, 1, 499));
    save(path("crafted-rle-runs.bmp"), rleRunsPastTheRow(16 << 20));
}

struct Case {
    const char* label;
    const char* file;
};

// Starts the window in the file's folder and chooses the file (none for "-"), printing how long
// the display procedure took and what the width label says.
int clickChild(const std::string& folder, const std::string& file) {
    if (chdir(folder.c_str()) != 0) {
        return 1;
    }
    zelvia::rt::limitImageReaders();
    const zelvia::bench::BenchWindow bench;
    zelvia::frmMain& form = bench.form();
    double ms = 0;
    if (file != "-") {
        const QString name = QString::fromStdString(file);
        const int row = bench.rowOf(name);
        const auto start = std::chrono::steady_clock::now();
        form.picFil.setListIndex(row); // the display procedure, to the drawn box or its failure
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                 .count();
    }
    const QString width = form.lblWidth.Caption();
    const QString message = bench.host.callsOf(QStringLiteral("msgbox")).empty()
                                ? QString()
                                : QStringLiteral(" + message");
    std::printf("%f\t%s%s\n", ms, qPrintable(width), qPrintable(message));
    return 0;
}

// Prepares `file` as the next neighbour, alone and then moved away from after `moveAfterMs`;
// prints the whole preparation and the time from the move until the worker is idle, in ms.
int stopChild(const std::string& file, int moveAfterMs) {
    zelvia::rt::lookahead::LookAhead lookAhead;
    zelvia::rt::lookahead::Placement placement;
    placement.target = [](QSizeF) { return QRectF(0, 0, 330, 330); }; // the box at 96 dpi
    const QString path = QString::fromStdString(file);
    QElapsedTimer clock;
    clock.start();
    lookAhead.prepareNeighbours(1, QString(), path, placement);
    lookAhead.waitIdle();
    const double whole = zelvia::bench::msSince(clock);
    lookAhead.clear();
    lookAhead.prepareNeighbours(3, QString(), path, placement);
    std::this_thread::sleep_for(std::chrono::milliseconds(moveAfterMs));
    clock.restart();
    lookAhead.prepareNeighbours(10, QString(), QString(), placement); // a jump, nothing around
    lookAhead.waitIdle();
    std::printf("%f\t%f\n", whole, zelvia::bench::msSince(clock));
    return 0;
}

struct Result {
    double ms = 0;
    double cpuMs = 0;
    double peakMb = 0;
    std::string outcome;
};

Result measure(const char* self, const std::string& folder, const std::string& file) {
    const zelvia::bench::ChildRun run = zelvia::bench::runChild(self, {"--child", folder, file});
    Result r;
    r.peakMb = run.peakMb;
    r.cpuMs = run.cpuMs;
    const size_t tab = run.out.find('\t');
    if (!run.ok || tab == std::string::npos) {
        r.outcome = "child failed (status " + std::to_string(run.status) + ")";
        return r;
    }
    r.ms = std::stod(run.out.substr(0, tab));
    r.outcome = run.out.substr(tab + 1, run.out.find('\n') - tab - 1);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    zelvia::rt::lookahead::startReaderSpawner(); // as the program does
    if (argc == 4 && std::string(argv[1]) == "--stop") {
        QCoreApplication app(argc, argv);
        return stopChild(argv[2], std::atoi(argv[3]));
    }
    if (argc == 4 && std::string(argv[1]) == "--child") {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        return clickChild(argv[2], argv[3]);
    }
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--write") {
        writeFiles(QString::fromLocal8Bit(argv[2])); // e.g. as seeds of a fuzzing run
        return 0;
    }
    QTemporaryDir dir;
    const QString base = dir.path();
    const auto path = [&](const char* name) { return base + QLatin1Char('/') + name; };
    writeFiles(base);

    const std::vector<Case> cases = {
        {"idle window, nothing chosen", "-"},
        {"JPEG 6000x4000 baseline", "photo.jpg"},
        {"JPEG 6000x4000 progressive", "progressive.jpg"},
        {"BMP 6000x4000 24-bit", "photo.bmp"},
        {"GIF 4000x3000 8-bit", "big.gif"},
        {"JPEG 65000^2, 1st scan 1 of 3 comps", "crafted-multiscan.jpg"},
        {"JPEG 65000^2 baseline, data ends", "crafted-baseline.jpg"},
        {"JPEG 65535^2 progressive header", "crafted-progressive.jpg"},
        {"GIF 11500^2 screen, 1x1 frame", "crafted-screen.gif"},
        {"WMF 65 MiB (sparse), 8000x6000 tw", "crafted-huge.wmf"},
        {"ICO with a 65535^2 PNG header", "crafted-pngicon.ico"},
        {"GIF 65535^2, longest LZW runs", "crafted-runs-65535.gif"},
        {"GIF 20000^2, longest LZW runs", "crafted-runs-20000.gif"},
        {"GIF 10000x10000 8-bit", "big-10000.gif"},
        {"JPEG 2900^2 prog., 499 DC scans", "crafted-dc-scans.jpg"},
        {"JPEG 6400^2 grey prog., 499 DC scans", "crafted-dc-scans-grey.jpg"},
        {"BMP RLE8 16 MiB of runs past the row", "crafted-rle-runs.bmp"},
    };
    const std::string folder = base.toStdString();
    std::printf("%-38s %12s %10s %10s %10s  %s\n", "file", "bytes", "peak MB", "CPU ms",
                "display ms", "width label");
    for (const Case& c : cases) {
        const Result r = measure(argv[0], folder, c.file);
        const qint64 bytes = std::string(c.file) == "-" ? 0 : QFile(path(c.file)).size();
        std::printf("%-38s %12lld %10.1f %10.1f %10.1f  %s\n", c.label,
                    static_cast<long long>(bytes), r.peakMb, r.cpuMs, r.ms, r.outcome.c_str());
        std::fflush(stdout);
    }
    constexpr int kMoveAfterMs = 30;
    std::printf("\nlook-ahead: the file as the next neighbour; the user moves on %d ms into it\n",
                kMoveAfterMs);
    std::printf("%-38s %14s %16s\n", "file", "prepared in ms", "stopped after ms");
    for (const Case& c : cases) {
        if (std::string(c.file) == "-") {
            continue;
        }
        const zelvia::bench::ChildRun run = zelvia::bench::runChild(
            argv[0], {"--stop", path(c.file).toStdString(), std::to_string(kMoveAfterMs)});
        const QList<QByteArray> f = QByteArray::fromStdString(run.out).trimmed().split('\t');
        if (!run.ok || f.size() != 2) {
            std::printf("%-38s child failed\n", c.label);
            continue;
        }
        std::printf("%-38s %14.1f %16.1f\n", c.label, f[0].toDouble(), f[1].toDouble());
        std::fflush(stdout);
    }
    return 0;
}
