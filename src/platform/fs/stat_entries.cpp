#include "platform/fs/stat_entries.h"

#include "platform/fs/file_attributes.h"

#include <algorithm>
#include <atomic>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace zelvia::rt {

namespace {

// Below this many names per thread, starting a thread costs more than it saves.
constexpr std::size_t NamesPerThread = 2048;
// Reading DOS bits costs at least one more system call a name (open, ioctl and close on FAT),
// so smaller shares already pay for a thread.
constexpr std::size_t DosNamesPerThread = 256;
constexpr unsigned MaxThreads = 4;

std::atomic<unsigned> g_threads{0}; // 0: not set, use the machine's cores

// Runs work(from, to) over [0, n) in up to `threads` parts of at least `perThread` names; the
// calling thread takes the first part, helpers the others.
template <typename Work>
void inParts(std::size_t n, unsigned threads, std::size_t perThread, const Work& work) {
    const std::size_t useful = std::max<std::size_t>(1, n / perThread);
    const auto parts = std::min<std::size_t>({std::max(threads, 1U), useful, MaxThreads});
    std::vector<std::thread> helpers;
    helpers.reserve(parts);
    for (std::size_t p = 1; p < parts; ++p) {
        const std::size_t from = n * p / parts;
        const std::size_t to = n * (p + 1) / parts;
        try {
            helpers.emplace_back([&work, from, to] { work(from, to); });
        } catch (const std::system_error&) {
            work(from, to); // no thread to be had
        }
    }
    work(0, n / parts);
    for (std::thread& t : helpers) {
        t.join();
    }
}

} // namespace

unsigned listingThreads() {
    const unsigned set = g_threads.load();
    if (set != 0) {
        return set;
    }
    return std::clamp(std::thread::hardware_concurrency(), 1U, MaxThreads);
}

void setListingThreads(unsigned threads) {
    g_threads.store(threads);
}

std::vector<EntryFacts>
examineEntries(int dirFd, const QByteArray& folderPath, const std::vector<const char*>& names,
               DosBitsSource source, const std::function<bool(std::size_t, unsigned)>& wantsDosBits,
               unsigned threads) {
    std::vector<EntryFacts> facts(names.size());
    const std::size_t perThread =
        source == DosBitsSource::None ? NamesPerThread : DosNamesPerThread;
    inParts(names.size(), threads, perThread, [&](std::size_t from, std::size_t to) {
        DosBitsSource own = source; // each part may find the source unsupported on its own
        for (std::size_t i = from; i < to; ++i) {
            struct stat st {};
            if (::fstatat(dirFd, names[i], &st, 0) != 0) {
                continue;
            }
            const auto mode = static_cast<unsigned>(st.st_mode);
            facts[i].mode = mode;
            if (own != DosBitsSource::None && S_ISREG(mode) && wantsDosBits(i, mode)) {
                const QByteArray name =
                    QByteArray::fromRawData(names[i], static_cast<qsizetype>(qstrlen(names[i])));
                facts[i].dosBits = readDosBits(dirFd, folderPath, name, own).value_or(0);
            }
        }
    });
    return facts;
}

} // namespace zelvia::rt
