#include "lookahead/isolated_read.h"

#include "core/native_path.h"
#include "core/stop_request.h"
#include "lookahead/file_identity.h"
#include "lookahead/reader_process.h"
#include "lookahead/reader_spawner.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zelvia::rt::lookahead {

namespace {

constexpr int kPollMs = 10;
constexpr std::size_t kChunk = std::size_t{1} << 16;

// Reads what the child sends until it closes its end; throws Stopped when asked to stop.
bool receive(int in, QByteArray& received, qint64 limit) {
    std::array<char, kChunk> buffer{};
    for (;;) {
        throwIfStopRequested();
        pollfd ready{in, POLLIN, 0};
        if (::poll(&ready, 1, kPollMs) <= 0) {
            continue;
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        if (received.size() + got > limit + 2 * static_cast<qint64>(sizeof(struct stat))) {
            return false;
        }
        received.append(buffer.data(), got);
    }
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
    QByteArray received;
    bool complete = false;
    try {
        complete = receive(pipeFds[0], received, limit);
    } catch (const Stopped&) {
        ::close(pipeFds[0]); // the reader ends on its next write
        throw;
    }
    ::close(pipeFds[0]);
    constexpr auto kStatSize = static_cast<qsizetype>(sizeof(struct stat));
    ReadFile file;
    struct stat after {};
    if (!complete || received.size() < 2 * kStatSize) {
        return std::nullopt;
    }
    // GCC's sanitizer build cannot see that the size check above rules out QByteArray's shared
    // empty array and warns about reading past it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    std::memcpy(&file.status, received.constData(), sizeof file.status);
    std::memcpy(&after, received.constData() + received.size() - kStatSize, sizeof after);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    if (received.size() != 2 * kStatSize + file.status.st_size ||
        identityOf(after) != identityOf(file.status)) {
        return std::nullopt;
    }
    file.bytes = received.mid(kStatSize, file.status.st_size);
    return file;
}

} // namespace zelvia::rt::lookahead
