#pragma once

#include <QByteArrayView>
#include <cstdint>

namespace zelvia::rt::imaging {

// Little-endian field readers over a byte view; bytes past the end read as zero so that a
// short header never reads out of bounds (callers check the length they rely on).
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

} // namespace zelvia::rt::imaging
