#include "lookahead/file_identity.h"

#include <sys/stat.h>

namespace zelvia::rt::lookahead {

std::optional<FileIdentity> identityOf(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    constexpr std::int64_t kNsPerSecond = 1'000'000'000;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::int64_t>(st.st_size),
                        static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNsPerSecond +
                            static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

} // namespace zelvia::rt::lookahead
