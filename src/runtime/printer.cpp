#include "runtime/printer.h"

#include "runtime/host.h"
#include "runtime/runtime_error.h"
#include "runtime/screen.h"

#include <QFile>

namespace zelvia::rt {

namespace {
constexpr double kTwipsPerPoint = 20.0;
} // namespace

void CommonDialog::ShowPrinter(QPrinter& printer) const {
    if (!host().printerDialog(printer) && CancelError == True) {
        throw RuntimeError(err::CancelError);
    }
}

Printer::Printer() : printer_(QPrinter::HighResolution) {
    font_.setPixelSize(static_cast<int>(10 * kTwipsPerPoint));
}

Printer::~Printer() {
    if (painter_ && !ended_) {
        // Never send half a page: drop the job and whatever file it started.
        painter_->end();
        printer_.abort();
        if (!printer_.outputFileName().isEmpty()) {
            QFile::remove(printer_.outputFileName());
        }
    }
}

void Printer::begin() {
    if (painter_) {
        return;
    }
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&printer_)) {
        painter_.reset();
        throw RuntimeError(err::PathAccess, "the printer cannot be opened");
    }
    // One logical unit is one twip.
    painter_->scale(printer_.resolution() / Screen::kTwipsPerInch,
                    printer_.resolution() / Screen::kTwipsPerInch);
    painter_->setRenderHint(QPainter::Antialiasing);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform);
}

void Printer::setFontSize(double points) {
    font_.setPixelSize(static_cast<int>(points * kTwipsPerPoint));
}

void Printer::setFontBold(bool bold) {
    font_.setBold(bold);
}

void Printer::Print(const QString& text) {
    begin();
    painter_->setFont(font_);
    const double lineHeight = painter_->fontMetrics().height();
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString& line : lines) {
        painter_->drawText(QPointF(0, currentY_ + painter_->fontMetrics().ascent()), line);
        currentY_ += lineHeight;
    }
}

void Printer::PaintPicture(const PicturePtr& picture, double x, double y) {
    begin();
    if (!picture) {
        return;
    }
    const QSizeF size =
        picture->naturalSizeTwips(Screen::TwipsPerPixelX(), Screen::TwipsPerPixelY());
    const QRectF target(x, y, size.width(), size.height());
    if (picture->kind() == PictureKind::Metafile || picture->kind() == PictureKind::EnhMetafile) {
        picture->draw(*painter_, target);
    } else {
        // Every pixel of the picture, scaled by the printer itself.
        painter_->drawImage(target, picture->fullImage());
    }
}

void Printer::EndDoc() {
    begin();
    ended_ = true;
    if (!painter_->end()) {
        throw RuntimeError(err::PathAccess, "the printer failed");
    }
}

} // namespace zelvia::rt
