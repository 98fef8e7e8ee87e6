#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace zelvia::rt::metafile {

// Thrown when a record's fields or counts point past the record. The players catch it and
// end the drawing there, keeping what was drawn so far.
class DamagedRecord : public std::runtime_error {
public:
    DamagedRecord() : std::runtime_error("damaged metafile record") {}
};

// Little-endian reader over one record (or header). Every read is checked against the view;
// reading past the end throws DamagedRecord instead of touching memory outside it.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView bytes, qsizetype pos = 0) : bytes_(bytes), pos_(pos) {}

    [[nodiscard]] qsizetype size() const { return bytes_.size(); }
    [[nodiscard]] qsizetype pos() const { return pos_; }
    [[nodiscard]] qsizetype remaining() const { return pos_ <= size() ? size() - pos_ : 0; }
    [[nodiscard]] QByteArrayView view() const { return bytes_; }

    void seek(qint64 pos) {
        if (pos < 0 || pos > size()) {
            throw DamagedRecord();
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
            throw DamagedRecord();
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
            throw DamagedRecord();
        }
        const auto* p = take(n);
        return {reinterpret_cast<const char*>(p), static_cast<qsizetype>(n)};
    }

    // A view of `length` bytes at absolute `offset` inside this reader, checked.
    [[nodiscard]] QByteArrayView at(qint64 offset, qint64 length) const {
        if (offset < 0 || length < 0 || offset > size() || length > size() - offset) {
            throw DamagedRecord();
        }
        return bytes_.sliced(static_cast<qsizetype>(offset), static_cast<qsizetype>(length));
    }

private:
    const unsigned char* take(qint64 n) {
        if (n < 0 || n > static_cast<qint64>(remaining())) {
            throw DamagedRecord();
        }
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data()) + pos_;
        pos_ += static_cast<qsizetype>(n);
        return p;
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

} // namespace zelvia::rt::metafile
