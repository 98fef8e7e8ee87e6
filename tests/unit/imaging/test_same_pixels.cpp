// What the picture draws into a box equals the reference decoder's own output at that size:
// libjpeg-turbo's scaled decode for JPEG (at 1/8, where the first-scan path may answer), Qt's
// readers for GIF, BMP and ICO. A file the reference refuses is refused with 481.
#include "core/native_path.h"
#include "core/runtime_error.h"
#include "formats/imaging/raster_picture.h"
#include "support/corpus.h"
#include "support/image_writers.h"
#include "support/picture_checks.h"
#include "support/turbo_jpeg.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <malloc.h>
#include <span>
#include <turbojpeg.h>

using namespace zelvia;

namespace {

struct Case {
    std::string name;
    std::function<QByteArray()> bytes;
};

[[maybe_unused]] void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

// The largest mean difference of a channel and the largest of a pixel, over what shows.
std::pair<double, int> difference(const QImage& mine, const QImage& expected) {
    const QImage a = mine.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::array<qint64, 4> sum{};
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            for (unsigned c = 0; c < 4; ++c) {
                const int d = std::abs(int(a.pixel(x, y) >> (8 * c) & 255) -
                                       int(b.pixel(x, y) >> (8 * c) & 255));
                sum[c] += d;
                worst = std::max(worst, d);
            }
        }
    }
    return {double(*std::max_element(sum.begin(), sum.end())) / (a.width() * a.height()), worst};
}

// JPEG at 1/8 through libjpeg-turbo (CMYK with Adobe's inverted inks, as the decoder shows
// them); other formats through Qt, the image of the size drawn nearest to it where the file
// holds several. Null when the reference refuses the file.
QImage reference(const QByteArray& data, const QImage& mine) {
    if (!data.startsWith("\xFF\xD8")) {
        QBuffer buffer;
        buffer.setData(data);
        QImageReader reader(&buffer);
        QImage best = reader.read();
        while (reader.jumpToNextImage()) {
            const QImage next = reader.read();
            if (best.size() != mine.size() ||
                (next.size() == mine.size() && difference(mine, next) < difference(mine, best))) {
                best = next;
            }
        }
        return best;
    }
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    tjDecompressHeader3(tj, reinterpret_cast<const uchar*>(data.data()),
                        static_cast<unsigned long>(data.size()), &w, &h, &sub, &space);
    QImage out((w + 7) / 8, (h + 7) / 8, QImage::Format_ARGB32);
    const bool failed =
        tjDecompress2(tj, reinterpret_cast<const uchar*>(data.data()),
                      static_cast<unsigned long>(data.size()), out.bits(), out.width(), 0,
                      out.height(), space >= TJCS_CMYK ? TJPF_CMYK : TJPF_BGRA, 0) != 0 &&
        tjGetErrorCode(tj) == TJERR_FATAL;
    tjDestroy(tj);
    for (QRgb& p : std::span(reinterpret_cast<QRgb*>(out.bits()), size_t(out.sizeInBytes() / 4))) {
        const uchar* s = reinterpret_cast<const uchar*>(&p);
        p = space < TJCS_CMYK ? p | 0xFF000000u
                              : qRgb(s[0] * s[3] / 255, s[1] * s[3] / 255, s[2] * s[3] / 255);
    }
    return failed ? QImage() : out;
}

// Draws the picture into a box of `eighths`/8 of its size, as the JPEG decoder's scales round;
// the error number when it is refused, else 0.
int drawScaled(const QByteArray& data, int eighths, QImage& out,
               const std::function<rt::PicturePtr()>& load = {}) {
    return test::errorOf([&] {
        const rt::PicturePtr p = load ? load() : rt::loadRasterPictureFromBytes(data);
        const auto side = [eighths](int n) { return (n * eighths + 7) / 8; };
        out = QImage(side(p->pixelSize().width()), side(p->pixelSize().height()),
                     QImage::Format_ARGB32);
        out.fill(Qt::transparent);
        QPainter painter(&out);
        p->draw(painter, QRectF(QPointF(0, 0), out.size()));
    });
}

// A generated file with bytes put over its progressive frame header (at `at` after its marker).
QByteArray overFrame(QByteArray jpeg, qsizetype at, const QByteArray& bytes) {
    return jpeg.replace(jpeg.indexOf("\xFF\xC2") + at, bytes.size(), bytes);
}

QImage scene(int w, int h, bool flat) {
    QImage img(w, h, QImage::Format_RGB32);
    QRadialGradient g(w / 3.0, h / 2.0, w / 2.0);
    g.setColorAt(0, QColor(250, 220, 40));
    g.setColorAt(1, QColor(20, 60, 160));
    QPainter p(&img);
    p.fillRect(img.rect(), flat ? QBrush(QColor(128, 128, 128)) : QBrush(g));
    if (!flat) {
        p.fillRect(w / 2, h / 4, w / 3, h / 2, QColor(200, 20, 40));
    }
    return img;
}

std::vector<Case> cases() {
    std::vector<Case> out;
    for (const char* folder : {"bmp/", "gif/", "ico/", "jpeg/"}) {
        for (const test::CorpusEntry& e : test::corpusEntries(QString::fromLatin1(folder))) {
            if (e.expect == QStringLiteral("valid")) {
                out.push_back({e.relPath.toStdString(), [path = e.path] {
                                   QFile f(path);
                                   return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                               }});
            }
        }
    }
    if (out.empty()) {
        out.push_back({"corpus", [] { return QByteArray(); }});
    }
    // Written by TurboJPEG (CMYK when `samp` is negative), with restart markers every
    // `restart` MCU rows when it is set.
    const auto jpeg = [](int samp, int flags, int quality = 75, const char* restart = "",
                         bool flat = false, QSize size = {203, 157}) {
        return [=] {
            qputenv("TJ_RESTART", restart);
            const QByteArray bytes = test::turboJpeg(scene(size.width(), size.height(), flat),
                                                     std::max(samp, 0), quality, flags, samp < 0);
            qunsetenv("TJ_RESTART");
            return bytes;
        };
    };
    const int p = TJFLAG_PROGRESSIVE;
    const QByteArray allOnesDc = QByteArray("\xFF\xC4\x00\x15\x00\x02", 6) + QByteArray(17, 0);
    const QByteArray adobe0("\xFF\xEE\x00\x0E"
                            "Adobe\x00\x64\x00\x00\x00\x00\x00",
                            16);
    const std::vector<Case> generated = {
        {"baseline_420", jpeg(TJSAMP_420, 0)},
        {"s444", jpeg(TJSAMP_444, p)},
        {"s422", jpeg(TJSAMP_422, p)},
        {"s420", jpeg(TJSAMP_420, p)},
        {"s440", jpeg(TJSAMP_440, p)},
        {"s411", jpeg(TJSAMP_411, p)},
        {"grey", jpeg(TJSAMP_GRAY, p)},
        {"cmyk", jpeg(-1, p)},
        {"restarts", jpeg(TJSAMP_422, p, 75, "1")},
        {"al1_quality10", jpeg(TJSAMP_444, p, 10)},
        {"jfif_adobe0", [=] { return jpeg(TJSAMP_422, p)().insert(20, adobe0); }},
        {"mcu_of_18_blocks",
         [=] { return overFrame(jpeg(TJSAMP_420, p, 75, "", true)(), 11, "\x44"); }},
        {"sampling_3x1_2x1",
         [=] {
             return overFrame(jpeg(TJSAMP_444, p, 75, "", true)(), 11,
                              QByteArray("\x31\x00\x02\x21", 4));
         }},
        {"side_65535",
         [=] {
             return overFrame(jpeg(TJSAMP_GRAY, p, 75, "", true, {16, 65500})(), 5,
                              QByteArray("\xFF\xFF\x00\x08", 4));
         }},
        {"all_ones_dc_code",
         [=] {
             QByteArray f = jpeg(TJSAMP_420, p, 75, "", true)();
             return f.insert(f.indexOf("\xFF\xDA"), allOnesDc);
         }},
    };
    out.insert(out.end(), generated.begin(), generated.end());
    return out;
}

class SamePixels : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        data = GetParam().bytes();
        if (data.isEmpty()) {
            GTEST_SKIP() << "shared test corpus not found (expected ../shared/corpus); skipping";
        }
    }
    QByteArray data;
};

TEST_P(SamePixels, AsTheReferenceDecoderDrawsIt) {
    const bool jpeg = data.startsWith("\xFF\xD8");
    QImage mine;
    const int error = drawScaled(data, jpeg ? 1 : 8, mine);
    const QImage expected = reference(data, mine);
    if (expected.isNull() && !jpeg) {
        GTEST_SKIP() << "Qt's reader does not read this file";
    }
    if (expected.isNull()) {
        QImage full;
        EXPECT_EQ(error, rt::err::InvalidPicture);
        EXPECT_EQ(drawScaled(data, 8, full), rt::err::InvalidPicture);
        return;
    }
    const QString name = QString::fromStdString(GetParam().name);
    if (test::knownRefusals().contains(name)) {
        EXPECT_EQ(error, rt::err::InvalidPicture);
        return;
    }
    ASSERT_EQ(error, 0);
    ASSERT_EQ(mine.size(), expected.size());
    const auto [mean, worst] = difference(mine, expected);
    EXPECT_EQ(mean <= 2.0 && worst <= 16, !test::knownDifferences().contains(name))
        << "mean " << mean << ", worst " << worst
        << "; known differences list it: " << test::knownDifferences().contains(name);
}

// A file cut short after it was opened leaves every pixel defined: drawn with the heap
// filled first with one pattern, then with another, it comes out the same.
TEST_P(SamePixels, CutShortUnderTheReaderShowsNoUnwrittenMemory) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture"));
    for (const double part : {0.35, 0.7}) {
        for (const int eighths : {1, 8}) {
            std::array<QImage, 2> drawn;
            std::array<int, 2> error{};
            for (size_t run = 0; run < 2; ++run) {
                ASSERT_TRUE(test::writeFile(path, data));
                mallopt(M_PERTURB, run == 0 ? 0x5A : 0xA5);
                error[run] = drawScaled(data, eighths, drawn[run], [&] {
                    rt::PicturePtr p = rt::loadRasterPicture(rt::ReadOnlyFile(path));
                    QFile::resize(path, static_cast<qint64>(double(data.size()) * part));
                    return p;
                });
                mallopt(M_PERTURB, 0);
            }
            EXPECT_EQ(error[0], error[1]);
            EXPECT_TRUE(drawn[0] == drawn[1]) << "cut at " << part << ", " << eighths << "/8";
        }
    }
}

} // namespace

INSTANTIATE_TEST_SUITE_P(, SamePixels, testing::ValuesIn(cases()), [](const auto& param) {
    return test::caseNameOf(QString::fromStdString(param.param.name));
});
