#pragma once

#include "formats/imaging/work_budget.h"
#include "formats/metafile/gdi_state.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <optional>
#include <vector>

namespace zelvia::rt::metafile {

// How the metafile's device space sits in the painter: `deviceFrame` (in device units) is
// drawn onto `target` (in the painter's logical coordinates), clipped to it.
struct DeviceSetup {
    QRectF deviceFrame;
    QRectF target;
    QSizeF deviceUnitsPerInch{96, 96}; // for the fixed mapping modes
    DcState initial;
};

enum class ArcKind { Arc, ArcTo, Chord, Pie };

// A GDI-like device context drawing onto a QPainter. The players translate records into
// these calls; coordinates are logical unless a name says otherwise. Paths and clip regions
// are kept in device space, as GDI does, so later mapping changes do not move them.
class GdiDevice {
public:
    GdiDevice(QPainter& painter, const DeviceSetup& setup);
    ~GdiDevice();
    GdiDevice(const GdiDevice&) = delete;
    GdiDevice& operator=(const GdiDevice&) = delete;

    // One record played: counts toward the playback's work budget and polls the thread's stop
    // request. Throws RuntimeError 5 once the records and what they draw have cost too much.
    void chargeRecord() { budget_.spend(kRecordWork); }

    DcState& state() { return state_; }
    [[nodiscard]] const DcState& state() const { return state_; }

    // Call after changing mapping fields of state() directly.
    void mappingChanged() { transformDirty_ = true; }
    void setMapMode(int mode);
    [[nodiscard]] QTransform logicalToDevice() const;

    void save();
    void restore(int which); // negative: relative; positive: absolute level

    // Objects selected into the context (copied, so deleting the handle later is harmless).
    void selectPen(const LogPen& pen) { state_.pen = pen; }
    void selectBrush(const LogBrush& brush) { state_.brush = brush; }
    void selectFont(const LogFont& font) { state_.font = font; }

    // Lines and shapes.
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polygon(const QPolygonF& points);
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void polyPolyline(const std::vector<QPolygonF>& polylines);
    void polyBezier(const QPolygonF& points);
    void polyBezierTo(const QPolygonF& points);
    void polyDraw(const QPolygonF& points, const std::vector<unsigned char>& types);
    void rectangle(const QRectF& box);
    void roundRect(const QRectF& box, QSizeF corner);
    void ellipse(const QRectF& box);
    void arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind);
    void angleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void setPixel(QPointF p, const QColor& color);

    // Text: `advances` are logical units per UTF-16 unit (empty: the font's own advances).
    void textOut(QPointF reference, const QString& text, const std::vector<double>& advances,
                 unsigned options, const std::optional<QRectF>& rect);

    // Bitmaps: `source` may be null for operations that use no source (PatBlt).
    void blit(const QImage& source, const QRectF& sourceRect, const QRectF& dest, unsigned rop);

    // Fills with a ready brush (gradients), no pen.
    void fillLogicalPath(const QPainterPath& path, const QBrush& brush);

    // Regions given in device units (EMF) or already mapped by the caller.
    void fillDeviceRegion(const QPainterPath& region, const LogBrush& brush);
    void frameDeviceRegion(const QPainterPath& region, const LogBrush& brush, QSizeF stroke);
    void invertDeviceRegion(const QPainterPath& region);

    // Clipping.
    void intersectClipRect(const QRectF& box);
    void excludeClipRect(const QRectF& box);
    void selectDeviceClip(const std::optional<QPainterPath>& region, int mode);
    void offsetClip(QPointF logicalOffset);
    void selectClipPath(int mode);

    // Path brackets.
    void beginPath();
    void endPath() { inPath_ = false; }
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void flattenPath();
    void widenPath();

private:
    enum class Paint { Stroke, Fill, Both };

    // A record's fixed cost, in the budget's units (device pixels drawn).
    static constexpr qint64 kRecordWork = 64;
    void chargeDrawing(const QPainterPath& path, Paint paint);
    void chargeArea(const QRectF& painterRect);

    void applyLogicalTransform();
    void applyDeviceTransform();
    void applyClip();
    [[nodiscard]] QTransform logicalToPainter() const;
    [[nodiscard]] double devicePixelsPerLogical() const;
    [[nodiscard]] QPen makePen(double pixelsPerUnit) const;
    [[nodiscard]] QBrush makeBrush(const LogBrush& desc, const QTransform& toPixels) const;
    void setupBrush(const LogBrush& desc, const QTransform& toPixels);
    void drawLogicalPath(const QPainterPath& path, Paint paint);
    void drawDevicePath(const QPainterPath& path, Paint paint);
    void addToPath(const QPainterPath& logicalFigure);
    void ensureFigureAt(QPointF logicalStart);
    [[nodiscard]] QPainterPath arcPath(const QRectF& box, QPointF start, QPointF end,
                                       ArcKind kind) const;
    [[nodiscard]] QPainterPath everything() const;
    void combineClip(const QPainterPath& region, int mode);
    [[nodiscard]] bool rasterOps() const;

    QPainter& painter_;
    DeviceSetup setup_;
    imaging::WorkBudget budget_{imaging::kMetafileWork, "metafile"};
    bool rasterises_ = false; // drawing onto pixels, where the area drawn costs time
    LogFont cachedLogFont_;   // emSizeForHeight needs font matching; keep the last answer
    double cachedEm_ = -1;

    QTransform base_;             // painter transform when playback began
    QTransform devicePixelScale_; // painter logical -> device pixels (device pixel ratio)
    QTransform deviceToPainter_;  // metafile device space -> painter logical
    bool baseHadClip_ = false;
    QPainterPath baseClip_;

    DcState state_;
    std::vector<DcState> saved_;

    bool inPath_ = false;
    bool pathHasFigure_ = false;
    QPainterPath path_; // device space

    bool transformDirty_ = true;
    enum class Space { None, Logical, Device } space_ = Space::None;
};

} // namespace zelvia::rt::metafile
