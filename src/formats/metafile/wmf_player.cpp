#include "formats/metafile/wmf_player.h"

#include "formats/metafile/dib.h"
#include "formats/metafile/player_limits.h"
#include "formats/metafile/record_fields.h"
#include "formats/metafile/text_codec.h"

// Records not drawn: FLOODFILL, EXTFLOODFILL, SETROP2 (binary raster operations), palette
// records (CREATEPALETTE only fills its table slot), SETMAPPERFLAGS, SETRELABS,
// SETSTRETCHBLTMODE, SETTEXTJUSTIFICATION, SETLAYOUT, ESCAPE, ANIMATEPALETTE.
// The viewport records are read but not applied: the player owns the viewport, so the
// window always fills the picture.

namespace zelvia::rt::metafile {

namespace {

enum Function : std::uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_RESTOREDC = 0x0127,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_FRAMEREGION = 0x0429,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_BITBLT = 0x0922,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_STRETCHBLT = 0x0B23,
    META_DIBSTRETCHBLT = 0x0B41,
    META_SETDIBTODEV = 0x0D33,
    META_STRETCHDIB = 0x0F43
};

// A rectangle stored bottom, right, top, left (the reversed order of WMF parameters).
QRectF readReversedRect(ByteReader& r) {
    const double bottom = r.i16();
    const double right = r.i16();
    const double top = r.i16();
    const double left = r.i16();
    return {QPointF(left, top), QPointF(right, bottom)};
}

QPointF readReversedPoint(ByteReader& r) {
    const double y = r.i16();
    const double x = r.i16();
    return {x, y};
}

class WmfPlayer {
public:
    WmfPlayer(const MetafileInfo& info, GdiDevice& device)
        : device_(device),
          objects_(static_cast<std::size_t>(std::clamp(info.objectCount, 0, kMaxObjects))) {}

    // Returns false at the end record.
    bool play(std::uint16_t function, std::uint32_t words, ByteReader& r);

private:
    DcState& st() { return device_.state(); }
    void addObject(GdiObject object);
    [[nodiscard]] const GdiObject* object(std::uint16_t index) const;
    void selectObject(std::uint16_t index);
    void createFont(ByteReader& r);
    void createRegion(ByteReader& r);
    enum class PatternBits { Bitmap16, Dib };
    enum class TextRecord { TextOut, ExtTextOut };
    void createPatternBrush(ByteReader& r, PatternBits bits);
    void text(ByteReader& r, TextRecord record);
    void bitmap(std::uint16_t function, std::uint32_t words, ByteReader& r);
    [[nodiscard]] QPainterPath regionInDevice(std::uint16_t index) const;

    GdiDevice& device_;
    std::vector<GdiObject> objects_;
};

void WmfPlayer::addObject(GdiObject object) {
    for (auto& slot : objects_) {
        if (std::holds_alternative<std::monostate>(slot)) {
            slot = std::move(object);
            return;
        }
    }
    // More objects than the header announced: grow, within the cap.
    if (objects_.size() < static_cast<std::size_t>(kMaxObjects)) {
        objects_.push_back(std::move(object));
    }
}

const GdiObject* WmfPlayer::object(std::uint16_t index) const {
    return index < objects_.size() ? &objects_[index] : nullptr;
}

QPainterPath WmfPlayer::regionInDevice(std::uint16_t index) const {
    const GdiObject* o = object(index);
    if (o == nullptr || !std::holds_alternative<LogRegion>(*o)) {
        return {};
    }
    return device_.logicalToDevice().map(std::get<LogRegion>(*o).path);
}

void WmfPlayer::selectObject(std::uint16_t index) {
    const GdiObject* o = object(index);
    if (o == nullptr) {
        return;
    }
    if (const auto* pen = std::get_if<LogPen>(o)) {
        device_.selectPen(*pen);
    } else if (const auto* brush = std::get_if<LogBrush>(o)) {
        device_.selectBrush(*brush);
    } else if (const auto* font = std::get_if<LogFont>(o)) {
        device_.selectFont(*font);
    } else if (std::holds_alternative<LogRegion>(*o)) {
        device_.selectDeviceClip(regionInDevice(index), gdi::RGN_COPY);
    }
}

void WmfPlayer::createFont(ByteReader& r) {
    LogFont f;
    f.height = r.i16();
    f.width = r.i16();
    f.escapement = r.i16();
    r.i16(); // orientation: glyphs follow the escapement
    f.weight = r.i16();
    f.italic = r.u8() != 0;
    f.underline = r.u8() != 0;
    f.strikeOut = r.u8() != 0;
    f.charset = r.u8();
    r.skip(skipped::kFontPrecisionsAndQuality);
    f.pitchAndFamily = r.u8();
    QByteArrayView face = r.bytes(std::min<qint64>(32, r.remaining()));
    const qsizetype nul = face.indexOf('\0');
    if (nul >= 0) {
        face = face.first(nul);
    }
    f.faceName = decodeCharsetText(face, f.charset == 2 ? 0 : f.charset).text;
    addObject(f);
}

void WmfPlayer::createRegion(ByteReader& r) {
    // Region object: header, bounding box, then scans of (left, right) pairs.
    r.skip(skipped::kRegionObjectHeader);
    const qint64 scanCount = r.i16();
    r.skip(skipped::kMaxScanAndBounds);
    QPainterPath path;
    for (qint64 s = 0; s < scanCount && r.fits(1, 6); ++s) {
        const qint64 count = r.u16();
        const double top = r.i16();
        const double bottom = r.i16();
        for (qint64 i = 0; i + 1 < count; i += 2) {
            const double left = r.i16();
            const double right = r.i16();
            path.addRect(QRectF(QPointF(left, top), QPointF(right, bottom)).normalized());
        }
        r.skip(skipped::kScanCountAgain);
    }
    path.setFillRule(Qt::WindingFill);
    addObject(LogRegion{path.simplified()});
}

void WmfPlayer::createPatternBrush(ByteReader& r, PatternBits bits) {
    const bool dib = bits == PatternBits::Dib;
    LogBrush b;
    b.style = gdi::BS_DIBPATTERN;
    DibImage image;
    bool deviceBitmap = !dib;
    if (dib) {
        const std::uint16_t style = r.u16();
        const std::uint16_t usage = r.u16();
        const QByteArrayView rest = r.bytes(r.remaining());
        deviceBitmap = style == gdi::BS_PATTERN;
        image = deviceBitmap ? decodeBitmap16(rest)
                             : decodePackedDib(rest, {.paletteIndices = usage == 1});
    } else {
        // Bitmap16 header, 18 reserved bytes, then the bits.
        QByteArray joined = r.bytes(14).toByteArray();
        r.skip(18);
        joined.append(r.bytes(r.remaining()));
        image = decodeBitmap16(joined);
    }
    if (image.status == DibStatus::Ok) {
        // Device bitmaps are monochrome here: they paint text colour on background colour.
        b.pattern = deviceBitmap ? recolourMonochrome(image.image, st().textColor, st().bkColor)
                                 : image.image;
    } else {
        b.style = gdi::BS_SOLID;
        b.color = Qt::gray;
    }
    addObject(b);
}

void WmfPlayer::text(ByteReader& r, TextRecord record) {
    const bool extended = record == TextRecord::ExtTextOut;
    QPointF at;
    qint64 length = 0;
    unsigned options = 0;
    std::optional<QRectF> rect;
    QByteArrayView bytes;
    if (extended) {
        at = readReversedPoint(r);
        length = r.i16();
        options = r.u16();
        const qint64 padded = length + (length & 1);
        const bool wantsRect = (options & (gdi::ETO_OPAQUE | gdi::ETO_CLIPPED)) != 0;
        // Some writers leave the rectangle out although the options name it.
        if (wantsRect && r.fits(1, 8 + length)) {
            const double left = r.i16();
            const double top = r.i16();
            const double right = r.i16();
            const double bottom = r.i16();
            rect = QRectF(QPointF(left, top), QPointF(right, bottom));
        }
        if (length < 0) {
            throw DamagedRecord();
        }
        bytes = r.bytes(length);
        r.skip(std::min<qint64>(padded - length, r.remaining()));
    } else {
        length = r.i16();
        if (length < 0) {
            throw DamagedRecord();
        }
        bytes = r.bytes(length);
        r.skip(std::min<qint64>(length & 1, r.remaining()));
        at = readReversedPoint(r);
    }
    const DecodedText decoded = decodeCharsetText(bytes, st().font.charset);
    std::vector<double> advances;
    if (extended && r.fits(length, 2) && length > 0) {
        std::vector<double> perByte(static_cast<std::size_t>(length));
        for (auto& d : perByte) {
            d = r.i16();
        }
        advances = advancesForUnits(decoded, perByte, length);
    }
    device_.textOut(at, decoded.text, advances, options, rect);
}

void WmfPlayer::bitmap(std::uint16_t function, std::uint32_t words, ByteReader& r) {
    const bool hasBitmap = words != static_cast<std::uint32_t>((function >> 8) + 3);
    std::uint32_t rop = gdi::SRCCOPY;
    QRectF src;
    QRectF dest;
    DibImage image;
    bool sourceFromBottom = false;
    switch (function) {
    case META_BITBLT:
    case META_DIBBITBLT: {
        rop = r.u32();
        const QPointF s = readReversedPoint(r);
        if (!hasBitmap) {
            r.skip(skipped::kReservedWord);
        }
        const double h = r.i16();
        const double w = r.i16();
        const QPointF d = readReversedPoint(r);
        src = QRectF(s, QSizeF(w, h));
        dest = QRectF(d, QSizeF(w, h));
        break;
    }
    case META_STRETCHBLT:
    case META_DIBSTRETCHBLT: {
        rop = r.u32();
        const double sh = r.i16();
        const double sw = r.i16();
        const QPointF s = readReversedPoint(r);
        if (!hasBitmap) {
            r.skip(skipped::kReservedWord);
        }
        const double dh = r.i16();
        const double dw = r.i16();
        const QPointF d = readReversedPoint(r);
        src = QRectF(s, QSizeF(sw, sh));
        dest = QRectF(d, QSizeF(dw, dh));
        break;
    }
    case META_STRETCHDIB: {
        rop = r.u32();
        r.skip(skipped::kColorUsage);
        const double sh = r.i16();
        const double sw = r.i16();
        const QPointF s = readReversedPoint(r);
        const double dh = r.i16();
        const double dw = r.i16();
        const QPointF d = readReversedPoint(r);
        src = QRectF(s, QSizeF(sw, sh));
        dest = QRectF(d, QSizeF(dw, dh));
        sourceFromBottom = true;
        break;
    }
    case META_SETDIBTODEV: {
        r.skip(skipped::kColorUsageAndScans);
        const QPointF s = readReversedPoint(r);
        const double h = r.i16();
        const double w = r.i16();
        const QPointF d = readReversedPoint(r);
        src = QRectF(s, QSizeF(w, h));
        dest = QRectF(d, QSizeF(w, h));
        sourceFromBottom = true;
        break;
    }
    default:
        return;
    }
    if (!hasBitmap) {
        device_.blit(QImage(), {}, dest, rop);
        return;
    }
    const QByteArrayView rest = r.bytes(r.remaining());
    image = function == META_BITBLT || function == META_STRETCHBLT ? decodeBitmap16(rest)
                                                                   : decodePackedDib(rest);
    if (image.status != DibStatus::Ok || src.width() <= 0 || src.height() <= 0) {
        return; // refused (too large) or undecodable: skip this bitmap only
    }
    if (sourceFromBottom && image.bottomUp) {
        src.moveTop(image.image.height() - src.top() - src.height());
    }
    device_.blit(image.image, src, dest, rop);
}

bool WmfPlayer::play(std::uint16_t function, std::uint32_t words, ByteReader& r) {
    DcState& s = st();
    switch (function) {
    case META_EOF:
        return false;
    case META_SAVEDC:
        device_.save();
        break;
    case META_RESTOREDC:
        device_.restore(r.i16());
        break;
    case META_SETBKMODE:
        s.bkMode = r.u16();
        break;
    case META_SETMAPMODE:
        device_.setMapMode(r.u16());
        break;
    case META_SETPOLYFILLMODE:
        s.polyFillMode = r.u16();
        break;
    case META_SETTEXTCHAREXTRA:
        s.textCharExtra = r.i16();
        break;
    case META_SETBKCOLOR:
        s.bkColor = readColorRef(r);
        break;
    case META_SETTEXTCOLOR:
        s.textColor = readColorRef(r);
        break;
    case META_SETTEXTALIGN:
        s.textAlign = r.u16();
        break;
    case META_SETWINDOWORG:
        s.windowOrg = readReversedPoint(r);
        device_.mappingChanged();
        break;
    case META_SETWINDOWEXT: {
        const QPointF e = readReversedPoint(r);
        if (e.x() != 0 && e.y() != 0) {
            s.windowExt = QSizeF(e.x(), e.y());
            device_.mappingChanged();
        }
        break;
    }
    case META_SETVIEWPORTORG:
    case META_SETVIEWPORTEXT:
    case META_OFFSETVIEWPORTORG:
    case META_SCALEVIEWPORTEXT:
        // The viewport belongs to whoever plays the file: the window fills the picture.
        break;
    case META_SCALEWINDOWEXT: {
        const double yDenom = r.i16();
        const double yNum = r.i16();
        const double xDenom = r.i16();
        const double xNum = r.i16();
        if (xDenom != 0 && yDenom != 0 && xNum != 0 && yNum != 0) {
            s.windowExt =
                QSizeF(s.windowExt.width() * xNum / xDenom, s.windowExt.height() * yNum / yDenom);
            device_.mappingChanged();
        }
        break;
    }
    case META_MOVETO:
        device_.moveTo(readReversedPoint(r));
        break;
    case META_LINETO:
        device_.lineTo(readReversedPoint(r));
        break;
    case META_POLYLINE:
    case META_POLYGON: {
        const qint64 count = r.i16();
        const QPolygonF points = readPoints(r, count, Coords::Short);
        if (function == META_POLYLINE) {
            device_.polyline(points);
        } else {
            device_.polygon(points);
        }
        break;
    }
    case META_POLYPOLYGON: {
        const qint64 polys = r.u16();
        r.require(polys, 2);
        std::vector<qint64> counts(static_cast<std::size_t>(polys));
        for (auto& c : counts) {
            c = r.u16();
        }
        std::vector<QPolygonF> polygons;
        polygons.reserve(counts.size());
        for (const qint64 c : counts) {
            polygons.push_back(readPoints(r, c, Coords::Short));
        }
        device_.polyPolygon(polygons);
        break;
    }
    case META_RECTANGLE:
        device_.rectangle(readReversedRect(r));
        break;
    case META_ELLIPSE:
        device_.ellipse(readReversedRect(r));
        break;
    case META_ROUNDRECT: {
        const double h = r.i16();
        const double w = r.i16();
        device_.roundRect(readReversedRect(r), QSizeF(w, h));
        break;
    }
    case META_ARC:
    case META_PIE:
    case META_CHORD: {
        const QPointF end = readReversedPoint(r);
        const QPointF start = readReversedPoint(r);
        const QRectF box = readReversedRect(r);
        const ArcKind kind = function == META_ARC   ? ArcKind::Arc
                             : function == META_PIE ? ArcKind::Pie
                                                    : ArcKind::Chord;
        device_.arc(box, start, end, kind);
        break;
    }
    case META_SETPIXEL: {
        const QColor c = readColorRef(r);
        device_.setPixel(readReversedPoint(r), c);
        break;
    }
    case META_TEXTOUT:
        text(r, TextRecord::TextOut);
        break;
    case META_EXTTEXTOUT:
        text(r, TextRecord::ExtTextOut);
        break;
    case META_INTERSECTCLIPRECT:
        device_.intersectClipRect(readReversedRect(r));
        break;
    case META_EXCLUDECLIPRECT:
        device_.excludeClipRect(readReversedRect(r));
        break;
    case META_OFFSETCLIPRGN:
        device_.offsetClip(readReversedPoint(r));
        break;
    case META_SELECTCLIPREGION: {
        const std::uint16_t index = r.u16();
        const GdiObject* o = object(index);
        if (o == nullptr || !std::holds_alternative<LogRegion>(*o)) {
            device_.selectDeviceClip(std::nullopt, gdi::RGN_COPY);
        } else {
            device_.selectDeviceClip(regionInDevice(index), gdi::RGN_COPY);
        }
        break;
    }
    case META_SELECTOBJECT:
        selectObject(r.u16());
        break;
    case META_DELETEOBJECT: {
        const std::uint16_t index = r.u16();
        if (index < objects_.size()) {
            objects_[index] = std::monostate{};
        }
        break;
    }
    case META_CREATEPENINDIRECT: {
        LogPen p;
        p.style = r.u16();
        p.width = std::abs(r.i16());
        r.skip(skipped::kPenWidthY16);
        p.color = readColorRef(r);
        addObject(p);
        break;
    }
    case META_CREATEBRUSHINDIRECT: {
        LogBrush b;
        b.style = r.u16();
        b.color = readColorRef(r);
        b.hatch = r.u16();
        if (b.style != gdi::BS_NULL && b.style != gdi::BS_HATCHED) {
            b.style = gdi::BS_SOLID;
        }
        addObject(b);
        break;
    }
    case META_CREATEFONTINDIRECT:
        createFont(r);
        break;
    case META_CREATEPALETTE:
        addObject(LogPalette{});
        break;
    case META_CREATEREGION:
        createRegion(r);
        break;
    case META_DIBCREATEPATTERNBRUSH:
        createPatternBrush(r, PatternBits::Dib);
        break;
    case META_CREATEPATTERNBRUSH:
        createPatternBrush(r, PatternBits::Bitmap16);
        break;
    case META_FILLREGION:
    case META_FRAMEREGION: {
        const std::uint16_t region = r.u16();
        const std::uint16_t brushIndex = r.u16();
        const GdiObject* b = object(brushIndex);
        const LogBrush brush =
            b != nullptr && std::holds_alternative<LogBrush>(*b) ? std::get<LogBrush>(*b) : s.brush;
        if (function == META_FILLREGION) {
            device_.fillDeviceRegion(regionInDevice(region), brush);
        } else {
            const double h = r.i16();
            const double w = r.i16();
            device_.frameDeviceRegion(regionInDevice(region), brush, QSizeF(w, h));
        }
        break;
    }
    case META_PAINTREGION:
        device_.fillDeviceRegion(regionInDevice(r.u16()), s.brush);
        break;
    case META_INVERTREGION:
        device_.invertDeviceRegion(regionInDevice(r.u16()));
        break;
    case META_PATBLT: {
        const std::uint32_t rop = r.u32();
        const double h = r.i16();
        const double w = r.i16();
        const QPointF at = readReversedPoint(r);
        device_.blit(QImage(), {}, QRectF(at, QSizeF(w, h)), rop);
        break;
    }
    case META_BITBLT:
    case META_DIBBITBLT:
    case META_STRETCHBLT:
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB:
    case META_SETDIBTODEV:
        bitmap(function, words, r);
        break;
    default:
        break;
    }
    return true;
}

} // namespace

bool playWmf(QByteArrayView bytes, const MetafileInfo& info, GdiDevice& device) {
    WmfPlayer player(info, device);
    ByteReader file(bytes, info.recordsOffset);
    for (qint64 n = 0; n < kMaxRecords && file.fits(1, 6); ++n) {
        const qint64 start = file.pos();
        const std::uint32_t words = file.u32();
        const std::uint16_t function = file.u16();
        if (words < 3 || !ByteReader(bytes, static_cast<qsizetype>(start)).fits(words, 2)) {
            return function == META_EOF; // a truncated end record is still the end
        }
        ByteReader record(file.at(start + 6, static_cast<qint64>(words) * 2 - 6));
        device.chargeRecord();
        try {
            if (!player.play(function, words, record)) {
                return true;
            }
        } catch (const DamagedRecord&) {
            return false;
        }
        file.seek(start + static_cast<qint64>(words) * 2);
    }
    return true;
}

} // namespace zelvia::rt::metafile
