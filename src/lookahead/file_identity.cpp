#include "lookahead/file_identity.h"

#include "core/native_path.h"

namespace zelvia::rt::lookahead {

namespace {

std::int64_t nanoseconds(const timespec& t) {
    constexpr std::int64_t kNsPerSecond = 1'000'000'000;
    return static_cast<std::int64_t>(t.tv_sec) * kNsPerSecond +
           static_cast<std::int64_t>(t.tv_nsec);
}

} // namespace

FileIdentity identityOf(const struct stat& status) {
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino),
                        static_cast<std::int64_t>(status.st_size), nanoseconds(status.st_mtim),
                        nanoseconds(status.st_ctim)};
}

std::optional<FileIdentity> identityOf(int fd) {
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        return std::nullopt;
    }
    return identityOf(status);
}

FileIdentity identityOf(const ReadOnlyFile& file) {
    return identityOf(file.status());
}

} // namespace zelvia::rt::lookahead
