#pragma once

#include <stdexcept>
#include <string>

namespace zelvia::rt {

// Error numbers the program's error traps branch on.
namespace err {
inline constexpr int TooLarge = 5;         // picture too large to decode at the size needed
inline constexpr int Overflow = 6;         // a value that does not fit its type
inline constexpr int OutOfMemory = 7;      // memory ran out
inline constexpr int Internal = 51;        // a fault inside the program itself
inline constexpr int FileNotFound = 53;    // the file or folder does not exist (any more)
inline constexpr int PathAccess = 75;      // the file or folder cannot be opened or read
inline constexpr int InvalidPicture = 481; // content is no loadable picture, or damaged data
inline constexpr int CancelError = 32755;  // the user cancelled a dialog
} // namespace err

// A runtime error: thrown by the runtime layer, caught by an error trap that branches on
// its number.
class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(int number, const std::string& what = {})
        : std::runtime_error(what.empty() ? "runtime error " + std::to_string(number) : what),
          number_(number) {}

    [[nodiscard]] int number() const noexcept { return number_; }

private:
    int number_;
};

} // namespace zelvia::rt
