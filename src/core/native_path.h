#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace zelvia::rt {

// File names on Linux are bytes. Names that are valid UTF-8 map to the same QString as
// QFile::decodeName; each byte of an invalid sequence maps to a lone surrogate U+DC80..U+DCFF
// (as Python's "surrogateescape"), so that every name survives the round trip exactly.
QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);

// The name as a person should read it: escaped bytes are shown as U+FFFD.
QString displayFileName(const QString& name);

// Reads up to `length` bytes at `offset` of an open descriptor, retrying short reads; returns
// fewer at the end of the file. Throws RuntimeError 75 on a read error.
QByteArray preadFully(int fd, qint64 offset, qint64 length);

// What fstat tells of an open file's content: while the stamp stays the same, so do the bytes,
// as far as anything short of reading them can tell. An overwrite in place (`cat new > old`)
// keeps the inode but changes the times and mostly the size.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Whether the open file `fd` still holds what it held when `stamp` was taken. A file deleted
// since does: its change time moved, but nobody can open it to write any more.
bool stillHolds(int fd, const FileStamp& stamp);

// An open, read-only file descriptor that closes itself.
class ReadOnlyFile {
public:
    // Opens `path` (decoded as above). Throws RuntimeError 53 when it does not exist,
    // 75 when it cannot be opened or is not a regular file.
    explicit ReadOnlyFile(const QString& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    [[nodiscard]] int fd() const noexcept { return fd_; }
    [[nodiscard]] qint64 size() const noexcept { return size_; }
    // The file as it was when opened, before anything was read from it.
    [[nodiscard]] const FileStamp& stamp() const noexcept { return stamp_; }

    // Reads up to `length` bytes at `offset`; returns fewer at the end of the file.
    // Throws RuntimeError 75 on a read error.
    [[nodiscard]] QByteArray readAt(qint64 offset, qint64 length) const;

    // Reads the whole file, refusing (RuntimeError 5) files larger than `limit`.
    [[nodiscard]] QByteArray readAll(qint64 limit) const;

private:
    int fd_ = -1;
    qint64 size_ = 0;
    FileStamp stamp_;
};

} // namespace zelvia::rt
