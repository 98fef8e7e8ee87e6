#include "forms/app_object.h"

#include "platform/host.h"

#include <stdexcept>

namespace zelvia::rt {

namespace {
Host* g_host = nullptr;
} // namespace

AppObject& App() {
    static AppObject app;
    return app;
}

Host& host() {
    if (g_host == nullptr) {
        throw std::logic_error("no host set");
    }
    return *g_host;
}

void setHost(Host* h) {
    g_host = h;
}

void MsgBox(const QString& prompt, int style, const QString& title) {
    host().messageBox(prompt, style, title.isEmpty() ? App().Title : title);
}

} // namespace zelvia::rt
