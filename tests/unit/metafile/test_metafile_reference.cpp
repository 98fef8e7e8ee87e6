#include "core/runtime_error.h"
#include "formats/metafile/metafile_picture.h"
#include "support/corpus.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <emf2svg.h>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

constexpr int kSide = 64;
// Mean absolute difference of grey levels (0..255) under which two renderings agree.
constexpr double kTolerance = 20.0;

std::int32_t le32(const QByteArray& b, int at) {
    return static_cast<std::int32_t>(static_cast<unsigned char>(b[at]) |
                                     (static_cast<unsigned char>(b[at + 1]) << 8) |
                                     (static_cast<unsigned char>(b[at + 2]) << 16) |
                                     (static_cast<unsigned char>(b[at + 3]) << 24));
}

QImage canvas() {
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// libemf2svg maps the header's bounds (device pixels, right - left wide) onto its image.
std::optional<QImage> referenceRendering(QByteArray bytes, QRectF* boundsOut) {
    generatorOptions options{};
    options.nameSpace = const_cast<char*>("svg");
    options.svgDelimiter = true;
    options.imgWidth = kSide;
    options.imgHeight = kSide;
    char* svg = nullptr;
    std::size_t length = 0;
    const int ok =
        emf2svg(bytes.data(), static_cast<std::size_t>(bytes.size()), &svg, &length, &options);
    const QByteArray text =
        svg != nullptr ? QByteArray(svg, static_cast<qsizetype>(length)) : QByteArray();
    std::free(svg);
    if (ok == 0 || text.isEmpty()) {
        return std::nullopt;
    }
    QSvgRenderer renderer(text);
    if (!renderer.isValid()) {
        return std::nullopt;
    }
    const QSizeF size = renderer.defaultSize();
    QImage image = canvas();
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    painter.end();
    *boundsOut = QRectF(le32(bytes, 8), le32(bytes, 12), le32(bytes, 16) - le32(bytes, 8),
                        le32(bytes, 20) - le32(bytes, 12));
    if (boundsOut->width() <= 0 || size.width() <= 0) {
        return std::nullopt;
    }
    return image;
}

// Ours, drawn so that the same bounds land on the same pixels.
QImage ourRendering(const QByteArray& bytes, const QRectF& bounds) {
    const PicturePtr pic = loadMetafilePictureFromBytes(bytes);
    const double devW = le32(bytes, 72);
    const double devH = le32(bytes, 76);
    const double mmW = le32(bytes, 80);
    const double mmH = le32(bytes, 84);
    const double l = le32(bytes, 24), t = le32(bytes, 28), r = le32(bytes, 32), b = le32(bytes, 36);
    QRectF frame(l * devW / mmW / 100, t * devH / mmH / 100, (r - l + 1) * devW / mmW / 100,
                 (b - t + 1) * devH / mmH / 100);
    if (r <= l || b <= t) {
        frame = bounds.adjusted(0, 0, 1, 1);
    }
    const double scale = std::min(kSide / bounds.width(), kSide / std::max(1.0, bounds.height()));
    const QRectF target((frame.x() - bounds.x()) * scale, (frame.y() - bounds.y()) * scale,
                        frame.width() * scale, frame.height() * scale);
    QImage image = canvas();
    QPainter painter(&image);
    pic->draw(painter, target);
    painter.end();
    return image;
}

double meanGreyDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
        }
    }
    return sum / (kSide * kSide);
}

} // namespace

TEST(MetafileReference, CoarseRenderingsAgreeWithLibemf2svg) {
    ZELVIA_REQUIRE_CORPUS(dir);
    int compared = 0;
    int agreeing = 0;
    for (const CorpusEntry& e : corpusEntries(QStringLiteral("emf/"))) {
        if (e.expect != "valid") {
            continue; // the reference library is not robust against damaged files
        }
        QFile file(e.path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QRectF bounds;
        const auto theirs = referenceRendering(bytes, &bounds);
        if (!theirs) {
            std::printf("  %-50s reference failed\n", qPrintable(e.relPath));
            continue;
        }
        QImage ours;
        try {
            ours = ourRendering(bytes, bounds);
        } catch (const RuntimeError& err) {
            ADD_FAILURE() << e.relPath.toStdString() << " refused: " << err.number();
            continue;
        }
        const double diff = meanGreyDifference(ours, *theirs);
        ++compared;
        agreeing += diff <= kTolerance ? 1 : 0;
        std::printf("  %-50s mean grey difference %6.2f %s\n", qPrintable(e.relPath), diff,
                    diff <= kTolerance ? "agree" : "DIFFER");
    }
    std::printf("metafile reference: %d of %d EMF files agree with libemf2svg within %.0f grey "
                "levels (64x64)\n",
                agreeing, compared, kTolerance);
    EXPECT_GE(compared, 15);
    EXPECT_GE(agreeing, compared * 6 / 10);
}
