#include "formats/metafile/font_mapping.h"
#include "formats/metafile/gdi_device.h"
#include "formats/metafile/player_limits.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zelvia::rt::metafile {

namespace {

// Glyphs larger than this on the device, in either direction, are drawn as outlines.
constexpr double kMaxGlyphBitmapPixels = 512;

// The larger side of an em square of `font` once mapped onto the device.
double glyphExtentOnDevice(const QFont& font, const QTransform& toDevice) {
    const double stretch = font.stretch() > 0 ? font.stretch() / 100.0 : 1.0;
    const double across = std::hypot(toDevice.m11(), toDevice.m12()) * stretch;
    const double down = std::hypot(toDevice.m21(), toDevice.m22());
    return font.pixelSize() * std::max(across, down);
}

} // namespace

// Long by nature: alignment, clipping and spacing options each add a branch.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void GdiDevice::textOut(QPointF reference, const QString& text, const std::vector<double>& advances,
                        unsigned options, const std::optional<QRectF>& rect) {
    const unsigned align = state_.textAlign;
    const bool updateCp = (align & gdi::TA_UPDATECP) != 0;
    if (updateCp) {
        reference = state_.currentPos;
    }
    if (rect && (options & gdi::ETO_OPAQUE) != 0 && !inPath_) {
        applyLogicalTransform();
        painter_.fillRect(rect->normalized(), state_.bkColor);
    }
    const QString shown = text.left(kMaxTextChars);
    if (shown.isEmpty()) {
        return;
    }

    // Glyphs stay upright on the device even when the mapping turns the y axis up.
    const QTransform toPainter = logicalToPainter();
    QTransform lin(toPainter.m11(), toPainter.m12(), toPainter.m21(), toPainter.m22(), 0, 0);
    if (lin.determinant() < 0) {
        lin = QTransform(1, 0, 0, -1, 0, 0) * lin;
    }
    const double k = std::hypot(lin.m21(), lin.m22());
    if (!(k > 0) || !std::isfinite(k)) {
        return;
    }
    if (!(state_.font == cachedLogFont_) || cachedEm_ < 0) {
        cachedLogFont_ = state_.font;
        cachedEm_ = emSizeForHeight(state_.font);
    }
    const double em = cachedEm_;
    QFont font = makeFont(state_.font, em * k);
    // Text space: one unit is `unit` logical units, so that the font's pixel size is the em.
    const double unit = em / font.pixelSize();
    if (!(unit > 0) || !std::isfinite(unit)) {
        return;
    }
    if (state_.font.width != 0) {
        const double average = QFontMetricsF(font).averageCharWidth();
        if (average > 0) {
            const double stretch = std::abs(state_.font.width) / unit / average;
            font.setStretch(std::clamp(static_cast<int>(std::lround(stretch * 100)), 1, 4000));
        }
    }
    const QFontMetricsF metrics(font);

    // Positions of each UTF-16 unit along the baseline, in text space.
    std::vector<double> positions(static_cast<std::size_t>(shown.size()) + 1, 0.0);
    const double extra = state_.textCharExtra / unit;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        double advance = 0;
        if (static_cast<std::size_t>(i) < advances.size()) {
            advance = advances[static_cast<std::size_t>(i)] / unit;
        } else if (advances.empty()) {
            if (shown[i].isHighSurrogate() && i + 1 < shown.size()) {
                advance = metrics.horizontalAdvance(shown.mid(i, 2));
            } else if (!shown[i].isLowSurrogate()) {
                advance = metrics.horizontalAdvance(shown[i]);
            }
            advance += extra;
        }
        positions[static_cast<std::size_t>(i) + 1] =
            positions[static_cast<std::size_t>(i)] + (std::isfinite(advance) ? advance : 0);
    }
    const double width = positions.back();

    double x0 = 0;
    switch (align & gdi::TA_HMASK) {
    case gdi::TA_RIGHT:
        x0 = -width;
        break;
    case gdi::TA_CENTER:
        x0 = -width / 2;
        break;
    default:
        break;
    }
    double baseline = metrics.ascent();
    switch (align & gdi::TA_VMASK) {
    case gdi::TA_BASELINE:
        baseline = 0;
        break;
    case gdi::TA_BOTTOM:
        baseline = -metrics.descent();
        break;
    default:
        break;
    }

    QTransform rotation;
    rotation.rotate(-state_.font.escapement / 10.0);
    const QPointF anchor = toPainter.map(reference);
    const QTransform full = rotation * QTransform::fromScale(unit, unit) * lin *
                            QTransform::fromTranslate(anchor.x(), anchor.y());

    if (inPath_) {
        QPainterPath glyphs;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            if (!shown[i].isLowSurrogate()) {
                const qsizetype len = shown[i].isHighSurrogate() ? 2 : 1;
                glyphs.addText(QPointF(x0 + positions[static_cast<std::size_t>(i)], baseline), font,
                               shown.mid(i, len));
            }
        }
        const QPainterPath mapped = (full * deviceToPainter_.inverted()).map(glyphs);
        if (path_.elementCount() + mapped.elementCount() <= kMaxPathElements) {
            path_.addPath(mapped);
        }
    } else {
        painter_.save();
        if (rect && (options & gdi::ETO_CLIPPED) != 0) {
            painter_.setTransform(toPainter);
            painter_.setClipRect(rect->normalized(), Qt::IntersectClip);
        }
        painter_.setTransform(full);
        if (state_.bkMode == gdi::OPAQUE && !(rect && (options & gdi::ETO_OPAQUE) != 0)) {
            painter_.fillRect(QRectF(x0, baseline - metrics.ascent(), width,
                                     metrics.ascent() + metrics.descent()),
                              state_.bkColor);
        }
        painter_.setBackgroundMode(Qt::TransparentMode);
        painter_.setFont(font);
        painter_.setPen(state_.textColor);
        // The font engine renders glyphs into bitmaps of their size on the device and cannot
        // cope with huge ones (a mapping may stretch 1-pixel glyphs thousands of pixels wide);
        // such text is filled as outlines instead.
        const bool asOutlines =
            glyphExtentOnDevice(font, painter_.deviceTransform()) > kMaxGlyphBitmapPixels;
        const auto drawRun = [&](QPointF at, const QString& run) {
            if (asOutlines) {
                QPainterPath outline;
                outline.addText(at, font, run);
                painter_.fillPath(outline, state_.textColor);
            } else {
                painter_.drawText(at, run);
            }
        };
        if (advances.empty() && extra == 0) {
            drawRun(QPointF(x0, baseline), shown);
        } else {
            for (qsizetype i = 0; i < shown.size(); ++i) {
                if (shown[i].isLowSurrogate()) {
                    continue;
                }
                const qsizetype len = shown[i].isHighSurrogate() ? 2 : 1;
                drawRun(QPointF(x0 + positions[static_cast<std::size_t>(i)], baseline),
                        shown.mid(i, len));
            }
        }
        painter_.restore();
        space_ = Space::None;
    }

    if (updateCp) {
        double end = 0;
        switch (align & gdi::TA_HMASK) {
        case gdi::TA_RIGHT:
            end = x0;
            break;
        case gdi::TA_CENTER:
            end = 0;
            break;
        default:
            end = x0 + width;
            break;
        }
        bool invertible = false;
        const QTransform back = toPainter.inverted(&invertible);
        if (invertible) {
            state_.currentPos = back.map(full.map(QPointF(end, 0)));
        }
    }
}

} // namespace zelvia::rt::metafile
