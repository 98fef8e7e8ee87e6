#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <optional>

namespace zelvia::rt {
class ReadOnlyFile;
}

namespace zelvia::rt::imaging {

// Where a picture's bytes come from. Pictures decode lazily, so they keep their source:
// either the bytes themselves or a duplicate of the file's descriptor (read with pread).
class ByteSource {
public:
    ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;
    virtual ~ByteSource() = default;

    [[nodiscard]] virtual qint64 size() const = 0;

    // Up to `length` bytes at `offset`; fewer (or none) past the end.
    // Throws RuntimeError 75 on a read error.
    [[nodiscard]] virtual QByteArray readAt(qint64 offset, qint64 length) const = 0;
};

using ByteSourcePtr = std::shared_ptr<const ByteSource>;

// Exactly `length` bytes at `offset`, or nothing when any of them lies outside the source or
// cannot be read: for parsers that read only the headers and parts they need.
std::optional<QByteArray> readExactly(const ByteSource& source, std::uint64_t offset,
                                      std::uint64_t length);

ByteSourcePtr memorySource(QByteArray bytes);

// Keeps its own descriptor, so the picture stays readable after `file` is closed.
ByteSourcePtr fileSource(const ReadOnlyFile& file);

// Sequential reads over [begin, end) of a source in large chunks.
class ChunkReader {
public:
    ChunkReader(const ByteSource& source, qint64 begin, qint64 end,
                qint64 chunkSize = qint64{1} << 20);

    // Copies up to `n` bytes to `dst`; returns how many were available.
    qint64 read(unsigned char* dst, qint64 n);
    // The next byte, or -1 at the end.
    int next();
    void skip(qint64 n);

private:
    bool refill();

    const ByteSource& source_;
    qint64 pos_;
    qint64 end_;
    qint64 chunkSize_;
    QByteArray buffer_;
    qsizetype bufferPos_ = 0;
};

} // namespace zelvia::rt::imaging
