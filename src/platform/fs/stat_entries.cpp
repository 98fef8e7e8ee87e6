#include "platform/fs/stat_entries.h"

#include <algorithm>
#include <atomic>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace zelvia::rt {

namespace {

// Below this many names per thread, starting a thread costs more than it saves.
constexpr std::size_t NamesPerThread = 2048;
constexpr unsigned MaxThreads = 4;

std::atomic<unsigned> g_threads{0}; // 0: not set, use the machine's cores

void statRange(int dirFd, const std::vector<const char*>& names, std::vector<unsigned>& modes,
               std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        struct stat st {};
        modes[i] = ::fstatat(dirFd, names[i], &st, 0) == 0 ? static_cast<unsigned>(st.st_mode) : 0;
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

std::vector<unsigned> statEntries(int dirFd, const std::vector<const char*>& names,
                                  unsigned threads) {
    std::vector<unsigned> modes(names.size(), 0);
    const std::size_t n = names.size();
    const std::size_t useful = std::max<std::size_t>(1, n / NamesPerThread);
    const auto parts = std::min<std::size_t>({std::max(threads, 1U), useful, MaxThreads});
    std::vector<std::thread> helpers;
    helpers.reserve(parts);
    // The calling thread takes the first part, helpers the others.
    for (std::size_t p = 1; p < parts; ++p) {
        const std::size_t from = n * p / parts;
        const std::size_t to = n * (p + 1) / parts;
        try {
            helpers.emplace_back(statRange, dirFd, std::cref(names), std::ref(modes), from, to);
        } catch (const std::system_error&) {
            statRange(dirFd, names, modes, from, to); // no thread to be had
        }
    }
    statRange(dirFd, names, modes, 0, n / parts);
    for (std::thread& t : helpers) {
        t.join();
    }
    return modes;
}

} // namespace zelvia::rt
