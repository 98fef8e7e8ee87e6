#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QString>
#include <QTransform>
#include <optional>
#include <variant>
#include <vector>

namespace zelvia::rt::metafile {

// GDI constants the players and the device share.
namespace gdi {
enum MapMode {
    MM_TEXT = 1,
    MM_LOMETRIC = 2,
    MM_HIMETRIC = 3,
    MM_LOENGLISH = 4,
    MM_HIENGLISH = 5,
    MM_TWIPS = 6,
    MM_ISOTROPIC = 7,
    MM_ANISOTROPIC = 8
};
enum BkMode { TRANSPARENT = 1, OPAQUE = 2 };
enum PolyFill { ALTERNATE = 1, WINDING = 2 };
enum TextAlign : unsigned {
    TA_UPDATECP = 1,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_HMASK = 6,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
    TA_VMASK = 24
};
enum TextOptions : unsigned { ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_PDY = 0x2000 };
enum RegionMode { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
enum PenStyle : unsigned {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
    PS_INSIDEFRAME = 6,
    PS_USERSTYLE = 7,
    PS_ALTERNATE = 8,
    PS_STYLE_MASK = 0xF,
    PS_ENDCAP_SQUARE = 0x100,
    PS_ENDCAP_FLAT = 0x200,
    PS_ENDCAP_MASK = 0xF00,
    PS_JOIN_BEVEL = 0x1000,
    PS_JOIN_MITER = 0x2000,
    PS_JOIN_MASK = 0xF000,
    PS_GEOMETRIC = 0x10000
};
enum BrushStyle : unsigned {
    BS_SOLID = 0,
    BS_NULL = 1,
    BS_HATCHED = 2,
    BS_PATTERN = 3,
    BS_DIBPATTERN = 5,
    BS_DIBPATTERNPT = 6
};
// Raster operations of the blit records.
enum Rop : unsigned {
    SRCCOPY = 0x00CC0020,
    SRCPAINT = 0x00EE0086,
    SRCAND = 0x008800C6,
    SRCINVERT = 0x00660046,
    SRCERASE = 0x00440328,
    NOTSRCCOPY = 0x00330008,
    NOTSRCERASE = 0x001100A6,
    MERGEPAINT = 0x00BB0226,
    PATCOPY = 0x00F00021,
    PATINVERT = 0x005A0049,
    DSTINVERT = 0x00550009,
    BLACKNESS = 0x00000042,
    WHITENESS = 0x00FF0062
};
// Stock objects, selected by number with the high bit set.
enum StockObject : std::uint32_t {
    WHITE_BRUSH = 0,
    LTGRAY_BRUSH = 1,
    GRAY_BRUSH = 2,
    DKGRAY_BRUSH = 3,
    BLACK_BRUSH = 4,
    NULL_BRUSH = 5,
    WHITE_PEN = 6,
    BLACK_PEN = 7,
    NULL_PEN = 8,
    OEM_FIXED_FONT = 10,
    ANSI_FIXED_FONT = 11,
    ANSI_VAR_FONT = 12,
    SYSTEM_FONT = 13,
    DEVICE_DEFAULT_FONT = 14,
    DEFAULT_PALETTE = 15,
    SYSTEM_FIXED_FONT = 16,
    DEFAULT_GUI_FONT = 17,
    DC_BRUSH = 18,
    DC_PEN = 19
};
} // namespace gdi

struct LogPen {
    unsigned style = gdi::PS_SOLID; // full style word: line style, caps, joins, geometric flag
    double width = 0;               // logical units; 0 = one device pixel
    QColor color = Qt::black;
    std::vector<double> dashes; // PS_USERSTYLE entries, in pen widths
};

struct LogBrush {
    unsigned style = gdi::BS_SOLID;
    QColor color = Qt::white;
    unsigned hatch = 0;
    QImage pattern; // BS_PATTERN / BS_DIBPATTERN
};

struct LogFont {
    int height = 0; // logical units; negative = character height, positive = cell height
    int width = 0;
    int escapement = 0; // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charset = 1;
    int pitchAndFamily = 0;
    QString faceName;

    bool operator==(const LogFont&) const = default;
};

// A region as a path in the coordinates it was defined in (logical for WMF, device for EMF).
struct LogRegion {
    QPainterPath path;
};

struct LogPalette {
    std::vector<QColor> colors;
};

using GdiObject = std::variant<std::monostate, LogPen, LogBrush, LogFont, LogRegion, LogPalette>;

// The device-context state that SaveDC/RestoreDC keep.
struct DcState {
    int mapMode = gdi::MM_TEXT;
    QPointF windowOrg{0, 0};
    QSizeF windowExt{1, 1};
    QPointF viewportOrg{0, 0};
    QSizeF viewportExt{1, 1};
    QTransform world; // EMF world transform (logical -> page)

    LogPen pen;
    LogBrush brush;
    LogFont font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = gdi::OPAQUE;
    int polyFillMode = gdi::ALTERNATE;
    unsigned textAlign = 0;
    int textCharExtra = 0;
    bool arcClockwise = false;
    double miterLimit = 10;
    QPointF currentPos{0, 0}; // logical

    std::optional<QPainterPath> clip; // device space; nullopt = no clip
};

} // namespace zelvia::rt::metafile
