#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace zelvia::rt::imaging {

// The little-endian readers of every format. No read touches memory outside its view:
//  - byteAt, le16, le32 ... peek at one field of a sniffed head or a fixed-size header whose
//    length the caller has checked; bytes past the end read as zero;
//  - ByteReader walks the fields of a record and throws TruncatedData at the first one that
//    is not all there, so that a player can end the drawing at that record.

inline std::uint32_t byteAt(QByteArrayView b, qsizetype i) {
    return i >= 0 && i < b.size() ? static_cast<unsigned char>(b[i]) : 0u;
}

inline std::uint16_t le16(QByteArrayView b, qsizetype i) {
    return static_cast<std::uint16_t>(byteAt(b, i) | (byteAt(b, i + 1) << 8));
}

inline std::uint32_t le32(QByteArrayView b, qsizetype i) {
    return byteAt(b, i) | (byteAt(b, i + 1) << 8) | (byteAt(b, i + 2) << 16) |
           (byteAt(b, i + 3) << 24);
}

inline std::int32_t le32s(QByteArrayView b, qsizetype i) {
    return static_cast<std::int32_t>(le32(b, i));
}

inline std::uint16_t be16(QByteArrayView b, qsizetype i) {
    return static_cast<std::uint16_t>((byteAt(b, i) << 8) | byteAt(b, i + 1));
}

inline std::uint32_t be32(QByteArrayView b, qsizetype i) {
    return (byteAt(b, i) << 24) | (byteAt(b, i + 1) << 16) | (byteAt(b, i + 2) << 8) |
           byteAt(b, i + 3);
}

// True when [offset, offset + length) lies within `size`, without overflowing.
constexpr bool rangeFits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

class TruncatedData : public std::runtime_error {
public:
    TruncatedData() : std::runtime_error("field past the end of the data") {}
};

// Sequential reader over a record or header whose fields must all be there: every read is
// checked against the view, and one past the end throws TruncatedData.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView bytes, qsizetype pos = 0) : bytes_(bytes), pos_(pos) {}

    [[nodiscard]] qsizetype size() const { return bytes_.size(); }
    [[nodiscard]] qsizetype pos() const { return pos_; }
    [[nodiscard]] qsizetype remaining() const { return pos_ <= size() ? size() - pos_ : 0; }
    [[nodiscard]] QByteArrayView view() const { return bytes_; }

    void seek(qint64 pos) {
        if (pos < 0 || pos > size()) {
            throw TruncatedData();
        }
        pos_ = static_cast<qsizetype>(pos);
    }
    void skip(qint64 n) { seek(static_cast<qint64>(pos_) + n); }

    // True when `count` items of `itemSize` bytes fit from the current position.
    [[nodiscard]] bool fits(qint64 count, qint64 itemSize) const {
        return count >= 0 && itemSize >= 0 &&
               (itemSize == 0 || count <= static_cast<qint64>(remaining()) / itemSize);
    }
    void require(qint64 count, qint64 itemSize) const {
        if (!fits(count, itemSize)) {
            throw TruncatedData();
        }
    }

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)[0]); }
    std::uint16_t u16() {
        const auto* p = take(2);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32() {
        const auto* p = take(4);
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    float f32() {
        const std::uint32_t bits = u32();
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    QByteArrayView bytes(qint64 n) {
        if (n < 0) {
            throw TruncatedData();
        }
        const auto* p = take(n);
        return {reinterpret_cast<const char*>(p), static_cast<qsizetype>(n)};
    }

    // A view of `length` bytes at absolute `offset` inside this reader, checked.
    [[nodiscard]] QByteArrayView at(qint64 offset, qint64 length) const {
        if (offset < 0 || length < 0 || offset > size() || length > size() - offset) {
            throw TruncatedData();
        }
        return bytes_.sliced(static_cast<qsizetype>(offset), static_cast<qsizetype>(length));
    }

private:
    const unsigned char* take(qint64 n) {
        if (n < 0 || n > static_cast<qint64>(remaining())) {
            throw TruncatedData();
        }
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data()) + pos_;
        pos_ += static_cast<qsizetype>(n);
        return p;
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

} // namespace zelvia::rt::imaging
