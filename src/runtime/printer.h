#pragma once

#include "runtime/basic_types.h"
#include "runtime/picture.h"

#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <memory>

namespace zelvia::rt {

// The common dialog control: here only its printer dialog. With CancelError on, cancelling
// raises error 32755 in the caller instead of returning.
class CommonDialog {
public:
    Boolean CancelError = False;

    // Shows the printer dialog through the host for `printer`.
    void ShowPrinter(QPrinter& printer) const;
};

// One print job on the chosen printer, in twips from the top-left corner of the printable
// area. Text goes line by line from the current position; pictures at their physical size.
// A job that is not ended with EndDoc is aborted when the object goes away, and an output
// file it started is removed, so a failed job never leaves half a page behind.
class Printer {
public:
    Printer();
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    [[nodiscard]] QPrinter& device() { return printer_; }

    void setFontSize(double points);
    void setFontBold(bool bold);

    // Prints `text` (CR LF starts a new line at the left margin), then moves to the next line.
    void Print(const QString& text);

    // Draws the picture with its top-left corner at (x, y) twips at its own physical size:
    // bitmaps at their pixels times the screen's twips per pixel, metafiles as vectors at their
    // natural size. No scaling, no clipping of its own.
    void PaintPicture(const PicturePtr& picture, double x, double y);

    // Ends the document and sends the page. Throws RuntimeError when the printer fails.
    void EndDoc();

private:
    void begin();

    QPrinter printer_;
    std::unique_ptr<QPainter> painter_;
    QFont font_;
    double currentY_ = 0;
    bool ended_ = false;
};

} // namespace zelvia::rt
