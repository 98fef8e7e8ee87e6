#pragma once

#include <atomic>

namespace zelvia::rt {

// A request that long work on a thread stop early: the look-ahead's worker asks it of the decode
// it is running when that file is no longer a neighbour, or when the program ends. Decoders poll
// the current thread's request in their inner loops through throwIfStopRequested(); the window's
// thread never installs one, so its decodes always run to the end.
class StopRequest {
public:
    void request() noexcept { flag_.store(true, std::memory_order_relaxed); }
    void reset() noexcept { flag_.store(false, std::memory_order_relaxed); }
    [[nodiscard]] bool requested() const noexcept { return flag_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> flag_{false};
};

// Thrown where a decoder sees its thread's request: the work is abandoned, nothing is kept. Not
// a RuntimeError, so it never reaches an error trap of the program.
struct Stopped {};

namespace detail {
inline thread_local const StopRequest* currentStopRequest = nullptr;
}

// Installs `request` as the current thread's for the lifetime of the scope.
class StopScope {
public:
    explicit StopScope(const StopRequest& request) noexcept
        : previous_(detail::currentStopRequest) {
        detail::currentStopRequest = &request;
    }
    ~StopScope() { detail::currentStopRequest = previous_; }
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

private:
    const StopRequest* previous_;
};

[[nodiscard]] inline bool stopRequested() noexcept {
    const StopRequest* request = detail::currentStopRequest;
    return request != nullptr && request->requested();
}

inline void throwIfStopRequested() {
    if (stopRequested()) {
        throw Stopped{};
    }
}

} // namespace zelvia::rt
