#pragma once

#include <QtGlobal>

namespace zelvia::rt::lookahead {

// What a reader process runs, with nothing but system calls (it is forked from a threaded
// program). Writes to `out` the fstat of `path`, its bytes and a second fstat taken once they
// are read, then ends the process; ends it early when the file is no regular file, is larger than
// `limit` bytes or cannot be read. Every other descriptor is closed first, so that a reader stuck
// on a silent mount holds nothing of the program's (its display connection above all).
[[noreturn]] void serveFile(const char* path, qint64 limit, int out);

// Closes every descriptor above standard error except `keep`.
void closeDescriptorsExcept(int keep);

} // namespace zelvia::rt::lookahead
