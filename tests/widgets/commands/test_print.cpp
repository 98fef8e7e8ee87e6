// Print: the guards, the page through the scripted printer dialog to a PDF file, cancelling
// and printer failures.
#include "app/module1.h"
#include "commands_fixture.h"
#include "support/metafile_writers.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <cstdio>
#include <vector>
// clang-format off: jpeglib.h needs stdio first
#include <jpeglib.h>
// clang-format on

using namespace zelvia;
using zelvia::test::Before;
using zelvia::test::CommandsTest;
using zelvia::test::GuardCase;
using zelvia::test::haveTool;
using zelvia::test::runTool;
using zelvia::test::testImage;
using PrinterAnswer = zelvia::rt::ScriptedHost::PrinterAnswer;

namespace {

const QString kPrintTitle = QStringLiteral("印刷エラー");
const QString kPrinterFailure =
    QStringLiteral("プリンタエラー|プリンタエラーです。原因を解決してください。");

class PrintTest : public CommandsTest {
protected:
    void SetUp() override {
        CommandsTest::SetUp();
        output_ = rootPath() + QStringLiteral("/out/page.pdf");
        QDir().mkpath(rootPath() + QStringLiteral("/out"));
        host_.printerOutputFile = output_;
    }
    // The printable area of the last printer dialog, in points on the paper.
    QRectF printableArea() const {
        const auto calls = host_.callsOf(QStringLiteral("printer"));
        if (calls.empty()) {
            return {};
        }
        const QStringList v = calls.back().args.value(1).split(QLatin1Char(','));
        return {v.value(0).toDouble(), v.value(1).toDouble(), v.value(2).toDouble(),
                v.value(3).toDouble()};
    }
    void requirePoppler() {
        for (const char* tool : {"pdftotext", "pdftoppm", "pdfimages"}) {
            if (!haveTool(QString::fromLatin1(tool))) {
                GTEST_SKIP() << tool << " is not installed (poppler-utils)";
            }
        }
    }
    // The page rendered at 144 pixels per inch: one pixel is 10 twips.
    QImage renderPage() {
        const QString base = rootPath() + QStringLiteral("/out/page");
        if (!runTool(QStringLiteral("pdftoppm"),
                     {QStringLiteral("-r"), QStringLiteral("144"), QStringLiteral("-png"),
                      QStringLiteral("-singlefile"), output_, base})) {
            return {};
        }
        return QImage(base + QStringLiteral(".png"));
    }
    QString output_;
};

// A baseline JPEG of `side` x `side` pixels, red in its top-left `redSide` square and blue
// elsewhere, encoded row by row so that the picture never exists whole in memory.
QByteArray bigJpeg(int side, int redSide) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(side);
    cinfo.image_height = static_cast<JDIMENSION>(side);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(side) * 3);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const bool red = x < redSide && y < redSide;
            unsigned char* p = &row[static_cast<size_t>(x) * 3];
            p[0] = red ? 255 : 0;
            p[1] = 0;
            p[2] = red ? 0 : 255;
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

// The bounding box of the strongly red pixels.
QRect redExtent(const QImage& page) {
    const QImage img = page.convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// A word of the page as pdftotext places it, in points from the paper's top-left corner.
struct Word {
    QRectF box;
    QString text;
};

std::vector<Word> wordsOf(const QString& pdf) {
    const QString html = QString::fromUtf8(
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")})
            .value_or(QByteArray()));
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    std::vector<Word> out;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.push_back({QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                              QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
                       m.captured(5)});
    }
    return out;
}

class PrintGuardTest : public PrintTest, public ::testing::WithParamInterface<GuardCase> {};

} // namespace

TEST_P(PrintGuardTest, RefusesBeforeTheDialogAndPrintsNothing) {
    const GuardCase& c = GetParam();
    startBefore(c.before, QStringLiteral("tool.exe"), "MZ no icon here");
    frmMain& f = form();
    f.mnuPrint_Click();
    EXPECT_EQ(messages(),
              QStringList{kPrintTitle + QLatin1Char('|') + QString::fromUtf16(c.message)});
    EXPECT_EQ(host_.callsOf(QStringLiteral("msgbox")).at(0).number, 16);
    EXPECT_TRUE(host_.callsOf(QStringLiteral("printer")).empty()) << "no printer dialog";
    EXPECT_FALSE(QFile::exists(output_));
}

INSTANTIATE_TEST_SUITE_P(States, PrintGuardTest,
                         ::testing::Values(GuardCase{"AfterStart", Before::Start,
                                                     u"ファイルを指定していません。"},
                                           GuardCase{"AfterFolderChange", Before::FolderChange,
                                                     u"ファイルを指定していません。"},
                                           GuardCase{"AfterFailedDisplay", Before::FailedDisplay,
                                                     u"ピクチャファイルを指定してください。"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(PrintTest, PageHasTheHeadingTheCaptionsTheDateTheRuleAndThePicture) {
    requirePoppler();
    saveImage(QStringLiteral("写真 1.bmp"), testImage(60, 40, QColor(255, 0, 0)), "bmp");
    start();
    choose(QStringLiteral("写真 1.bmp"));
    frmMain& f = form();
    f.mnuPrint_Click();
    ASSERT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(QFileInfo(output_).size() > 0);
    const QRectF area = printableArea();
    ASSERT_FALSE(area.isEmpty());

    // The lines in order, each label caption unchanged.
    const QString text =
        QString::fromUtf8(runTool(QStringLiteral("pdftotext"),
                                  {QStringLiteral("-layout"), output_, QStringLiteral("-")})
                              .value_or(QByteArray()));
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) {
            lines << line.trimmed();
        }
    }
    ASSERT_EQ(lines.size(), 9) << text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("ファイル情報"));
    EXPECT_EQ(lines[1], f.lblLine.Caption());
    EXPECT_EQ(lines[2], QStringLiteral("ファイル名：写真 1.bmp"));
    EXPECT_EQ(lines[3], f.lblFileSize.Caption());
    EXPECT_EQ(lines[4], f.lblFileAttribute.Caption());
    EXPECT_EQ(lines[5], QStringLiteral("縦(ﾋﾟｸｾﾙ)：40"));
    EXPECT_EQ(lines[6], QStringLiteral("横(ﾋﾟｸｾﾙ)：60"));
    EXPECT_TRUE(lines[7].startsWith(QStringLiteral("印刷日時： ")));
    EXPECT_TRUE(lines[7].contains(QString::number(QDate::currentDate().year())));
    EXPECT_EQ(lines[8], QString(38, QLatin1Char('-')));

    // The picture at (10, 2350) twips from the printable area's corner, 15 twips per pixel.
    const QImage page = renderPage();
    ASSERT_FALSE(page.isNull());
    const QRect red = redExtent(page);
    const double left = area.x() * 2 + 1;  // 144 / 72 pixels per point, 10 twips per pixel
    const double top = area.y() * 2 + 235; //
    EXPECT_NEAR(red.left(), left, 1.0);
    EXPECT_NEAR(red.top(), top, 1.0);
    EXPECT_NEAR(red.width(), 90, 1.0);
    EXPECT_NEAR(red.height(), 60, 1.0);
}

// 12000 x 12000 pixels are more than a picture may hold decoded at once, yet it displays;
// printing decodes only what lands on the page, its top-left part.
TEST_F(PrintTest, AHugePicturePrintsItsTopLeftPartAtItsPhysicalSize) {
    requirePoppler();
    writeFile(QStringLiteral("huge.jpg"), bigJpeg(12000, 64));
    start();
    choose(QStringLiteral("huge.jpg"));
    ASSERT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：12000"));
    form().mnuPrint_Click();
    ASSERT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
    const QRectF area = printableArea();
    const QImage page = renderPage();
    ASSERT_FALSE(page.isNull());
    const QRect red = redExtent(page);
    EXPECT_NEAR(red.left(), area.x() * 2 + 1, 1.0);
    EXPECT_NEAR(red.top(), area.y() * 2 + 235, 1.0);
    // 64 pixels of 15 twips; the colour edge of the JPEG is a pixel soft.
    EXPECT_NEAR(red.width(), 96, 2.5);
    EXPECT_NEAR(red.height(), 96, 2.5);
    // Blue from there to the printable area's right and bottom edges.
    const QRgb corner = page.pixel(qRound((area.right()) * 2) - 3, qRound(area.bottom() * 2) - 3);
    EXPECT_GT(qBlue(corner), 200);
    EXPECT_LT(qRed(corner), 60);
}

// Text lines start at the printable area's left edge and advance by the height of their
// font, as a line printer does: the heading in 15 points and bold, the body in 10 points.
TEST_F(PrintTest, LinesStartAtTheLeftEdgeAndAdvanceByTheirFontsHeight) {
    requirePoppler();
    saveImage(QStringLiteral("a.bmp"), testImage(16, 16, QColor(255, 0, 0)), "bmp");
    start();
    choose(QStringLiteral("a.bmp"));
    form().mnuPrint_Click();
    ASSERT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
    const QRectF area = printableArea();
    const std::vector<Word> words = wordsOf(output_);
    ASSERT_FALSE(words.empty());

    // One row per line: the leftmost word of each distinct top.
    std::vector<QRectF> rows;
    for (const Word& w : words) {
        if (rows.empty() || std::abs(rows.back().top() - w.box.top()) > 1.0) {
            rows.push_back(w.box);
        } else {
            rows.back() |= w.box;
        }
    }
    ASSERT_EQ(rows.size(), 9U);
    for (const QRectF& row : rows) {
        EXPECT_NEAR(row.left(), area.left(), 1.5) << "every line starts at the left edge";
    }
    EXPECT_NEAR(rows[0].height() / rows[1].height(), 1.5, 0.05) << "15 and 10 points";
    // Each line advances by the height of its font (a mixed line's top may sit half a point
    // higher, where a face with taller ascenders supplies some of its glyphs).
    const auto lineHeight = [](int points) {
        QFont font;
        font.setPixelSize(points * 20);
        return QFontMetricsF(font).height() / 20.0;
    };
    EXPECT_NEAR(rows[0].top(), area.top(), 1.0) << "the heading starts at the top";
    EXPECT_NEAR(rows[1].top() - rows[0].top(), lineHeight(15), 0.6);
    for (size_t i = 2; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i].top() - rows[i - 1].top(), lineHeight(10), 0.6) << "line " << i;
    }

    // Bold: the heading's strokes cover clearly more of its box than those of the attribute
    // line, set in the same face in the regular weight, cover of theirs.
    const QImage page = renderPage();
    ASSERT_FALSE(page.isNull());
    const auto density = [&](const QRectF& box) {
        const QRect px(
            QPoint(static_cast<int>(box.left() * 2), static_cast<int>(box.top() * 2)),
            QPoint(static_cast<int>(box.right() * 2), static_cast<int>(box.bottom() * 2)));
        int ink = 0;
        for (int y = px.top(); y <= px.bottom(); ++y) {
            for (int x = px.left(); x <= px.right(); ++x) {
                ink += qGray(page.pixel(x, y)) < 128 ? 1 : 0;
            }
        }
        return ink / static_cast<double>(px.width() * px.height());
    };
    ASSERT_TRUE(rows[4].isValid());
    EXPECT_GT(density(rows[0]), density(rows[4]) * 1.2);
}

TEST_F(PrintTest, MetafilesPrintAsVectorsAtTheirNaturalSize) {
    requirePoppler();
    writeFile(QStringLiteral("red.wmf"), test::redWmf());
    start();
    choose(QStringLiteral("red.wmf"));
    form().mnuPrint_Click();
    ASSERT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
    const QString images =
        QString::fromUtf8(runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), output_})
                              .value_or(QByteArray("no output")));
    EXPECT_EQ(images.trimmed().split(QLatin1Char('\n')).size(), 2) << "no image on the page:\n"
                                                                   << images.toStdString();
    const QRectF area = printableArea();
    const QRect red = redExtent(renderPage());
    EXPECT_NEAR(red.left(), area.x() * 2 + 1, 1.0);
    EXPECT_NEAR(red.top(), area.y() * 2 + 235, 1.0);
    EXPECT_NEAR(red.width(), 144, 1.0); // 1440 twips
    EXPECT_NEAR(red.height(), 72, 1.0);
}

TEST_F(PrintTest, CancellingPrintsNothingAndSaysNothing) {
    saveImage(QStringLiteral("a.bmp"), testImage(8, 8), "bmp");
    QFile earlier(output_);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("printed earlier");
    earlier.close();
    start();
    choose(QStringLiteral("a.bmp"));
    host_.printerAnswers = {PrinterAnswer::Cancel};
    host_.clear();
    form().mnuPrint_Click();
    EXPECT_EQ(host_.callsOf(QStringLiteral("printer")).size(), 1U);
    EXPECT_TRUE(messages().isEmpty());
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("printed earlier")) << "an untouched file stays";
}

namespace {

enum class Failure { DialogFails, OutputIsAFolder, OutputFolderMissing, PictureTooLarge };

class PrintFailureTest : public PrintTest, public ::testing::WithParamInterface<Failure> {};

} // namespace

TEST_P(PrintFailureTest, ShowsThePrinterMessageAndLeavesNoFileBehind) {
    saveImage(QStringLiteral("a.bmp"), testImage(8, 8), "bmp");
    writeFile(QStringLiteral("huge.jpg"), test::hugeProgressiveJpeg());
    start();
    QString leftAlone; // a folder in the output's place must stay as it was
    switch (GetParam()) {
    case Failure::DialogFails:
        host_.printerAnswers = {PrinterAnswer::Fail};
        choose(QStringLiteral("a.bmp"));
        break;
    case Failure::OutputIsAFolder:
        ASSERT_TRUE(QDir().mkpath(output_));
        leftAlone = output_;
        choose(QStringLiteral("a.bmp"));
        break;
    case Failure::OutputFolderMissing:
        output_ = rootPath() + QStringLiteral("/missing/page.pdf");
        host_.printerOutputFile = output_;
        choose(QStringLiteral("a.bmp"));
        break;
    case Failure::PictureTooLarge:
        // Too large to display, yet the guard lets it through.
        choose(QStringLiteral("huge.jpg"));
        ASSERT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：65535"));
        break;
    }
    host_.clear();
    form().mnuPrint_Click();
    EXPECT_EQ(host_.callsOf(QStringLiteral("printer")).size(), 1U) << "the dialog was shown";
    EXPECT_EQ(messages(), QStringList{kPrinterFailure});
    EXPECT_EQ(host_.callsOf(QStringLiteral("msgbox")).at(0).number, 16);
    if (leftAlone.isEmpty()) {
        EXPECT_FALSE(QFileInfo::exists(output_));
    } else {
        EXPECT_TRUE(QFileInfo(leftAlone).isDir());
    }
    // The program goes on: the next print works.
    output_ = rootPath() + QStringLiteral("/out/next.pdf");
    host_.printerOutputFile = output_;
    choose(QStringLiteral("a.bmp"));
    host_.clear();
    form().mnuPrint_Click();
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_GT(QFileInfo(output_).size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, PrintFailureTest,
                         ::testing::Values(Failure::DialogFails, Failure::OutputIsAFolder,
                                           Failure::OutputFolderMissing, Failure::PictureTooLarge));
