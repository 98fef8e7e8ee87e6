#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <sys/stat.h>

namespace zelvia::rt {

// File names on Linux are bytes. Names that are valid UTF-8 map to the same QString as
// QFile::decodeName; each byte of an invalid sequence maps to a lone surrogate U+DC80..U+DCFF
// (as Python's "surrogateescape"), so that every name survives the round trip exactly.
QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);

// The folder holding `path` (an absolute path without a trailing slash); "/" for the root
// and its children.
QString parentFolderOf(const QString& path);

// The name as a person should read it: escaped bytes are shown as U+FFFD.
QString displayFileName(const QString& name);

// Reads up to `length` bytes at `offset` of an open descriptor, retrying short reads; returns
// fewer at the end of the file. Throws RuntimeError 75 on a read error.
QByteArray preadFully(int fd, qint64 offset, qint64 length);

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
    // The file as it was when opened: what was read of it is described by this, not by a
    // later look that may see it grown or rewritten.
    [[nodiscard]] const struct stat& status() const noexcept { return status_; }

    // Reads up to `length` bytes at `offset`; returns fewer at the end of the file.
    // Throws RuntimeError 75 on a read error.
    [[nodiscard]] QByteArray readAt(qint64 offset, qint64 length) const;

    // Reads the whole file, refusing (RuntimeError 5) files larger than `limit`.
    [[nodiscard]] QByteArray readAll(qint64 limit) const;

private:
    int fd_ = -1;
    qint64 size_ = 0;
    struct stat status_ {};
};

} // namespace zelvia::rt
