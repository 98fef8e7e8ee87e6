#pragma once

#include "formats/metafile/gdi_device.h"

#include <QByteArrayView>
#include <QRectF>
#include <QSizeF>

namespace zelvia::rt::metafile {

enum class MetafileFormat { Wmf, Emf };

// What the header says: where the records start and how the picture maps onto a target.
struct MetafileInfo {
    MetafileFormat format = MetafileFormat::Wmf;
    qsizetype recordsOffset = 0; // WMF: first record after the META header; EMF: 0
    bool placeable = false;
    bool checksumMatches = true; // placeable WMF only; a wrong checksum is accepted
    int objectCount = 0;         // size of the object table the header asks for
    QSizeF naturalTwips;
    // Device space and initial mapping for playback. When `needsDrawingExtent` is set the
    // header gives no size: the frame is the extent of what the records draw.
    DeviceSetup setup;
    bool needsDrawingExtent = false;
};

// Throws RuntimeError 481 when `bytes` do not start with a usable WMF or EMF header.
MetafileInfo readMetafileInfo(QByteArrayView bytes);

// Fixes the frame of a metafile whose header gave none, from the extent of its drawing
// (in device units).
void applyDrawingExtent(MetafileInfo* info, const QRectF& extent);

} // namespace zelvia::rt::metafile
