// Holding a key through the X server, apart from Qt's headers: Xlib's macros clash with them.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <chrono>
#include <functional>
#include <thread>

namespace zelvia::bench {

// Presses Down through XTest, lets the server repeat it (660 ms delay, 25 per second) for
// `holdMs`, releases it; returns `now()` once the server has the release.
double holdDown(int holdMs, const std::function<double()>& now) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return now();
    }
    const KeyCode down = XKeysymToKeycode(display, XK_Down);
    XAutoRepeatOn(display);
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 660, 40);
    XTestFakeKeyEvent(display, down, True, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    XTestFakeKeyEvent(display, down, False, CurrentTime);
    XSync(display, False);
    const double released = now();
    XCloseDisplay(display);
    return released;
}

} // namespace zelvia::bench
