#include "lookahead/reader_process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvia::rt::lookahead {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace

void closeDescriptorsExcept(int keep) {
    constexpr unsigned kFirst = STDERR_FILENO + 1;
    const auto kept = static_cast<unsigned>(keep);
    if (kept > kFirst) {
        ::close_range(kFirst, kept - 1, 0);
    }
    ::close_range(std::max(kFirst, kept + 1), UINT_MAX, 0);
}

void serveFile(const char* path, qint64 limit, int out) {
    closeDescriptorsExcept(out);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > limit ||
        !writeAll(out, reinterpret_cast<const char*>(&status), sizeof status)) {
        ::_exit(1);
    }
    std::array<char, kChunk> buffer{};
    off_t offset = 0;
    while (offset < status.st_size) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || !writeAll(out, buffer.data(), static_cast<std::size_t>(got))) {
            break;
        }
        offset += got;
    }
    // Looked at again once read: a file written to meanwhile may have mixed old and new.
    struct stat after {};
    if (offset != status.st_size || ::fstat(fd, &after) != 0 ||
        !writeAll(out, reinterpret_cast<const char*>(&after), sizeof after)) {
        ::_exit(1);
    }
    ::_exit(0);
}

} // namespace zelvia::rt::lookahead
