// Lists a folder of many files the way the file list does, and compares it with the bare
// system calls it cannot avoid. Usage: bench_listing [parent folder] [file count] [runs]

#include "core/native_path.h"
#include "platform/fs/folder_listing.h"
#include "platform/fs/stat_entries.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

using namespace zelvia::rt;

namespace {

double medianSeconds(int runs, const std::function<std::size_t()>& work, std::size_t& count) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        count = work();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::size_t readNames(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    std::size_t n = 0;
    while (const dirent* entry = ::readdir(dir)) {
        n += entry->d_name[0] != '\0' ? 1 : 0;
    }
    ::closedir(dir);
    return n;
}

// With `dosBits`, each file is also asked for user.DOSATTRIB: the second system call a file's
// DOS bits cost on ext4, xfs or btrfs.
std::size_t readAndStat(const std::string& folder, bool dosBits = false) {
    DIR* dir = ::opendir(folder.c_str());
    std::size_t n = 0;
    std::string path = folder + "/";
    const std::size_t base = path.size();
    std::array<char, 256> value{};
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
            ++n;
            if (dosBits) {
                path.resize(base);
                path += entry->d_name;
                (void)::getxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size());
            }
        }
    }
    ::closedir(dir);
    return n;
}

} // namespace

int main(int argc, char** argv) {
    const std::string parent = argc > 1 ? argv[1] : "/tmp";
    const int count = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int runs = std::max(5, argc > 3 ? std::atoi(argv[3]) : 7);

    std::string folder = parent + "/bench_listing-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::array<const char*, 8> extensions = {".jpg", ".bmp", ".png",  ".txt",
                                                   ".GIF", ".JPG", ".jpeg", ".ico"};
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back("IMG_" + std::to_string(i) + extensions[static_cast<std::size_t>(i) % 8]);
        const int fd = ::open((folder + "/" + names.back()).c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0) {
            std::perror("create");
            return 1;
        }
        ::close(fd);
    }
    const QString qfolder = decodeFileName(QByteArray::fromStdString(folder));
    const QString pictures = QStringLiteral("*.BMP;*.DIB;*.GIF;*.EMF;*.ICO;*.JPG;*.JEPG;*.WMF");

    std::size_t n = 0;
    readAndStat(folder); // warm the caches once
    const double names0 = medianSeconds(
        runs, [&] { return readNames(folder); }, n);
    std::printf("%-36s %8.4f s  (%zu entries)\n", "readdir names only", names0, n);
    const double stat0 = medianSeconds(
        runs, [&] { return readAndStat(folder); }, n);
    std::printf("%-36s %8.4f s  (%zu files)\n", "readdir + fstatat", stat0, n);
    const double all = medianSeconds(
        runs, [&] { return listFiles(qfolder, QStringLiteral("*.*"), {}).size(); }, n);
    std::printf("%-36s %8.4f s  (%zu listed)  %.2fx\n", "listFiles *.* Normal", all, n,
                all / stat0);
    setListingThreads(1);
    const double single = medianSeconds(
        runs, [&] { return listFiles(qfolder, QStringLiteral("*.*"), {}).size(); }, n);
    setListingThreads(0);
    std::printf("%-36s %8.4f s  (%zu listed)  %.2fx\n", "listFiles *.* Normal, one thread", single,
                n, single / stat0);
    const double filtered = medianSeconds(
        runs, [&] { return listFiles(qfolder, pictures, {}).size(); }, n);
    std::printf("%-36s %8.4f s  (%zu listed)  %.2fx\n", "listFiles picture filter", filtered, n,
                filtered / stat0);
    const double xattr0 = medianSeconds(
        runs, [&] { return readAndStat(folder, true); }, n);
    std::printf("%-36s %8.4f s  (%zu files)  %.2fx\n", "readdir + fstatat + getxattr", xattr0, n,
                xattr0 / stat0);
    // What examining every file costs on this folder's file system, its DOS bits included (run
    // it with a parent on a FAT or NTFS mount to see theirs).
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<const char*> cNames;
    for (const std::string& name : names) {
        cNames.push_back(name.c_str());
    }
    const DosBitsSource source = dosBitsSourceForFolder(dirFd);
    for (const unsigned threads : {1U, listingThreads()}) {
        const double examined = medianSeconds(
            runs,
            [&] {
                return examineEntries(
                           dirFd, QByteArray::fromStdString(folder), cNames, source,
                           [](std::size_t, unsigned) { return true; }, threads)
                    .size();
            },
            n);
        std::printf("%-36s %8.4f s  %.0f ns/file (DOS bits from source %d, %u threads)\n",
                    "stat and DOS bits of every file", examined, examined * 1e9 / count,
                    static_cast<int>(source), threads);
    }
    ::close(dirFd);
    std::printf("median of %d runs over %d files in %s\n", runs, count, folder.c_str());

    for (const std::string& name : names) {
        ::unlink((folder + "/" + name).c_str());
    }
    ::rmdir(folder.c_str());
    return 0;
}
