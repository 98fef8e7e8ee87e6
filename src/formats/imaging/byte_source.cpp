#include "formats/imaging/byte_source.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "formats/imaging/le_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvia::rt::imaging {

namespace {

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(QByteArray bytes) : bytes_(std::move(bytes)) {}

    [[nodiscard]] qint64 size() const override { return bytes_.size(); }

    [[nodiscard]] QByteArray readAt(qint64 offset, qint64 length) const override {
        if (offset < 0 || length <= 0 || offset >= bytes_.size()) {
            return {};
        }
        return bytes_.mid(static_cast<qsizetype>(offset),
                          static_cast<qsizetype>(std::min(length, bytes_.size() - offset)));
    }

private:
    QByteArray bytes_;
};

// What fstat tells of an open file's content: while it stays the same, so do the bytes, as far
// as anything short of reading them can tell. An overwrite in place (`cat new > old`) keeps
// the inode but moves the times and mostly the size.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool deleted = false;

    explicit FileStamp(const struct stat& st)
        : device(st.st_dev), inode(st.st_ino), size(st.st_size),
          modifiedNs(st.st_mtim.tv_sec * kNsPerSecond + st.st_mtim.tv_nsec),
          changedNs(st.st_ctim.tv_sec * kNsPerSecond + st.st_ctim.tv_nsec),
          deleted(st.st_nlink == 0) {}

    // A file deleted since still holds its bytes: its change time moved, but nobody can open
    // it to write any more.
    [[nodiscard]] bool sameContent(const FileStamp& now) const {
        return device == now.device && inode == now.inode && size == now.size &&
               modifiedNs == now.modifiedNs && (changedNs == now.changedNs || now.deleted);
    }

private:
    static constexpr std::int64_t kNsPerSecond = 1'000'000'000;
};

std::optional<FileStamp> stampOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    return FileStamp(st);
}

// Reads the file the picture was loaded from, and refuses once it is no longer that file:
// bytes of a later content must never be decoded under the first one's header.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, qint64 size, FileStamp stamp) : fd_(fd), size_(size), stamp_(stamp) {}
    ~FileSource() override { ::close(fd_); }

    [[nodiscard]] qint64 size() const override { return size_; }

    [[nodiscard]] QByteArray readAt(qint64 offset, qint64 length) const override {
        if (offset < 0 || length <= 0 || offset >= size_) {
            return {};
        }
        QByteArray bytes = preadFully(fd_, offset, std::min(length, size_ - offset));
        // Checked after the read: a write that began before it has already moved the times.
        const std::optional<FileStamp> now = stampOf(fd_);
        if (!now || !stamp_.sameContent(*now)) {
            throw RuntimeError(err::PathAccess, "the file changed since it was loaded");
        }
        return bytes;
    }

private:
    int fd_;
    qint64 size_;
    FileStamp stamp_;
};

} // namespace

ByteSourcePtr memorySource(QByteArray bytes) {
    return std::make_shared<MemorySource>(std::move(bytes));
}

ByteSourcePtr fileSource(const ReadOnlyFile& file) {
    const int fd = ::fcntl(file.fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        throw RuntimeError(err::PathAccess);
    }
    // The same open file as the display's: its state now is the one the picture was read in.
    const std::optional<FileStamp> stamp = stampOf(fd);
    if (!stamp) {
        ::close(fd);
        throw RuntimeError(err::PathAccess);
    }
    return std::make_shared<FileSource>(fd, file.size(), *stamp);
}

std::optional<QByteArray> readExactly(const ByteSource& source, std::uint64_t offset,
                                      std::uint64_t length) {
    const qint64 size = source.size();
    if (size < 0 || !rangeFits(offset, length, static_cast<std::uint64_t>(size))) {
        return std::nullopt;
    }
    if (length == 0) {
        return QByteArray();
    }
    try {
        QByteArray bytes = source.readAt(static_cast<qint64>(offset), static_cast<qint64>(length));
        if (static_cast<std::uint64_t>(bytes.size()) != length) {
            return std::nullopt; // the file shrank while we read it
        }
        return bytes;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

ChunkReader::ChunkReader(const ByteSource& source, qint64 begin, qint64 end, qint64 chunkSize)
    : source_(source), pos_(std::max<qint64>(begin, 0)), end_(std::min(end, source.size())),
      chunkSize_(std::max<qint64>(chunkSize, 4096)) {}

bool ChunkReader::refill() {
    if (pos_ >= end_) {
        return false;
    }
    buffer_ = source_.readAt(pos_, std::min(chunkSize_, end_ - pos_));
    bufferPos_ = 0;
    if (buffer_.isEmpty()) {
        end_ = pos_; // short file: nothing more to come
        return false;
    }
    pos_ += buffer_.size();
    return true;
}

qint64 ChunkReader::read(unsigned char* dst, qint64 n) {
    qint64 done = 0;
    while (done < n) {
        if (bufferPos_ >= buffer_.size() && !refill()) {
            break;
        }
        const qint64 take = std::min<qint64>(n - done, buffer_.size() - bufferPos_);
        std::memcpy(dst + done, buffer_.constData() + bufferPos_, static_cast<size_t>(take));
        bufferPos_ += static_cast<qsizetype>(take);
        done += take;
    }
    return done;
}

int ChunkReader::next() {
    if (bufferPos_ >= buffer_.size() && !refill()) {
        return -1;
    }
    return static_cast<unsigned char>(buffer_[bufferPos_++]);
}

void ChunkReader::skip(qint64 n) {
    const qint64 inBuffer = buffer_.size() - bufferPos_;
    if (n <= inBuffer) {
        bufferPos_ += static_cast<qsizetype>(n);
        return;
    }
    bufferPos_ = buffer_.size();
    pos_ = std::min(end_, pos_ + (n - inBuffer));
}

} // namespace zelvia::rt::imaging
