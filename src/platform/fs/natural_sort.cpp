#include "platform/fs/natural_sort.h"

#include "core/native_path.h"

#include <algorithm>

namespace zelvia::rt {

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// UTF-8's bit layout keeps code point order in byte order; lone surrogates (escaped bytes of
// invalid names) are written the same way.
char* putOrdered(char* out, char32_t cp) {
    const auto byte = [&](char32_t v) { *out++ = static_cast<char>(v & 0xffu); };
    if (cp < 0x80) {
        byte(cp);
    } else if (cp < 0x800) {
        byte(0xc0 | (cp >> 6));
        byte(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        byte(0xe0 | (cp >> 12));
        byte(0x80 | ((cp >> 6) & 0x3f));
        byte(0x80 | (cp & 0x3f));
    } else {
        byte(0xf0 | (cp >> 18));
        byte(0x80 | ((cp >> 12) & 0x3f));
        byte(0x80 | ((cp >> 6) & 0x3f));
        byte(0x80 | (cp & 0x3f));
    }
    return out;
}

// Appends the key of a folded name to `keys`; `unitAt(i)` gives its UTF-16 code units.
template <typename Units> void appendKey(std::string& keys, qsizetype size, Units unitAt) {
    // Each unit takes at most 3 bytes; a run of digits at most 1 + 3 more.
    const std::size_t start = keys.size();
    keys.resize(start + static_cast<std::size_t>(size) * 3 + 8);
    char* const begin = keys.data();
    char* out = begin + start;
    qsizetype i = 0;
    while (i < size) {
        const char16_t u = unitAt(i);
        if (isDigit(u)) {
            qsizetype end = i;
            while (end < size && isDigit(unitAt(end))) {
                ++end;
            }
            while (i + 1 < end && unitAt(i) == u'0') {
                ++i; // leading zeros do not count
            }
            // "0" sorts the run where digits sort; then longer numbers are larger.
            *out++ = '0';
            out = putOrdered(out, static_cast<char32_t>(end - i));
            for (; i < end; ++i) {
                *out++ = static_cast<char>(unitAt(i));
            }
        } else if (QChar::isHighSurrogate(u) && i + 1 < size &&
                   QChar::isLowSurrogate(unitAt(i + 1))) {
            out = putOrdered(out, QChar::surrogateToUcs4(u, unitAt(i + 1)));
            i += 2;
        } else {
            out = putOrdered(out, u);
            ++i;
        }
    }
    keys.resize(static_cast<std::size_t>(out - begin));
}

void appendFoldedKey(std::string& keys, const QString& folded) {
    appendKey(keys, folded.size(), [&](qsizetype i) { return folded[i].unicode(); });
}

int sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The first 16 key bytes as two big-endian numbers, kept beside the index while sorting so
// most comparisons touch no other memory. Keys hold no zero bytes, so the zero padding of a
// short key sorts it before the longer keys it begins.
struct SortRecord {
    quint64 high = 0;
    quint64 low = 0;
    std::size_t index = 0;
};

quint64 bigEndianAt(std::string_view key, std::size_t from) {
    quint64 v = 0;
    for (std::size_t k = from; k < from + 8; ++k) {
        v = (v << 8) | (k < key.size() ? static_cast<unsigned char>(key[k]) : 0u);
    }
    return v;
}

} // namespace

void NaturalOrder::reserve(std::size_t names, std::size_t bytes) {
    items_.reserve(names);
    bytes_.reserve(bytes);
    keys_.reserve(bytes + names * 2);
}

void NaturalOrder::addAscii(std::string_view bytes) {
    const std::size_t keyStart = keys_.size();
    appendKey(keys_, static_cast<qsizetype>(bytes.size()), [&](qsizetype i) {
        const char c = bytes[static_cast<std::size_t>(i)];
        return static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    finish(keyStart, bytes);
}

void NaturalOrder::addFolded(const QString& folded, std::string_view bytes) {
    const std::size_t keyStart = keys_.size();
    appendFoldedKey(keys_, folded);
    finish(keyStart, bytes);
}

void NaturalOrder::finish(std::size_t keyStart, std::string_view bytes) {
    items_.push_back({keyStart, bytes_.size(), static_cast<std::uint32_t>(keys_.size() - keyStart),
                      static_cast<std::uint32_t>(bytes.size())});
    bytes_.append(bytes);
}

std::string_view NaturalOrder::keyOf(const Item& item) const {
    return std::string_view(keys_).substr(item.key, item.keyLength);
}

std::string_view NaturalOrder::bytesOf(const Item& item) const {
    return std::string_view(bytes_).substr(item.bytes, item.bytesLength);
}

std::vector<std::size_t> NaturalOrder::order() const {
    std::vector<SortRecord> records(items_.size());
    for (std::size_t k = 0; k < items_.size(); ++k) {
        const std::string_view key = keyOf(items_[k]);
        records[k] = {bigEndianAt(key, 0), bigEndianAt(key, 8), k};
    }
    std::sort(records.begin(), records.end(), [&](const SortRecord& a, const SortRecord& b) {
        if (a.high != b.high) {
            return a.high < b.high;
        }
        if (a.low != b.low) {
            return a.low < b.low;
        }
        const Item& x = items_[a.index];
        const Item& y = items_[b.index];
        if (const int c = keyOf(x).compare(keyOf(y)); c != 0) {
            return c < 0;
        }
        return bytesOf(x) < bytesOf(y);
    });
    std::vector<std::size_t> order(records.size());
    std::transform(records.begin(), records.end(), order.begin(),
                   [](const SortRecord& r) { return r.index; });
    return order;
}

int naturalCompare(const QString& a, const QString& b) {
    std::string keyA;
    std::string keyB;
    appendFoldedKey(keyA, a.toCaseFolded());
    appendFoldedKey(keyB, b.toCaseFolded());
    if (const int c = keyA.compare(keyB); c != 0) {
        return sign(c);
    }
    return sign(encodeFileName(a).compare(encodeFileName(b)));
}

void naturalSort(std::vector<QString>& names) {
    NaturalOrder order;
    order.reserve(names.size(), 0);
    for (const QString& name : names) {
        const QByteArray bytes = encodeFileName(name);
        order.addFolded(
            name.toCaseFolded(),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    std::vector<QString> sorted;
    sorted.reserve(names.size());
    for (const std::size_t k : order.order()) {
        sorted.push_back(std::move(names[k]));
    }
    names = std::move(sorted);
}

} // namespace zelvia::rt
