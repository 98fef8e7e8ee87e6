#include "runtime/fs/natural_sort.h"

#include "runtime/fs/native_path.h"

#include <algorithm>
#include <cstring>

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

// The key of a folded name; `unitAt(i)` gives its UTF-16 code units.
template <typename Units> QByteArray makeKey(qsizetype size, Units unitAt) {
    // Each unit takes at most 3 bytes; a run of digits at most 1 + 3 more.
    QByteArray key(size * 3 + 8, Qt::Uninitialized);
    char* const start = key.data();
    char* out = start;
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
    key.truncate(out - start);
    return key;
}

QByteArray keyOfFolded(const QString& folded) {
    return makeKey(folded.size(), [&](qsizetype i) { return folded[i].unicode(); });
}

int sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The first 16 key bytes as two big-endian numbers, kept beside the index while sorting so
// most comparisons touch no other memory.
struct SortRecord {
    quint64 high = 0;
    quint64 low = 0;
    std::size_t index = 0;
};

quint64 bigEndianAt(const QByteArray& key, qsizetype from) {
    quint64 v = 0;
    for (qsizetype k = from; k < from + 8; ++k) {
        v = (v << 8) | (k < key.size() ? static_cast<unsigned char>(key[k]) : 0u);
    }
    return v;
}

} // namespace

NaturalSortKey::NaturalSortKey(const QString& name)
    : key(keyOfFolded(name.toCaseFolded())), bytes(encodeFileName(name)) {}

NaturalSortKey::NaturalSortKey(const QString& foldedName, QByteArray rawBytes)
    : key(keyOfFolded(foldedName)), bytes(std::move(rawBytes)) {}

NaturalSortKey NaturalSortKey::fromAscii(QByteArray rawBytes) {
    const QByteArray& b = rawBytes;
    QByteArray key = makeKey(b.size(), [&](qsizetype i) {
        const char c = b[i];
        return static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return {std::move(key), std::move(rawBytes), 0};
}

int naturalCompare(const NaturalSortKey& a, const NaturalSortKey& b) {
    if (const int c = a.key.compare(b.key); c != 0) {
        return sign(c);
    }
    return sign(a.bytes.compare(b.bytes));
}

int naturalCompare(const QString& a, const QString& b) {
    return naturalCompare(NaturalSortKey(a), NaturalSortKey(b));
}

std::vector<std::size_t> naturalOrder(const std::vector<NaturalSortKey>& keys) {
    std::vector<SortRecord> records(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        records[k] = {bigEndianAt(keys[k].key, 0), bigEndianAt(keys[k].key, 8), k};
    }
    std::sort(records.begin(), records.end(), [&](const SortRecord& a, const SortRecord& b) {
        if (a.high != b.high) {
            return a.high < b.high;
        }
        if (a.low != b.low) {
            return a.low < b.low;
        }
        return naturalCompare(keys[a.index], keys[b.index]) < 0;
    });
    std::vector<std::size_t> order(keys.size());
    std::transform(records.begin(), records.end(), order.begin(),
                   [](const SortRecord& r) { return r.index; });
    return order;
}

void naturalSort(std::vector<QString>& names) {
    std::vector<NaturalSortKey> keys;
    keys.reserve(names.size());
    for (const QString& name : names) {
        keys.emplace_back(name);
    }
    std::vector<QString> sorted;
    sorted.reserve(names.size());
    for (const std::size_t k : naturalOrder(keys)) {
        sorted.push_back(std::move(names[k]));
    }
    names = std::move(sorted);
}

} // namespace zelvia::rt
