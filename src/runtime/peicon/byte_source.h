#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <optional>

namespace zelvia::rt {

class ReadOnlyFile;

namespace pe {

// Random access to the bytes of an executable, so that the parser reads only the headers and
// the resources it needs instead of the whole (possibly very large) file.
class ByteSource {
public:
    ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;
    virtual ~ByteSource() = default;

    [[nodiscard]] virtual std::uint64_t size() const = 0;

    // Exactly `length` bytes at `offset`, or nothing when any of them lies outside the source
    // or cannot be read.
    [[nodiscard]] std::optional<QByteArray> read(std::uint64_t offset, std::uint64_t length) const;

protected:
    // Called with a range already checked against size().
    [[nodiscard]] virtual std::optional<QByteArray> readChecked(std::uint64_t offset,
                                                                std::uint64_t length) const = 0;
};

// Bytes already in memory; reads share them without copying, so `bytes` must outlive the
// arrays returned.
class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(QByteArrayView bytes) : bytes_(bytes) {}
    [[nodiscard]] std::uint64_t size() const override;

private:
    [[nodiscard]] std::optional<QByteArray> readChecked(std::uint64_t offset,
                                                        std::uint64_t length) const override;
    QByteArrayView bytes_;
};

// An open file, read on demand.
class FileByteSource final : public ByteSource {
public:
    explicit FileByteSource(const ReadOnlyFile& file) : file_(file) {}
    [[nodiscard]] std::uint64_t size() const override;

private:
    [[nodiscard]] std::optional<QByteArray> readChecked(std::uint64_t offset,
                                                        std::uint64_t length) const override;
    const ReadOnlyFile& file_;
};

// Little-endian fields of a byte array; nothing when the field does not fit.
std::optional<std::uint8_t> u8At(const QByteArray& bytes, std::uint64_t offset);
std::optional<std::uint16_t> u16At(const QByteArray& bytes, std::uint64_t offset);
std::optional<std::uint32_t> u32At(const QByteArray& bytes, std::uint64_t offset);

// True when [offset, offset + length) lies within `size`, without overflowing.
constexpr bool rangeFits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

} // namespace pe
} // namespace zelvia::rt
