#include "core/runtime_error.h"
#include "formats/metafile/metafile_picture.h"
#include "support/corpus.h"
#include "support/metafile_writers.h"

#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

// Draws into the viewer's 169-pixel box at the fit size; returns how many pixels changed.
int drawFitted(const Picture& pic) {
    const QSize natural = pic.pixelSize().expandedTo(QSize(1, 1));
    const double scale = std::min(1.0, 169.0 / std::max(natural.width(), natural.height()));
    const QSizeF fit(std::max(1.0, natural.width() * scale),
                     std::max(1.0, natural.height() * scale));
    QImage image(169, 169, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    pic.draw(painter, QRectF(QPointF(0, 0), fit));
    painter.end();
    int changed = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            changed += (line[x] & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
        }
    }
    return changed;
}

// Loads and draws; returns 0 when loaded, else the error number.
int loadAndDraw(const QByteArray& bytes, int* changed = nullptr) {
    try {
        const PicturePtr pic = loadMetafilePictureFromBytes(bytes);
        const int c = drawFitted(*pic);
        if (changed != nullptr) {
            *changed = c;
        }
        return 0;
    } catch (const RuntimeError& e) {
        return e.number();
    }
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(MetafileCorpus, EveryFileLoadsAndDrawsOrFailsCleanly) {
    ZELVIA_REQUIRE_CORPUS(dir);
    int valid = 0;
    int validDrawn = 0;
    int invalidRefused = 0;
    for (const QString& prefix : {QStringLiteral("wmf/"), QStringLiteral("emf/")}) {
        for (const CorpusEntry& e : corpusEntries(prefix)) {
            int changed = 0;
            const int error = loadAndDraw(readAll(e.path), &changed);
            EXPECT_TRUE(error == 0 || error == err::InvalidPicture) << e.relPath.toStdString();
            if (e.expect == "valid") {
                ++valid;
                EXPECT_EQ(error, 0) << "valid file refused: " << e.relPath.toStdString();
                validDrawn += changed > 0 ? 1 : 0;
                if (changed == 0) {
                    // EMF+-only files keep all their drawing in comments, which are not played.
                    std::printf("  drew nothing: %s\n", qPrintable(e.relPath));
                }
            } else if (error != 0) {
                ++invalidRefused;
            }
        }
    }
    std::printf("metafile corpus: %d valid files, %d drew something; %d invalid files refused\n",
                valid, validDrawn, invalidRefused);
    EXPECT_GT(valid, 50);
    // Four valid files legitimately show nothing: white on white, stock selections only,
    // or EMF+ drawing that lives in comments.
    EXPECT_GE(validDrawn, valid - 4);
}

TEST(MetafileCorpus, TruncatedAndMutatedFilesNeverCrash) {
    ZELVIA_REQUIRE_CORPUS(dir);
    QRandomGenerator random(20240601);
    int files = 0;
    for (const QString& prefix : {QStringLiteral("wmf/"), QStringLiteral("emf/")}) {
        for (const CorpusEntry& e : corpusEntries(prefix)) {
            const QByteArray bytes = readAll(e.path);
            if (bytes.size() > 60000 || (files++ % 2) != 0) {
                continue; // a sample keeps the test fast
            }
            for (int cut : {1, 4, 3}) {
                const int error = loadAndDraw(bytes.left(bytes.size() * cut / 5));
                EXPECT_TRUE(error == 0 || error == err::InvalidPicture) << e.relPath.toStdString();
            }
            for (int round = 0; round < 4; ++round) {
                QByteArray mutated = bytes;
                for (int k = 0; k < 12; ++k) {
                    // Leave the header alone half the time, so that records get damaged.
                    const auto from =
                        round % 2 == 0 ? std::min<qsizetype>(120, bytes.size() - 1) : 0;
                    const auto at = from + static_cast<qsizetype>(random.bounded(
                                               static_cast<quint32>(bytes.size() - from)));
                    mutated[at] = static_cast<char>(random.bounded(256));
                }
                const int error = loadAndDraw(mutated);
                EXPECT_TRUE(error == 0 || error == err::InvalidPicture) << e.relPath.toStdString();
            }
        }
    }
}

TEST(MetafileRobustness, CountsBeyondTheRecordEndTheDrawing) {
    // A red square, then a polygon claiming 30000 points in a short record, then a blue square
    // that must not be drawn: the damaged record ends playback.
    EmfWriter w;
    w.pen(1, 5, 0, 0).select(1).solidBrush(2, 0x0000FF).select(2).rectangle(0, 0, 50, 100);
    w.record(3, {0, 0, 0, 0, 30000, 1, 2, 3, 4});
    w.solidBrush(3, 0xFF0000).select(3).rectangle(50, 0, 100, 100);
    const PicturePtr pic = loadMetafilePictureFromBytes(w.finishSquare());
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    pic->draw(painter, QRectF(0, 0, 100, 100));
    painter.end();
    EXPECT_EQ(image.pixelColor(25, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(75, 50), QColor(Qt::white));
}

TEST(MetafileRobustness, HostileRecordsAreContained) {
    // Each of these records is damaged or extreme; none may crash, hang or allocate wildly.
    const std::vector<std::pair<const char*, std::function<void(EmfWriter&)>>> cases = {
        {"restore below the stack", [](EmfWriter& w) { w.record(34, {-50}).record(34, {7}); }},
        {"deep SaveDC",
         [](EmfWriter& w) {
             for (int i = 0; i < 3000; ++i) {
                 w.record(33, QByteArray());
             }
         }},
        {"object index beyond the table",
         [](EmfWriter& w) {
             w.solidBrush(0x7FFFFFFF, 0).select(0x7FFFFFFF).record(40, {0x7FFFFFF0});
         }},
        {"huge bitmap",
         [](EmfWriter& w) {
             QByteArray p =
                 words32({0, 0, 10, 10, 0, 0, 0, 0, 10, 10, 80, 40, 120, 4, 0, 0x00CC0020, 10, 10});
             p += words32({40, 60000, 60000, 0x180001, 0, 0, 0, 0, 0, 0}) + words32({0});
             w.record(81, p);
         }},
        {"singular world transform",
         [](EmfWriter& w) {
             w.record(35, words32({0, 0, 0, 0, 0, 0})).rectangle(0, 0, 10, 10);
         }},
        {"text longer than the record",
         [](EmfWriter& w) {
             w.record(84, words32({0, 0, 0, 0, 1, 0, 0, 5, 5, 100000, 76, 0, 0, 0, 0, 0, 0}));
         }},
        {"poly-polygon counts exceeding total",
         [](EmfWriter& w) {
             w.record(8, words32({0, 0, 0, 0, 2, 2, 5, 5, 1, 1, 2, 2}));
         }},
    };
    for (const auto& [name, add] : cases) {
        EmfWriter w;
        add(w);
        w.rectangle(0, 0, 5, 5);
        const int error = loadAndDraw(w.finishSquare());
        EXPECT_EQ(error, 0) << name;
    }
    // A WMF record claiming zero size must not loop forever.
    WmfWriter zero;
    zero.rectangle(0, 0, 10, 10);
    QByteArray bytes = zero.placeable(QRect(0, 0, 100, 100), 1440, 0);
    bytes.insert(40, QByteArray(6, '\0'));
    EXPECT_EQ(loadAndDraw(bytes), 0);
}
