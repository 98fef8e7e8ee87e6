#pragma once

#include "formats/metafile/gdi_device.h"
#include "formats/metafile/metafile_header.h"

#include <QByteArrayView>

namespace zelvia::rt::metafile {

// Plays the records of a WMF onto `device`. Stops at the end record, at the end of the data,
// after kMaxRecords, or at the first damaged record (what was drawn before it stays).
// Returns false when it stopped at a damaged record.
bool playWmf(QByteArrayView bytes, const MetafileInfo& info, GdiDevice& device);

} // namespace zelvia::rt::metafile
