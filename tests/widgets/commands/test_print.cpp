// Print: the guards, the page through the scripted printer dialog to a PDF file, cancelling
// and printer failures.
#include "app/module1.h"
#include "commands_fixture.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cstdio>
#include <vector>
// clang-format off: jpeglib.h needs stdio first
#include <jpeglib.h>
// clang-format on

namespace zelvia::test {
namespace {

using PrinterAnswer = rt::ScriptedHost::PrinterAnswer;

// The standard output of `program` run with `args`; empty when it cannot be run or fails.
QString toolOutput(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

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

// The boxes of the words on the page as pdftotext places them, in points from the paper's
// top-left corner.
std::vector<QRectF> wordBoxes(const QString& pdf) {
    const QString html = toolOutput(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">[^<]*</word>)re"));
    std::vector<QRectF> out;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.emplace_back(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                         QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    }
    return out;
}

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
    // Skips the calling test where poppler's tools are missing; the caller returns when
    // IsSkipped(), as a skip inside a helper only leaves the helper.
    void requirePoppler() {
        for (const char* tool : {"pdftotext", "pdftoppm", "pdfimages"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed (poppler-utils)";
            }
        }
    }
    // The page rendered at 144 pixels per inch: one pixel is 10 twips. A null image when it
    // cannot be rendered.
    QImage renderPage() {
        const QString base = rootPath() + QStringLiteral("/out/page");
        toolOutput(QStringLiteral("pdftoppm"),
                   {QStringLiteral("-r"), QStringLiteral("144"), QStringLiteral("-png"),
                    QStringLiteral("-singlefile"), output_, base});
        return QImage(base + QStringLiteral(".png"));
    }
    // The red picture lies on `page` at (10, 2350) twips from the printable area's corner, and
    // is `width` x `height` pixels of 10 twips within `tolerance`.
    void expectRedPicture(const QImage& page, int width, int height, double tolerance) const {
        const QRectF area = printableArea();
        const QRect red = redExtent(page);
        EXPECT_NEAR(red.left(), area.x() * 2 + 1, 1.0); // 144 / 72 pixels per point
        EXPECT_NEAR(red.top(), area.y() * 2 + 235, 1.0);
        EXPECT_NEAR(red.width(), width, tolerance);
        EXPECT_NEAR(red.height(), height, tolerance);
    }
    QString output_;
};

class PrintGuardTest : public PrintTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(PrintGuardTest, RefusesBeforeTheDialogAndPrintsNothing) {
    const GuardCase& c = GetParam();
    startBefore(c.before, QStringLiteral("tool.exe"), "MZ no icon here");
    form().mnuPrint_Click();
    expectCriticalMessage(QStringLiteral("印刷エラー|") + QString::fromUtf16(c.message));
    EXPECT_TRUE(host_.callsOf(QStringLiteral("printer")).empty()) << "no printer dialog";
    EXPECT_FALSE(QFile::exists(output_));
}

INSTANTIATE_TEST_SUITE_P(States, PrintGuardTest,
                         ::testing::ValuesIn(guardCases(u"ピクチャファイルを指定してください。")),
                         rowName);

TEST_F(PrintTest, PageHasTheHeadingTheCaptionsTheDateTheRuleAndThePicture) {
    requirePoppler();
    if (IsSkipped()) {
        return;
    }
    saveImage(QStringLiteral("写真 1.bmp"), testImage(60, 40, QColor(255, 0, 0)), "bmp");
    start();
    choose(QStringLiteral("写真 1.bmp"));
    frmMain& f = form();
    f.mnuPrint_Click();
    ASSERT_TRUE(noMessages());
    ASSERT_TRUE(QFileInfo(output_).size() > 0);
    const QRectF area = printableArea();
    ASSERT_FALSE(area.isEmpty());

    // The lines in order, each label caption unchanged.
    const QString text = toolOutput(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-layout"), output_, QStringLiteral("-")});
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

    // The picture at 15 twips per pixel.
    const QImage page = renderPage();
    ASSERT_FALSE(page.isNull());
    expectRedPicture(page, 90, 60, 1.0);
}

// 12000 x 12000 pixels are more than a picture may hold decoded at once, yet it displays;
// printing decodes only what lands on the page, its top-left part.
TEST_F(PrintTest, AHugePicturePrintsItsTopLeftPartAtItsPhysicalSize) {
    requirePoppler();
    if (IsSkipped()) {
        return;
    }
    writeFile(QStringLiteral("huge.jpg"), bigJpeg(12000, 64));
    start();
    choose(QStringLiteral("huge.jpg"));
    ASSERT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：12000"));
    form().mnuPrint_Click();
    ASSERT_TRUE(noMessages());
    const QImage page = renderPage();
    ASSERT_FALSE(page.isNull());
    // 64 pixels of 15 twips; the colour edge of the JPEG is a pixel soft.
    expectRedPicture(page, 96, 96, 2.5);
    // Blue from there to the printable area's right and bottom edges.
    const QRectF area = printableArea();
    const QRgb corner = page.pixel(qRound(area.right() * 2) - 3, qRound(area.bottom() * 2) - 3);
    EXPECT_GT(qBlue(corner), 200);
    EXPECT_LT(qRed(corner), 60);
}

// Text lines start at the printable area's left edge and advance by the height of their
// font, as a line printer does: the heading in 15 points and bold, the body in 10 points.
TEST_F(PrintTest, LinesStartAtTheLeftEdgeAndAdvanceByTheirFontsHeight) {
    requirePoppler();
    if (IsSkipped()) {
        return;
    }
    saveImage(QStringLiteral("a.bmp"), testImage(16, 16, QColor(255, 0, 0)), "bmp");
    start();
    choose(QStringLiteral("a.bmp"));
    form().mnuPrint_Click();
    ASSERT_TRUE(noMessages());
    const QRectF area = printableArea();
    const std::vector<QRectF> words = wordBoxes(output_);
    ASSERT_FALSE(words.empty());

    // One row per line: the words of each distinct top together.
    std::vector<QRectF> rows;
    for (const QRectF& word : words) {
        if (rows.empty() || std::abs(rows.back().top() - word.top()) > 1.0) {
            rows.push_back(word);
        } else {
            rows.back() |= word;
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
    if (IsSkipped()) {
        return;
    }
    writeFile(QStringLiteral("red.wmf"), redWmf());
    start();
    choose(QStringLiteral("red.wmf"));
    form().mnuPrint_Click();
    ASSERT_TRUE(noMessages());
    const QString images =
        toolOutput(QStringLiteral("pdfimages"), {QStringLiteral("-list"), output_});
    EXPECT_EQ(images.trimmed().split(QLatin1Char('\n')).size(), 2) << "no image on the page:\n"
                                                                   << images.toStdString();
    expectRedPicture(renderPage(), 144, 72, 1.0); // 1440 twips
}

TEST_F(PrintTest, CancellingPrintsNothingAndSaysNothing) {
    saveImage(QStringLiteral("a.bmp"), testImage(8, 8), "bmp");
    writeFile(QStringLiteral("out/page.pdf"), "printed earlier");
    start();
    choose(QStringLiteral("a.bmp"));
    host_.printerAnswers = {PrinterAnswer::Cancel};
    host_.clear();
    form().mnuPrint_Click();
    EXPECT_EQ(host_.callsOf(QStringLiteral("printer")).size(), 1U);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(readFile(output_), QByteArray("printed earlier")) << "an untouched file stays";
}

enum class Failure { DialogFails, OutputIsAFolder, OutputFolderMissing, PictureTooLarge };

class PrintFailureTest : public PrintTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(PrintFailureTest, ShowsThePrinterMessageAndLeavesNoFileBehind) {
    saveImage(QStringLiteral("a.bmp"), testImage(8, 8), "bmp");
    writeFile(QStringLiteral("huge.jpg"), hugeProgressiveJpeg());
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
    expectCriticalMessage(
        QStringLiteral("プリンタエラー|プリンタエラーです。原因を解決してください。"));
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

} // namespace
} // namespace zelvia::test
