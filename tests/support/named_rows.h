#pragma once

// Rows of table tests that carry their own name.

#include <ostream>
#include <string>

namespace zelvia::test {

// The base of a row type whose first field is its name, written first as before:
// `struct Row : Named<Row> { int more; };` and `Row{"Name", 1}`. GoogleTest then prints a row
// as its name, in failures and in the test list, stably between runs.
template <class Row> struct Named {
    // Not explicit: a row's first initialiser is its name, with no braces of its own.
    constexpr Named(const char* text) : name(text) {}
    const char* name;
    friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

// Names each instantiated case after its row: INSTANTIATE_TEST_SUITE_P(..., rowName).
inline constexpr auto rowName = [](const auto& info) { return std::string(info.param.name); };

} // namespace zelvia::test
