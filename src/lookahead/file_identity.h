#pragma once

#include <cstdint>
#include <optional>
#include <sys/stat.h>

namespace zelvia::rt {
class ReadOnlyFile;
}

namespace zelvia::rt::lookahead {

// A file's content as the file system sees it: the same identity means the same bytes, as far
// as anything short of reading them can tell. The change time is part of it because a file
// rewritten at the same size can have its modification time put back (touch -r, rsync).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

FileIdentity identityOf(const struct stat& status);

// The identity of the open file `fd` now; empty when it cannot be read.
std::optional<FileIdentity> identityOf(int fd);

// The identity of `file` when it was opened, the one its size was taken from.
FileIdentity identityOf(const ReadOnlyFile& file);

} // namespace zelvia::rt::lookahead
