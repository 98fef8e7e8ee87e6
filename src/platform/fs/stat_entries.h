#pragma once

#include "platform/fs/file_attributes.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>
#include <vector>

namespace zelvia::rt {

// The st_mode of each name in the folder open as `dirFd`, following links; 0 where the name
// cannot be examined (gone, a dangling or looping link). In large folders the work is shared
// between up to `threads` threads: the kernel answers each one's path lookups in parallel.
std::vector<unsigned> statEntries(int dirFd, const std::vector<const char*>& names,
                                  unsigned threads);

// The DOS bits of each name in the folder `dirFd` whose path is `folderPath`, read from
// `source` as readDosBits does (0 where a file carries none), shared between threads the same
// way. A folder whose file system cannot carry the bits costs nothing.
std::vector<quint32> readDosBitsOf(int dirFd, const QByteArray& folderPath,
                                   const std::vector<const char*>& names, DosBitsSource source,
                                   unsigned threads);

// How many threads statEntries is given by the folder listing: the machine's cores, at most 4,
// unless set otherwise (the benchmarks measure one thread too).
unsigned listingThreads();
void setListingThreads(unsigned threads);

} // namespace zelvia::rt
