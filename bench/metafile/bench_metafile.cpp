// Times drawing the largest WMF and EMF of the shared corpus into the viewer's 169x169 box at
// the fit size, and libemf2svg + QSvgRenderer doing the same for the EMF. Prints medians.
#include "formats/metafile/metafile_picture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <emf2svg.h>
#include <functional>
#include <vector>

using namespace zelvia::rt;

namespace {

constexpr int kRuns = 15;
constexpr int kBox = 169;

double medianMs(const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QRectF fitBox(QSizeF natural) {
    const double scale = std::min(1.0, kBox / std::max(natural.width(), natural.height()));
    return {0, 0, natural.width() * scale, natural.height() * scale};
}

bool drawsGdiRecords(const QByteArray& emf) {
    qsizetype pos = 0;
    while (pos + 8 <= emf.size()) {
        const auto type = *reinterpret_cast<const quint32*>(emf.constData() + pos);
        const auto size = *reinterpret_cast<const quint32*>(emf.constData() + pos + 4);
        if (type != 1 && type != 14 && type != 70) {
            return true;
        }
        if (size < 8) {
            break;
        }
        pos += size;
    }
    return false;
}

// The largest valid file under `prefix` (EMF: one that has GDI drawing, not only EMF+).
QString largest(const QString& corpus, const QString& prefix) {
    QFile manifest(corpus + "/MANIFEST.tsv");
    if (!manifest.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString best;
    qint64 bestSize = -1;
    QTextStream in(&manifest);
    while (!in.atEnd()) {
        const QStringList cols = in.readLine().split('\t');
        if (cols.size() < 4 || !cols[0].startsWith(prefix) || cols[3] != "valid") {
            continue;
        }
        const qint64 size = cols[1].toLongLong();
        if (size <= bestSize) {
            continue;
        }
        QFile f(corpus + "/" + cols[0]);
        if (prefix == "emf/" && (!f.open(QIODevice::ReadOnly) || !drawsGdiRecords(f.readAll()))) {
            continue;
        }
        best = corpus + "/" + cols[0];
        bestSize = size;
    }
    return best;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double ours(const QByteArray& bytes) {
    return medianMs([&] {
        const PicturePtr pic = loadMetafilePictureFromBytes(bytes);
        QImage image(kBox, kBox, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        pic->draw(painter, fitBox(QSizeF(pic->pixelSize())));
    });
}

double reference(QByteArray bytes) {
    return medianMs([&] {
        generatorOptions options{};
        options.nameSpace = const_cast<char*>("svg");
        options.svgDelimiter = true;
        options.imgWidth = kBox;
        options.imgHeight = kBox;
        char* svg = nullptr;
        std::size_t length = 0;
        emf2svg(bytes.data(), static_cast<std::size_t>(bytes.size()), &svg, &length, &options);
        QSvgRenderer renderer(QByteArray(svg, static_cast<qsizetype>(length)));
        std::free(svg);
        QImage image(kBox, kBox, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&painter, fitBox(renderer.defaultSize()));
    });
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    const QString corpus =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ZELVIA_CORPUS_DIR);
    const QString wmf = largest(corpus, "wmf/");
    const QString emf = largest(corpus, "emf/");
    if (wmf.isEmpty() || emf.isEmpty()) {
        std::fprintf(stderr, "corpus not found at %s\n", qPrintable(corpus));
        return 1;
    }
    const QByteArray wmfBytes = readFile(wmf);
    const QByteArray emfBytes = readFile(emf);
    const double wmfMs = ours(wmfBytes);
    const double emfMs = ours(emfBytes);
    const double refMs = reference(emfBytes);
    std::printf("median of %d runs, load + draw into %dx%d at the fit size\n", kRuns, kBox, kBox);
    std::printf("WMF %s (%lld bytes): %.2f ms\n", qPrintable(wmf.section('/', -2)),
                static_cast<long long>(wmfBytes.size()), wmfMs);
    std::printf("EMF %s (%lld bytes): %.2f ms\n", qPrintable(emf.section('/', -2)),
                static_cast<long long>(emfBytes.size()), emfMs);
    std::printf("EMF via libemf2svg + QSvgRenderer: %.2f ms\n", refMs);
    std::printf("ratio ours / libemf2svg+QtSvg: %.2f\n", emfMs / refMs);
    return 0;
}
