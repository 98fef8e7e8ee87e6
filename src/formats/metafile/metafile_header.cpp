#include "formats/metafile/metafile_header.h"

#include "core/runtime_error.h"
#include "formats/metafile/metafile_picture.h"
#include "formats/metafile/player_limits.h"
#include "formats/metafile/record_fields.h"

#include <cmath>

namespace zelvia::rt {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr qsizetype kPlaceableSize = 22;
constexpr qsizetype kWmfHeaderSize = 18;

bool plainWmfHeaderAt(QByteArrayView head, qsizetype at) {
    metafile::ByteReader r(head, 0);
    if (head.size() < at + kWmfHeaderSize) {
        return false;
    }
    r.seek(at);
    const std::uint16_t type = r.u16();
    const std::uint16_t headerWords = r.u16();
    const std::uint16_t version = r.u16();
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

} // namespace

bool looksLikeMetafile(QByteArrayView head) {
    metafile::ByteReader r(head);
    if (head.size() >= 4 && r.u32() == kPlaceableKey) {
        return true;
    }
    if (plainWmfHeaderAt(head, 0)) {
        return true;
    }
    if (head.size() >= 44) {
        metafile::ByteReader e(head);
        const std::uint32_t type = e.u32();
        e.seek(40);
        return type == 1 && e.u32() == kEmfSignature;
    }
    return false;
}

namespace metafile {

namespace {

[[noreturn]] void notLoadable() {
    throw RuntimeError(err::InvalidPicture, "not a loadable metafile");
}

// The first window origin and extent a plain WMF sets: its own idea of its size.
void scanWindow(QByteArrayView bytes, qsizetype offset, std::optional<QPointF>* org,
                std::optional<QSizeF>* ext) {
    ByteReader r(bytes, offset);
    qint64 records = 0;
    while (r.fits(1, 6) && records++ < kMaxRecords && !(org->has_value() && ext->has_value())) {
        const qint64 start = r.pos();
        const qint64 words = r.u32();
        const std::uint16_t function = r.u16();
        if (words < 3 || !ByteReader(bytes, static_cast<qsizetype>(start)).fits(words, 2) ||
            function == 0) {
            return;
        }
        if ((function == 0x020B || function == 0x020C) && words >= 5) {
            const double y = r.i16();
            const double x = r.i16();
            if (function == 0x020B && !org->has_value()) {
                *org = QPointF(x, y);
            } else if (function == 0x020C && !ext->has_value() && x != 0 && y != 0) {
                *ext = QSizeF(x, y);
            }
        }
        r.seek(start + words * 2);
    }
}

MetafileInfo readWmf(QByteArrayView bytes) {
    MetafileInfo info;
    info.format = MetafileFormat::Wmf;
    ByteReader r(bytes);
    double unitsPerInch = 1440;
    QRectF bbox;
    if (r.u32() == kPlaceableKey) {
        if (bytes.size() < kPlaceableSize + kWmfHeaderSize) {
            notLoadable();
        }
        info.placeable = true;
        r.skip(2); // HWmf, a handle only meaningful when written
        const double left = r.i16();
        const double top = r.i16();
        const double right = r.i16();
        const double bottom = r.i16();
        const std::uint16_t inch = r.u16();
        r.skip(4); // Reserved
        const std::uint16_t checksum = r.u16();
        ByteReader words(bytes);
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i) {
            sum ^= words.u16();
        }
        info.checksumMatches = sum == checksum;
        unitsPerInch = inch == 0 ? 1440 : inch;
        bbox = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
        info.recordsOffset = kPlaceableSize;
    }
    if (!plainWmfHeaderAt(bytes, info.recordsOffset)) {
        notLoadable();
    }
    ByteReader h(bytes, info.recordsOffset + 10);
    info.objectCount = h.u16();
    info.recordsOffset += kWmfHeaderSize;

    DcState& initial = info.setup.initial;
    initial.mapMode = gdi::MM_ANISOTROPIC;
    info.setup.deviceUnitsPerInch = QSizeF(unitsPerInch, unitsPerInch);
    if (info.placeable) {
        if (bbox.width() <= 0 || bbox.height() <= 0) {
            notLoadable();
        }
        initial.windowOrg = bbox.topLeft();
        initial.windowExt = bbox.size();
        initial.viewportExt = bbox.size();
        info.setup.deviceFrame = QRectF(QPointF(0, 0), bbox.size());
        info.naturalTwips = bbox.size() * (1440.0 / unitsPerInch);
        return info;
    }
    std::optional<QPointF> org;
    std::optional<QSizeF> ext;
    scanWindow(bytes, info.recordsOffset, &org, &ext);
    if (ext) {
        const QSizeF size(std::abs(ext->width()), std::abs(ext->height()));
        initial.windowOrg = org.value_or(QPointF(0, 0));
        initial.windowExt = *ext;
        initial.viewportExt = size;
        info.setup.deviceFrame = QRectF(QPointF(0, 0), size);
        info.naturalTwips = size;
    } else {
        info.needsDrawingExtent = true;
    }
    return info;
}

MetafileInfo readEmf(QByteArrayView bytes) {
    MetafileInfo info;
    info.format = MetafileFormat::Emf;
    ByteReader r(bytes);
    if (bytes.size() < 88) {
        notLoadable();
    }
    const std::uint32_t type = r.u32();
    const std::uint32_t size = r.u32();
    if (type != 1 || size < 88 || size > static_cast<std::uint32_t>(bytes.size()) ||
        size % 4 != 0) {
        notLoadable();
    }
    const int bl = r.i32();
    const int bt = r.i32();
    const int br = r.i32();
    const int bb = r.i32();
    const QRect bounds(QPoint(bl, bt), QPoint(br, bb));
    const double fl = r.i32();
    const double ft = r.i32();
    const double fr = r.i32();
    const double fb = r.i32();
    if (r.u32() != kEmfSignature) {
        notLoadable();
    }
    r.seek(52);
    info.objectCount = r.u16();
    r.seek(72);
    double devW = r.i32();
    double devH = r.i32();
    // szlMillimeters is enough: the optional micrometre fields add no visible precision,
    // and writers that put the description there leave garbage in their place.
    double mmW = r.i32();
    double mmH = r.i32();
    if (devW <= 0 || devH <= 0 || mmW <= 0 || mmH <= 0) {
        // No usable reference device: assume a 96 DPI screen.
        devW = 96;
        devH = 96;
        mmW = 25.4;
        mmH = 25.4;
    }
    const double pxPerMmX = devW / mmW;
    const double pxPerMmY = devH / mmH;
    info.setup.deviceUnitsPerInch = QSizeF(pxPerMmX * 25.4, pxPerMmY * 25.4);
    info.setup.initial.mapMode = gdi::MM_TEXT;

    if (fr > fl && fb > ft) {
        // The frame is inclusive-inclusive, in hundredths of a millimetre.
        const double w = fr - fl + 1;
        const double hgt = fb - ft + 1;
        info.naturalTwips = QSizeF(w * 1440.0 / 2540.0, hgt * 1440.0 / 2540.0);
        info.setup.deviceFrame = QRectF(fl * pxPerMmX / 100.0, ft * pxPerMmY / 100.0,
                                        w * pxPerMmX / 100.0, hgt * pxPerMmY / 100.0);
    } else if (bounds.right() >= bounds.left() && bounds.bottom() >= bounds.top() &&
               (bounds.width() > 1 || bounds.height() > 1)) {
        const QRectF px(bounds.left(), bounds.top(), bounds.width(), bounds.height());
        info.setup.deviceFrame = px;
        info.naturalTwips =
            QSizeF(px.width() / pxPerMmX * 1440.0 / 25.4, px.height() / pxPerMmY * 1440.0 / 25.4);
    } else {
        info.needsDrawingExtent = true;
    }
    return info;
}

} // namespace

MetafileInfo readMetafileInfo(QByteArrayView bytes) {
    if (!looksLikeMetafile(bytes)) {
        notLoadable();
    }
    ByteReader r(bytes);
    const std::uint32_t first = bytes.size() >= 4 ? r.u32() : 0;
    if (first == 1 && bytes.size() >= 44) {
        ByteReader e(bytes, 40);
        if (e.u32() == kEmfSignature) {
            return readEmf(bytes);
        }
    }
    return readWmf(bytes);
}

void applyDrawingExtent(MetafileInfo* info, const QRectF& extent) {
    const QRectF e = extent.isValid() ? extent : QRectF(0, 0, 1, 1);
    DeviceSetup& setup = info->setup;
    if (info->format == MetafileFormat::Wmf) {
        setup.initial.windowOrg = e.topLeft();
        setup.initial.windowExt = e.size();
        setup.initial.viewportExt = e.size();
        setup.deviceFrame = QRectF(QPointF(0, 0), e.size());
    } else {
        setup.deviceFrame = e;
    }
    info->naturalTwips = QSizeF(e.width() * 1440.0 / setup.deviceUnitsPerInch.width(),
                                e.height() * 1440.0 / setup.deviceUnitsPerInch.height());
    info->needsDrawingExtent = false;
}

} // namespace metafile
} // namespace zelvia::rt
