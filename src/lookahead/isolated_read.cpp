#include "lookahead/isolated_read.h"

#include "core/native_path.h"
#include "core/stop_request.h"
#include "lookahead/file_identity.h"
#include "lookahead/reader_process.h"
#include "lookahead/reader_spawner.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zelvia::rt::lookahead {

namespace {

constexpr int kPollMs = 10;

// Fills `size` bytes at `into` from what the reader sends; false when it ends or fails first.
// Throws Stopped when asked to stop.
bool receiveExactly(int in, char* into, std::size_t size) {
    while (size > 0) {
        throwIfStopRequested();
        pollfd ready{in, POLLIN, 0};
        if (::poll(&ready, 1, kPollMs) <= 0) {
            continue;
        }
        const ssize_t got = ::read(in, into, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        into += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool receiveStatus(int in, struct stat& status) {
    return receiveExactly(in, reinterpret_cast<char*>(&status), sizeof status);
}

// The reader's records: the file's status, its bytes (read straight into a buffer of the size
// announced, so that a picture costs its size once), the status once read.
std::optional<ReadFile> receiveFile(int in, qint64 limit) {
    ReadFile file;
    struct stat after {};
    if (!receiveStatus(in, file.status) || file.status.st_size < 0 || file.status.st_size > limit) {
        return std::nullopt;
    }
    file.bytes.resize(static_cast<qsizetype>(file.status.st_size));
    if (!receiveExactly(in, file.bytes.data(), static_cast<std::size_t>(file.bytes.size())) ||
        !receiveStatus(in, after) || identityOf(after) != identityOf(file.status)) {
        return std::nullopt;
    }
    return file;
}

// Without the spawner: the reader is a grandchild, reaped by init. The child ends at once and is
// waited for here, while the reader may stay stuck in the kernel for as long as the mount is
// silent.
bool forkReader(const QByteArray& path, qint64 limit, int out) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::fork() == 0) {
            serveFile(path.constData(), limit, out);
        }
        ::_exit(0);
    }
    while (child > 0 && ::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return child > 0;
}

} // namespace

std::optional<ReadFile> readInOwnProcess(const QString& path, qint64 limit) {
    const QByteArray native = encodeFileName(path);
    std::array<int, 2> pipeFds{};
    if (native.isEmpty() || ::pipe2(pipeFds.data(), O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    if (!spawnReader(native, limit, pipeFds[1]) && !forkReader(native, limit, pipeFds[1])) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::nullopt;
    }
    ::close(pipeFds[1]);
    std::optional<ReadFile> file;
    try {
        file = receiveFile(pipeFds[0], limit);
    } catch (const Stopped&) {
        ::close(pipeFds[0]); // the reader ends on its next write
        throw;
    }
    ::close(pipeFds[0]);
    return file;
}

} // namespace zelvia::rt::lookahead
