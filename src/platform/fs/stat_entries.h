#pragma once

#include <cstddef>
#include <vector>

namespace zelvia::rt {

// The st_mode of each name in the folder open as `dirFd`, following links; 0 where the name
// cannot be examined (gone, a dangling or looping link). In large folders the work is shared
// between up to `threads` threads: the kernel answers each one's path lookups in parallel.
std::vector<unsigned> statEntries(int dirFd, const std::vector<const char*>& names,
                                  unsigned threads);

// How many threads statEntries is given by the folder listing: the machine's cores, at most 4,
// unless set otherwise (the benchmarks measure one thread too).
unsigned listingThreads();
void setListingThreads(unsigned threads);

} // namespace zelvia::rt
