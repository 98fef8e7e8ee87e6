#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace zelvia::rt {

// Order of names in the folder and file lists: without regard to case (Unicode case folding),
// runs of ASCII digits compared by their value (IMG_2 before IMG_10, "007" equal to "7"), and
// names that still compare equal ordered by their raw bytes, so the order is total and stable.
// Returns <0, 0 or >0; 0 only for names with the same bytes.
int naturalCompare(const QString& a, const QString& b);

// A name prepared once for many comparisons (sorting a large folder). `key` compares with a
// plain byte comparison: the folded name's code points in an order-preserving UTF-8 form, each
// run of digits replaced by "0", its count of significant digits, and those digits.
struct NaturalSortKey {
    QByteArray key;
    QByteArray bytes;
    explicit NaturalSortKey(const QString& name);
    // From parts already at hand: the name passed through toCaseFolded() and its raw bytes.
    NaturalSortKey(const QString& foldedName, QByteArray rawBytes);
    // For a name whose bytes are all ASCII, without building its QString forms.
    static NaturalSortKey fromAscii(QByteArray rawBytes);

private:
    NaturalSortKey(QByteArray k, QByteArray b, int /*tag*/)
        : key(std::move(k)), bytes(std::move(b)) {}
};
int naturalCompare(const NaturalSortKey& a, const NaturalSortKey& b);

// The permutation that puts `keys` in natural order.
std::vector<std::size_t> naturalOrder(const std::vector<NaturalSortKey>& keys);

// Sorts names in place by naturalCompare.
void naturalSort(std::vector<QString>& names);

} // namespace zelvia::rt
