#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelvia::rt {

// Order of names in the folder and file lists: without regard to case (Unicode case folding),
// runs of ASCII digits compared by their value (IMG_2 before IMG_10, "007" equal to "7"), and
// names that still compare equal ordered by their raw bytes, so the order is total and stable.
// Returns <0, 0 or >0; 0 only for names with the same bytes.
int naturalCompare(const QString& a, const QString& b);

// Many names prepared for one sort (a large folder). Each name becomes a key that compares
// with a plain byte comparison: the folded name's code points in an order-preserving UTF-8
// form, each run of digits replaced by "0", its count of significant digits, and those digits.
// Keys and raw bytes live in two shared buffers, so adding a name allocates nothing of its own.
class NaturalOrder {
public:
    void reserve(std::size_t names, std::size_t bytes);
    // A name whose bytes are all ASCII, folded on the way.
    void addAscii(std::string_view bytes);
    // Any name: its form from QString::toCaseFolded(), and its raw bytes.
    void addFolded(const QString& folded, std::string_view bytes);
    [[nodiscard]] std::size_t size() const { return items_.size(); }
    // The permutation that puts the names added in natural order.
    [[nodiscard]] std::vector<std::size_t> order() const;

private:
    struct Item {
        std::size_t key = 0;
        std::size_t bytes = 0;
        std::uint32_t keyLength = 0;
        std::uint32_t bytesLength = 0;
    };
    [[nodiscard]] std::string_view keyOf(const Item& item) const;
    [[nodiscard]] std::string_view bytesOf(const Item& item) const;
    void finish(std::size_t keyStart, std::string_view bytes);

    std::string keys_;
    std::string bytes_;
    std::vector<Item> items_;
};

// Sorts names in place by naturalCompare.
void naturalSort(std::vector<QString>& names);

} // namespace zelvia::rt
