// A pointer for the end-to-end tests under a wlroots compositor, which starts with no input
// devices: a virtual pointer device that stays while this process runs, driven by lines on
// standard input:
//   move X Y W H      to (X, Y) of a W x H layout, in logical pixels
//   press B | release B   a Linux button code (272 left, 273 right)
// Each line is answered with "ok" once the compositor has handled it, so the test can wait.
// The two interfaces are written out here: the protocol file does not come with the
// distribution's packages, and only a handful of requests are needed.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <wayland-client.h>

namespace {

// Request signatures of the wlroots virtual-pointer protocol, version 1, in opcode order.
const wl_message pointerRequests[] = {
    {"motion", "uff", nullptr},   {"motion_absolute", "uuuuu", nullptr},
    {"button", "uuu", nullptr},   {"axis", "uuf", nullptr},
    {"frame", "", nullptr},       {"axis_source", "u", nullptr},
    {"axis_stop", "uu", nullptr}, {"axis_discrete", "uufi", nullptr},
    {"destroy", "", nullptr},
};
const wl_interface pointerInterface = {"zwlr_virtual_pointer_v1", 1, 9,
                                       pointerRequests,           0, nullptr};

const wl_interface* createTypes[] = {&wl_seat_interface, &pointerInterface};
const wl_message managerRequests[] = {
    {"create_virtual_pointer", "?on", createTypes},
    {"destroy", "", nullptr},
};
const wl_interface managerInterface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, managerRequests, 0, nullptr};

enum : std::uint32_t { MotionAbsolute = 1, Button = 2, Frame = 4, Destroy = 8 };

struct Globals {
    wl_seat* seat = nullptr;
    wl_proxy* manager = nullptr;
};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
            std::uint32_t /*version*/) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr) {
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, managerInterface.name) == 0) {
        g->manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &managerInterface, 1));
    }
}

void globalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

const wl_registry_listener registryListener = {global, globalRemove};

std::uint32_t timestamp() {
    static std::uint32_t t = 0;
    return t += 10;
}

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::cerr << "wl_pointer: cannot connect to the compositor\n";
        return 1;
    }
    Globals g;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &g);
    wl_display_roundtrip(display);
    if (g.manager == nullptr || g.seat == nullptr) {
        std::cerr << "wl_pointer: the compositor offers no virtual pointer\n";
        return 1;
    }
    auto* pointer = wl_proxy_marshal_constructor(g.manager, 0, &pointerInterface, g.seat, nullptr);
    wl_display_roundtrip(display);
    std::cout << "ready" << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        if (verb == "move") {
            std::uint32_t x = 0, y = 0, w = 0, h = 0;
            in >> x >> y >> w >> h;
            wl_proxy_marshal(pointer, MotionAbsolute, timestamp(), x, y, w, h);
        } else if (verb == "press" || verb == "release") {
            std::uint32_t button = 0;
            in >> button;
            wl_proxy_marshal(pointer, Button, timestamp(), button, verb == "press" ? 1U : 0U);
        } else {
            std::cerr << "wl_pointer: unknown command " << line << '\n';
            continue;
        }
        wl_proxy_marshal(pointer, Frame);
        if (wl_display_roundtrip(display) < 0) {
            std::cerr << "wl_pointer: the compositor went away\n";
            return 1;
        }
        std::cout << "ok" << std::endl;
    }
    wl_proxy_marshal(pointer, Destroy);
    wl_proxy_destroy(pointer);
    wl_display_disconnect(display);
    return 0;
}
