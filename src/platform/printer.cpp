#include "platform/printer.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "platform/cups_job.h"
#include "platform/host.h"
#include "platform/screen.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPicture>
#include <algorithm>
#include <cmath>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvia::rt {

namespace {

constexpr double kTwipsPerPoint = 20.0;

bool isMetafile(const Picture& picture) {
    return picture.kind() == PictureKind::Metafile || picture.kind() == PictureKind::EnhMetafile;
}

// The output file as the print engine names it on disk.
QByteArray outputPathOf(const QPrinter& printer) {
    return QFile::encodeName(printer.outputFileName());
}

bool isRegularFile(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// A PDF written in full ends with its end-of-file marker; a write that failed part-way
// (a full disk) leaves a file without it.
bool isCompletePdf(const QByteArray& path) {
    try {
        const ReadOnlyFile file(decodeFileName(path));
        const qint64 tail = std::min<qint64>(file.size(), 32);
        return file.readAt(file.size() - tail, tail).contains("%%EOF");
    } catch (const RuntimeError&) {
        return false;
    }
}

} // namespace

PrintedPart printedPart(const QRectF& target, QSize pixels, const QSizeF& page,
                        double devicePerTwip) {
    PrintedPart part;
    const QRectF visible = target & QRectF(QPointF(0, 0), page);
    if (visible.isEmpty() || pixels.isEmpty() || target.isEmpty()) {
        return part;
    }
    const double sx = pixels.width() / target.width(); // picture pixels per twip
    const double sy = pixels.height() / target.height();
    const QRectF wanted((visible.left() - target.left()) * sx, (visible.top() - target.top()) * sy,
                        visible.width() * sx, visible.height() * sy);
    const QPoint topLeft(static_cast<int>(std::floor(wanted.left())),
                         static_cast<int>(std::floor(wanted.top())));
    const QPoint bottomRight(
        std::min(pixels.width(), static_cast<int>(std::ceil(wanted.right()))),
        std::min(pixels.height(), static_cast<int>(std::ceil(wanted.bottom()))));
    part.pixels =
        QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
    part.target =
        QRectF(target.left() + part.pixels.left() / sx, target.top() + part.pixels.top() / sy,
               part.pixels.width() / sx, part.pixels.height() / sy);
    part.needed =
        QSize(std::max(1, static_cast<int>(std::ceil(part.target.width() * devicePerTwip))),
              std::max(1, static_cast<int>(std::ceil(part.target.height() * devicePerTwip))));
    return part;
}

QSizeF Printer::pageTwips() const {
    const QRect paint = printer_.pageLayout().paintRectPixels(printer_.resolution());
    const double perTwip = printer_.resolution() / Screen::kTwipsPerInch;
    return {paint.width() / perTwip, paint.height() / perTwip};
}

void CommonDialog::ShowPrinter(QPrinter& printer) const {
    if (!host().printerDialog(printer) && CancelError == True) {
        throw RuntimeError(err::CancelError);
    }
}

Printer::Printer() : printer_(QPrinter::HighResolution) {
    setFontSize(10);
}

void Printer::setFontSize(double points) {
    font_.setPixelSize(static_cast<int>(points * kTwipsPerPoint));
}

void Printer::setFontBold(bool bold) {
    font_.setBold(bold);
}

void Printer::Print(const QString& text) {
    // The font's pixel size is in twips, the page's unit, whatever the printer's resolution.
    const QFontMetricsF metrics(font_, &printer_);
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString& line : lines) {
        if (!line.isEmpty()) {
            lines_.push_back({font_, currentY_ + metrics.ascent(), line});
        }
        currentY_ += metrics.height();
    }
}

void Printer::PaintPicture(const PicturePtr& picture, double x, double y) {
    if (!picture || picture->kind() == PictureKind::None) {
        return;
    }
    const QSizeF size =
        picture->naturalSizeTwips(Screen::TwipsPerPixelX(), Screen::TwipsPerPixelY());
    PlacedPicture placed;
    placed.target = QRectF(QPointF(x, y), size);
    if (isMetafile(*picture)) {
        // Played once into a recording here, so that damaged records fail now, before the
        // page is sent; the page itself gets the vectors.
        QPicture rehearsal;
        QPainter painter(&rehearsal);
        picture->draw(painter, placed.target);
        placed.vector = picture;
    } else {
        const PrintedPart part = printedPart(placed.target, picture->pixelSize(), pageTwips(),
                                             printer_.resolution() / Screen::kTwipsPerInch);
        if (part.pixels.isEmpty()) {
            return; // nothing of it lands on the page
        }
        // Only what lands on the page, never more finely than the printer prints.
        placed.pixels = picture->regionImage(part.pixels, part.needed);
        if (placed.pixels.isNull()) {
            throw RuntimeError(err::InvalidPicture, "the picture has no pixels");
        }
        placed.target = part.target;
    }
    pictures_.push_back(std::move(placed));
}

void Printer::drawPage(QPainter& painter) const {
    // One logical unit is one twip.
    painter.scale(printer_.resolution() / Screen::kTwipsPerInch,
                  printer_.resolution() / Screen::kTwipsPerInch);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::black);
    for (const TextLine& line : lines_) {
        painter.setFont(line.font);
        painter.drawText(QPointF(0, line.baseline), line.text);
    }
    for (const PlacedPicture& placed : pictures_) {
        if (placed.vector) {
            painter.save();
            placed.vector->draw(painter, placed.target);
            painter.restore();
        } else {
            painter.drawImage(placed.target, placed.pixels);
        }
    }
}

void Printer::EndDoc() {
    if (sent_) {
        return;
    }
    sent_ = true;
    const bool toFile = !printer_.outputFileName().isEmpty();
    const QByteArray outputPath = outputPathOf(printer_);
    const auto dropOutput = [&] {
        // Only a plain file the job wrote; never a device, a link or a folder of that name.
        if (toFile && isRegularFile(outputPath)) {
            ::unlink(outputPath.constData());
        }
    };

    // A page for a print queue is watched from before it is produced until the scheduler
    // has it: the print engine does not say whether the job was taken.
    std::optional<CupsSubmission> submission;
    if (const QString queue = cupsQueueOf(printer_); !queue.isEmpty()) {
        submission.emplace(queue);
        // The name tells our job from any other on the queue, whoever sent it.
        printer_.setDocName(submission->jobName(QStringLiteral("Zelvia")));
    }

    QPainter painter;
    if (!painter.begin(&printer_)) {
        throw RuntimeError(err::PathAccess, "the printer cannot be opened");
    }
    try {
        drawPage(painter);
    } catch (...) {
        painter.end();
        dropOutput();
        if (submission) {
            submission->abandon();
        }
        throw;
    }
    bool ok = painter.end();
    if (ok && toFile && printer_.outputFormat() == QPrinter::PdfFormat &&
        isRegularFile(outputPath)) {
        ok = isCompletePdf(outputPath);
    }
    if (!ok) {
        dropOutput();
        throw RuntimeError(err::PathAccess, "the printer failed");
    }
    if (submission) {
        submission->confirm();
    }
}

} // namespace zelvia::rt
