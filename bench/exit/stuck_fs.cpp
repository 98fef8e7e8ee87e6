// A file system that mirrors the regular files of a folder, except that reading the one named
// STUCK never returns: a mount that stopped answering, as a network share does when its server
// goes away. Listing, details and opening still work, so only a reader of that file is stuck.
// Usage: stuck_fs SOURCE STUCK MOUNTPOINT  (runs in the foreground until unmounted or killed)
#define FUSE_USE_VERSION 31
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fuse3/fuse.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string g_source;
std::string g_stuck;

std::string sourceOf(const char* path) {
    return g_source + path;
}

int getAttr(const char* path, struct stat* st, fuse_file_info* /*fi*/) {
    return ::lstat(sourceOf(path).c_str(), st) == 0 ? 0 : -errno;
}

int readDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t /*offset*/,
            fuse_file_info* /*fi*/, fuse_readdir_flags /*flags*/) {
    DIR* dir = ::opendir(sourceOf(path).c_str());
    if (dir == nullptr) {
        return -errno;
    }
    while (const dirent* entry = ::readdir(dir)) {
        fill(buf, entry->d_name, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    }
    ::closedir(dir);
    return 0;
}

int openFile(const char* path, fuse_file_info* fi) {
    const int fd = ::open(sourceOf(path).c_str(), O_RDONLY);
    if (fd < 0) {
        return -errno;
    }
    fi->fh = static_cast<uint64_t>(fd);
    fi->direct_io = 1; // every read comes here, none is answered from the page cache
    return 0;
}

int readFile(const char* path, char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    if (g_stuck == path + 1) {
        for (;;) {
            ::pause();
        }
    }
    const ssize_t got = ::pread(static_cast<int>(fi->fh), buf, size, offset);
    return got < 0 ? -errno : static_cast<int>(got);
}

int releaseFile(const char* /*path*/, fuse_file_info* fi) {
    ::close(static_cast<int>(fi->fh));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: stuck_fs SOURCE STUCK MOUNTPOINT\n");
        return 2;
    }
    g_source = argv[1];
    g_stuck = argv[2];
    fuse_operations ops{};
    ops.getattr = getAttr;
    ops.readdir = readDir;
    ops.open = openFile;
    ops.read = readFile;
    ops.release = releaseFile;
    char name[] = "stuck_fs";
    char foreground[] = "-f";
    char* args[] = {name, foreground, argv[3], nullptr};
    return fuse_main(3, args, &ops, nullptr);
}
