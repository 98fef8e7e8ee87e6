#include "runtime/peicon/byte_source.h"

#include "runtime/fs/native_path.h"
#include "runtime/runtime_error.h"

namespace zelvia::rt::pe {

std::optional<QByteArray> ByteSource::read(std::uint64_t offset, std::uint64_t length) const {
    if (!rangeFits(offset, length, size())) {
        return std::nullopt;
    }
    if (length == 0) {
        return QByteArray();
    }
    return readChecked(offset, length);
}

std::uint64_t MemoryByteSource::size() const {
    return static_cast<std::uint64_t>(bytes_.size());
}

std::optional<QByteArray> MemoryByteSource::readChecked(std::uint64_t offset,
                                                        std::uint64_t length) const {
    return QByteArray::fromRawData(bytes_.data() + offset, static_cast<qsizetype>(length));
}

std::uint64_t FileByteSource::size() const {
    return file_.size() > 0 ? static_cast<std::uint64_t>(file_.size()) : 0;
}

std::optional<QByteArray> FileByteSource::readChecked(std::uint64_t offset,
                                                      std::uint64_t length) const {
    try {
        QByteArray bytes = file_.readAt(static_cast<qint64>(offset), static_cast<qint64>(length));
        if (static_cast<std::uint64_t>(bytes.size()) != length) {
            return std::nullopt; // the file shrank while we read it
        }
        return bytes;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

namespace {

template <typename T, int N>
std::optional<T> littleEndianAt(const QByteArray& bytes, std::uint64_t offset) {
    if (!rangeFits(offset, N, static_cast<std::uint64_t>(bytes.size()))) {
        return std::nullopt;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + offset;
    std::uint64_t value = 0;
    for (int i = N - 1; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    return static_cast<T>(value);
}

} // namespace

std::optional<std::uint8_t> u8At(const QByteArray& bytes, std::uint64_t offset) {
    return littleEndianAt<std::uint8_t, 1>(bytes, offset);
}

std::optional<std::uint16_t> u16At(const QByteArray& bytes, std::uint64_t offset) {
    return littleEndianAt<std::uint16_t, 2>(bytes, offset);
}

std::optional<std::uint32_t> u32At(const QByteArray& bytes, std::uint64_t offset) {
    return littleEndianAt<std::uint32_t, 4>(bytes, offset);
}

} // namespace zelvia::rt::pe
