#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace zelvia::rt {

// One control event with at most one handler, as the forms runtime has it. Raising calls the
// handler synchronously; whatever it throws reaches the code that raised the event.
template <class... Args> class Event {
public:
    using Handler = std::function<void(Args...)>;

    void connect(Handler handler) { handler_ = std::move(handler); }
    [[nodiscard]] bool connected() const noexcept { return static_cast<bool>(handler_); }

    void raise(Args... args) const {
        if (handler_) {
            handler_(args...);
        }
    }

private:
    Handler handler_;
};

// Arguments of a MouseUp event: the released button, the Shift/Ctrl/Alt state and the
// pointer position in the control's scale units.
struct MouseArgs {
    std::int16_t button = 0;
    std::int16_t shift = 0;
    float x = 0;
    float y = 0;
};

} // namespace zelvia::rt
