#include "formats/metafile/gdi_device.h"

#include "formats/metafile/player_limits.h"

#include <QPaintEngine>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace zelvia::rt::metafile {

namespace {

// The longest side of a bitmap handed to Qt's image drawing (see GdiDevice::blit).
constexpr int kMaxBlitSide = 16384;

double linearScale(const QTransform& t) {
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

QTransform linearPart(const QTransform& t) {
    return {t.m11(), t.m12(), t.m21(), t.m22(), 0, 0};
}

bool asRect(const QPainterPath& path, QRectF* rect) {
    if (path.elementCount() != 5) {
        return false;
    }
    const QRectF r = path.boundingRect();
    for (int i = 0; i < 5; ++i) {
        const auto e = path.elementAt(i);
        if ((e.x != r.left() && e.x != r.right()) || (e.y != r.top() && e.y != r.bottom())) {
            return false;
        }
    }
    *rect = r;
    return true;
}

QPainterPath rectPath(const QRectF& r) {
    QPainterPath p;
    p.addRect(r);
    return p;
}

// Qt angle (degrees, counter-clockwise in a y-down system) of `p` on the ellipse in `box`.
double ellipseAngle(const QRectF& box, QPointF p) {
    const QPointF c = box.center();
    const double rx = box.width() / 2;
    const double ry = box.height() / 2;
    if (rx == 0 || ry == 0) {
        return 0;
    }
    return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / std::numbers::pi;
}

} // namespace

GdiDevice::GdiDevice(QPainter& painter, const DeviceSetup& setup)
    : painter_(painter), setup_(setup), state_(setup.initial) {
    base_ = painter_.transform();
    const QTransform inv = base_.inverted();
    devicePixelScale_ = inv * painter_.deviceTransform();
    const QRectF f = setup_.deviceFrame;
    const QRectF t = setup_.target;
    const double sx = f.width() != 0 ? t.width() / f.width() : 1;
    const double sy = f.height() != 0 ? t.height() / f.height() : 1;
    deviceToPainter_ = QTransform(sx, 0, 0, sy, t.x() - f.x() * sx, t.y() - f.y() * sy) * base_;
    // Recording (the drawing's extent) and printing draw no pixels here: only records count.
    const QPaintDevice* device = painter_.device();
    rasterises_ = device != nullptr &&
                  (device->devType() == QInternal::Image || device->devType() == QInternal::Pixmap);
    baseHadClip_ = painter_.hasClipping();
    if (baseHadClip_) {
        baseClip_ = painter_.clipPath();
    }
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setRenderHint(QPainter::TextAntialiasing);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
    applyClip();
}

GdiDevice::~GdiDevice() = default;

// ---- mapping ---------------------------------------------------------------------------

void GdiDevice::setMapMode(int mode) {
    if (mode < gdi::MM_TEXT || mode > gdi::MM_ANISOTROPIC) {
        return;
    }
    state_.mapMode = mode;
    transformDirty_ = true;
}

QTransform GdiDevice::logicalToDevice() const {
    const DcState& s = state_;
    double sx = 1;
    double sy = 1;
    auto fixed = [&](double unitsPerInch) {
        sx = setup_.deviceUnitsPerInch.width() / unitsPerInch;
        sy = -setup_.deviceUnitsPerInch.height() / unitsPerInch;
    };
    switch (s.mapMode) {
    case gdi::MM_LOMETRIC:
        fixed(254);
        break;
    case gdi::MM_HIMETRIC:
        fixed(2540);
        break;
    case gdi::MM_LOENGLISH:
        fixed(100);
        break;
    case gdi::MM_HIENGLISH:
        fixed(1000);
        break;
    case gdi::MM_TWIPS:
        fixed(1440);
        break;
    case gdi::MM_ISOTROPIC:
    case gdi::MM_ANISOTROPIC:
        if (s.windowExt.width() != 0 && s.windowExt.height() != 0) {
            sx = s.viewportExt.width() / s.windowExt.width();
            sy = s.viewportExt.height() / s.windowExt.height();
        }
        if (s.mapMode == gdi::MM_ISOTROPIC) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    default:
        break;
    }
    const QTransform page(sx, 0, 0, sy, s.viewportOrg.x() - s.windowOrg.x() * sx,
                          s.viewportOrg.y() - s.windowOrg.y() * sy);
    return s.world * page;
}

QTransform GdiDevice::logicalToPainter() const {
    return logicalToDevice() * deviceToPainter_;
}

double GdiDevice::devicePixelsPerLogical() const {
    return linearScale(logicalToPainter() * devicePixelScale_);
}

void GdiDevice::applyLogicalTransform() {
    if (space_ != Space::Logical || transformDirty_) {
        painter_.setTransform(logicalToPainter());
        space_ = Space::Logical;
        transformDirty_ = false;
    }
}

void GdiDevice::applyDeviceTransform() {
    if (space_ != Space::Device) {
        painter_.setTransform(deviceToPainter_);
        space_ = Space::Device;
    }
}

// ---- save / restore --------------------------------------------------------------------

void GdiDevice::save() {
    if (saved_.size() < static_cast<std::size_t>(kMaxSaveDepth)) {
        saved_.push_back(state_);
    }
}

void GdiDevice::restore(int which) {
    const auto depth = static_cast<qint64>(saved_.size());
    const qint64 index = which < 0 ? depth + which : static_cast<qint64>(which) - 1;
    if (which == 0 || index < 0 || index >= depth) {
        return;
    }
    const bool clipChanged = saved_[static_cast<std::size_t>(index)].clip != state_.clip;
    state_ = saved_[static_cast<std::size_t>(index)];
    saved_.resize(static_cast<std::size_t>(index));
    transformDirty_ = true;
    if (clipChanged) {
        applyClip();
    }
}

// ---- pens and brushes ------------------------------------------------------------------

QPen GdiDevice::makePen(double pixelsPerUnit) const {
    const LogPen& desc = state_.pen;
    const unsigned style = desc.style & gdi::PS_STYLE_MASK;
    if (style == gdi::PS_NULL) {
        return Qt::NoPen;
    }
    QPen pen(desc.color);
    const double logicalToPixels = devicePixelsPerLogical();
    const bool cosmetic = desc.width * logicalToPixels <= 1.0;
    if (cosmetic) {
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
    } else {
        pen.setWidthF(desc.width * pixelsPerUnit);
    }
    switch (desc.style & gdi::PS_ENDCAP_MASK) {
    case gdi::PS_ENDCAP_SQUARE:
        pen.setCapStyle(Qt::SquareCap);
        break;
    case gdi::PS_ENDCAP_FLAT:
        pen.setCapStyle(Qt::FlatCap);
        break;
    default:
        pen.setCapStyle(cosmetic ? Qt::FlatCap : Qt::RoundCap);
        break;
    }
    switch (desc.style & gdi::PS_JOIN_MASK) {
    case gdi::PS_JOIN_BEVEL:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case gdi::PS_JOIN_MITER:
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(std::clamp(state_.miterLimit, 1.0, 100.0));
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
    const double w = cosmetic ? 1.0 : std::max(1.0, desc.width * logicalToPixels);
    auto dashes = [&](std::initializer_list<double> px) {
        QList<qreal> pattern;
        for (double d : px) {
            pattern.append(std::max(0.5, d / w));
        }
        pen.setDashPattern(pattern);
    };
    switch (style) {
    case gdi::PS_DASH:
        dashes({18, 6});
        break;
    case gdi::PS_DOT:
        dashes({3, 3});
        break;
    case gdi::PS_DASHDOT:
        dashes({9, 6, 3, 6});
        break;
    case gdi::PS_DASHDOTDOT:
        dashes({9, 3, 3, 3, 3, 3});
        break;
    case gdi::PS_ALTERNATE:
        dashes({1, 1});
        break;
    case gdi::PS_USERSTYLE:
        if (!desc.dashes.empty()) {
            QList<qreal> pattern;
            const double unit = desc.width > 0 ? desc.width : 1.0;
            for (int pass = 0; pass < (desc.dashes.size() % 2 == 1 ? 2 : 1); ++pass) {
                for (double d : desc.dashes) {
                    pattern.append(std::clamp(d / unit, 0.01, 1e4));
                }
            }
            pen.setDashPattern(pattern);
        }
        break;
    default:
        break;
    }
    return pen;
}

QBrush GdiDevice::makeBrush(const LogBrush& desc, const QTransform& toPixels) const {
    QBrush brush;
    switch (desc.style) {
    case gdi::BS_NULL:
        return Qt::NoBrush;
    case gdi::BS_HATCHED: {
        static constexpr std::array kHatches{Qt::HorPattern,   Qt::VerPattern,
                                             Qt::FDiagPattern, Qt::BDiagPattern,
                                             Qt::CrossPattern, Qt::DiagCrossPattern};
        brush = QBrush(desc.color,
                       desc.hatch < kHatches.size() ? kHatches[desc.hatch] : Qt::SolidPattern);
        break;
    }
    case gdi::BS_PATTERN:
    case gdi::BS_DIBPATTERN:
    case gdi::BS_DIBPATTERNPT:
        if (desc.pattern.isNull()) {
            brush = QBrush(desc.color);
        } else {
            brush = QBrush(desc.pattern);
        }
        break;
    default:
        return {desc.color};
    }
    // Patterns and hatches stay one device pixel per bit, whatever the mapping.
    bool invertible = false;
    const QTransform inv = linearPart(toPixels).inverted(&invertible);
    if (invertible) {
        brush.setTransform(inv);
    }
    return brush;
}

void GdiDevice::setupBrush(const LogBrush& desc, const QTransform& toPixels) {
    painter_.setBrush(makeBrush(desc, toPixels));
    const bool opaque = state_.bkMode == gdi::OPAQUE;
    painter_.setBackgroundMode(opaque ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_.setBackground(state_.bkColor);
}

// ---- drawing -----------------------------------------------------------------------------

namespace {

// Beyond this total edge length, in device pixels, a path is drawn without anti-aliasing.
constexpr double kMaxAntialiasedEdgePixels = 1'000'000;

double edgeLengthOnDevice(const QPainterPath& path, const QTransform& toDevice) {
    double total = 0;
    QPointF previous;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPointF point = toDevice.map(QPointF(path.elementAt(i)));
        if (i > 0 && !path.elementAt(i).isMoveTo()) {
            total += std::hypot(point.x() - previous.x(), point.y() - previous.y());
        }
        previous = point;
    }
    return total;
}

} // namespace

// Filling costs with the area covered on the canvas, stroking with the edges' length times the
// pen's width, at most the canvas the stroke reaches: a small record can ask for either across
// the whole picture.
void GdiDevice::chargeDrawing(const QPainterPath& path, Paint paint) {
    const QPaintDevice* device = painter_.device();
    if (!rasterises_ || device == nullptr) {
        return;
    }
    const QTransform& toDevice = painter_.deviceTransform();
    const QRectF canvas(0, 0, device->width(), device->height());
    const QRectF bounds = toDevice.mapRect(path.boundingRect());
    double cost = 0;
    if (paint != Paint::Fill) {
        const double scale = std::sqrt(std::abs(toDevice.determinant()));
        const double width = std::max(1.0, painter_.pen().widthF() * scale);
        // An edge costs at most the canvas it crosses, however far it reaches beyond.
        const double diagonal = std::hypot(canvas.width(), canvas.height());
        double length = 0;
        for (int i = 1; i < path.elementCount(); ++i) {
            if (!path.elementAt(i).isMoveTo()) {
                const QLineF edge(toDevice.map(QPointF(path.elementAt(i - 1))),
                                  toDevice.map(QPointF(path.elementAt(i))));
                length += std::min(edge.length(), diagonal);
            }
        }
        const QRectF reach = bounds.adjusted(-width, -width, width, width) & canvas;
        cost += length + std::min(length * width, reach.width() * reach.height());
    }
    if (paint != Paint::Stroke) {
        const QRectF covered = bounds & canvas;
        cost += covered.width() * covered.height();
    }
    budget_.spend(static_cast<qint64>(std::min(cost, 1e15)));
}

void GdiDevice::chargeArea(const QRectF& painterRect) {
    QPainterPath area;
    area.addRect(painterRect);
    chargeDrawing(area, Paint::Fill);
}

void GdiDevice::drawLogicalPath(const QPainterPath& path, Paint paint) {
    if (inPath_) {
        addToPath(path);
        return;
    }
    applyLogicalTransform();
    painter_.setPen(paint == Paint::Fill ? QPen(Qt::NoPen) : makePen(1.0));
    if (paint == Paint::Stroke) {
        painter_.setBrush(Qt::NoBrush);
        painter_.setBackgroundMode(state_.bkMode == gdi::OPAQUE ? Qt::OpaqueMode
                                                                : Qt::TransparentMode);
        painter_.setBackground(state_.bkColor);
    } else {
        setupBrush(state_.brush, logicalToPainter() * devicePixelScale_);
    }
    // Anti-aliasing costs time with the length of the edges on the device; a path of
    // thousands of edges each across the whole picture would take many seconds.
    const bool smooth =
        edgeLengthOnDevice(path, painter_.deviceTransform()) <= kMaxAntialiasedEdgePixels;
    painter_.setRenderHint(QPainter::Antialiasing, smooth);
    chargeDrawing(path, paint);
    painter_.drawPath(path);
    painter_.setRenderHint(QPainter::Antialiasing, true);
}

void GdiDevice::drawDevicePath(const QPainterPath& path, Paint paint) {
    applyDeviceTransform();
    painter_.setPen(paint == Paint::Fill ? QPen(Qt::NoPen)
                                         : makePen(linearScale(logicalToDevice())));
    if (paint == Paint::Stroke) {
        painter_.setBrush(Qt::NoBrush);
    } else {
        setupBrush(state_.brush, deviceToPainter_ * devicePixelScale_);
    }
    const bool smooth =
        edgeLengthOnDevice(path, painter_.deviceTransform()) <= kMaxAntialiasedEdgePixels;
    painter_.setRenderHint(QPainter::Antialiasing, smooth);
    chargeDrawing(path, paint);
    painter_.drawPath(path);
    painter_.setRenderHint(QPainter::Antialiasing, true);
}

void GdiDevice::addToPath(const QPainterPath& logicalFigure) {
    if (path_.elementCount() + logicalFigure.elementCount() > kMaxPathElements) {
        return;
    }
    path_.addPath(logicalToDevice().map(logicalFigure));
    pathHasFigure_ = false;
}

void GdiDevice::ensureFigureAt(QPointF logicalStart) {
    if (!pathHasFigure_) {
        path_.moveTo(logicalToDevice().map(logicalStart));
        pathHasFigure_ = true;
    }
}

void GdiDevice::moveTo(QPointF p) {
    state_.currentPos = p;
    if (inPath_) {
        path_.moveTo(logicalToDevice().map(p));
        pathHasFigure_ = true;
    }
}

void GdiDevice::lineTo(QPointF p) {
    if (inPath_) {
        ensureFigureAt(state_.currentPos);
        path_.lineTo(logicalToDevice().map(p));
    } else {
        applyLogicalTransform();
        painter_.setPen(makePen(1.0));
        painter_.setBackgroundMode(state_.bkMode == gdi::OPAQUE ? Qt::OpaqueMode
                                                                : Qt::TransparentMode);
        painter_.setBackground(state_.bkColor);
        QPainterPath line(state_.currentPos);
        line.lineTo(p);
        chargeDrawing(line, Paint::Stroke);
        painter_.drawLine(state_.currentPos, p);
    }
    state_.currentPos = p;
}

void GdiDevice::polyline(const QPolygonF& points) {
    if (points.size() < 2) {
        return;
    }
    if (inPath_) {
        const QTransform t = logicalToDevice();
        path_.moveTo(t.map(points.front()));
        for (qsizetype i = 1; i < points.size(); ++i) {
            path_.lineTo(t.map(points[i]));
        }
        pathHasFigure_ = true;
        return;
    }
    applyLogicalTransform();
    painter_.setPen(makePen(1.0));
    painter_.setBrush(Qt::NoBrush);
    QPainterPath line;
    line.addPolygon(points);
    chargeDrawing(line, Paint::Stroke);
    painter_.drawPolyline(points);
}

void GdiDevice::polylineTo(const QPolygonF& points) {
    if (points.isEmpty()) {
        return;
    }
    if (inPath_) {
        ensureFigureAt(state_.currentPos);
        const QTransform t = logicalToDevice();
        for (const QPointF& p : points) {
            path_.lineTo(t.map(p));
        }
    } else {
        QPolygonF all;
        all.reserve(points.size() + 1);
        all.append(state_.currentPos);
        all.append(points);
        applyLogicalTransform();
        painter_.setPen(makePen(1.0));
        painter_.setBrush(Qt::NoBrush);
        QPainterPath line;
        line.addPolygon(all);
        chargeDrawing(line, Paint::Stroke);
        painter_.drawPolyline(all);
    }
    state_.currentPos = points.back();
}

void GdiDevice::polygon(const QPolygonF& points) {
    if (points.size() < 2) {
        return;
    }
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    path.setFillRule(state_.polyFillMode == gdi::WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    drawLogicalPath(path, Paint::Both);
}

void GdiDevice::polyPolygon(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    for (const QPolygonF& poly : polygons) {
        if (poly.size() >= 2) {
            path.addPolygon(poly);
            path.closeSubpath();
        }
    }
    path.setFillRule(state_.polyFillMode == gdi::WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    drawLogicalPath(path, Paint::Both);
}

void GdiDevice::polyPolyline(const std::vector<QPolygonF>& polylines) {
    for (const QPolygonF& poly : polylines) {
        polyline(poly);
    }
}

void GdiDevice::polyBezier(const QPolygonF& points) {
    if (points.size() < 4) {
        return;
    }
    QPainterPath path(points.front());
    for (qsizetype i = 1; i + 2 < points.size(); i += 3) {
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    }
    if (inPath_) {
        const QPainterPath mapped = logicalToDevice().map(path);
        if (path_.elementCount() + mapped.elementCount() <= kMaxPathElements) {
            path_.addPath(mapped);
            pathHasFigure_ = true;
        }
        return;
    }
    drawLogicalPath(path, Paint::Stroke);
}

void GdiDevice::polyBezierTo(const QPolygonF& points) {
    if (points.size() < 3) {
        return;
    }
    QPainterPath path(state_.currentPos);
    qsizetype i = 0;
    for (; i + 2 < points.size(); i += 3) {
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    }
    if (inPath_) {
        ensureFigureAt(state_.currentPos);
        const QTransform t = logicalToDevice();
        for (qsizetype j = 0; j + 2 < points.size(); j += 3) {
            path_.cubicTo(t.map(points[j]), t.map(points[j + 1]), t.map(points[j + 2]));
        }
    } else {
        drawLogicalPath(path, Paint::Stroke);
    }
    state_.currentPos = points[i - 1];
}

void GdiDevice::polyDraw(const QPolygonF& points, const std::vector<unsigned char>& types) {
    constexpr unsigned char kClose = 1;
    constexpr unsigned char kLineTo = 2;
    constexpr unsigned char kBezierTo = 4;
    constexpr unsigned char kMoveTo = 6;
    QPainterPath path(state_.currentPos);
    QPointF figureStart = state_.currentPos;
    const auto n = std::min(points.size(), static_cast<qsizetype>(types.size()));
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char t = types[static_cast<std::size_t>(i)];
        const unsigned char kind = t & 6;
        if (kind == kMoveTo) {
            path.moveTo(points[i]);
            figureStart = points[i];
        } else if (kind == kLineTo) {
            path.lineTo(points[i]);
        } else if (kind == kBezierTo && i + 2 < n) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        }
        if ((t & kClose) != 0 && kind != kMoveTo) {
            path.closeSubpath();
            path.moveTo(figureStart);
        }
        state_.currentPos = path.currentPosition();
    }
    if (inPath_) {
        const QPainterPath mapped = logicalToDevice().map(path);
        if (path_.elementCount() + mapped.elementCount() <= kMaxPathElements) {
            path_.addPath(mapped);
            pathHasFigure_ = true;
        }
        return;
    }
    drawLogicalPath(path, Paint::Stroke);
}

void GdiDevice::rectangle(const QRectF& box) {
    QPainterPath path;
    path.addRect(box.normalized());
    drawLogicalPath(path, Paint::Both);
}

void GdiDevice::roundRect(const QRectF& box, QSizeF corner) {
    QPainterPath path;
    const QRectF r = box.normalized();
    const double rx = std::min(std::abs(corner.width()) / 2, r.width() / 2);
    const double ry = std::min(std::abs(corner.height()) / 2, r.height() / 2);
    path.addRoundedRect(r, rx, ry);
    drawLogicalPath(path, Paint::Both);
}

void GdiDevice::ellipse(const QRectF& box) {
    QPainterPath path;
    path.addEllipse(box.normalized());
    drawLogicalPath(path, Paint::Both);
}

QPainterPath GdiDevice::arcPath(const QRectF& rawBox, QPointF start, QPointF end,
                                ArcKind kind) const {
    const QRectF box = rawBox.normalized();
    const double a0 = ellipseAngle(box, start);
    const double a1 = ellipseAngle(box, end);
    // Arcs run counter-clockwise on the device unless the direction says otherwise; a
    // mirroring mapping turns that around in logical space.
    const bool mirrored = logicalToDevice().determinant() < 0;
    const bool clockwise = state_.arcClockwise != mirrored;
    double sweep = clockwise ? a0 - a1 : a1 - a0;
    sweep = std::fmod(sweep, 360.0);
    if (sweep <= 0) {
        sweep += 360.0;
    }
    if (clockwise) {
        sweep = -sweep;
    }
    QPainterPath path;
    if (kind == ArcKind::Pie) {
        path.moveTo(box.center());
    } else if (kind == ArcKind::ArcTo) {
        path.moveTo(state_.currentPos);
    }
    if (kind == ArcKind::Pie || kind == ArcKind::ArcTo) {
        path.arcTo(box, a0, sweep);
    } else {
        path.arcMoveTo(box, a0);
        path.arcTo(box, a0, sweep);
    }
    if (kind == ArcKind::Pie || kind == ArcKind::Chord) {
        path.closeSubpath();
    }
    return path;
}

void GdiDevice::arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind) {
    const QPainterPath path = arcPath(box, start, end, kind);
    if (kind == ArcKind::ArcTo) {
        if (inPath_) {
            ensureFigureAt(state_.currentPos);
            path_.connectPath(logicalToDevice().map(path));
        } else {
            drawLogicalPath(path, Paint::Stroke);
        }
        state_.currentPos = path.currentPosition();
        return;
    }
    if (inPath_) {
        addToPath(path);
        return;
    }
    drawLogicalPath(path, kind == ArcKind::Arc ? Paint::Stroke : Paint::Both);
}

void GdiDevice::angleArc(QPointF center, double radius, double startDeg, double sweepDeg) {
    if (!std::isfinite(radius) || !std::isfinite(startDeg) || !std::isfinite(sweepDeg)) {
        return;
    }
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    // The angles are counter-clockwise on the device; flip them for a mirroring mapping.
    const double sign = logicalToDevice().determinant() < 0 ? -1.0 : 1.0;
    QPainterPath path(state_.currentPos);
    path.arcTo(box, sign * startDeg, sign * std::clamp(sweepDeg, -3600.0, 3600.0));
    if (inPath_) {
        ensureFigureAt(state_.currentPos);
        path_.connectPath(logicalToDevice().map(path));
    } else {
        drawLogicalPath(path, Paint::Stroke);
    }
    state_.currentPos = path.currentPosition();
}

void GdiDevice::setPixel(QPointF p, const QColor& color) {
    if (inPath_) {
        return;
    }
    applyDeviceTransform();
    const QPointF d = logicalToDevice().map(p);
    const QTransform toPixels = deviceToPainter_ * devicePixelScale_;
    const double sx = std::abs(toPixels.m11()) > 0 ? 1.0 / std::abs(toPixels.m11()) : 1.0;
    const double sy = std::abs(toPixels.m22()) > 0 ? 1.0 / std::abs(toPixels.m22()) : 1.0;
    painter_.fillRect(QRectF(d.x(), d.y(), std::max(1.0, sx), std::max(1.0, sy)), color);
}

// ---- bitmaps -----------------------------------------------------------------------------

bool GdiDevice::rasterOps() const {
    const QPaintEngine* engine = painter_.paintEngine();
    return engine != nullptr && engine->hasFeature(QPaintEngine::RasterOpModes);
}

void GdiDevice::blit(const QImage& source, const QRectF& sourceRect, const QRectF& dest,
                     unsigned rop) {
    applyLogicalTransform();
    painter_.save();
    const bool ops = rasterOps();
    auto fill = [&](const QBrush& brush, QPainter::CompositionMode mode) {
        if (ops) {
            painter_.setCompositionMode(mode);
        }
        chargeArea(dest.normalized());
        painter_.fillRect(dest.normalized(), brush);
    };
    const QBrush pattern = makeBrush(state_.brush, logicalToPainter() * devicePixelScale_);
    switch (rop) {
    case gdi::BLACKNESS:
        fill(Qt::black, QPainter::CompositionMode_SourceOver);
        break;
    case gdi::WHITENESS:
        fill(Qt::white, QPainter::CompositionMode_SourceOver);
        break;
    case gdi::PATCOPY:
        fill(pattern, QPainter::CompositionMode_SourceOver);
        break;
    case gdi::PATINVERT:
        if (ops) {
            fill(pattern, QPainter::RasterOp_SourceXorDestination);
        }
        break;
    case gdi::DSTINVERT:
        if (ops) {
            fill(Qt::white, QPainter::RasterOp_NotDestination);
        }
        break;
    default: {
        if (source.isNull() || sourceRect.width() == 0 || sourceRect.height() == 0) {
            break;
        }
        QImage image = source;
        QRectF target(0, 0, sourceRect.width(), sourceRect.height());
        QRectF from = sourceRect;
        // Only the part of the bitmap the record names is drawn, and never a side longer than
        // kMaxBlitSide: Qt addresses the pixels of a rotated or sheared image in 16.16 fixed
        // point, so wider bitmaps would be read outside their memory.
        if (from.width() > 0 && from.height() > 0) {
            const QRectF within = from & QRectF(source.rect());
            if (within.isEmpty()) {
                break;
            }
            const QRect pixels = within.toAlignedRect() & source.rect();
            image = source.copy(pixels);
            target = QRectF(within.topLeft() - from.topLeft(), within.size());
            from = within.translated(-pixels.topLeft());
        }
        if (image.width() > kMaxBlitSide || image.height() > kMaxBlitSide) {
            const double kx = std::min(1.0, double{kMaxBlitSide} / image.width());
            const double ky = std::min(1.0, double{kMaxBlitSide} / image.height());
            image = image.scaled(std::max(1, static_cast<int>(image.width() * kx)),
                                 std::max(1, static_cast<int>(image.height() * ky)),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            from = QRectF(from.x() * kx, from.y() * ky, from.width() * kx, from.height() * ky);
        }
        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
        switch (rop) {
        case gdi::NOTSRCCOPY:
            image.invertPixels();
            break;
        case gdi::SRCAND:
            mode = QPainter::RasterOp_SourceAndDestination;
            break;
        case gdi::SRCPAINT:
            mode = QPainter::RasterOp_SourceOrDestination;
            break;
        case gdi::SRCINVERT:
            mode = QPainter::RasterOp_SourceXorDestination;
            break;
        case gdi::SRCERASE:
            mode = QPainter::RasterOp_SourceAndNotDestination;
            break;
        case gdi::NOTSRCERASE:
            mode = QPainter::RasterOp_NotSourceAndNotDestination;
            break;
        case gdi::MERGEPAINT:
            mode = QPainter::RasterOp_NotSourceOrDestination;
            break;
        default:
            break;
        }
        if (ops && mode != QPainter::CompositionMode_SourceOver) {
            if (image.hasAlphaChannel()) {
                image = image.convertToFormat(QImage::Format_RGB32);
            }
            painter_.setCompositionMode(mode);
        } else if (mode != QPainter::CompositionMode_SourceOver && rop == gdi::SRCAND) {
            // Without raster operations a mask is better left out than painted black.
            break;
        }
        const QTransform place(dest.width() / sourceRect.width(), 0, 0,
                               dest.height() / sourceRect.height(), dest.x(), dest.y());
        painter_.setTransform(place * logicalToPainter());
        chargeArea(target);
        painter_.drawImage(target, image, from);
        break;
    }
    }
    painter_.restore();
    space_ = Space::None;
}

// ---- regions -----------------------------------------------------------------------------

void GdiDevice::fillDeviceRegion(const QPainterPath& region, const LogBrush& brush) {
    applyDeviceTransform();
    painter_.setPen(Qt::NoPen);
    setupBrush(brush, deviceToPainter_ * devicePixelScale_);
    chargeDrawing(region, Paint::Fill);
    painter_.drawPath(region);
}

void GdiDevice::fillLogicalPath(const QPainterPath& path, const QBrush& brush) {
    if (inPath_) {
        return;
    }
    applyLogicalTransform();
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(brush);
    chargeDrawing(path, Paint::Fill);
    painter_.drawPath(path);
}

void GdiDevice::frameDeviceRegion(const QPainterPath& region, const LogBrush& brush,
                                  QSizeF stroke) {
    applyDeviceTransform();
    const double w = std::max(std::abs(stroke.width()), std::abs(stroke.height())) *
                     linearScale(logicalToDevice());
    QPen pen(makeBrush(brush, deviceToPainter_ * devicePixelScale_), std::max(w, 0.0));
    if (w * linearScale(deviceToPainter_ * devicePixelScale_) <= 1.0) {
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
    }
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    chargeDrawing(region, Paint::Stroke);
    painter_.drawPath(region);
}

void GdiDevice::invertDeviceRegion(const QPainterPath& region) {
    if (!rasterOps()) {
        return;
    }
    applyDeviceTransform();
    painter_.save();
    painter_.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(Qt::white);
    chargeDrawing(region, Paint::Fill);
    painter_.drawPath(region);
    painter_.restore();
}

// ---- clipping ----------------------------------------------------------------------------

QPainterPath GdiDevice::everything() const {
    return rectPath(setup_.deviceFrame.adjusted(-1e7, -1e7, 1e7, 1e7));
}

void GdiDevice::combineClip(const QPainterPath& region, int mode) {
    if (mode == gdi::RGN_COPY) {
        state_.clip = region;
        applyClip();
        return;
    }
    const QPainterPath current = state_.clip ? *state_.clip : everything();
    QPainterPath result;
    QRectF a;
    QRectF b;
    switch (mode) {
    case gdi::RGN_AND:
        if (asRect(current, &a) && asRect(region, &b)) {
            result = rectPath(a.intersected(b));
        } else {
            result = current.intersected(region);
        }
        break;
    case gdi::RGN_OR:
        result = current.united(region);
        break;
    case gdi::RGN_XOR:
        result = current.united(region).subtracted(current.intersected(region));
        break;
    case gdi::RGN_DIFF:
        result = current.subtracted(region);
        break;
    default:
        return;
    }
    state_.clip = result;
    applyClip();
}

void GdiDevice::applyClip() {
    painter_.setTransform(base_);
    if (baseHadClip_) {
        painter_.setClipPath(baseClip_, Qt::ReplaceClip);
        painter_.setClipRect(setup_.target, Qt::IntersectClip);
    } else {
        painter_.setClipRect(setup_.target, Qt::ReplaceClip);
    }
    if (state_.clip) {
        painter_.setTransform(deviceToPainter_);
        QRectF r;
        if (asRect(*state_.clip, &r)) {
            painter_.setClipRect(r, Qt::IntersectClip);
        } else {
            painter_.setClipPath(*state_.clip, Qt::IntersectClip);
        }
    }
    space_ = Space::None;
}

void GdiDevice::intersectClipRect(const QRectF& box) {
    combineClip(logicalToDevice().map(rectPath(box.normalized())), gdi::RGN_AND);
}

void GdiDevice::excludeClipRect(const QRectF& box) {
    combineClip(logicalToDevice().map(rectPath(box.normalized())), gdi::RGN_DIFF);
}

void GdiDevice::selectDeviceClip(const std::optional<QPainterPath>& region, int mode) {
    if (!region) {
        if (mode == gdi::RGN_COPY) {
            state_.clip.reset();
            applyClip();
        }
        return;
    }
    combineClip(*region, mode);
}

void GdiDevice::offsetClip(QPointF logicalOffset) {
    if (!state_.clip) {
        return;
    }
    const QPointF d = linearPart(logicalToDevice()).map(logicalOffset);
    state_.clip->translate(d);
    applyClip();
}

void GdiDevice::selectClipPath(int mode) {
    QPainterPath region = path_;
    region.setFillRule(state_.polyFillMode == gdi::WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    abortPath();
    combineClip(region, mode);
}

// ---- path brackets -----------------------------------------------------------------------

void GdiDevice::beginPath() {
    path_ = QPainterPath();
    inPath_ = true;
    pathHasFigure_ = false;
}

void GdiDevice::abortPath() {
    path_ = QPainterPath();
    inPath_ = false;
    pathHasFigure_ = false;
}

void GdiDevice::closeFigure() {
    if (inPath_ && path_.elementCount() > 0) {
        path_.closeSubpath();
        pathHasFigure_ = false;
    }
}

void GdiDevice::fillPath() {
    QPainterPath p = path_;
    p.setFillRule(state_.polyFillMode == gdi::WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    abortPath();
    drawDevicePath(p, Paint::Fill);
}

void GdiDevice::strokePath() {
    const QPainterPath p = path_;
    abortPath();
    drawDevicePath(p, Paint::Stroke);
}

void GdiDevice::strokeAndFillPath() {
    QPainterPath p = path_;
    p.setFillRule(state_.polyFillMode == gdi::WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    abortPath();
    drawDevicePath(p, Paint::Both);
}

void GdiDevice::flattenPath() {
    QPainterPath flat;
    for (const QPolygonF& poly : path_.toSubpathPolygons()) {
        flat.addPolygon(poly);
    }
    path_ = flat;
}

void GdiDevice::widenPath() {
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(1.0, state_.pen.width * linearScale(logicalToDevice())));
    path_ = stroker.createStroke(path_);
}

} // namespace zelvia::rt::metafile
