#pragma once

#include <cstdint>

namespace zelvia::rt {

// Booleans of the forms runtime are 16-bit integers: True is -1, False is 0.
using Boolean = std::int16_t;
inline constexpr Boolean True = -1;
inline constexpr Boolean False = 0;

constexpr Boolean toBoolean(bool b) noexcept {
    return b ? True : False;
}

// Mouse buttons and shift states as mouse events report them.
namespace button {
inline constexpr std::int16_t Left = 1;
inline constexpr std::int16_t Right = 2;
inline constexpr std::int16_t Middle = 4;
} // namespace button
namespace shift {
inline constexpr std::int16_t Shift = 1;
inline constexpr std::int16_t Ctrl = 2;
inline constexpr std::int16_t Alt = 4;
} // namespace shift

// Message box styles used by the program.
namespace style {
inline constexpr int OkOnly = 0;
inline constexpr int Critical = 16;
} // namespace style

// Help viewer commands.
namespace help {
inline constexpr int Context = 1;
inline constexpr int Quit = 2;
inline constexpr int Contents = 3;
inline constexpr int PartialKey = 0x105;
} // namespace help

} // namespace zelvia::rt
