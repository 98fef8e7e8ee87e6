#pragma once

#include "core/basic_types.h"
#include "core/picture.h"

#include <QFont>
#include <QImage>
#include <QPrinter>
#include <QRect>
#include <QRectF>
#include <vector>

class QPainter;

namespace zelvia::rt {

// What of a picture placed at `target` (twips) lands on a printable area of `page` (twips,
// from its top-left corner): `pixels`, the picture's pixels there (whole ones, so a little
// more than what shows), `target`, where exactly they go, and `needed`, the device pixels
// they cover at `devicePerTwip`. Empty `pixels` when nothing lands on the page.
struct PrintedPart {
    QRect pixels;
    QRectF target;
    QSize needed;
};
PrintedPart printedPart(const QRectF& target, QSize pixels, const QSizeF& page,
                        double devicePerTwip);

// The common dialog control: here only its printer dialog. With CancelError on, cancelling
// raises error 32755 in the caller instead of returning.
class CommonDialog {
public:
    Boolean CancelError = False;

    // Shows the printer dialog through the host for `printer`.
    void ShowPrinter(QPrinter& printer) const;
};

// One print job of one page on the chosen printer, in twips from the top-left corner of the
// printable area. Text goes line by line from the current position, as a line printer does;
// pictures at their physical size.
//
// The page is composed first and only sent at EndDoc: a step that fails before it leaves
// nothing behind, no half-sent page and no output file. Should the printer fail while the page
// is sent, an output file the job wrote is removed.
class Printer {
public:
    Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    [[nodiscard]] QPrinter& device() { return printer_; }

    void setFontSize(double points);
    void setFontBold(bool bold);

    // Prints `text` from the current position; CR LF starts a new line at the left edge, and
    // after the text the position moves to the start of the next line. Each line advances by
    // the height of the font it is printed in.
    void Print(const QString& text);

    // The current position from the printable area's top, in twips.
    [[nodiscard]] double CurrentY() const { return currentY_; }

    // Places the picture with its top-left corner at (x, y) twips at its own physical size:
    // bitmaps at their pixels times the screen's twips per pixel, metafiles as vectors at their
    // natural size. No scaling; a bitmap larger than the page is decoded only as far as it
    // lands on the printable area. Throws RuntimeError (5, 481) when the picture cannot be
    // produced; the page is then left unsent.
    void PaintPicture(const PicturePtr& picture, double x, double y);

    // Sends the page. Throws RuntimeError 75 when the printer cannot be opened or fails, or
    // when a print queue refuses or cannot print the job (which is then cancelled).
    void EndDoc();

private:
    struct TextLine {
        QFont font;
        double baseline = 0;
        QString text;
    };
    struct PlacedPicture {
        PicturePtr vector; // drawn as vectors when set
        QImage pixels;     // otherwise these pixels
        QRectF target;
    };

    void drawPage(QPainter& painter) const;
    // The printable area in twips.
    [[nodiscard]] QSizeF pageTwips() const;

    QPrinter printer_;
    QFont font_;
    double currentY_ = 0;
    std::vector<TextLine> lines_;
    std::vector<PlacedPicture> pictures_;
    bool sent_ = false;
};

} // namespace zelvia::rt
