#include "platform/host.h"

#include <stdexcept>

namespace zelvia::rt {

namespace {
Host* g_host = nullptr;
} // namespace

Host& host() {
    if (g_host == nullptr) {
        throw std::logic_error("no host set");
    }
    return *g_host;
}

void setHost(Host* h) {
    g_host = h;
}

} // namespace zelvia::rt
