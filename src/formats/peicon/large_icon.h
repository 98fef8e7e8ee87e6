#pragma once

#include "formats/imaging/byte_source.h"
#include "formats/peicon/icon_group.h"

#include <QByteArray>
#include <QImage>
#include <vector>

namespace zelvia::rt::pe {

using imaging::ByteSource;

struct IconCandidate {
    GroupEntry image; // its real size and depth
    QByteArray data;  // the RT_ICON resource
};

// The images of the first icon group that could serve as the large icon, best first.
std::vector<IconCandidate> largeIconCandidates(const ByteSource& source);

// The first of those that decodes.
QImage extractLargeIcon(const ByteSource& source);

} // namespace zelvia::rt::pe
