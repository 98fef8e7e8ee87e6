#pragma once

#include "platform/fs/file_attributes.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>
#include <functional>
#include <vector>

namespace zelvia::rt {

// What one pass learns of a folder entry: its st_mode, following links (0 where the name
// cannot be examined: gone, a dangling or looping link), and, for the regular files asked
// for, their DOS bits (0 where a file carries none).
struct EntryFacts {
    unsigned mode = 0;
    quint32 dosBits = 0;
};

// Examines each name in the folder open as `dirFd`, whose path is `folderPath`; the DOS bits
// are read from `source`, as readDosBits does, for the regular files `wantsDosBits(index,
// mode)` picks. In large folders the work is shared between up to `threads` threads: the
// kernel answers each one's lookups in parallel. Each thread reads a file's bits right after
// its stat, while the kernel still holds the name's lookup in cache.
std::vector<EntryFacts>
examineEntries(int dirFd, const QByteArray& folderPath, const std::vector<const char*>& names,
               DosBitsSource source, const std::function<bool(std::size_t, unsigned)>& wantsDosBits,
               unsigned threads);

// How many threads examineEntries is given by the folder listing: the machine's cores, at most 4,
// unless set otherwise (the benchmarks measure one thread too).
unsigned listingThreads();
void setListingThreads(unsigned threads);

} // namespace zelvia::rt
