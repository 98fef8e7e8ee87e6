#include "formats/metafile/emf_player.h"

#include "formats/metafile/dib.h"
#include "formats/metafile/player_limits.h"
#include "formats/metafile/record_fields.h"
#include "formats/metafile/text_codec.h"

#include <QLinearGradient>
#include <cmath>

// Records not drawn: EXTFLOODFILL, MASKBLT, PLGBLT, SETROP2 (binary raster operations), palette
// and colour-management records, SETMETARGN, SETBRUSHORGEX, SETLAYOUT, SETTEXTJUSTIFICATION,
// OpenGL records, escapes, and every comment (EMF+ and embedded data included).

namespace zelvia::rt::metafile {

namespace {

enum Record : std::uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_OFFSETCLIPRGN = 26,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_CREATEPALETTE = 49,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_POLYDRAW = 56,
    EMR_SETARCDIRECTION = 57,
    EMR_SETMITERLIMIT = 58,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_FLATTENPATH = 65,
    EMR_WIDENPATH = 66,
    EMR_SELECTCLIPPATH = 67,
    EMR_ABORTPATH = 68,
    EMR_FILLRGN = 71,
    EMR_FRAMERGN = 72,
    EMR_INVERTRGN = 73,
    EMR_PAINTRGN = 74,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_POLYDRAW16 = 92,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
    EMR_POLYTEXTOUTA = 96,
    EMR_POLYTEXTOUTW = 97,
    EMR_SMALLTEXTOUT = 108,
    EMR_ALPHABLEND = 114,
    EMR_TRANSPARENTBLT = 116,
    EMR_GRADIENTFILL = 118
};

constexpr unsigned kEtoNoRect = 0x100;
constexpr unsigned kEtoSmallChars = 0x200;
constexpr std::uint32_t kStockBit = 0x80000000u;

QPointF readPointL(ByteReader& r) {
    const double x = r.i32();
    const double y = r.i32();
    return {x, y};
}

std::optional<QTransform> readXform(ByteReader& r) {
    const double m11 = r.f32();
    const double m12 = r.f32();
    const double m21 = r.f32();
    const double m22 = r.f32();
    const double dx = r.f32();
    const double dy = r.f32();
    const QTransform t(m11, m12, m21, m22, dx, dy);
    for (double v : {m11, m12, m21, m22, dx, dy}) {
        if (!std::isfinite(v) || std::abs(v) > 1e12) {
            return std::nullopt;
        }
    }
    if (!t.isInvertible()) {
        return std::nullopt;
    }
    return t;
}

// RGNDATA: header (size, type, count, bytes, bounds) and `count` rectangles.
QPainterPath readRegion(ByteReader r) {
    r.skip(skipped::kRegionSizeAndType);
    const qint64 count = r.u32();
    r.skip(skipped::kRegionBytesAndBounds);
    r.require(count, 16);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (qint64 i = 0; i < count; ++i) {
        path.addRect(readRectL(r).normalized());
    }
    return path;
}

class EmfPlayer {
public:
    EmfPlayer(const MetafileInfo& info, GdiDevice& device)
        : device_(device),
          objects_(static_cast<std::size_t>(std::clamp(info.objectCount, 1, kMaxObjects))) {}

    // Returns false at the end record. `r` covers the whole record, header included.
    bool play(std::uint32_t type, ByteReader& r);

private:
    DcState& st() { return device_.state(); }
    void setObject(std::uint32_t index, GdiObject object);
    void selectObject(std::uint32_t index);
    [[nodiscard]] const LogBrush* brushAt(std::uint32_t index) const;
    void polyPoly(std::uint32_t type, ByteReader& r, Coords coords);
    void text(ByteReader& r, qint64 emrTextAt, Chars encoding, unsigned optionsOverride = 0);
    void smallText(ByteReader& r);
    void bitmap(std::uint32_t type, ByteReader& r);
    enum class Pattern { Colour, Monochrome };
    void patternBrush(ByteReader& r, Pattern pattern);
    void extCreatePen(ByteReader& r);
    void gradientFill(ByteReader& r);
    DibImage dibAt(ByteReader& r, qint64 offBmi, qint64 cbBmi, qint64 offBits, qint64 cbBits,
                   DibOptions options = {});

    GdiDevice& device_;
    std::vector<GdiObject> objects_;
};

void EmfPlayer::setObject(std::uint32_t index, GdiObject object) {
    if (index == 0 || index >= static_cast<std::uint32_t>(kMaxObjects)) {
        return;
    }
    if (index >= objects_.size()) {
        objects_.resize(index + 1);
    }
    objects_[index] = std::move(object);
}

const LogBrush* EmfPlayer::brushAt(std::uint32_t index) const {
    if (index < objects_.size()) {
        return std::get_if<LogBrush>(&objects_[index]);
    }
    return nullptr;
}

void EmfPlayer::selectObject(std::uint32_t index) {
    if ((index & kStockBit) != 0) {
        const std::uint32_t stock = index & ~kStockBit;
        auto solid = [](int grey) {
            LogBrush b;
            b.color = QColor(grey, grey, grey);
            return b;
        };
        switch (stock) {
        case gdi::WHITE_BRUSH:
            device_.selectBrush(solid(255));
            break;
        case gdi::LTGRAY_BRUSH:
            device_.selectBrush(solid(192));
            break;
        case gdi::GRAY_BRUSH:
            device_.selectBrush(solid(128));
            break;
        case gdi::DKGRAY_BRUSH:
            device_.selectBrush(solid(64));
            break;
        case gdi::BLACK_BRUSH:
            device_.selectBrush(solid(0));
            break;
        case gdi::NULL_BRUSH: {
            LogBrush b;
            b.style = gdi::BS_NULL;
            device_.selectBrush(b);
            break;
        }
        case gdi::WHITE_PEN:
        case gdi::BLACK_PEN:
        case gdi::NULL_PEN: {
            LogPen p;
            p.color = stock == gdi::WHITE_PEN ? Qt::white : Qt::black;
            p.style = stock == gdi::NULL_PEN ? gdi::PS_NULL : gdi::PS_SOLID;
            device_.selectPen(p);
            break;
        }
        case gdi::OEM_FIXED_FONT:
        case gdi::ANSI_FIXED_FONT:
        case gdi::ANSI_VAR_FONT:
        case gdi::SYSTEM_FONT:
        case gdi::DEVICE_DEFAULT_FONT:
        case gdi::SYSTEM_FIXED_FONT:
        case gdi::DEFAULT_GUI_FONT:
            device_.selectFont(LogFont{});
            break;
        case gdi::DC_BRUSH: // the DC colours start white and black
            device_.selectBrush(solid(255));
            break;
        case gdi::DC_PEN:
            device_.selectPen(LogPen{});
            break;
        default:
            break;
        }
        return;
    }
    if (index >= objects_.size()) {
        return;
    }
    const GdiObject& o = objects_[index];
    if (const auto* pen = std::get_if<LogPen>(&o)) {
        device_.selectPen(*pen);
    } else if (const auto* brush = std::get_if<LogBrush>(&o)) {
        device_.selectBrush(*brush);
    } else if (const auto* font = std::get_if<LogFont>(&o)) {
        device_.selectFont(*font);
    }
}

DibImage EmfPlayer::dibAt(ByteReader& r, qint64 offBmi, qint64 cbBmi, qint64 offBits, qint64 cbBits,
                          DibOptions options) {
    if (cbBmi == 0) {
        return {};
    }
    return decodeDib(r.at(offBmi, cbBmi), r.at(offBits, cbBits), options);
}

void EmfPlayer::polyPoly(std::uint32_t type, ByteReader& r, Coords coords) {
    r.skip(skipped::kBounds);
    const qint64 polys = r.u32();
    const qint64 total = r.u32();
    r.require(polys, 4);
    std::vector<qint64> counts(static_cast<std::size_t>(polys));
    qint64 sum = 0;
    for (auto& c : counts) {
        c = r.u32();
        sum += c;
    }
    if (sum > total) {
        throw DamagedRecord();
    }
    r.require(total, coords == Coords::Long ? 8 : 4);
    std::vector<QPolygonF> list;
    list.reserve(counts.size());
    for (const qint64 c : counts) {
        list.push_back(readPoints(r, c, coords));
    }
    if (type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16) {
        device_.polyPolygon(list);
    } else {
        device_.polyPolyline(list);
    }
}

void EmfPlayer::text(ByteReader& r, qint64 emrTextAt, Chars encoding, unsigned optionsOverride) {
    const bool wide = encoding == Chars::Utf16;
    r.seek(emrTextAt);
    const QPointF at = readPointL(r);
    const qint64 chars = r.u32();
    const qint64 offString = r.u32();
    const unsigned options = r.u32() | optionsOverride;
    std::optional<QRectF> rect;
    if ((options & kEtoNoRect) == 0) {
        rect = readRectL(r);
    }
    const qint64 offDx = r.u32();
    if (chars == 0) {
        return;
    }
    const QByteArrayView raw = r.at(offString, chars * (wide ? 2 : 1));
    std::vector<double> perItem;
    if (offDx != 0) {
        const qint64 step = (options & gdi::ETO_PDY) != 0 ? 2 : 1;
        ByteReader dx(r.view());
        if (offDx > 0 && offDx <= dx.size()) {
            dx.seek(offDx);
            if (dx.fits(chars * step, 4)) {
                perItem.resize(static_cast<std::size_t>(chars));
                for (auto& d : perItem) {
                    d = dx.i32();
                    if (step == 2) {
                        dx.i32();
                    }
                }
            }
        }
    }
    QString text;
    std::vector<double> advances;
    if (wide) {
        text.resize(static_cast<qsizetype>(chars));
        ByteReader s(raw);
        for (qint64 i = 0; i < chars; ++i) {
            text[static_cast<qsizetype>(i)] = QChar(static_cast<char16_t>(s.u16()));
        }
        advances = perItem;
    } else {
        const DecodedText decoded = decodeCharsetText(raw, st().font.charset);
        text = decoded.text;
        if (!perItem.empty()) {
            advances = advancesForUnits(decoded, perItem, chars);
        }
    }
    device_.textOut(at, text, advances, options, rect);
}

void EmfPlayer::smallText(ByteReader& r) {
    const QPointF at = readPointL(r);
    const qint64 chars = r.u32();
    const unsigned options = r.u32();
    r.skip(skipped::kGraphicsModeAndScales);
    std::optional<QRectF> rect;
    if ((options & kEtoNoRect) == 0) {
        rect = readRectL(r);
    }
    QString text;
    if ((options & kEtoSmallChars) != 0) {
        text = decodeCharsetText(r.bytes(chars), st().font.charset).text;
    } else {
        r.require(chars, 2);
        for (qint64 i = 0; i < chars; ++i) {
            text.append(QChar(static_cast<char16_t>(r.u16())));
        }
    }
    device_.textOut(at, text, {}, options, rect);
}

void EmfPlayer::bitmap(std::uint32_t type, ByteReader& r) {
    r.skip(skipped::kBounds);
    if (type == EMR_STRETCHDIBITS || type == EMR_SETDIBITSTODEVICE) {
        const double xDest = r.i32();
        const double yDest = r.i32();
        const double xSrc = r.i32();
        const double ySrc = r.i32();
        const double cxSrc = r.i32();
        const double cySrc = r.i32();
        const qint64 offBmi = r.u32();
        const qint64 cbBmi = r.u32();
        const qint64 offBits = r.u32();
        const qint64 cbBits = r.u32();
        const std::uint32_t usage = r.u32();
        std::uint32_t rop = gdi::SRCCOPY;
        double cxDest = cxSrc;
        double cyDest = cySrc;
        if (type == EMR_STRETCHDIBITS) {
            rop = r.u32();
            cxDest = r.i32();
            cyDest = r.i32();
        }
        const DibImage dib =
            dibAt(r, offBmi, cbBmi, offBits, cbBits, {.paletteIndices = usage == 1});
        if (dib.status != DibStatus::Ok || cxSrc <= 0 || cySrc <= 0) {
            if (cbBmi == 0 && type == EMR_STRETCHDIBITS) {
                device_.blit(QImage(), {}, QRectF(xDest, yDest, cxDest, cyDest), rop);
            }
            return;
        }
        QRectF src(xSrc, ySrc, cxSrc, cySrc);
        if (dib.bottomUp) {
            src.moveTop(dib.image.height() - ySrc - cySrc);
        }
        device_.blit(dib.image, src, QRectF(xDest, yDest, cxDest, cyDest), rop);
        return;
    }
    // BITBLT, STRETCHBLT, ALPHABLEND, TRANSPARENTBLT share one layout.
    const double xDest = r.i32();
    const double yDest = r.i32();
    const double cxDest = r.i32();
    const double cyDest = r.i32();
    const std::uint32_t rop = r.u32();
    const double xSrc = r.i32();
    const double ySrc = r.i32();
    r.skip(skipped::kSourceTransformAndBackground);
    const std::uint32_t usage = r.u32();
    const qint64 offBmi = r.u32();
    const qint64 cbBmi = r.u32();
    const qint64 offBits = r.u32();
    const qint64 cbBits = r.u32();
    double cxSrc = cxDest;
    double cySrc = cyDest;
    if (type != EMR_BITBLT) {
        cxSrc = r.i32();
        cySrc = r.i32();
    }
    const QRectF dest(xDest, yDest, cxDest, cyDest);
    const bool alphaBlend = type == EMR_ALPHABLEND;
    const unsigned constantAlpha = (rop >> 16) & 0xFF;
    const bool sourceAlpha = ((rop >> 24) & 1) != 0;
    const DibImage dib =
        dibAt(r, offBmi, cbBmi, offBits, cbBits,
              {.paletteIndices = usage == 1, .keepAlpha = alphaBlend && sourceAlpha});
    if (cbBmi == 0) {
        if (type == EMR_BITBLT || type == EMR_STRETCHBLT) {
            device_.blit(QImage(), {}, dest, rop);
        }
        return;
    }
    if (dib.status != DibStatus::Ok || cxSrc <= 0 || cySrc <= 0) {
        return;
    }
    QImage image = dib.image;
    std::uint32_t drawRop = rop;
    if (alphaBlend) {
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (constantAlpha != 255) {
            QPainter p(&image);
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.fillRect(image.rect(), QColor(0, 0, 0, static_cast<int>(constantAlpha)));
        }
        drawRop = gdi::SRCCOPY;
    } else if (type == EMR_TRANSPARENTBLT) {
        const QRgb key = qRgb(static_cast<int>(rop & 0xFF), static_cast<int>((rop >> 8) & 0xFF),
                              static_cast<int>((rop >> 16) & 0xFF));
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) {
                    line[x] = 0;
                }
            }
        }
        drawRop = gdi::SRCCOPY;
    }
    device_.blit(image, QRectF(xSrc, ySrc, cxSrc, cySrc), dest, drawRop);
}

void EmfPlayer::patternBrush(ByteReader& r, Pattern pattern) {
    const bool mono = pattern == Pattern::Monochrome;
    const std::uint32_t index = r.u32();
    const std::uint32_t usage = r.u32();
    const qint64 offBmi = r.u32();
    const qint64 cbBmi = r.u32();
    const qint64 offBits = r.u32();
    const qint64 cbBits = r.u32();
    LogBrush b;
    b.style = gdi::BS_DIBPATTERNPT;
    const DibImage dib = dibAt(r, offBmi, cbBmi, offBits, cbBits, {.paletteIndices = usage == 1});
    if (dib.status == DibStatus::Ok) {
        // Monochrome brushes paint text colour for clear bits and background for set ones.
        b.pattern = mono ? recolourMonochrome(dib.image, st().textColor, st().bkColor) : dib.image;
    } else {
        b.style = gdi::BS_SOLID;
        b.color = Qt::gray;
    }
    setObject(index, b);
}

void EmfPlayer::extCreatePen(ByteReader& r) {
    const std::uint32_t index = r.u32();
    r.skip(skipped::kPenPatternBitmap);
    LogPen p;
    p.style = r.u32();
    const double width = r.u32();
    const std::uint32_t brushStyle = r.u32();
    p.color = readColorRef(r);
    r.skip(skipped::kPenHatch);
    const qint64 entries = r.u32();
    if ((p.style & gdi::PS_STYLE_MASK) == gdi::PS_USERSTYLE && r.fits(entries, 4)) {
        for (qint64 i = 0; i < std::min<qint64>(entries, 16); ++i) {
            p.dashes.push_back(r.u32());
        }
    }
    p.width = (p.style & gdi::PS_GEOMETRIC) != 0 ? std::min(width, 1e7) : 0.0;
    if (brushStyle == gdi::BS_NULL) {
        p.style = (p.style & ~static_cast<unsigned>(gdi::PS_STYLE_MASK)) | gdi::PS_NULL;
    }
    setObject(index, p);
}

void EmfPlayer::gradientFill(ByteReader& r) {
    r.skip(skipped::kBounds);
    const qint64 vertices = r.u32();
    const qint64 shapes = r.u32();
    const std::uint32_t mode = r.u32();
    r.require(vertices, 16);
    struct Vertex {
        QPointF p;
        QColor c;
    };
    std::vector<Vertex> v(static_cast<std::size_t>(vertices));
    for (auto& vertex : v) {
        vertex.p = readPointL(r);
        const int red = r.u16() >> 8;
        const int green = r.u16() >> 8;
        const int blue = r.u16() >> 8;
        r.skip(skipped::kVertexAlpha);
        vertex.c = QColor(red, green, blue);
    }
    const qint64 perShape = mode == 2 ? 3 : 2;
    r.require(shapes, perShape * 4);
    for (qint64 s = 0; s < shapes; ++s) {
        std::array<std::uint32_t, 3> idx{};
        for (qint64 k = 0; k < perShape; ++k) {
            idx[static_cast<std::size_t>(k)] = r.u32();
            if (idx[static_cast<std::size_t>(k)] >= v.size()) {
                throw DamagedRecord();
            }
        }
        const Vertex& a = v[idx[0]];
        const Vertex& b = v[idx[1]];
        QPainterPath path;
        if (mode == 2) {
            const Vertex& c = v[idx[2]];
            path.addPolygon(QPolygonF({a.p, b.p, c.p}));
            path.closeSubpath();
            const QColor mean((a.c.red() + b.c.red() + c.c.red()) / 3,
                              (a.c.green() + b.c.green() + c.c.green()) / 3,
                              (a.c.blue() + b.c.blue() + c.c.blue()) / 3);
            device_.fillLogicalPath(path, mean);
        } else {
            const QRectF box = QRectF(a.p, b.p).normalized();
            path.addRect(box);
            QLinearGradient g(a.p,
                              mode == 0 ? QPointF(b.p.x(), a.p.y()) : QPointF(a.p.x(), b.p.y()));
            g.setColorAt(0, a.c);
            g.setColorAt(1, b.c);
            device_.fillLogicalPath(path, g);
        }
    }
}

// Long by nature: one case per record type.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool EmfPlayer::play(std::uint32_t type, ByteReader& r) {
    DcState& s = st();
    r.seek(8);
    switch (type) {
    case EMR_EOF:
        return false;
    case EMR_HEADER:
        break;
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: {
        r.skip(skipped::kBounds);
        const qint64 count = r.u32();
        const bool wide = type < EMR_POLYBEZIER16;
        const QPolygonF points = readPoints(r, count, wide ? Coords::Long : Coords::Short);
        switch (wide ? type : type - (EMR_POLYBEZIER16 - EMR_POLYBEZIER)) {
        case EMR_POLYBEZIER:
            device_.polyBezier(points);
            break;
        case EMR_POLYGON:
            device_.polygon(points);
            break;
        case EMR_POLYLINE:
            device_.polyline(points);
            break;
        case EMR_POLYBEZIERTO:
            device_.polyBezierTo(points);
            break;
        default:
            device_.polylineTo(points);
            break;
        }
        break;
    }
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
        polyPoly(type, r, Coords::Long);
        break;
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
        polyPoly(type, r, Coords::Short);
        break;
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16: {
        r.skip(skipped::kBounds);
        const qint64 count = r.u32();
        const QPolygonF points =
            readPoints(r, count, type == EMR_POLYDRAW ? Coords::Long : Coords::Short);
        const QByteArrayView types = r.bytes(count);
        device_.polyDraw(points, std::vector<unsigned char>(types.begin(), types.end()));
        break;
    }
    case EMR_SETWINDOWEXTEX:
    case EMR_SETVIEWPORTEXTEX: {
        const QPointF e = readPointL(r);
        if (e.x() != 0 && e.y() != 0) {
            (type == EMR_SETWINDOWEXTEX ? s.windowExt : s.viewportExt) = QSizeF(e.x(), e.y());
            device_.mappingChanged();
        }
        break;
    }
    case EMR_SETWINDOWORGEX:
        s.windowOrg = readPointL(r);
        device_.mappingChanged();
        break;
    case EMR_SETVIEWPORTORGEX:
        s.viewportOrg = readPointL(r);
        device_.mappingChanged();
        break;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        const double xNum = r.i32();
        const double xDenom = r.i32();
        const double yNum = r.i32();
        const double yDenom = r.i32();
        if (xDenom != 0 && yDenom != 0 && xNum != 0 && yNum != 0) {
            QSizeF& ext = type == EMR_SCALEWINDOWEXTEX ? s.windowExt : s.viewportExt;
            ext = QSizeF(ext.width() * xNum / xDenom, ext.height() * yNum / yDenom);
            device_.mappingChanged();
        }
        break;
    }
    case EMR_SETPIXELV: {
        const QPointF p = readPointL(r);
        device_.setPixel(p, readColorRef(r));
        break;
    }
    case EMR_SETMAPMODE:
        device_.setMapMode(static_cast<int>(r.u32()));
        break;
    case EMR_SETBKMODE:
        s.bkMode = static_cast<int>(r.u32());
        break;
    case EMR_SETPOLYFILLMODE:
        s.polyFillMode = static_cast<int>(r.u32());
        break;
    case EMR_SETTEXTALIGN:
        s.textAlign = r.u32();
        break;
    case EMR_SETTEXTCOLOR:
        s.textColor = readColorRef(r);
        break;
    case EMR_SETBKCOLOR:
        s.bkColor = readColorRef(r);
        break;
    case EMR_SETARCDIRECTION:
        s.arcClockwise = r.u32() == 2;
        break;
    case EMR_SETMITERLIMIT:
        s.miterLimit = r.u32();
        break;
    case EMR_OFFSETCLIPRGN:
        device_.offsetClip(readPointL(r));
        break;
    case EMR_MOVETOEX:
        device_.moveTo(readPointL(r));
        break;
    case EMR_LINETO:
        device_.lineTo(readPointL(r));
        break;
    case EMR_EXCLUDECLIPRECT:
        device_.excludeClipRect(readRectL(r));
        break;
    case EMR_INTERSECTCLIPRECT:
        device_.intersectClipRect(readRectL(r));
        break;
    case EMR_SAVEDC:
        device_.save();
        break;
    case EMR_RESTOREDC:
        device_.restore(r.i32());
        break;
    case EMR_SETWORLDTRANSFORM:
        if (const auto t = readXform(r)) {
            s.world = *t;
            device_.mappingChanged();
        }
        break;
    case EMR_MODIFYWORLDTRANSFORM: {
        const auto t = readXform(r);
        const std::uint32_t mode = r.u32();
        if (mode == 1) {
            s.world = QTransform();
        } else if (t && mode == 2) {
            s.world = *t * s.world;
        } else if (t && mode == 3) {
            s.world = s.world * *t;
        } else if (t && mode == 4) {
            s.world = *t;
        }
        device_.mappingChanged();
        break;
    }
    case EMR_SELECTOBJECT:
        selectObject(r.u32());
        break;
    case EMR_DELETEOBJECT: {
        const std::uint32_t index = r.u32();
        if (index < objects_.size()) {
            objects_[index] = std::monostate{};
        }
        break;
    }
    case EMR_CREATEPEN: {
        const std::uint32_t index = r.u32();
        LogPen p;
        p.style = r.u32();
        p.width = std::min(std::abs(static_cast<double>(r.i32())), 1e7);
        r.skip(skipped::kPenWidthY32);
        p.color = readColorRef(r);
        setObject(index, p);
        break;
    }
    case EMR_EXTCREATEPEN:
        extCreatePen(r);
        break;
    case EMR_CREATEBRUSHINDIRECT: {
        const std::uint32_t index = r.u32();
        LogBrush b;
        b.style = r.u32();
        b.color = readColorRef(r);
        b.hatch = r.u32();
        if (b.style != gdi::BS_NULL && b.style != gdi::BS_HATCHED) {
            b.style = gdi::BS_SOLID;
        }
        setObject(index, b);
        break;
    }
    case EMR_CREATEMONOBRUSH:
        patternBrush(r, Pattern::Monochrome);
        break;
    case EMR_CREATEDIBPATTERNBRUSHPT:
        patternBrush(r, Pattern::Colour);
        break;
    case EMR_CREATEPALETTE:
        setObject(r.u32(), LogPalette{});
        break;
    case EMR_EXTCREATEFONTINDIRECTW: {
        const std::uint32_t index = r.u32();
        LogFont f;
        f.height = r.i32();
        f.width = r.i32();
        f.escapement = r.i32();
        r.skip(skipped::kFontOrientation32);
        f.weight = r.i32();
        f.italic = r.u8() != 0;
        f.underline = r.u8() != 0;
        f.strikeOut = r.u8() != 0;
        f.charset = r.u8();
        r.skip(skipped::kFontPrecisionsAndQuality);
        f.pitchAndFamily = r.u8();
        const qint64 units = std::min<qint64>(32, r.remaining() / 2);
        for (qint64 i = 0; i < units; ++i) {
            const char16_t c = r.u16();
            if (c == 0) {
                break;
            }
            f.faceName.append(QChar(c));
        }
        setObject(index, f);
        break;
    }
    case EMR_ANGLEARC: {
        const QPointF center = readPointL(r);
        const double radius = r.u32();
        const double start = r.f32();
        const double sweep = r.f32();
        device_.angleArc(center, radius, start, sweep);
        break;
    }
    case EMR_ELLIPSE:
        device_.ellipse(readRectL(r));
        break;
    case EMR_RECTANGLE:
        device_.rectangle(readRectL(r));
        break;
    case EMR_ROUNDRECT: {
        const QRectF box = readRectL(r);
        const double w = r.i32();
        const double h = r.i32();
        device_.roundRect(box, QSizeF(w, h));
        break;
    }
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO: {
        const QRectF box = readRectL(r);
        const QPointF start = readPointL(r);
        const QPointF end = readPointL(r);
        const ArcKind kind = type == EMR_ARC     ? ArcKind::Arc
                             : type == EMR_CHORD ? ArcKind::Chord
                             : type == EMR_PIE   ? ArcKind::Pie
                                                 : ArcKind::ArcTo;
        device_.arc(box, start, end, kind);
        break;
    }
    case EMR_BEGINPATH:
        device_.beginPath();
        break;
    case EMR_ENDPATH:
        device_.endPath();
        break;
    case EMR_CLOSEFIGURE:
        device_.closeFigure();
        break;
    case EMR_ABORTPATH:
        device_.abortPath();
        break;
    case EMR_FILLPATH:
        device_.fillPath();
        break;
    case EMR_STROKEPATH:
        device_.strokePath();
        break;
    case EMR_STROKEANDFILLPATH:
        device_.strokeAndFillPath();
        break;
    case EMR_FLATTENPATH:
        device_.flattenPath();
        break;
    case EMR_WIDENPATH:
        device_.widenPath();
        break;
    case EMR_SELECTCLIPPATH:
        device_.selectClipPath(static_cast<int>(r.u32()));
        break;
    case EMR_EXTSELECTCLIPRGN: {
        const qint64 size = r.u32();
        const int mode = static_cast<int>(r.u32());
        if (size == 0) {
            device_.selectDeviceClip(std::nullopt, mode);
        } else {
            device_.selectDeviceClip(readRegion(ByteReader(r.bytes(size))), mode);
        }
        break;
    }
    case EMR_FILLRGN:
    case EMR_FRAMERGN:
    case EMR_INVERTRGN:
    case EMR_PAINTRGN: {
        r.skip(skipped::kBounds);
        const qint64 size = r.u32();
        const LogBrush* brush = nullptr;
        QSizeF stroke;
        if (type == EMR_FILLRGN || type == EMR_FRAMERGN) {
            brush = brushAt(r.u32());
        }
        if (type == EMR_FRAMERGN) {
            const double w = r.i32();
            const double h = r.i32();
            stroke = QSizeF(w, h);
        }
        const QPainterPath region =
            device_.logicalToDevice().map(readRegion(ByteReader(r.bytes(size))));
        const LogBrush& use = brush != nullptr ? *brush : s.brush;
        if (type == EMR_FRAMERGN) {
            device_.frameDeviceRegion(region, use, stroke);
        } else if (type == EMR_INVERTRGN) {
            device_.invertDeviceRegion(region);
        } else {
            device_.fillDeviceRegion(region, use);
        }
        break;
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
    case EMR_SETDIBITSTODEVICE:
    case EMR_STRETCHDIBITS:
        bitmap(type, r);
        break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        text(r, 36, type == EMR_EXTTEXTOUTW ? Chars::Utf16 : Chars::Ansi);
        break;
    case EMR_POLYTEXTOUTA:
    case EMR_POLYTEXTOUTW: {
        r.skip(skipped::kBounds + skipped::kGraphicsModeAndScales);
        const qint64 strings = r.u32();
        r.require(strings, 40);
        for (qint64 i = 0; i < strings; ++i) {
            text(r, 40 + i * 40, type == EMR_POLYTEXTOUTW ? Chars::Utf16 : Chars::Ansi);
        }
        break;
    }
    case EMR_SMALLTEXTOUT:
        smallText(r);
        break;
    case EMR_GRADIENTFILL:
        gradientFill(r);
        break;
    default:
        break;
    }
    return true;
}

} // namespace

bool playEmf(QByteArrayView bytes, const MetafileInfo& info, GdiDevice& device) {
    EmfPlayer player(info, device);
    ByteReader file(bytes);
    for (qint64 n = 0; n < kMaxRecords && file.fits(1, 8); ++n) {
        const qint64 start = file.pos();
        const std::uint32_t type = file.u32();
        const qint64 size = file.u32();
        if (size < 8 || size % 4 != 0 || size > static_cast<qint64>(bytes.size()) - start) {
            return type == EMR_EOF;
        }
        ByteReader record(file.at(start, size));
        device.chargeRecord();
        try {
            if (!player.play(type, record)) {
                return true;
            }
        } catch (const DamagedRecord&) {
            return false;
        }
        file.seek(start + size);
    }
    return true;
}

} // namespace zelvia::rt::metafile
