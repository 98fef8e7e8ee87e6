#include "lookahead/reader_spawner.h"

#include "lookahead/reader_process.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelvia::rt::lookahead {

namespace {

struct Request {
    qint64 limit = 0;
    std::array<char, PATH_MAX> path{}; // ends with a NUL
};

// Our end of the socket; written once, before any other thread exists. Each request is one
// message of a sequenced-packet socket, so threads may send without a lock.
int g_spawner = -1;

using Control = std::array<char, CMSG_SPACE(sizeof(int))>;

// The descriptor that came with a request, or -1 for a message that carried none.
int receivedDescriptor(msghdr& message) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS &&
            c->cmsg_len == CMSG_LEN(sizeof(int))) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
            return fd;
        }
    }
    return -1;
}

[[noreturn]] void runSpawner(int socket, pid_t parent) {
    closeDescriptorsExcept(socket);
    // Readers are reaped by the kernel; the spawner ends with the program.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN; // NOLINT(cppcoreguidelines-pro-type-union-access)
    ::sigaction(SIGCHLD, &ignore, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(0);
    }
    for (;;) {
        Request request;
        alignas(cmsghdr) Control control{};
        iovec part{&request, sizeof request};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ::_exit(0); // the program has ended
        }
        const int out = receivedDescriptor(message);
        if (out < 0) {
            continue;
        }
        request.path.back() = '\0';
        if (got > static_cast<ssize_t>(offsetof(Request, path)) && ::fork() == 0) {
            serveFile(request.path.data(), request.limit, out);
        }
        ::close(out);
    }
}

} // namespace

void startReaderSpawner() {
    std::array<int, 2> ends{};
    if (g_spawner >= 0 ||
        ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends.data()) != 0) {
        return;
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        runSpawner(ends[1], parent);
    }
    ::close(ends[1]);
    if (child < 0) {
        ::close(ends[0]);
        return;
    }
    g_spawner = ends[0];
}

bool spawnReader(const QByteArray& path, qint64 limit, int out) {
    Request request;
    const auto length = static_cast<std::size_t>(path.size());
    if (g_spawner < 0 || length >= request.path.size()) {
        return false;
    }
    request.limit = limit;
    std::memcpy(request.path.data(), path.constData(), length);
    iovec part{&request, offsetof(Request, path) + length + 1};
    alignas(cmsghdr) Control control{};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* carried = CMSG_FIRSTHDR(&message);
    carried->cmsg_level = SOL_SOCKET;
    carried->cmsg_type = SCM_RIGHTS;
    carried->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(carried), &out, sizeof out);
    return ::sendmsg(g_spawner, &message, MSG_NOSIGNAL) >= 0;
}

} // namespace zelvia::rt::lookahead
