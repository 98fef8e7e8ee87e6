#pragma once

#include <cstdint>
#include <optional>

namespace zelvia::rt::lookahead {

// A file's content as the file system sees it: the same identity means the same bytes, as far
// as anything short of reading them can tell.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the open file `fd`; empty when it cannot be read.
std::optional<FileIdentity> identityOf(int fd);

} // namespace zelvia::rt::lookahead
