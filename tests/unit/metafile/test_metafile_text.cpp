#include "formats/metafile/metafile_picture.h"
#include "support/metafile_writers.h"
#include "support/picture_checks.h"

#include <QFontMetricsF>
#include <QPainter>
#include <gtest/gtest.h>

using namespace zelvia::rt;
using namespace zelvia::test;

namespace {

struct Ink {
    QRect box;
    int count = 0;
};

Ink inkOf(const QImage& image) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                ink.box |= QRect(x, y, 1, 1);
                ++ink.count;
            }
        }
    }
    return ink;
}

// What QPainter draws for `text` in `family` at `pixelSize`, top-left aligned at `topLeft`,
// each character at the given x offsets (or naturally spaced when none are given).
QImage reference(QSize size, const QString& family, int pixelSize, QPointF topLeft,
                 const QString& text, const std::vector<double>& xs = {}) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const double baseline = topLeft.y() + QFontMetricsF(font).ascent();
    if (xs.empty()) {
        painter.drawText(QPointF(topLeft.x(), baseline), text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            painter.drawText(QPointF(topLeft.x() + xs[static_cast<std::size_t>(i)], baseline),
                             text.mid(i, 1));
        }
    }
    return image;
}

void expectSameInk(const QImage& ours, const QImage& theirs) {
    const Ink a = inkOf(ours);
    const Ink b = inkOf(theirs);
    ASSERT_GT(b.count, 50);
    EXPECT_NEAR(a.box.left(), b.box.left(), 3);
    EXPECT_NEAR(a.box.right(), b.box.right(), 3);
    EXPECT_NEAR(a.box.top(), b.box.top(), 3);
    EXPECT_NEAR(a.box.bottom(), b.box.bottom(), 3);
    EXPECT_NEAR(a.count, b.count, b.count * 0.15);
}

QByteArray emfFontRecord(int index, int height, int charset, const QString& face) {
    QByteArray p = words32({index, height, 0, 0, 0, 400});
    p.append(static_cast<char>(0)).append(static_cast<char>(0)).append(static_cast<char>(0));
    p.append(static_cast<char>(charset));
    p.append(QByteArray(4, '\0'));
    for (int i = 0; i < 32; ++i) {
        put16(p, i < face.size() ? face[i].unicode() : 0);
    }
    return p;
}

QByteArray emfTextRecord(QPoint at, const QString& text, const std::vector<int>& dx) {
    const int stringBytes = static_cast<int>(text.size() * 2 + (text.size() % 2 != 0 ? 2 : 0));
    const int offString = 76;
    const int offDx = dx.empty() ? 0 : offString + stringBytes;
    QByteArray p = words32({0, 0, -1, -1, 1});
    put32(p, 0x3F800000); // 1.0f
    put32(p, 0x3F800000);
    p += words32({at.x(), at.y(), text.size(), offString, 0, 0, 0, -1, -1, offDx});
    for (QChar c : text) {
        put16(p, c.unicode());
    }
    if (text.size() % 2 != 0) {
        put16(p, 0);
    }
    for (int d : dx) {
        put32(p, d);
    }
    return p;
}

PicturePtr emfWithText(const QString& text, const std::vector<int>& dx) {
    EmfWriter w;
    w.record(82, emfFontRecord(1, -40, 128, QStringLiteral("MS Gothic"))).select(1);
    w.record(18, {1}); // transparent background
    w.record(84, emfTextRecord(QPoint(10, 10), text, dx));
    return loadMetafilePictureFromBytes(w.finish(QRect(0, 0, 200, 100),
                                                 QRect(QPoint(0, 0), QPoint(19999, 9999)),
                                                 QSize(1000, 1000), QSize(1000, 1000)));
}

} // namespace

TEST(MetafileText, JapaneseFontHasTheGlyphs) {
    const QFontMetricsF metrics(QFont(QStringLiteral("IPAGothic")));
    for (char16_t c : u"日本語") {
        if (c != 0) {
            EXPECT_TRUE(metrics.inFont(QChar(c))) << "IPAGothic lacks U+" << std::hex << int(c);
        }
    }
}

TEST(MetafileText, WmfShiftJisTextDrawsJapaneseGlyphs) {
    // Font "ＭＳ ゴシック" in Shift-JIS, charset 128, em 40 px; text "日本" at (10,10) px.
    const QByteArray face("\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    QByteArray font = words16({-400, 0, 0, 0, 400});
    font.append(QByteArray("\0\0\0", 3)).append('\x80').append(QByteArray(4, '\0')).append(face);
    font.append('\0');
    QByteArray text = words16({4});
    text.append("\x93\xFA\x96\x7B");
    text += words16({100, 100});
    WmfWriter w;
    w.record(0x02FB, font).select(0).record(0x0102, {1}).record(0x0521, text);
    const PicturePtr pic =
        loadMetafilePictureFromBytes(w.placeable(QRect(0, 0, 2000, 1000), 1000, 1));
    const QImage ours = drawOnWhite(pic, QSize(200, 100));
    expectSameInk(ours, reference(QSize(200, 100), QStringLiteral("IPAGothic"), 40, QPointF(10, 10),
                                  QString::fromUtf8("日本")));
}

TEST(MetafileText, EmfUtf16TextDrawsJapaneseGlyphs) {
    const QString text = QString::fromUtf8("日本語");
    expectSameInk(
        drawOnWhite(emfWithText(text, {}), QSize(200, 100)),
        reference(QSize(200, 100), QStringLiteral("IPAGothic"), 40, QPointF(10, 10), text));
}

TEST(MetafileText, EmfDxArrayPlacesEachCharacter) {
    const QString text = QString::fromUtf8("日本語");
    expectSameInk(drawOnWhite(emfWithText(text, {60, 60, 60}), QSize(200, 100)),
                  reference(QSize(200, 100), QStringLiteral("IPAGothic"), 40, QPointF(10, 10), text,
                            {0, 60, 120}));
}

TEST(MetafileText, AlignmentMovesTheText) {
    // TA_RIGHT | TA_BOTTOM: the reference point is the bottom-right corner of the text.
    EmfWriter w;
    w.record(82, emfFontRecord(1, -40, 1, QStringLiteral("Arial"))).select(1);
    w.record(18, {1}).record(22, {2 | 8});
    w.record(84, emfTextRecord(QPoint(190, 90), QStringLiteral("Hg"), {}));
    const QImage image =
        drawOnWhite(loadMetafilePictureFromBytes(w.finish(QRect(0, 0, 200, 100),
                                                          QRect(QPoint(0, 0), QPoint(19999, 9999)),
                                                          QSize(1000, 1000), QSize(1000, 1000))),
                    QSize(200, 100));
    const Ink ink = inkOf(image);
    ASSERT_GT(ink.count, 20);
    EXPECT_LE(ink.box.right(), 190);
    EXPECT_GE(ink.box.right(), 175);
    EXPECT_LE(ink.box.bottom(), 90);
    EXPECT_GE(ink.box.bottom(), 80); // the descender of g reaches down near the bottom
}
