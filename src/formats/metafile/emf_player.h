#pragma once

#include "formats/metafile/gdi_device.h"
#include "formats/metafile/metafile_header.h"

#include <QByteArrayView>

namespace zelvia::rt::metafile {

// Plays the records of an EMF onto `device`; EMF+ records inside comments are ignored and the
// GDI records drawn. Stops at the end record, at the end of the data, after kMaxRecords, or
// at the first damaged record. Returns false when it stopped at a damaged record.
bool playEmf(QByteArrayView bytes, const MetafileInfo& info, GdiDevice& device);

} // namespace zelvia::rt::metafile
